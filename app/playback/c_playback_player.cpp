// The playback dialog's player: opening a recording's files one after the other, the position
// slider, the speeds, the jump to a moment and the export of the picture on screen.
#include <QAbstractButton>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QSlider>
#include <QTimeEdit>
#include <QTreeWidget>
#include <cmath>

#include "c_playback.h"
#include "local_clock.h"
#include "playback_graph.h"
#include "playback_jump.h"
#include "recording_control.h"
#include "recording_files.h"
#include "resource_library.h"
#include "still_picture.h"
#include "timeline_panel.h"
#include "video_view.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr uint32_t kPositionPeriodMs = 100;
constexpr int kTextBefore = 128;
constexpr int kTextAfter = 129;
constexpr int kTextSlowRefused = 142;
constexpr int kTextSpeedRefused = 331;  // fast forward and reverse
constexpr int kTextRecordedOver = 330;
constexpr int kTextPictureNotSaved = 237;
constexpr int kExportNames = 10;

}  // namespace

double CPlayback::rate() const {
    return graph_->rate();
}

void CPlayback::SelectRow(int row) {
    if (row < 0 || row >= static_cast<int>(list_.rows().size())) {
        return;
    }
    current_ = list_.Entry(row);
    setFiles_ = RecordingFiles(current_);
    setPosition_ = 0;
    const QDateTime start = ListMoment(current_.startDate, current_.startTime);
    auto* day = qobject_cast<QDateEdit*>(Control(kJumpDate));
    auto* moment = qobject_cast<QTimeEdit*>(Control(kJumpTime));
    auto* keepDay = qobject_cast<QAbstractButton*>(Control(kKeepJumpDate));
    auto* keepMoment = qobject_cast<QAbstractButton*>(Control(kKeepJumpTime));
    if (day && start.isValid() && !(keepDay && keepDay->isChecked())) {
        day->setDate(start.date());
    }
    if (moment && start.isValid() && !(keepMoment && keepMoment->isChecked())) {
        moment->setTime(start.time());
    }
    if (OpenFile(setFiles_.front())) {
        NormalPlay();
    }
}

bool CPlayback::OpenFile(const QString& path) {
    CloseFile();
    movingSlider_ = true;
    if (slider_) {
        slider_->setValue(0);
    }
    movingSlider_ = false;
    if (!graph_->Open(path.toStdString())) {
        Tell(kTextCannotOpen, ids::kCaptionGeneral);
        return false;
    }
    SetTimer(kPositionTimer, kPositionPeriodMs);
    currentFile_ = path;
    loaded_ = true;
    playing_ = true;
    ShowInformation();
    return true;
}

void CPlayback::CloseFile() {
    KillTimer(kReverseTimer);
    KillTimer(kPositionTimer);
    graph_->Close();
    speeds_.Reset();
    ShowSpeed({});
    ShowClock(std::nullopt);
    loaded_ = false;
    playing_ = false;
    currentFile_.clear();
}

void CPlayback::OnStop() {
    if (loaded_) {
        CloseFile();
        setPosition_ = 0;
    }
}

void CPlayback::ShowInformation() {
    QLabel* info = Label(kInformation);
    if (!info) {
        return;
    }
    const InfoTexts texts{resources_.Text(102), resources_.Text(219), resources_.Text(220),
                          resources_.Text(221), resources_.Text(222), resources_.Text(232),
                          resources_.Text(233), resources_.Text(234)};
    info->setText(InformationText(texts, current_, setPosition_, currentFile_,
                                  QFileInfo(currentFile_).size(),
                                  graph_->Duration().value_or(0.0)));
}

void CPlayback::NormalPlay() {
    if (!loaded_) {
        return;
    }
    KillTimer(kReverseTimer);
    SetTimer(kPositionTimer, kPositionPeriodMs);
    speeds_.Reset();
    if (graph_->rate() != 1.0) {
        graph_->SetRate(1.0);
    }
    graph_->Play();
    playing_ = true;
    ShowSpeed({});
}

void CPlayback::OnPlay() {
    NormalPlay();
}

void CPlayback::OnPause() {
    if (!loaded_) {
        return;
    }
    graph_->Pause();
    KillTimer(kReverseTimer);
    playing_ = false;
}

void CPlayback::ShowSpeed(const PlaybackSpeed& speed) {
    if (QLabel* label = Label(kSpeedLabel)) {
        label->setText(speed.label);
        // Back at the normal rate the cycle's "1x" is not shown.
        label->setHidden(speed.label.isEmpty() || (speed.rate == 1.0 && speed.stepMs == 0));
    }
}

bool CPlayback::SetRateOrRefuse(double rate, int refusedText) {
    if (graph_->SetRate(rate)) {
        return true;
    }
    NormalPlay();
    Tell(refusedText, ids::kCaptionGeneral);
    return false;
}

