// The playback dialog's frame and its list of recordings: the filters, the rows, the count,
// deleting and showing a recording's folder.
#include "c_playback.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "c_color_button.h"
#include "local_clock.h"
#include "message_box.h"
#include "playback_clip.h"
#include "playback_graph.h"
#include "recording_files.h"
#include "replace_control.h"
#include "resource_library.h"
#include "shell_open.h"
#include "timeline_panel.h"
#include "video_view.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kTextCameraAll = 197;
constexpr int kTextDeleteNothing = 125;
constexpr int kTextShowNothing = 126;
constexpr int kTextFileGone = 127;
constexpr int kTextFound = 137;
constexpr int kTextStillRecording = 236;

enum Column { kName, kCamera, kKind, kStamp, kStartDate, kStartTime, kEndDate, kEndTime, kFolder };

bool Checked(const QWidget* box) {
    const auto* check = qobject_cast<const QAbstractButton*>(box);
    return check && check->isChecked();
}

}  // namespace

CPlayback::CPlayback(RecordingList& recordings, const ResourceLibrary& resources,
                     platform::WindowHandle mainWindow, Hooks hooks, QWidget* parent)
    : QDialog(parent),
      resources_(resources),
      mainWindow_(std::move(mainWindow)),
      hooks_(std::move(hooks)),
      list_(recordings, hooks_.beingWritten) {
    // Only the dialog's own thread takes the graph's news; the streaming threads just knock.
    graph_ = std::make_unique<media::PlaybackGraph>(
        grabber_, [handle = Handle()] { handle.PostMessage(kGraphNotify, 0, 0); });
    form_ = resources_.LoadTemplateInto(kTemplate, this);
    if (!form_) {
        return;
    }
    table_ = qobject_cast<QTreeWidget*>(Control(kRecordingList));
    slider_ = qobject_cast<QSlider*>(Control(kPositionSlider));
    if (slider_) {
        slider_->setRange(0, kSliderRange);
    }
    if (QWidget* area = Control(kVideoArea)) {
        auto* areaLayout = new QVBoxLayout(area);
        areaLayout->setContentsMargins(1, 1, 1, 1);
        view_ = new media::VideoView(area);
        areaLayout->addWidget(view_);
        view_->SetGrabber(&grabber_);
    }
    // The push buttons are the station's owner-drawn ones, in the colour scheme.
    for (QPushButton* placeholder : form_->findChildren<QPushButton*>()) {
        const int id = placeholder->property("controlId").toInt();
        ReplaceControl(form_, id, [this](QWidget* old) {
            return new CColorButton(old->property("text").toString(), form_);
        });
    }
    timeline_ = std::make_unique<TimelinePanel>(
        form_, resources_, hooks_.alarmMarks,
        [this](int row, const QDateTime& moment) { PlayAt(row, moment); });
    FillFilterLists();
    ConnectControls();
    clip_ = std::make_unique<PlaybackClip>(*this);
}

CPlayback::~CPlayback() {
    clip_.reset();  // a clip still being written stops, and its file goes
    CloseMailbox();
    if (view_) {
        view_->SetGrabber(nullptr);
    }
    graph_.reset();
}

QWidget* CPlayback::Control(int id) const {
    return form_ ? ResourceLibrary::FindControl(form_, id) : nullptr;
}

QAbstractButton* CPlayback::Button(int id) const {
    return qobject_cast<QAbstractButton*>(Control(id));
}

QLabel* CPlayback::Label(int id) const {
    return qobject_cast<QLabel*>(Control(id));
}

void CPlayback::Tell(int textId, int captionId) {
    platform::MessageBoxes::Instance().Show(textId, captionId, platform::MessageIcon::Warning,
                                            platform::MessageButtons::Ok, this);
}

