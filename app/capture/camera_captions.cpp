#include "camera_captions.h"

#include <algorithm>

namespace ovistra {
namespace {

constexpr int kEnabledCaption = 146;
constexpr int kOffCaption = 150;
constexpr int kScheduledCaption = 154;
constexpr int kRecordingCaption = 158;
constexpr int kNamePositions[] = {8, 9, 10, 9};

}  // namespace

int BaseCaptionId(int camera, const CameraCaptionState& state) {
    if (state.recording) {
        return (state.recordingBySchedule ? kScheduledCaption : kRecordingCaption) + camera;
    }
    return (state.enabled ? kEnabledCaption : kOffCaption) + camera;
}

QString DecoratedName(const QString& name) {
    if (name.isEmpty()) {
        return {};
    }
    QString shown = name;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control) {
            c = u' ';
        }
    }
    return QStringLiteral(" (") + shown + u')';
}

int NamePosition(int camera) {
    return kNamePositions[std::clamp(camera, 0, 3)];
}

QString InsertName(const QString& base, const QString& decorated, int position) {
    QString text = base;
    text.insert(std::clamp<qsizetype>(position, 0, text.size()), decorated);
    return text;
}

}  // namespace ovistra