void CPlayback::OnFast() {
    if (!loaded_) {
        return;
    }
    NormalPlay();
    const PlaybackSpeed speed = speeds_.StartFast();
    if (SetRateOrRefuse(speed.rate, kTextSpeedRefused)) {
        ShowSpeed(speed);
    }
}

void CPlayback::OnNextFast() {
    if (!loaded_) {
        return;
    }
    const PlaybackSpeed speed = speeds_.NextFast();
    if (SetRateOrRefuse(speed.rate, kTextSpeedRefused)) {
        ShowSpeed(speed);
    }
}

void CPlayback::OnSlow() {
    if (!loaded_) {
        return;
    }
    NormalPlay();
    const PlaybackSpeed speed = speeds_.StartSlow();
    if (SetRateOrRefuse(speed.rate, kTextSlowRefused)) {
        ShowSpeed(speed);
    }
}

void CPlayback::OnNextSlow() {
    if (!loaded_) {
        return;
    }
    const PlaybackSpeed speed = speeds_.NextSlow();
    if (SetRateOrRefuse(speed.rate, kTextSlowRefused)) {
        ShowSpeed(speed);
    }
}

void CPlayback::OnReverse() {
    if (!loaded_) {
        return;
    }
    // Stepping back is a seek per step: a file whose length is unknown cannot be stepped.
    const std::optional<double> duration = graph_->Duration();
    if (!duration || *duration <= 0) {
        NormalPlay();
        Tell(kTextSpeedRefused, ids::kCaptionGeneral);
        return;
    }
    graph_->Pause();
    playing_ = false;
    if (graph_->rate() != 1.0) {
        graph_->SetRate(1.0);
    }
    const PlaybackSpeed speed = speeds_.StartReverse();
    SetTimer(kReverseTimer, speed.stepMs);
    ShowSpeed(speed);
}

void CPlayback::OnNextReverse() {
    if (!loaded_ || speeds_.reverseIndex() == 0) {
        return;
    }
    const PlaybackSpeed speed = speeds_.NextReverse();
    SetTimer(kReverseTimer, speed.stepMs);
    ShowSpeed(speed);
}

void CPlayback::StepBack() {
    if (!slider_ || !loaded_) {
        KillTimer(kReverseTimer);
        return;
    }
    const int position = speeds_.ReverseStepFrom(slider_->value());
    movingSlider_ = true;
    slider_->setValue(position);
    movingSlider_ = false;
    SeekToSlider(position);
    if (position == 0) {
        KillTimer(kReverseTimer);  // at the start there is nothing left to step back to
    }
}

void CPlayback::OnSliderMoved(int position) {
    SeekToSlider(position);
}

void CPlayback::SeekToSlider(int position) {
    const std::optional<double> duration = graph_->Duration();
    if (!loaded_ || !duration || *duration <= 0) {
        return;
    }
    graph_->Seek(position * *duration * 0.002);
    // At once, not at the next look at the player: the user dragging sees where the slider is.
    ShowClock(position * *duration * 0.002);
}

void CPlayback::ShowClock(std::optional<double> positionSeconds) {
    QLabel* clock = Label(kClockLabel);
    if (!clock) {
        return;
    }
    const QDateTime moment =
        positionSeconds && loaded_
            ? MomentInSet(current_, setPosition_, *positionSeconds, platform::LocalNow())
            : QDateTime();
    clock->setText(moment.isValid() ? moment.toString(QStringLiteral("yyyy-MM-dd  HH:mm:ss"))
                                    : QString());
}

void CPlayback::FollowPosition() {
    const std::optional<double> position = graph_->Position();
    const std::optional<double> duration = graph_->Duration();
    if (position) {
        ShowClock(position);
    }
    // An unknown or empty length gives no place on the slider.
    if (!slider_ || !position || !duration || !(*duration > 0)) {
        return;
    }
    const int place =
        std::clamp(static_cast<int>(*position / *duration * kSliderRange), 0, kSliderRange);
    if (place != slider_->value()) {
        movingSlider_ = true;
        slider_->setValue(place);
        movingSlider_ = false;
    }
}

void CPlayback::OnTimer(uintptr_t id) {
    if (id == kPositionTimer) {
        FollowPosition();
    } else if (id == kReverseTimer) {
        StepBack();
    }
}

platform::LResult CPlayback::OnMessage(uint32_t msg, platform::WParam, platform::LParam) {
    if (msg == kGraphNotify) {
        OnGraphEvents();
    }
    return 0;
}

