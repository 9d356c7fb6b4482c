// The station's two colours: the background of the main window and its owner-drawn controls,
// and their text. One process-wide scheme, read and changed on the UI thread only.
#pragma once

#include <cstdint>

namespace ovistra {

struct ColourScheme {
    int backgroundRed = 30;
    int backgroundGreen = 124;
    int backgroundBlue = 255;
    int textRed = 0;
    int textGreen = 255;
    int textBlue = 100;

    // Colour values with red in the low byte, as the settings and the stored files use them.
    uint32_t Background() const { return Pack(backgroundRed, backgroundGreen, backgroundBlue); }
    uint32_t Text() const { return Pack(textRed, textGreen, textBlue); }

    bool operator==(const ColourScheme&) const = default;

    static uint32_t Pack(int r, int g, int b) {
        return static_cast<uint32_t>(r & 0xFF) | static_cast<uint32_t>(g & 0xFF) << 8 |
               static_cast<uint32_t>(b & 0xFF) << 16;
    }
};

// The scheme every owner-drawn control paints with.
ColourScheme& CurrentColourScheme();

}  // namespace ovistra
