// One camera's last detection tick, small: the grey picture the detector compared with the
// pixels it counted as changed painted red, and a line below saying what the tick made of it.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include "tick_picture.h"

namespace ovistra {

// The tick's grey picture with every changed pixel red; null for a tick not yet valid or one
// whose planes are not the full size.
QImage TickImage(const TickPicture& tick);

class CTickPreview : public QWidget {
    Q_OBJECT

public:
    explicit CTickPreview(QWidget* parent = nullptr);

    // A null image shows only the caption.
    void Show(const QImage& image, const QString& caption);
    const QString& caption() const { return caption_; }
    const QImage& image() const { return image_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QString caption_;
};

}  // namespace ovistra
