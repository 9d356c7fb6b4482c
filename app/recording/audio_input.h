// The sound of the audio camera: the machine's sound inputs, the rule that picks the line input
// among them, and the branch that carries its sound into a recorder's AVI mux beside the
// pictures. No line input, or no way to encode it, leaves the recording silent, never failed.
#pragma once

#include <gst/gst.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovistra {

// A sound input as the system names it.
struct AudioInput {
    std::string name;
    // A new source element of the input's sound (a floating or a full reference), or null.
    std::function<GstElement*()> makeElement;
};

// The machine's sound inputs, in enumeration order.
class AudioInputList {
public:
    virtual ~AudioInputList() = default;
    virtual std::vector<AudioInput> Inputs() const = 0;
};

// A list filled by hand: a caller's chosen inputs, or a test's.
class StaticAudioInputList final : public AudioInputList {
public:
    void Add(AudioInput input) { inputs_.push_back(std::move(input)); }
    std::vector<AudioInput> Inputs() const override { return inputs_; }

private:
    std::vector<AudioInput> inputs_;
};

// The "Audio/Source" devices GStreamer's device monitor finds, looked up on each call.
// Needs gst_init.
class SystemAudioInputList final : public AudioInputList {
public:
    std::vector<AudioInput> Inputs() const override;
};

// The first name that begins with "Line in" (ASCII letters in any case) or with "線性輸入"
// (UTF-8); nullopt when none does.
std::optional<size_t> ChooseAudioInput(const std::vector<std::string>& names);

// The bin the sound's elements sit in, inside the recorder's pipeline.
inline constexpr const char* kAudioBranchName = "Audio Capture";

// The encoder the sound is stored with.
inline constexpr const char* kAudioEncoder = "avenc_adpcm_ms";

// Adds the chosen input of `inputs` to `pipeline` as
//   source -> queue -> audioconvert -> audioresample -> caps -> encoder -> `mux` (audio_%u)
// and returns true when sound will be recorded. Call while `pipeline` is stopped and after the
// pictures are linked into `mux`: the end of the pictures then ends the sound too, so the mux
// can finish the file, and each picture reaching the mux is stamped with the time it will be
// shown at (its number times the frame duration of its caps), which the mux interleaves by.
// Where the mux cannot store what the encoder makes (avimux and ADPCM) the sound goes in as
// 16-bit PCM. False, with the pipeline as it was, when no input matches, the encoder is
// missing, or the input cannot be made, opened or linked.
bool AddAudioBranch(GstBin* pipeline, GstElement* mux, const AudioInputList& inputs,
                    const char* encoderFactory = kAudioEncoder);

}  // namespace ovistra
