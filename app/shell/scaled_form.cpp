#include "scaled_form.h"

#include <QLayout>
#include <QSpacerItem>
#include <algorithm>
#include <cmath>

namespace ovistra {
namespace {

// Each widget and layout keeps what it was drawn with in properties of its own, so a widget
// swapped in later is scaled from its own drawn values.
constexpr char kDrawnFont[] = "ovistraDrawnFont";
constexpr char kDrawnMinimum[] = "ovistraDrawnMinimumSize";
constexpr char kDrawnMaximum[] = "ovistraDrawnMaximumSize";
constexpr char kDrawnSpacing[] = "ovistraDrawnSpacing";
constexpr char kDrawnMargins[] = "ovistraDrawnMargins";

}  // namespace

ScaledForm::ScaledForm(QWidget* root) : root_(root) {}

int ScaledForm::Scaled(int drawn) const {
    return static_cast<int>(std::lround(drawn * scale_));
}

void ScaledForm::SetScale(double scale) {
    if (!root_ || !(scale > 0) || scale == scale_) {
        return;
    }
    scale_ = scale;
    ScaleWidget(root_);
    for (QWidget* widget : root_->findChildren<QWidget*>()) {
        ScaleWidget(widget);
    }
    for (QLayout* layout : root_->findChildren<QLayout*>()) {
        ScaleLayout(layout);
    }
}

void ScaledForm::ScaleWidget(QWidget* widget) const {
    // Only the root and widgets with a font of their own; the rest inherit the scaled one.
    if (!widget->property(kDrawnFont).isValid()) {
        const bool own = widget == root_ || widget->testAttribute(Qt::WA_SetFont);
        widget->setProperty(kDrawnFont, own ? QVariant(widget->font()) : QVariant(false));
        widget->setProperty(kDrawnMinimum, widget->minimumSize());
        widget->setProperty(kDrawnMaximum, widget->maximumSize());
    }
    const QVariant drawnFont = widget->property(kDrawnFont);
    if (drawnFont.typeId() == QMetaType::QFont) {
        QFont font = drawnFont.value<QFont>();
        if (font.pointSizeF() > 0) {
            font.setPointSizeF(font.pointSizeF() * scale_);
        } else if (font.pixelSize() > 0) {
            font.setPixelSize(std::max(1, Scaled(font.pixelSize())));
        }
        widget->setFont(font);
    }
    const QSize minimum = widget->property(kDrawnMinimum).toSize();
    const QSize maximum = widget->property(kDrawnMaximum).toSize();
    auto scaledMaximum = [this](int drawn) {
        return drawn == QWIDGETSIZE_MAX ? drawn : Scaled(drawn);
    };
    widget->setMinimumSize(Scaled(minimum.width()), Scaled(minimum.height()));
    widget->setMaximumSize(scaledMaximum(maximum.width()), scaledMaximum(maximum.height()));
}

void ScaledForm::ScaleLayout(QLayout* layout) {
    if (!layout->property(kDrawnSpacing).isValid()) {
        layout->setProperty(kDrawnSpacing, layout->spacing());
        layout->setProperty(kDrawnMargins, QVariant::fromValue(layout->contentsMargins()));
    }
    // A spacing of -1 follows the style; only one the form set is scaled.
    if (const int spacing = layout->property(kDrawnSpacing).toInt(); spacing >= 0) {
        layout->setSpacing(Scaled(spacing));
    }
    const QMargins m = layout->property(kDrawnMargins).value<QMargins>();
    layout->setContentsMargins(Scaled(m.left()), Scaled(m.top()), Scaled(m.right()),
                               Scaled(m.bottom()));
    for (int i = 0; i < layout->count(); ++i) {
        QSpacerItem* spacer = layout->itemAt(i)->spacerItem();
        if (!spacer) {
            continue;
        }
        const QSize drawn = drawnSpacers_.try_emplace(spacer, spacer->sizeHint()).first->second;
        const QSizePolicy policy = spacer->sizePolicy();
        spacer->changeSize(Scaled(drawn.width()), Scaled(drawn.height()),
                           policy.horizontalPolicy(), policy.verticalPolicy());
    }
    layout->invalidate();
}

}  // namespace ovistra
