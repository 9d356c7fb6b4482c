// Counters the station reports at shutdown. Streaming and switching threads count; the UI
// thread reads.
#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <cstdint>

namespace ovistra {

struct StationStatistics {
    // --- counted on other threads, read on the UI thread (atomics)
    std::array<std::atomic<uint64_t>, 4> frames{};  // frames each camera's grabber received
    std::atomic<uint64_t> switches{0};              // decoder input switches

    // "N,N,N,N" for the statistics event.
    QString FramesText() const {
        QString text;
        for (const auto& count : frames) {
            text += (text.isEmpty() ? "" : ",") + QString::number(count.load());
        }
        return text;
    }
};

}  // namespace ovistra
