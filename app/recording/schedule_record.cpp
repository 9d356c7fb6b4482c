#include "schedule_record.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <initializer_list>
#include <utility>

#include "local_clock.h"
#include "message_box.h"
#include "posted_answer_dialog.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kConfirmButton = 1;
constexpr int kCancelButton = 2;
constexpr std::array<int, ScheduleValues::kCameras> kCameraBoxes = {1048, 1057, 1058, 1059};
constexpr int kCameraList = 1071;
constexpr int kStartDatePicker = 1065;
constexpr int kStartTimePicker = 1066;
constexpr int kEndDatePicker = 1067;
constexpr int kEndTimePicker = 1068;

constexpr int kFirstCameraName = 162;  // 162..165: camera 1..4, as listed
constexpr std::array<int, ScheduleValues::kCameras> kStartAfterEndTexts = {130, 131, 138, 140};
constexpr int kTextStartInPast = 230;

constexpr int kDateChars = 8;
constexpr int kTimeChars = 6;
const QString kDateFormat = QStringLiteral("yyyyMMdd");
const QString kTimeFormat = QStringLiteral("HHmmss");

bool AllDigits(const QString& text) {
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

// Invalid unless the part is exactly eight digits naming a real day.
QDate DateOf(const QString& part) {
    if (part.size() != kDateChars || !AllDigits(part)) {
        return {};
    }
    return QDate(part.left(4).toInt(), part.mid(4, 2).toInt(), part.mid(6, 2).toInt());
}

// Invalid unless the part is exactly six digits naming a real time of day.
QTime TimeOf(const QString& part) {
    if (part.size() != kTimeChars || !AllDigits(part)) {
        return {};
    }
    return QTime(part.left(2).toInt(), part.mid(2, 2).toInt(), part.mid(4, 2).toInt());
}

void ShowDate(QDateEdit* picker, const QString& part) {
    if (!picker) {
        return;
    }
    QDate date = DateOf(part);
    if (!date.isValid() || date < picker->minimumDate() || date > picker->maximumDate()) {
        date = platform::LocalNow().date();  // a damaged value shows today, and stays as stored
    }
    const QSignalBlocker quiet(picker);
    picker->setDate(date);
}

void ShowTime(QTimeEdit* picker, const QString& part) {
    if (!picker) {
        return;
    }
    const QTime time = TimeOf(part);
    const QSignalBlocker quiet(picker);
    picker->setTime(time.isValid() ? time : QTime(0, 0));
}

template <typename T>
T* Find(QWidget* form, int id) {
    return qobject_cast<T*>(ResourceLibrary::FindControl(form, id));
}

}  // namespace

CScheduleRecord::CScheduleRecord(const ResourceLibrary& resources, platform::WindowHandle owner,
                                 QWidget* parent)
    : QDialog(parent), resources_(resources), owner_(std::move(owner)) {
    form_ = resources_.LoadTemplate(kTemplate, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!form_) {
        return;  // no template: an empty window that can only be cancelled
    }
    layout->addWidget(form_);
    resize(form_->size());
    setWindowTitle(form_->windowTitle());

    for (int camera = 0; camera < ScheduleValues::kCameras; ++camera) {
        boxes_[camera] = Find<QCheckBox>(form_, kCameraBoxes[camera]);
        if (boxes_[camera]) {
            connect(boxes_[camera], &QCheckBox::clicked, this,
                    [this, camera] { OnCameraBox(camera); });
        }
    }
    list_ = Find<QComboBox>(form_, kCameraList);
    if (list_) {
        connect(list_, &QComboBox::currentIndexChanged, this, &CScheduleRecord::LoadPickers);
    }
    startDate_ = Find<QDateEdit>(form_, kStartDatePicker);
    startTime_ = Find<QTimeEdit>(form_, kStartTimePicker);
    endDate_ = Find<QDateEdit>(form_, kEndDatePicker);
    endTime_ = Find<QTimeEdit>(form_, kEndTimePicker);
    for (QTimeEdit* picker : {startTime_, endTime_}) {
        if (picker) {
            picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        }
    }
    if (startDate_) {
        connect(startDate_, &QDateEdit::dateChanged, this, [this] { OnStartPicked(false); });
    }
    if (startTime_) {
        connect(startTime_, &QTimeEdit::timeChanged, this, [this] { OnStartPicked(true); });
    }
    if (endDate_) {
        connect(endDate_, &QDateEdit::dateChanged, this, &CScheduleRecord::OnEndPicked);
    }
    if (endTime_) {
        connect(endTime_, &QTimeEdit::timeChanged, this, &CScheduleRecord::OnEndPicked);
    }
    if (auto* confirm = Find<QPushButton>(form_, kConfirmButton)) {
        connect(confirm, &QPushButton::clicked, this, &CScheduleRecord::OnConfirm);
    }
    if (auto* cancel = Find<QPushButton>(form_, kCancelButton)) {
        connect(cancel, &QPushButton::clicked, this, &CScheduleRecord::OnCancel);
    }
}