void CPlayback::ConnectControls() {
    const std::pair<int, void (CPlayback::*)()> buttons[] = {
        {kPlayButton, &CPlayback::OnPlay},         {kPauseButton, &CPlayback::OnPause},
        {kStopButton, &CPlayback::OnStop},         {kSearchButton, &CPlayback::FillList},
        {kDeleteButton, &CPlayback::OnDelete},     {kShowFolderButton, &CPlayback::OnShowFolder},
        {kJumpButton, &CPlayback::OnJump},         {kSlowButton, &CPlayback::OnSlow},
        {kFastButton, &CPlayback::OnFast},         {kCloseButton, &CPlayback::OnCloseButton},
        {kNextSlowButton, &CPlayback::OnNextSlow}, {kNextFastButton, &CPlayback::OnNextFast},
        {kReverseButton, &CPlayback::OnReverse},   {kNextReverseButton, &CPlayback::OnNextReverse},
        {kExportButton, &CPlayback::OnExport},
    };
    for (const auto& [id, action] : buttons) {
        if (QAbstractButton* button = Button(id)) {
            connect(button, &QAbstractButton::clicked, this, action);
        }
    }
    if (table_) {
        connect(table_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
            const int row = table_->indexOfTopLevelItem(item);
            clickedPath_ = row >= 0 ? list_.rows()[row].path : QString();
            SelectRow(row);
            // From the end of the opening: the second click waited in the queue meanwhile.
            sinceClick_.start();
        });
        connect(table_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
            OnRowActivated(table_->indexOfTopLevelItem(item));
        });
    }
    if (slider_) {
        connect(slider_, &QSlider::valueChanged, this, [this](int position) {
            if (!movingSlider_) {
                OnSliderMoved(position);
            }
        });
    }
}

void CPlayback::OnRowActivated(int row) {
    if (row < 0 || row >= static_cast<int>(list_.rows().size())) {
        return;
    }
    // The first click of a double click has opened the row already: it is not built again.
    const bool justClicked = sinceClick_.isValid() && clickedPath_ == list_.rows()[row].path &&
                             sinceClick_.elapsed() <= QApplication::doubleClickInterval();
    sinceClick_.invalidate();
    if (!justClicked) {
        SelectRow(row);
    }
    OnPlay();
}

void CPlayback::FillFilterLists() {
    if (auto* cameras = qobject_cast<QComboBox*>(Control(kCameraList))) {
        for (int camera = 0; camera < 4; ++camera) {
            cameras->addItem(resources_.Text(ids::kFirstScheduleCameraText + camera), camera + 1);
        }
        cameras->addItem(resources_.Text(kTextCameraAll), 0);
        cameras->setCurrentIndex(cameras->count() - 1);
    }
    if (auto* kinds = qobject_cast<QComboBox*>(Control(kKindList))) {
        for (int text : {ids::kTextKindHand, ids::kTextKindAlarm, ids::kTextKindSchedule}) {
            kinds->addItem(resources_.Text(text));
        }
    }
    const QDate today = QDate::currentDate();
    for (int id : {kDayPicker, kDayRangeFrom, kDayRangeTo, kJumpDate}) {
        if (auto* picker = qobject_cast<QDateEdit*>(Control(id))) {
            picker->setDate(today);
        }
    }
}

RecordingFilter CPlayback::ReadFilter() const {
    RecordingFilter filter;
    if (const auto* cameras = qobject_cast<const QComboBox*>(Control(kCameraList))) {
        filter.camera = cameras->currentData().toInt();
    }
    const auto* kinds = qobject_cast<const QComboBox*>(Control(kKindList));
    if (Checked(Control(kKindCheck)) && kinds) {
        filter.kind = kinds->currentText();
    }
    auto date = [this](int id) {
        const auto* picker = qobject_cast<const QDateEdit*>(Control(id));
        return picker ? picker->date() : QDate();
    };
    auto time = [this](int id) {
        const auto* picker = qobject_cast<const QTimeEdit*>(Control(id));
        return picker ? picker->time() : QTime();
    };
    if (Checked(Control(kDayCheck))) {
        filter.day = date(kDayPicker);
    }
    if (Checked(Control(kMomentCheck))) {
        filter.moment = time(kMomentPicker);
    }
    if (Checked(Control(kDayRangeCheck))) {
        filter.startDays = std::pair(date(kDayRangeFrom), date(kDayRangeTo));
    }
    if (Checked(Control(kTimeRangeCheck))) {
        filter.startTimes = std::pair(time(kTimeRangeFrom), time(kTimeRangeTo));
    }
    return filter;
}

void CPlayback::FillList() {
    list_.Fill(ReadFilter());
    if (timeline_) {
        // The day of the recording playing, or today.
        const QDate playing = ListDay(current_.startDate);
        timeline_->ShowDay(playing.isValid() ? playing : platform::LocalNow().date());
    }
    ShowRows();
    ShowCount(static_cast<int>(list_.rows().size()));
}

