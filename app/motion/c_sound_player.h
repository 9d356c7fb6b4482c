// Plays one sound file over and over: the alarm sound. The pipeline reports to a window by a
// posted message; the window hands the message back to DrainEvents, which starts the sound
// again at its end.
#pragma once

#include <QString>
#include <cstdint>

#include "message_window.h"

typedef struct _GstElement GstElement;

namespace ovistra {

class CSoundPlayer {
public:
    // "fake" in OVISTRA_AUDIO_SINK plays into a clocked fake sink (tests, machines without
    // sound); anything else, or nothing, the machine's default audio output.
    static constexpr const char* kSinkVariable = "OVISTRA_AUDIO_SINK";

    // Every report of the pipeline posts `message` (no parameters) to `notify`.
    CSoundPlayer(platform::WindowHandle notify, uint32_t message);
    ~CSoundPlayer();
    CSoundPlayer(const CSoundPlayer&) = delete;
    CSoundPlayer& operator=(const CSoundPlayer&) = delete;

    enum class Drained { Fine, Failed };

    // Builds the pipeline and lets it get ready on its own threads: the caller never waits for
    // the file to be read. False when the file is missing or there is no audio output; a file
    // that cannot be decoded fails later, in DrainEvents. A failed player stays silent until
    // it is opened again.
    bool Open(const QString& path);
    bool Start();  // false without an opened file
    bool Stop();
    // On the notification message: handles what the pipeline reported; at the end of the
    // sound it plays from the beginning again. Failed: the pipeline broke (a file that cannot
    // be played, a lost output) and is gone.
    Drained DrainEvents();

    bool opened() const { return pipeline_ != nullptr; }
    bool playing() const { return playing_; }
    // Times the sound reached its end and was started again.
    int repeats() const { return repeats_; }

private:
    platform::WindowHandle notify_;
    uint32_t message_;
    GstElement* pipeline_ = nullptr;
    bool playing_ = false;
    int repeats_ = 0;
};

}  // namespace ovistra
