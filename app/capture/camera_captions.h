// The captions under the camera pictures: a base caption by the camera's state with the
// camera's name inserted right after its label.
#pragma once

#include <QString>

namespace ovistra {

struct CameraCaptionState {
    bool enabled = true;
    bool recording = false;
    bool recordingBySchedule = false;  // the recording was started by the schedule
};

// The text number of camera `camera`'s (0..3) base caption.
int BaseCaptionId(int camera, const CameraCaptionState& state);

// " (name)", or empty for an empty name. Line breaks and other control characters become
// blanks, so a name always stays on its caption's one line.
QString DecoratedName(const QString& name);

// Where the name goes in camera `camera`'s (0..3) caption: right after its label.
int NamePosition(int camera);

// `base` with `decorated` inserted at `position`; a position past the end appends.
QString InsertName(const QString& base, const QString& decorated, int position);

}  // namespace ovistra
