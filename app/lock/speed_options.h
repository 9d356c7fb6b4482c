// The cycling speed options of the camera settings dialog. Each offers a few display times (how
// long a camera's branch is fed in the four-picture view) and fixes the cycle total that the
// display time and the settling time after the input switch share.
#pragma once

#include <cstdint>
#include <span>

namespace ovistra {

struct SpeedOption {
    uint32_t control;  // the option's radio button; stored as "FrameSpeed"
    std::span<const uint32_t> displayTimesMs;
    uint32_t firstIndex;  // the entry a fresh choice of the option selects
    uint32_t cycleTotalMs;
};

// All options, in the order the dialog lists them.
std::span<const SpeedOption> SpeedOptions();

// The option of this control; null for any other number (1139, between them, is the
// black-and-white button).
const SpeedOption* FindSpeedOption(uint32_t control);

struct SpeedChoice {
    const SpeedOption* option;
    uint32_t index;  // into option->displayTimesMs

    uint32_t displayTimeMs() const { return option->displayTimesMs[index]; }
    uint32_t intervalTimeMs() const { return option->cycleTotalMs - displayTimeMs(); }
};

// A fresh choice of the option: its own entry.
SpeedChoice FirstChoice(const SpeedOption& option);

// The stored "FrameSpeed" and "SelectDis" as a choice the dialog can show: an unknown option
// gives 1140 with entry 1, an index past the option's list the option's own entry.
SpeedChoice ChoiceFromStored(uint32_t frameSpeed, uint32_t selectDis);

}  // namespace ovistra
