#include "playback_clip.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <algorithm>
#include <numeric>

#include "c_playback.h"
#include "event_log.h"
#include "local_clock.h"
#include "playback_graph.h"
#include "playback_jump.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kTextNoMarks = 500;
constexpr int kTextEndBeforeStart = 501;
constexpr int kTextMarksGone = 502;
constexpr int kTextDamaged = 503;
constexpr int kTextNotWritten = 504;
constexpr int kTextSaved = 505;
constexpr int kTextWriting = 506;
constexpr int kTextFrom = 507;
constexpr int kTextTo = 508;
constexpr int kTextBusy = 509;
constexpr int kTextFormats = 510;

}  // namespace

std::vector<ClipPiece> PlanClip(const RecordInfo& entry, const QStringList& files,
                                const ClipMark& start, const ClipMark& end, const QDateTime& now) {
    const qsizetype first = files.indexOf(start.file);
    const qsizetype last = files.indexOf(end.file);
    if (first < 0 || last < 0 || start.recording != entry.path || end.recording != entry.path) {
        return {};
    }
    // The set's files as they were recorded; where the list's times are unknown, as numbered.
    std::vector<int> order(static_cast<size_t>(files.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const QDateTime ma = MomentInSet(entry, a, 0, now);
        const QDateTime mb = MomentInSet(entry, b, 0, now);
        return ma.isValid() && mb.isValid() && ma < mb;
    });
    const auto from = std::find(order.begin(), order.end(), static_cast<int>(first));
    const auto to = std::find(order.begin(), order.end(), static_cast<int>(last));
    if (to < from || (from == to && !(end.seconds > start.seconds))) {
        return {};
    }
    std::vector<ClipPiece> pieces;
    for (auto file = from; file <= to; ++file) {
        ClipPiece piece{files[*file], 0.0, std::nullopt};
        if (file == from) {
            piece.fromSeconds = start.seconds;
        }
        if (file == to) {
            piece.toSeconds = end.seconds;
        }
        pieces.push_back(piece);
    }
    return pieces;
}

QString ClipFileName(const QString& folder, const QDateTime& start) {
    const QString stem =
        QStringLiteral("clip-") + start.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QDir dir(folder);
    QString path = dir.filePath(stem + QStringLiteral(".avi"));
    for (int suffix = 2; QFileInfo::exists(path); ++suffix) {
        path = dir.filePath(QStringLiteral("%1-%2.avi").arg(stem).arg(suffix));
    }
    return path;
}

PlaybackClip::PlaybackClip(CPlayback& dialog) : dialog_(dialog) {
    const std::pair<int, void (PlaybackClip::*)()> buttons[] = {
        {kStartButton, &PlaybackClip::OnStart},
        {kEndButton, &PlaybackClip::OnEnd},
        {kExportButton, &PlaybackClip::OnExport},
    };
    for (const auto& [id, action] : buttons) {
        if (auto* button = qobject_cast<QAbstractButton*>(dialog_.Control(id))) {
            QObject::connect(button, &QAbstractButton::clicked, &dialog_,
                             [this, action] { (this->*action)(); });
        }
    }
}

std::optional<ClipMark> PlaybackClip::MarkHere() const {
    if (!dialog_.loaded_) {
        return std::nullopt;
    }
    const std::optional<double> position = dialog_.graph_->Position();
    if (!position) {
        return std::nullopt;
    }
    return ClipMark{dialog_.current_.path, dialog_.currentFile_, std::max(0.0, *position)};
}

void PlaybackClip::OnStart() {
    if (const std::optional<ClipMark> mark = MarkHere()) {
        start_ = mark;
        // A mark of another recording cannot end this one's clip.
        if (end_ && end_->recording != mark->recording) {
            end_.reset();
        }
        ShowMarks();
    }
}

void PlaybackClip::OnEnd() {
    if (const std::optional<ClipMark> mark = MarkHere()) {
        end_ = mark;
        if (start_ && start_->recording != mark->recording) {
            start_.reset();
        }
        ShowMarks();
    }
}

