// The motion settings dialog: which cameras are watched, how sensitive the comparison is and
// what an alarm does. It edits its own copy of the three values and hands them back by posting
// 1825 (OK) or 1826 (Cancel) to the main window.
#pragma once

#include <cstdint>

#include "posted_answer_dialog.h"

namespace ovistra {

struct MotionValues {
    uint32_t cameraMask = 0;   // bit N-1: camera N watched
    uint32_t senseMode = 200;  // grey difference threshold: 240, 200 or 50
    uint32_t actions = 1;      // bit 0: record on alarm, bit 1: alarm sound
};

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

    // The resource library must outlive the dialog.
    CMotionSet(const ResourceLibrary& resources, platform::WindowHandle mainWindow,
               QWidget* parent = nullptr);
    ~CMotionSet() override;

    // The dialog's own copy: the main window overwrites it right after creation; OK replaces
    // it from the controls, Cancel leaves it.
    const MotionValues& values() const { return values_; }
    void SetValues(const MotionValues& values) { values_ = values; }

protected:
    void OnOpen() override;
    void ReadControls() override;

private:
    MotionValues values_;
};

}  // namespace ovistra