void CPlayback::ShowRows() {
    if (!table_) {
        return;
    }
    table_->clear();
    for (const RecordInfo& entry : list_.rows()) {
        const QFileInfo file(entry.path);
        auto* item = new QTreeWidgetItem(table_);
        item->setText(kName, file.fileName());
        item->setText(kCamera, entry.camera);
        item->setText(kKind, entry.kind);
        item->setText(kStamp, entry.stamp);
        item->setText(kStartDate, entry.startDate);
        item->setText(kStartTime, entry.startTime);
        item->setText(kEndDate, entry.endDate);
        item->setText(kEndTime, entry.endTime);
        item->setText(kFolder, file.path());
    }
}

void CPlayback::RecordingsChanged() {
    QStringList selected;
    for (int row : SelectedRows()) {
        selected << list_.rows()[row].path;
    }
    list_.Refill();
    ShowRows();
    if (table_) {
        for (int row = 0; row < table_->topLevelItemCount(); ++row) {
            table_->topLevelItem(row)->setSelected(selected.contains(list_.rows()[row].path));
        }
    }
    ShowCount(static_cast<int>(list_.rows().size()));
    FollowPlayingEntry();
}

// Every change of the rows ends here, so the timeline shows them too.
void CPlayback::ShowCount(int count) {
    if (timeline_) {
        timeline_->ShowRows(list_.rows());
    }
    if (QLabel* label = Label(kCountLabel)) {
        label->setText(QStringLiteral("%1 %2").arg(resources_.Text(kTextFound)).arg(count));
    }
}

std::vector<int> CPlayback::SelectedRows() const {
    std::vector<int> rows;
    if (table_) {
        for (QTreeWidgetItem* item : table_->selectedItems()) {
            rows.push_back(table_->indexOfTopLevelItem(item));
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CPlayback::OnDelete() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        Tell(kTextDeleteNothing, ids::kCaptionGeneral);
        return;
    }
    bool keptOne = false;
    // From the last row up, so the rows still to go keep their numbers.
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        // Refused before anything is touched: what plays of it goes on playing.
        if (list_.StillWritten(*row)) {
            keptOne = true;
            continue;
        }
        // Every file of the set playing, not only its first, stops playing before it goes.
        if (current_.path == list_.rows()[*row].path) {
            CloseFile();
            current_ = RecordInfo{};
            setFiles_.clear();
            if (QLabel* info = Label(kInformation)) {
                info->clear();
            }
        }
        list_.Delete(*row);
        if (table_) {
            delete table_->takeTopLevelItem(*row);
        }
    }
    ShowCount(static_cast<int>(list_.rows().size()));
    list_.Save();
    if (keptOne) {
        platform::MessageBoxes::Instance().Show(kTextStillRecording, ids::kCaptionGeneral,
                                                platform::MessageIcon::Information,
                                                platform::MessageButtons::Ok, this);
    }
}

void CPlayback::OnShowFolder() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        Tell(kTextShowNothing, ids::kCaptionGeneral);
        return;
    }
    const int row = rows.front();
    const QString path = list_.rows()[row].path;
    if (!QFileInfo::exists(path)) {
        // Only the row and its entry go: the other files of a set stay where they are.
        Tell(kTextFileGone, ids::kCaptionWarning);
        list_.Forget(row);
        if (table_) {
            delete table_->takeTopLevelItem(row);
        }
        ShowCount(static_cast<int>(list_.rows().size()));
        list_.Save();
        return;
    }
    if (QFile file(path); !file.open(QIODevice::ReadOnly)) {
        // It is there, so it stays listed.
        Tell(kTextCannotOpen, ids::kCaptionGeneral);
        return;
    }
    platform::ShellExplore(QFileInfo(path).path());
    platform::ShellOpen(path);
}

void CPlayback::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FillList();
    }
    QDialog::showEvent(event);
}

void CPlayback::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        CloseFile();
    }
    QDialog::hideEvent(event);
}

void CPlayback::closeEvent(QCloseEvent* event) {
    // The main window opens and closes the dialog; asked to close, it tells the main window.
    event->ignore();
    OnCloseButton();
}

void CPlayback::reject() {
    OnCloseButton();
}

void CPlayback::OnCloseButton() {
    CloseFile();
    mainWindow_.PostMessage(ids::kPlaybackToggle, 0, 0);
}

}  // namespace ovistra
