// The motion settings dialog: which cameras are watched, how sensitive the comparison is,
// what an alarm does and what may raise one (zones drawn on each camera's picture, light
// changes, checks in a row); it also shows each watched camera's last check. It edits its own
// copy of the values and hands them back by posting 1825 (OK) or 1826 (Cancel) to the main
// window.
#pragma once

#include <QImage>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "posted_answer_dialog.h"
#include "tick_picture.h"

namespace ovistra {

struct MotionValues {
    uint32_t cameraMask = 0;   // bit N-1: camera N watched
    uint32_t senseMode = 200;  // grey difference threshold: 240, 200 or 50; 0 follows the noise
    uint32_t actions = 1;      // bit 0: record on alarm, bit 1: alarm sound
    std::array<QString, 4> motionZones;  // per camera "x,y,w,h;...", empty = whole picture
    uint32_t preAlarmSeconds = 3;
    bool lightChangeReject = true;
    uint32_t alarmMinTicks = 1;
};

class CTickPreview;
class CZoneEditor;

class CMotionSet : public PostedAnswerDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 155;

    // Controls of template 155 besides OK and Cancel.
    static constexpr int kCameraBoxes[4] = {1048, 1057, 1058, 1059};  // camera 1..4
    static constexpr int kSense240 = 1118;
    static constexpr int kSense200 = 1119;
    static constexpr int kSense50 = 1120;
    static constexpr int kRecordAction = 1087;
    static constexpr int kSoundAction = 1117;
    static constexpr int kSenseAuto = 1400;
    static constexpr int kPreAlarmSeconds = 1401;
    static constexpr int kLightChangeReject = 1402;
    static constexpr int kAlarmMinTicks = 1403;
    static constexpr int kZoneCamera = 1404;
    static constexpr int kZoneEditor = 1405;
    static constexpr int kDeleteZone = 1406;
    static constexpr int kClearZones = 1407;
    static constexpr int kTickPreviews[4] = {1410, 1411, 1412, 1413};  // camera 1..4

    static constexpr int kRefreshMs = 250;

    // Camera 1..4. A null picture when the camera has none.
    using PictureSource = std::function<QImage(int camera)>;
    using TickSource = std::function<TickPicture(int camera)>;

    // The resource library must outlive the dialog.
    CMotionSet(const ResourceLibrary& resources, platform::WindowHandle mainWindow,
               QWidget* parent = nullptr);
    ~CMotionSet() override;

    // The dialog's own copy: the main window overwrites it right after creation; OK replaces
    // it from the controls, Cancel leaves it.
    const MotionValues& values() const { return values_; }
    void SetValues(const MotionValues& values) { values_ = values; }

    // Where the live pictures and the last checks come from, asked a few times a second while
    // the dialog is open.
    void SetPictureSource(PictureSource source) { pictureSource_ = std::move(source); }
    void SetTickSource(TickSource source) { tickSource_ = std::move(source); }
    // Asks both now, as the dialog's timer does.
    void RefreshLive();

protected:
    void OnOpen() override;
    void ReadControls() override;
    void hideEvent(QHideEvent* event) override;

private:
    void ShowZoneCamera(int index);  // 0..3
    bool Watched(int index) const;   // by the boxes as they stand now

    MotionValues values_;
    std::array<std::vector<QRect>, 4> zones_;  // being edited; written to values_ by OK
    int zoneCamera_ = 0;
    CZoneEditor* zoneEditor_ = nullptr;
    std::array<CTickPreview*, 4> tickPreviews_{};
    PictureSource pictureSource_;
    TickSource tickSource_;
    QTimer refresh_;
};

}  // namespace ovistra
