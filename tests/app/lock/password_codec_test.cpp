// The stored password's text: what the decoder makes of well-formed, damaged and hostile
// values, and the comparison the prompt makes.
#include "password_codec.h"

#include <gtest/gtest.h>

namespace ovistra {
namespace {

TEST(PasswordCodec, DecodesWhatTheFileMayHoldWithoutReadingPastIt) {
    const struct {
        QByteArray encoded;
        QByteArray decoded;
    } cases[] = {
        {"R2FyZGVuNw==", "Garden7"},
        {"QUJD", "ABC"},
        {"QQ==", "A"},
        {"QUJ", "AB@"},  // a short group: the missing character counts as 0
        {"Q", "@"},      // a lone character still gives its six bits
        {"", ""},
        {"QUJDAAAARA==", "ABC"},            // a zero byte ends the password
        {"Q=JD", QByteArray("@\x02\x43")},  // "=" counts as 0 wherever it stands
        {"Q*JD", QByteArray("@\x02\x43")},  // so does anything outside the alphabet
        {"\xD1\xD5\xCA\xC4", "ABC"},        // a set top bit is ignored
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodePassword(c.encoded), c.decoded) << c.encoded.toStdString();
    }
    for (const QByteArray& password : {QByteArray("Garden7"), QByteArray("\xC3\xA9t\xC3\xA9")}) {
        EXPECT_EQ(DecodePassword(EncodePassword(password)), password);
    }
}

TEST(PasswordCodec, OnlyTheExactPasswordMatches) {
    const struct {
        QByteArray typed, stored;
        bool match;
    } cases[] = {
        {"Garden7", "Garden7", true},
        {"garden7", "Garden7", false},
        {"Garden", "Garden7", false},
        {"Garden77", "Garden7", false},
        {"", "", true},
        {"x", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PasswordsMatch(c.typed, c.stored), c.match) << c.typed.toStdString();
    }
}

}  // namespace
}  // namespace ovistra
