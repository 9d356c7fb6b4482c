// The playback dialog's speeds: fast and slow cycle through four rates each, reverse steps back
// through four step rates. Each press gives the rate, the label and (reverse) the step period.
#pragma once

#include <QString>
#include <cstdint>

namespace ovistra {

struct PlaybackSpeed {
    double rate = 1.0;
    QString label;        // empty: no label shown
    uint32_t stepMs = 0;  // reverse: the stepping timer's period
    int reverseStep = 0;  // reverse: slider units per step (the slider spans 0..500)
};

class PlaybackSpeeds {
public:
    // Normal play: every cycle starts over.
    void Reset();

    PlaybackSpeed StartFast();  // 2x
    PlaybackSpeed NextFast();   // 3x, 4x, 1x (no label), 2x, ...
    PlaybackSpeed StartSlow();  // 1/2x
    PlaybackSpeed NextSlow();   // 1/3x, 1/4x, 1x, 1/2x, ...
    // Reverse from normal play or anew while reversing: "<-1x", one step a second.
    PlaybackSpeed StartReverse();
    PlaybackSpeed
    NextReverse();  // "<-2x" every 250 ms, "<-3x" 166 ms, "<-4x" 125 ms, "<-1x" 500 ms

    int reverseIndex() const { return reverse_; }

    // The slider position after one reverse step from `position`, never below the start.
    int ReverseStepFrom(int position) const;

private:
    int fast_ = 2;
    int slow_ = 2;
    int reverse_ = 0;  // 0: not reversing
};

}  // namespace ovistra
