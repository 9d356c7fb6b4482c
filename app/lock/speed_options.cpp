#include "speed_options.h"

#include <array>

namespace ovistra {
namespace {

constexpr std::array<uint32_t, 4> kQuarterSteps{25, 50, 75, 100};
constexpr std::array<uint32_t, 4> kShortSteps{25, 30, 40, 60};
constexpr std::array<uint32_t, 1> kThirty{30};

constexpr uint32_t kDefaultOption = 1140;
constexpr uint32_t kDefaultIndex = 1;

constexpr std::array<SpeedOption, 5> kOptions{{
    {1137, kQuarterSteps, 0, 325},
    {1136, kShortSteps, 0, 275},
    {1138, kThirty, 0, 230},
    {1141, kThirty, 0, 230},
    {kDefaultOption, kQuarterSteps, kDefaultIndex, 350},
}};

}  // namespace

std::span<const SpeedOption> SpeedOptions() {
    return kOptions;
}

const SpeedOption* FindSpeedOption(uint32_t control) {
    for (const SpeedOption& option : kOptions) {
        if (option.control == control) {
            return &option;
        }
    }
    return nullptr;
}

SpeedChoice FirstChoice(const SpeedOption& option) {
    return {&option, option.firstIndex};
}

SpeedChoice ChoiceFromStored(uint32_t frameSpeed, uint32_t selectDis) {
    const SpeedOption* option = FindSpeedOption(frameSpeed);
    if (!option) {
        return {FindSpeedOption(kDefaultOption), kDefaultIndex};
    }
    if (selectDis >= option->displayTimesMs.size()) {
        return FirstChoice(*option);
    }
    return {option, selectDis};
}

}  // namespace ovistra
