// The cycling timings of the camera settings: typed seconds to whole milliseconds, and the
// stored speed option read back into a choice the dialog can show.
#include <gtest/gtest.h>

#include "seconds_text.h"
#include "speed_options.h"

namespace ovistra {
namespace {

TEST(SecondsText, TypedSecondsBecomeTruncatedMillisecondsWithoutBinaryRounding) {
    const struct {
        const char* typed;
        std::optional<uint32_t> dwellMs;
    } cases[] = {
        {"1.005", 1005},
        {"1.2345", 1234},
        {"0.29", 290},
        {" 2 ", 2000},
        {".5", 500},
        {"2e-1", 200},
        {"1.5E1", 15000},
        {"0.05", 80},
        {"0", 80},
        {"-1", 80},
        {"0.0799", 80},
        {"1e12", 60000},
        {"9e999999", 60000},
        {"60.0009", 60000},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1e", std::nullopt},
        {"-", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DwellMsFromText(QString::fromLatin1(c.typed)), c.dwellMs) << c.typed;
    }
}

TEST(SecondsText, ShownSecondsReadBackAsTheSameMilliseconds) {
    for (uint32_t ms : {80u, 100u, 999u, 1000u, 1005u, 1234u, 60000u}) {
        EXPECT_EQ(DwellMsFromText(SecondsText(ms)), ms) << SecondsText(ms).toStdString();
    }
    EXPECT_EQ(SecondsText(80), QStringLiteral("0.08"));
    EXPECT_EQ(SecondsText(1000), QStringLiteral("1"));
}

TEST(SpeedOptions, StoredChoiceFallsBackWhenTheKeyFileHoldsAWildOne) {
    const struct {
        uint32_t frameSpeed, selectDis;
        uint32_t control, index, disTimeMs, intervalTimeMs;
    } cases[] = {
        {1140, 1, 1140, 1, 50, 300},        {1140, 3, 1140, 3, 100, 250},
        {1137, 0, 1137, 0, 25, 300},        {1136, 3, 1136, 3, 60, 215},
        {1138, 0, 1138, 0, 30, 200},        {1138, 3, 1138, 0, 30, 200},
        {1139, 0, 1140, 1, 50, 300},        {0, 0, 1140, 1, 50, 300},
        {0xFFFFFFFF, 99, 1140, 1, 50, 300}, {1141, 0xFFFFFFFF, 1141, 0, 30, 200},
    };
    for (const auto& c : cases) {
        const SpeedChoice choice = ChoiceFromStored(c.frameSpeed, c.selectDis);
        EXPECT_EQ(choice.option->control, c.control) << c.frameSpeed << " " << c.selectDis;
        EXPECT_EQ(choice.index, c.index) << c.frameSpeed << " " << c.selectDis;
        EXPECT_EQ(choice.displayTimeMs(), c.disTimeMs) << c.frameSpeed;
        EXPECT_EQ(choice.intervalTimeMs(), c.intervalTimeMs) << c.frameSpeed;
    }
}

}  // namespace
}  // namespace ovistra