CScheduleRecord::~CScheduleRecord() = default;

void CScheduleRecord::SetValues(const ScheduleValues& values) {
    values_ = values;
    SplitStarts();
    SplitEnds();
}

QWidget* CScheduleRecord::Control(int id) const {
    return form_ ? ResourceLibrary::FindControl(form_, id) : nullptr;
}

void CScheduleRecord::Open() {
    SplitStarts();
    SplitEnds();
    if (list_) {
        const QSignalBlocker quiet(list_);
        list_->clear();
    }
    for (int camera = 0; camera < ScheduleValues::kCameras; ++camera) {
        const bool on = (values_.mask >> camera) & 1U;
        if (boxes_[camera]) {
            boxes_[camera]->setChecked(on);
        }
        if (on) {
            AddToList(camera);
        }
    }
    const bool any = list_ && list_->count() > 0;
    SetPickersEnabled(any);
    if (any) {
        SelectFirstAndLoad();
    }
    show();
    PlaceAtTopRight(*this);
    activateWindow();
}

void CScheduleRecord::Close() {
    hide();
}

void CScheduleRecord::reject() {
    OnCancel();
}

// Parts are the value cut after its eighth character, so joining them gives back exactly the
// stored value whatever its length or content.
void CScheduleRecord::SplitStarts() {
    for (int camera = 0; camera < ScheduleValues::kCameras; ++camera) {
        parts_[camera].startDate = values_.start[camera].left(kDateChars);
        parts_[camera].startTime = values_.start[camera].mid(kDateChars);
    }
}

void CScheduleRecord::SplitEnds() {
    for (int camera = 0; camera < ScheduleValues::kCameras; ++camera) {
        parts_[camera].endDate = values_.end[camera].left(kDateChars);
        parts_[camera].endTime = values_.end[camera].mid(kDateChars);
    }
}

void CScheduleRecord::OnCameraBox(int camera) {
    if (!boxes_[camera]) {
        return;
    }
    if (boxes_[camera]->isChecked()) {
        AddToList(camera);
        SetPickersEnabled(true);
    } else {
        RemoveFromList(camera);
        bool anyChecked = false;
        for (const QCheckBox* box : boxes_) {
            anyChecked = anyChecked || (box && box->isChecked());
        }
        if (!anyChecked) {
            SetPickersEnabled(false);
        }
    }
    SelectFirstAndLoad();
}

// The list keeps camera order whatever order the boxes are checked in.
void CScheduleRecord::AddToList(int camera) {
    if (!list_ || list_->findData(camera) >= 0) {
        return;
    }
    int row = 0;
    while (row < list_->count() && list_->itemData(row).toInt() < camera) {
        ++row;
    }
    list_->insertItem(row, resources_.Text(kFirstCameraName + camera), camera);
}

