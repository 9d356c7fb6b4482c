// What a live picture shows over itself, wherever the picture stands: a red border while its
// camera's alarm blink is lit, a "REC" badge while the camera records, in full screen its caption
// and the clock on a dark band, and a banner while the station is locked. It is painted inside
// the picture's own paint, so a change costs one repaint of a few shapes and no conversion.
// UI thread only.
#pragma once

#include <QString>

#include <functional>

class QPainter;
class QRect;

namespace ovistra {

class PictureOverlay {
public:
    // Called after each change that alters what is painted.
    void SetChangedCallback(std::function<void()> changed);

    void SetAlarmLit(bool lit);
    void SetRecording(bool recording);
    void SetFullScreen(bool fullScreen);
    void SetCaption(const QString& caption);      // painted in full screen only
    void SetClock(const QString& clock);          // painted in full screen only
    void SetRecordingBadge(const QString& text);  // the badge's word; empty: no badge
    void SetLockBanner(const QString& text);      // empty: the station is not locked

    bool alarmLit() const { return alarmLit_; }
    bool recording() const { return recording_; }
    bool fullScreen() const { return fullScreen_; }
    bool locked() const { return !lockBanner_.isEmpty(); }

    // Draws over the picture that fills `area`; draws nothing when there is nothing to show.
    void Paint(QPainter& painter, const QRect& area) const;

private:
    // Stores `value`; tells of the change when `shown` says it is painted now.
    template <typename T>
    void Change(T& field, const T& value, bool shown);

    void PaintFullScreenBand(QPainter& painter, const QRect& area, int border) const;
    void PaintRecordingBadge(QPainter& painter, const QRect& area, int margin) const;
    void PaintLockBanner(QPainter& painter, const QRect& area) const;
    static void PaintAlarmBorder(QPainter& painter, const QRect& area, int width);

    std::function<void()> changed_;
    bool alarmLit_ = false;
    bool recording_ = false;
    bool fullScreen_ = false;
    QString caption_;
    QString clock_;
    QString badge_;
    QString lockBanner_;
};

}  // namespace ovistra
