// The detection zones of one camera drawn over its live picture. The zones are in picture
// coordinates (640x480) and the picture is shown scaled to the widget. With the mouse: a drag
// on free ground draws a new zone (up to four), a drag inside a zone moves it, a drag at one of
// its corners resizes it; Delete removes the selected zone, as does a right click on a zone.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>
#include <vector>

namespace ovistra {

class CZoneEditor : public QWidget {
    Q_OBJECT

public:
    explicit CZoneEditor(QWidget* parent = nullptr);

    const std::vector<QRect>& zones() const { return zones_; }
    void SetZones(std::vector<QRect> zones);  // clipped, at most four kept; selection cleared

    // Any size; drawn stretched over the whole picture area. A null picture shows `noPicture`.
    void SetPicture(const QImage& picture);
    // Texts drawn over the picture: with no zone at all, and with no picture.
    void SetHints(const QString& wholePicture, const QString& noPicture);

    int selected() const { return selected_; }  // index into zones(), -1 for none
    void DeleteSelected();
    void Clear();

    // Where a picture point lands on the widget, and back (clamped to the picture).
    QPointF ToWidget(QPoint picturePoint) const;
    QPoint ToPicture(QPointF widgetPoint) const;

    QSize sizeHint() const override;

signals:
    void zonesChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag { None, Draw, Move, Resize };

    QRectF PictureArea() const;  // the widget rectangle the picture fills, 4:3, centred
    int ZoneAt(QPoint picturePoint) const;
    int CornerAt(QPointF widgetPoint, int zone) const;  // 0..3 clockwise from top left, or -1

    std::vector<QRect> zones_;
    QImage picture_;
    QString wholePictureHint_;
    QString noPictureHint_;
    int selected_ = -1;

    Drag drag_ = Drag::None;
    QPoint dragStart_;    // picture coordinates
    QRect dragOrigin_;    // the zone as it was when the drag began
    QPoint fixedCorner_;  // the corner a resize leaves in place
};

}  // namespace ovistra