void CScheduleRecord::RemoveFromList(int camera) {
    if (!list_) {
        return;
    }
    const int row = list_->findData(camera);
    if (row >= 0) {
        list_->removeItem(row);
    }
}

void CScheduleRecord::SetPickersEnabled(bool enabled) {
    for (QWidget* picker :
         std::initializer_list<QWidget*>{startDate_, startTime_, endDate_, endTime_}) {
        if (picker) {
            picker->setEnabled(enabled);
        }
    }
}

void CScheduleRecord::SelectFirstAndLoad() {
    if (!list_ || list_->count() == 0) {
        return;
    }
    {
        const QSignalBlocker quiet(list_);
        list_->setCurrentIndex(0);
    }
    LoadPickers();
}

int CScheduleRecord::SelectedCamera() const {
    if (!list_ || list_->currentIndex() < 0) {
        return -1;
    }
    bool ok = false;
    const int camera = list_->currentData().toInt(&ok);
    return ok && camera >= 0 && camera < ScheduleValues::kCameras ? camera : -1;
}

void CScheduleRecord::LoadPickers() {
    const int camera = SelectedCamera();
    if (camera < 0) {
        return;
    }
    const Parts& parts = parts_[camera];
    ShowDate(startDate_, parts.startDate);
    ShowTime(startTime_, parts.startTime);
    ShowDate(endDate_, parts.endDate);
    ShowTime(endTime_, parts.endTime);
}

// Both parts of the moment are taken from the pickers: a well-formed value gives back the same
// date, and a damaged one becomes what the user was shown instead of half of it.
void CScheduleRecord::OnStartPicked(bool timeChanged) {
    const int camera = SelectedCamera();
    if (camera < 0 || !startDate_ || !startTime_) {
        return;
    }
    parts_[camera].startDate = startDate_->date().toString(kDateFormat);
    parts_[camera].startTime = startTime_->time().toString(kTimeFormat);
    if (timeChanged && platform::LocalNow().date() > startDate_->date()) {
        platform::MessageBoxes::Instance().Show(kTextStartInPast, 0, platform::MessageIcon::Warning,
                                                platform::MessageButtons::Ok, this);
    }
}

void CScheduleRecord::OnEndPicked() {
    const int camera = SelectedCamera();
    if (camera < 0 || !endDate_ || !endTime_) {
        return;
    }
    parts_[camera].endDate = endDate_->date().toString(kDateFormat);
    parts_[camera].endTime = endTime_->time().toString(kTimeFormat);
}

void CScheduleRecord::OnConfirm() {
    uint32_t mask = 0;
    for (int camera = 0; camera < ScheduleValues::kCameras; ++camera) {
        if (boxes_[camera] && boxes_[camera]->isChecked()) {
            mask |= 1U << camera;
        }
        values_.start[camera] = parts_[camera].startDate + parts_[camera].startTime;
        values_.end[camera] = parts_[camera].endDate + parts_[camera].endTime;
    }
    values_.mask = mask;
    // Only a warning: the schedule is kept, and its end simply never stops anything early.
    for (int camera = 0; camera < ScheduleValues::kCameras; ++camera) {
        if ((mask >> camera) & 1U && values_.start[camera] > values_.end[camera]) {
            platform::MessageBoxes::Instance().Show(
                kStartAfterEndTexts[camera], ids::kCaptionWarning, platform::MessageIcon::Warning,
                platform::MessageButtons::Ok, this);
        }
    }
    owner_.PostMessage(ids::kScheduleConfirmed, 0, 0);
    hide();
}

// Both halves go back to the last confirmed values, so a later confirm cannot store an edit
// the user cancelled.
void CScheduleRecord::OnCancel() {
    owner_.PostMessage(ids::kScheduleCancelled, 0, 0);
    SplitStarts();
    SplitEnds();
    hide();
}

}  // namespace ovistra
