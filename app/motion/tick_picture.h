// What one detection tick saw for a camera, small enough to show in the motion settings
// dialog: the grey picture and the pixels the tick counted as changed, at a quarter of the
// picture's size each way.
#pragma once

#include <cstdint>
#include <vector>

namespace ovistra {

struct TickPicture {
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

    bool valid = false;            // false until the camera's second tick
    std::vector<uint8_t> grey;     // kWidth x kHeight, row 0 the top line
    std::vector<uint8_t> changed;  // kWidth x kHeight, 1 where the tick saw a change
    bool motion = false;           // the tick counted as motion
    bool lightChange = false;      // the tick was a light change, not motion
    int threshold = 0;             // the grey threshold in force at the tick
};

}  // namespace ovistra
