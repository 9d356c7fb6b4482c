#include "password_codec.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace ovistra {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every byte's 6-bit value; the upper half repeats the lower, so a set top bit is ignored.
constexpr std::array<uint8_t, 256> DecodingTable() {
    std::array<uint8_t, 256> table{};
    for (uint8_t value = 0; value < 64; ++value) {
        const auto c = static_cast<uint8_t>(kAlphabet[value]);
        table[c] = value;
        table[c | 0x80] = value;
    }
    return table;
}

constexpr std::array<uint8_t, 256> kDecoding = DecodingTable();

}  // namespace

QByteArray EncodePassword(const QByteArray& bytes) {
    return bytes.toBase64();
}

QByteArray DecodePassword(const QByteArray& encoded) {
    QByteArray decoded;
    // Four characters give three bytes; a short last group counts its missing characters as 0.
    for (qsizetype at = 0; at < encoded.size(); at += 4) {
        uint32_t group = 0;
        for (int i = 0; i < 4; ++i) {
            const qsizetype index = at + i;
            const uint8_t c = index < encoded.size() ? static_cast<uint8_t>(encoded[index]) : 0;
            group = group << 6 | kDecoding[c];
        }
        for (int shift : {16, 8, 0}) {
            const char byte = static_cast<char>(group >> shift & 0xFF);
            if (byte == 0) {
                return decoded;
            }
            decoded += byte;
        }
    }
    return decoded;
}

bool PasswordsMatch(const QByteArray& typed, const QByteArray& stored) {
    // Every byte of the longer text is looked at, whatever the first difference.
    const qsizetype length = std::max(typed.size(), stored.size());
    uint32_t difference = static_cast<uint32_t>(typed.size() ^ stored.size());
    for (qsizetype i = 0; i < length; ++i) {
        const auto a = static_cast<uint8_t>(i < typed.size() ? typed[i] : 0);
        const auto b = static_cast<uint8_t>(i < stored.size() ? stored[i] : 0);
        difference |= static_cast<uint32_t>(a ^ b);
    }
    return difference == 0;
}

void Wipe(QByteArray& bytes) {
    if (!bytes.isEmpty()) {
        // Only memory this object holds alone is wiped: a copy shares it until written.
        volatile char* data = bytes.data();
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            data[i] = 0;
        }
    }
    bytes.clear();
}

void Wipe(QString& text) {
    if (!text.isEmpty()) {
        volatile char16_t* data = reinterpret_cast<char16_t*>(text.data());
        for (qsizetype i = 0; i < text.size(); ++i) {
            data[i] = 0;
        }
    }
    text.clear();
}

}  // namespace ovistra
