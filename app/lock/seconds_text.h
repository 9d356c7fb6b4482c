// The cycling view's dwell time as the user types it, in seconds, and as the station keeps it,
// in whole milliseconds. The conversion works on the decimal digits themselves, so a typed
// 1.005 s is 1005 ms and not the 1004 that binary floating point would give.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace ovistra {

inline constexpr uint32_t kShortestDwellMs = 80;
// What the settings store still accepts: a longer dwell never shows the other cameras.
inline constexpr uint32_t kLongestDwellMs = 60000;

// Milliseconds in a decimal text of seconds ("1.2345", ".5", "2e1"), truncated; a negative
// text gives 0 and a huge one saturates. Nullopt when the text is no number.
std::optional<uint64_t> MillisecondsFromSecondsText(QStringView text);

// The dwell time a typed text asks for, brought into kShortestDwellMs..kLongestDwellMs;
// nullopt when the text is no number.
std::optional<uint32_t> DwellMsFromText(QStringView text);

// Whole milliseconds as seconds: "1", "0.08", "1.234".
QString SecondsText(uint32_t ms);

}  // namespace ovistra
