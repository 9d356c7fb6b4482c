#include "seconds_text.h"

#include <algorithm>
#include <limits>
#include <string>

namespace ovistra {
namespace {

constexpr uint64_t kSaturated = std::numeric_limits<uint64_t>::max();
// Far beyond any digit count that fits 64 bits; keeps a typed "1e999999999" from looping long.
constexpr int kExponentLimit = 9999;

bool IsAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

}  // namespace

std::optional<uint64_t> MillisecondsFromSecondsText(QStringView text) {
    const QStringView t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    std::string digits;
    long long wholeDigits = 0;  // digits before the point
    bool point = false;
    for (; i < t.size(); ++i) {
        if (IsAsciiDigit(t[i])) {
            digits.push_back(static_cast<char>(t[i].unicode()));
            wholeDigits += point ? 0 : 1;
        } else if (t[i] == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    int exponent = 0;
    if (i < t.size() && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ++i;
        bool exponentNegative = false;
        if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
            exponentNegative = t[i] == QLatin1Char('-');
            ++i;
        }
        const qsizetype first = i;
        for (; i < t.size() && IsAsciiDigit(t[i]); ++i) {
            exponent = std::min(kExponentLimit, exponent * 10 + (t[i].unicode() - '0'));
        }
        if (i == first) {
            return std::nullopt;
        }
        exponent = exponentNegative ? -exponent : exponent;
    }
    if (i != t.size()) {
        return std::nullopt;
    }
    if (negative) {
        return 0;
    }
    // Milliseconds are the digits up to the third after the point (moved by the exponent).
    const long long msDigits = wholeDigits + exponent + 3;
    uint64_t ms = 0;
    for (long long k = 0; k < msDigits; ++k) {
        const unsigned digit =
            k < static_cast<long long>(digits.size()) ? static_cast<unsigned>(digits[k] - '0') : 0;
        if (ms > (kSaturated - digit) / 10) {
            return kSaturated;
        }
        ms = ms * 10 + digit;
    }
    return ms;
}

std::optional<uint32_t> DwellMsFromText(QStringView text) {
    const std::optional<uint64_t> ms = MillisecondsFromSecondsText(text);
    if (!ms) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(std::clamp<uint64_t>(*ms, kShortestDwellMs, kLongestDwellMs));
}

QString SecondsText(uint32_t ms) {
    QString text = QString::number(ms / 1000);
    if (const uint32_t fraction = ms % 1000; fraction != 0) {
        QString decimals = QStringLiteral("%1").arg(fraction, 3, 10, QLatin1Char('0'));
        while (decimals.endsWith(QLatin1Char('0'))) {
            decimals.chop(1);
        }
        text += QLatin1Char('.') + decimals;
    }
    return text;
}

}  // namespace ovistra
