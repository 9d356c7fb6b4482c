#include "playback_speeds.h"

#include <algorithm>

namespace ovistra {
namespace {

constexpr int kSpeeds = 4;
constexpr uint32_t kReverseStartMs = 1000;

int Advance(int index) {
    return index % kSpeeds + 1;  // 1 -> 2 -> 3 -> 4 -> 1
}

}  // namespace

void PlaybackSpeeds::Reset() {
    fast_ = 2;
    slow_ = 2;
    reverse_ = 0;
}

PlaybackSpeed PlaybackSpeeds::StartFast() {
    Reset();
    return NextFast();
}

PlaybackSpeed PlaybackSpeeds::NextFast() {
    PlaybackSpeed speed;
    speed.rate = fast_;
    if (fast_ != 1) {
        speed.label = QStringLiteral("%1x").arg(fast_);
    }
    fast_ = Advance(fast_);
    return speed;
}

PlaybackSpeed PlaybackSpeeds::StartSlow() {
    Reset();
    return NextSlow();
}

PlaybackSpeed PlaybackSpeeds::NextSlow() {
    PlaybackSpeed speed;
    speed.rate = 1.0 / slow_;
    speed.label = slow_ == 1 ? QStringLiteral("1x") : QStringLiteral("1/%1x").arg(slow_);
    slow_ = Advance(slow_);
    return speed;
}

PlaybackSpeed PlaybackSpeeds::StartReverse() {
    // Pressed again while reversing it starts over at one step a second, not at a fifth speed.
    reverse_ = 1;
    return {1.0, QStringLiteral("<-1x"), kReverseStartMs, reverse_};
}

PlaybackSpeed PlaybackSpeeds::NextReverse() {
    reverse_ = Advance(reverse_);
    return {1.0, QStringLiteral("<-%1x").arg(reverse_),
            kReverseStartMs / (2 * static_cast<uint32_t>(reverse_)), reverse_};
}

int PlaybackSpeeds::ReverseStepFrom(int position) const {
    return std::max(0, position - reverse_);
}

}  // namespace ovistra