QString PlaybackClip::MomentText(const ClipMark& mark) const {
    const qsizetype file = dialog_.setFiles_.indexOf(mark.file);
    const QDateTime moment = file >= 0 ? MomentInSet(dialog_.current_, static_cast<int>(file),
                                                     mark.seconds, platform::LocalNow())
                                       : QDateTime();
    return moment.isValid() && mark.recording == dialog_.current_.path
               ? moment.toString(QStringLiteral("HH:mm:ss"))
               : QString::number(mark.seconds, 'f', 1) + QStringLiteral(" s");
}

void PlaybackClip::ShowMarks() {
    if (auto* label = qobject_cast<QLabel*>(dialog_.Control(kLabel))) {
        const ResourceLibrary& texts = dialog_.resources_;
        label->setText(QStringLiteral("%1 %2  %3 %4")
                           .arg(texts.Text(kTextFrom), start_ ? MomentText(*start_) : "-",
                                texts.Text(kTextTo), end_ ? MomentText(*end_) : "-"));
    }
}

void PlaybackClip::Refuse(int textId, const QString& reason) {
    EventLog::Instance().Print(QStringLiteral("clip-export-failed"), {{"reason", reason}});
    dialog_.Tell(textId, ids::kCaptionGeneral);
}

void PlaybackClip::OnExport() {
    if (exporter_.busy()) {
        dialog_.Tell(kTextBusy, ids::kCaptionGeneral);
        return;
    }
    if (!start_ || !end_) {
        Refuse(kTextNoMarks, QStringLiteral("unset"));
        return;
    }
    if (start_->recording != dialog_.current_.path) {
        Refuse(kTextMarksGone, QStringLiteral("range"));
        return;
    }
    // The set as its folder has it now: a file recorded over since the marks were set is gone.
    dialog_.FollowPlayingEntry();
    const QDateTime now = platform::LocalNow();
    std::vector<ClipPiece> pieces =
        PlanClip(dialog_.current_, dialog_.setFiles_, *start_, *end_, now);
    if (pieces.empty()) {
        const bool known =
            dialog_.setFiles_.contains(start_->file) && dialog_.setFiles_.contains(end_->file);
        Refuse(known ? kTextEndBeforeStart : kTextMarksGone, QStringLiteral("range"));
        return;
    }
    QDateTime startMoment =
        MomentInSet(dialog_.current_, static_cast<int>(dialog_.setFiles_.indexOf(start_->file)),
                    start_->seconds, now);
    if (!startMoment.isValid()) {
        startMoment = now;
    }
    const QString folder = QFileInfo(dialog_.current_.path).dir().filePath(QStringLiteral("image"));
    if (!QDir().mkpath(folder)) {
        Refuse(kTextNotWritten, QStringLiteral("write"));
        return;
    }
    const QString path = ClipFileName(folder, startMoment);
    exporter_.Start(std::move(pieces), path,
                    [this](const ClipResult& result) { Finished(result); });
    if (auto* button = qobject_cast<QAbstractButton*>(dialog_.Control(kExportButton))) {
        button->setEnabled(false);
    }
    if (auto* label = qobject_cast<QLabel*>(dialog_.Control(kLabel))) {
        label->setText(dialog_.resources_.Text(kTextWriting));
    }
}

void PlaybackClip::Finished(const ClipResult& result) {
    if (auto* button = qobject_cast<QAbstractButton*>(dialog_.Control(kExportButton))) {
        button->setEnabled(true);
    }
    if (!result.ok()) {
        ShowMarks();
        const ClipResult::Failure failure = result.failure;
        using F = ClipResult::Failure;
        Refuse(failure == F::Write     ? kTextNotWritten
               : failure == F::Formats ? kTextFormats
               : failure == F::Range   ? kTextMarksGone
                                       : kTextDamaged,
               FailureWord(failure));
        return;
    }
    EventLog::Instance().Print(
        QStringLiteral("clip-exported"),
        {{"file", result.path}, {"seconds", QString::number(result.seconds, 'f', 1)}});
    if (auto* label = qobject_cast<QLabel*>(dialog_.Control(kLabel))) {
        label->setText(QStringLiteral("%1 %2").arg(dialog_.resources_.Text(kTextSaved),
                                                   QDir::toNativeSeparators(result.path)));
        label->setToolTip(result.path);
    }
}

}  // namespace ovistra
