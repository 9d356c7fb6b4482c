// The schedules dialog: per camera one start and one end moment and whether the schedule is
// on. Modeless; it edits its own copy of the values and hands them back to the main window by
// message (confirmed or cancelled).
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

#include "message_window.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QTimeEdit;

namespace ovistra {

class ResourceLibrary;

// A moment is "%Y%m%d%H%M%S" (14 characters); stored values may be anything, and are kept as
// they are until the user edits them.
struct ScheduleValues {
    static constexpr int kCameras = 4;

    uint32_t mask = 0;  // bit N-1: camera N's schedule is on
    std::array<QString, kCameras> start;
    std::array<QString, kCameras> end;

    bool operator==(const ScheduleValues&) const = default;
};

class CScheduleRecord : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 139;

    // `resources` must outlive the dialog; `owner` receives the confirmed and cancelled messages.
    CScheduleRecord(const ResourceLibrary& resources, platform::WindowHandle owner,
                    QWidget* parent = nullptr);
    ~CScheduleRecord() override;

    // The owner's copy, handed in once before the first Open.
    void SetValues(const ScheduleValues& values);
    // The values as last confirmed (or as handed in); what the owner takes on the confirmed
    // message and stores at exit.
    const ScheduleValues& Values() const { return values_; }

    // Fills the controls from the values and shows the window at the screen's top right.
    void Open();
    // Hides the window without telling the owner anything.
    void Close();

    // The control with this number in the template; null when there is none.
    QWidget* Control(int id) const;

protected:
    void reject() override;  // Escape and the window's close button cancel

private:
    struct Parts {
        QString startDate;  // the value's first 8 characters
        QString startTime;  // everything after them: 6 characters in a well-formed value
        QString endDate;
        QString endTime;
    };

    void SplitStarts();
    void SplitEnds();
    void OnCameraBox(int camera);  // 0..3
    void AddToList(int camera);
    void RemoveFromList(int camera);
    void SetPickersEnabled(bool enabled);
    void SelectFirstAndLoad();
    void LoadPickers();
    int SelectedCamera() const;  // 0..3, -1 when the list is empty
    void OnStartPicked(bool timeChanged);
    void OnEndPicked();
    void OnConfirm();
    void OnCancel();

    const ResourceLibrary& resources_;
    platform::WindowHandle owner_;
    QWidget* form_ = nullptr;
    std::array<QCheckBox*, ScheduleValues::kCameras> boxes_{};
    QComboBox* list_ = nullptr;
    QDateEdit* startDate_ = nullptr;
    QTimeEdit* startTime_ = nullptr;
    QDateEdit* endDate_ = nullptr;
    QTimeEdit* endTime_ = nullptr;

    ScheduleValues values_;
    std::array<Parts, ScheduleValues::kCameras> parts_;
};

}  // namespace ovistra
