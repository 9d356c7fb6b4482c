// A form drawn for one size and shown at another: its fonts, fixed sizes and layout gaps grow or
// shrink by one factor, always from the values it was drawn with, so scaling never drifts.
#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>
#include <map>

class QLayout;
class QSpacerItem;

namespace ovistra {

class ScaledForm {
public:
    explicit ScaledForm(QWidget* root);

    // 1 shows the form as drawn. Widgets added to the form later are taken as drawn when they
    // are first scaled.
    void SetScale(double scale);
    double scale() const { return scale_; }

private:
    void ScaleWidget(QWidget* widget) const;
    void ScaleLayout(QLayout* layout);
    int Scaled(int drawn) const;

    QPointer<QWidget> root_;
    double scale_ = 1.0;
    std::map<QSpacerItem*, QSize> drawnSpacers_;  // spacers live as long as their layout
};

}  // namespace ovistra
