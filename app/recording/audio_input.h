// The sound of the audio camera: the station's sound inputs, the rule that picks one among
// them, and the branch that carries its sound into a recorder's AVI mux beside the pictures.
// No input to take, or no way to encode it, leaves the recording silent, never failed.
#pragma once

#include <gst/gst.h>

#include <cstddef>
#include <functional>
#include <memory>
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

// What the choice among the inputs looks for besides a line input.
struct AudioPreference {
    std::string deviceName;  // the capture device's name: its own input; "" none
    std::string chosenName;  // the "AudioInput" setting; "" automatic
};

// Sound inputs in enumeration order: the machine's, or a chosen few.
class AudioInputList {
public:
    virtual ~AudioInputList() = default;
    virtual std::vector<AudioInput> Inputs() const = 0;
    // What the station prefers among them; by default a line input only.
    virtual AudioPreference Preference() const { return {}; }
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

// The station's inputs: the capture device's own (its USB audio interface, where the device
// makes it rather than the machine listing it) before the machine's, with what the station
// prefers among them.
class StationAudioInputs final : public AudioInputList {
public:
    StationAudioInputs(std::vector<AudioInput> deviceInputs,
                       std::shared_ptr<const AudioInputList> machine, AudioPreference preference)
        : deviceInputs_(std::move(deviceInputs)),
          machine_(std::move(machine)),
          preference_(std::move(preference)) {}
    std::vector<AudioInput> Inputs() const override;
    AudioPreference Preference() const override { return preference_; }

private:
    std::vector<AudioInput> deviceInputs_;
    std::shared_ptr<const AudioInputList> machine_;  // may be null
    AudioPreference preference_;
};

// The input sound is taken from, by name: the first that contains the capture device's name
// (ASCII letters in any case), else the first that begins with "Line in" (likewise) or with
// "線性輸入" (UTF-8), else the one named exactly as the user chose; nullopt when none is.
std::optional<size_t> ChooseAudioInput(const std::vector<std::string>& names,
                                       const AudioPreference& preference = {});

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
