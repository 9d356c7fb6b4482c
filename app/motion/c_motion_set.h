// The motion settings dialog: which cameras are watched, how sensitive the comparison is and
// what an alarm does. Modeless; it edits its own copy of the three values and hands them back
// by posting to the main window, which then closes it with hide().
#pragma once

#include <QDialog>
#include <cstdint>

#include "message_window.h"

class QAbstractButton;
class QShowEvent;

namespace ovistra {

class ResourceLibrary;

struct MotionValues {
    uint32_t cameraMask = 0;   // bit N-1: camera N watched
    uint32_t senseMode = 200;  // grey difference threshold: 240, 200 or 50
    uint32_t actions = 1;      // bit 0: record on alarm, bit 1: alarm sound
};

class CMotionSet : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 155;

    // Controls of template 155.
    static constexpr int kConfirmButton = 1;
    static constexpr int kCancelButton = 2;
    static constexpr int kCameraBoxes[4] = {1048, 1057, 1058, 1059};  // camera 1..4
    static constexpr int kSense240 = 1118;
    static constexpr int kSense200 = 1119;
    static constexpr int kSense50 = 1120;
    static constexpr int kRecordAction = 1087;
    static constexpr int kSoundAction = 1117;

    // The resource library must outlive the dialog. The main window receives 1825 on OK and
    // 1826 on Cancel through `mainWindow`.
    CMotionSet(const ResourceLibrary& resources, platform::WindowHandle mainWindow,
               QWidget* parent = nullptr);
    ~CMotionSet() override;

    // The dialog's own copy: the main window overwrites it right after creation; OK replaces
    // it from the controls, Cancel leaves it.
    const MotionValues& values() const { return values_; }
    void SetValues(const MotionValues& values) { values_ = values; }

    QWidget* Control(int id) const;

    void OnConfirm();
    void OnCancel();

protected:
    void showEvent(QShowEvent* event) override;
    void accept() override;
    void reject() override;

private:
    void OnInitDialog();
    void Reply(uint32_t message);
    QAbstractButton* Button(int id) const;

    const ResourceLibrary& resources_;
    platform::WindowHandle mainWindow_;
    MotionValues values_;
    QWidget* form_ = nullptr;
    bool replied_ = false;  // this opening has been answered; the main window closes it
};

}  // namespace ovistra
