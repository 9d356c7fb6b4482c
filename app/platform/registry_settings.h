// Every setting the station keeps in its registry key, with the value in force when the key
// has none. The main dialog owns one; settings dialogs edit copies.
#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <cstdint>

namespace ovistra {

// A 32-bit setting that the camera-switching thread reads while the UI thread may change it.
// Copies take the current value, so the settings stay a value type.
class SharedSetting {
public:
    explicit SharedSetting(uint32_t value) : value_(value) {}
    SharedSetting(const SharedSetting& other) : value_(other.Get()) {}
    SharedSetting& operator=(const SharedSetting& other) {
        Set(other.Get());
        return *this;
    }
    uint32_t Get() const { return value_.load(std::memory_order_relaxed); }
    void Set(uint32_t value) { value_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> value_;
};

struct RegistrySettings {
    static constexpr int kCameras = 4;

    // --- schedules
    std::array<QString, kCameras> cameraSchedule;     // "Camera1Schedule" ...
    std::array<QString, kCameras> cameraEndSchedule;  // "Camera1EndSchedule" ...
    uint32_t scheduleCamera = 0;                      // bit N-1: camera N's schedule is on

    // --- record settings
    uint16_t enableLua = 0;  // the system's switch; never readable here
    QString recordPath;      // as stored; RecordFolder() is where recordings go
    uint32_t frameRateAll = 2;
    std::array<uint32_t, kCameras> frameRate{2, 2, 2, 2};  // frames per second
    uint32_t timeStamp = 0xF;                              // bit N-1: stamp camera N
    uint32_t cameraAudio = 0;                              // camera with sound, 0 none
    bool recordMode = false;                               // circular recording
    QString audioInput;  // the sound input taken when neither the device's nor a line input is

    // --- camera settings; the switching thread reads the three timings while it runs
    std::array<QString, kCameras> cameraOsd;  // user-given camera names
    SharedSetting eachTimeMs{1000};           // dwell per camera in the cycling view
    SharedSetting disTimeMs{50};              // feed time per camera in the four-up view
    SharedSetting intervalTimeMs{300};        // settling time after an input switch
    uint32_t brightness = 100;
    uint32_t frameSpeed = 1140;  // chosen speed option, 1136..1141
    uint32_t selectDis = 1;      // chosen display-time entry

    // --- motion settings
    uint32_t motionDetectCamera = 0;  // bit N-1: watch camera N
    uint32_t senseMode = 200;         // grey difference threshold; 0 follows each picture's noise
    uint32_t detectingAction = 1;     // bit 0 record, bit 1 sound
    uint32_t preAlarmSeconds = 3;     // an alarm recording begins this long before the alarm
    std::array<QString, kCameras> motionZones;  // "MotionZones1" ...: "x,y,w,h;..." or empty
    bool lightChangeReject = true;              // a light change is not motion
    uint32_t alarmMinTicks = 1;                 // consecutive ticks with motion before an alarm
    QString appPath;                  // the program folder as stored
    // Programs run at an alarm's start and end: a command line with %c %n %t %s %r; empty: none.
    QString alarmCommand;
    QString alarmEndCommand;

    // --- network view
    uint32_t rtspPort = 0;          // 0: the server is off
    QString rtspBind = QStringLiteral("127.0.0.1");
    uint32_t rtspFrameRate = 10;    // pictures per second on every path
    uint32_t rtspMaxClients = 8;    // sessions at once, all paths together

    // The folder that receives recordings.
    QString RecordFolder() const;
};

}  // namespace ovistra