void CPlayback::OnGraphEvents() {
    for (media::PlaybackGraph::Event event : graph_->TakeEvents()) {
        if (event == media::PlaybackGraph::Event::Error) {
            // A damaged file ends here rather than hanging the player.
            CloseFile();
            Tell(kTextCannotOpen, ids::kCaptionGeneral);
            return;
        }
        EndOfFile();
        return;  // what the old file said after its end no longer counts
    }
}

void CPlayback::EndOfFile() {
    // A set still being written plays on into the files written since it was chosen.
    FollowPlayingEntry();
    if (setFiles_.isEmpty()) {
        return;
    }
    if (setPosition_ + 1 < setFiles_.size()) {
        ++setPosition_;
        if (OpenFile(setFiles_[setPosition_])) {
            NormalPlay();
        }
        return;
    }
    // The set is over: it rests paused at its start, so Play shows it again.
    setPosition_ = 0;
    if (OpenFile(setFiles_.front())) {
        OnPause();
    }
}

void CPlayback::FollowPlayingEntry() {
    const std::optional<RecordInfo> entry = list_.EntryOf(current_.path);
    if (current_.path.isEmpty() || !entry) {
        return;
    }
    current_ = *entry;
    setFiles_ = RecordingFiles(current_);
    if (const qsizetype place = setFiles_.indexOf(currentFile_); place >= 0) {
        setPosition_ = static_cast<int>(place);
    }
    if (loaded_) {
        ShowInformation();
    }
}

void CPlayback::OnJump() {
    const auto* day = qobject_cast<const QDateEdit*>(Control(kJumpDate));
    const auto* moment = qobject_cast<const QTimeEdit*>(Control(kJumpTime));
    if (day && moment) {
        JumpTo(QDateTime(day->date(), moment->time()));
    }
}

void CPlayback::PlayAt(int row, const QDateTime& moment) {
    if (row < 0 || row >= static_cast<int>(list_.rows().size())) {
        return;
    }
    if (table_) {
        table_->setCurrentItem(table_->topLevelItem(row));
    }
    SelectRow(row);
    JumpTo(moment);
}

PlaybackTimeline* CPlayback::timeline() const {
    return timeline_ ? timeline_->timeline() : nullptr;
}

void CPlayback::JumpTo(const QDateTime& moment) {
    if (current_.path.isEmpty()) {
        return;
    }
    FollowPlayingEntry();
    const JumpTarget target = LocateMoment(current_, moment, platform::LocalNow());
    if (target.where == JumpTarget::Where::RecordedOver) {
        Tell(kTextRecordedOver, ids::kCaptionGeneral);
        return;
    }
    if (target.where != JumpTarget::Where::Inside) {
        Tell(target.where == JumpTarget::Where::Before ? kTextBefore : kTextAfter,
             ids::kCaptionGeneral);
        return;
    }
    const QString file = target.fileIndex == 0
                             ? current_.path
                             : RecordingControl::CircularFileName(current_.path, target.fileIndex);
    if (file != currentFile_ || !loaded_) {
        const int place = static_cast<int>(setFiles_.indexOf(file));
        if (place < 0) {
            // That file of the set gave way to room for other footage.
            Tell(kTextRecordedOver, ids::kCaptionGeneral);
            return;
        }
        setPosition_ = place;
        if (!OpenFile(file)) {
            return;
        }
        NormalPlay();
    }
    graph_->Seek(target.offsetSeconds);
}

QString CPlayback::ExportPath(const QString& folder) {
    exportCounter_ = (exportCounter_ + 1) % kExportNames;
    return QDir(folder).filePath(platform::LocalNow().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                                 QString::number(exportCounter_) + QStringLiteral(".bmp"));
}

void CPlayback::OnExport() {
    if (!loaded_) {
        return;
    }
    const QString folder = QFileInfo(currentFile_).dir().filePath(QStringLiteral("image"));
    QDir().mkpath(folder);
    QByteArray picture = view_ ? view_->GetCurrentImage() : QByteArray();
    if (picture.isEmpty()) {
        // A dialog never painted (no display) still has the picture the player holds.
        const media::FrameGrabber::Lease lease = grabber_.GetBuffer();
        picture = lease ? media::VideoView::PackedBitmapOf(lease.data()) : QByteArray();
    }
    // Ten names a second; an eleventh export in the same second takes none of theirs.
    for (int attempt = 0; attempt < kExportNames && !picture.isEmpty(); ++attempt) {
        const QString path = ExportPath(folder);
        const BitmapWrite written = WriteBitmapFile(path, picture);
        if (written == BitmapWrite::Written) {
            if (hooks_.pictureExported) {
                hooks_.pictureExported(path);
            }
            return;
        }
        if (written == BitmapWrite::Failed) {
            break;
        }
    }
    Tell(kTextPictureNotSaved, ids::kCaptionGeneral);
}

}  // namespace ovistra
