#include "chip_property_over_bus.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_capture_device.h"

namespace {

using ovistra::media::ChipPropertyOverBus;
using ovistra::media::E_FAIL;
using ovistra::media::E_INVALIDARG;
using ovistra::media::E_POINTER;
using ovistra::media::HRESULT;
using ovistra::media::kProp4135;
using ovistra::media::kProp4136;
using ovistra::media::kPropChipId;
using ovistra::media::kPropI2cCommand;
using ovistra::media::kPropI2cData;
using ovistra::media::S_OK;
using ovistra::testing::RecordingBus;

class ChipProperty : public ::testing::Test {
protected:
    HRESULT Command(uint32_t word) { return chip.SetValue(kPropI2cCommand, &word); }
    HRESULT Data(std::vector<uint8_t> bytes) { return chip.SetValue(kPropI2cData, bytes.data()); }

    RecordingBus bus;
    ChipPropertyOverBus chip{bus, 0x34, 0x1111, 0x2222};
};

TEST_F(ChipProperty, CommandWordThenDataWritesTheCountedBytes) {
    ASSERT_EQ(Command(0x014A0201), S_OK);
    EXPECT_EQ(Data({3, 9, 9}), S_OK);
    ASSERT_EQ(Command(0x01200703), S_OK);
    EXPECT_EQ(Data({1, 2, 3, 4}), S_OK);
    EXPECT_EQ(bus.writes(),
              (std::vector<RecordingBus::Write>{{0x4A, 2, {3}}, {0x20, 7, {1, 2, 3}}}));
}

TEST_F(ChipProperty, DataWithoutAnOpenTransferWritesNothing) {
    struct Case {
        const char* label;
        std::vector<uint32_t> commands;
        HRESULT lastCommandResult;
    } cases[] = {
        {"no command word", {}, S_OK},
        {"abandoned", {0x014A0201, 0}, S_OK},
        {"start bit missing", {0x004A0201}, E_INVALIDARG},
        {"reserved bits set", {0x034A0201}, E_INVALIDARG},
        {"bad word after a good one", {0x014A0201, 0x804A0201}, E_INVALIDARG},
        {"zero count", {0x014A0200}, S_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingBus caseBus;
        ChipPropertyOverBus caseChip(caseBus, 0, 0, 0);
        HRESULT result = S_OK;
        for (uint32_t word : c.commands) {
            result = caseChip.SetValue(kPropI2cCommand, &word);
        }
        EXPECT_EQ(result, c.lastCommandResult);
        const uint8_t byte = 1;
        EXPECT_EQ(caseChip.SetValue(kPropI2cData, &byte), E_FAIL);
        EXPECT_TRUE(caseBus.writes().empty());
    }
}

TEST_F(ChipProperty, OneDataWritePerCommandWordAndNoneTheBusRefuses) {
    ASSERT_EQ(Command(0x014A0201), S_OK);
    EXPECT_EQ(Data({1}), S_OK);
    EXPECT_EQ(Data({2}), E_FAIL);
    bus.refuse = true;
    ASSERT_EQ(Command(0x014A0201), S_OK);
    EXPECT_EQ(Data({3}), E_FAIL);
    EXPECT_EQ(bus.writes().size(), 1u);
}

TEST_F(ChipProperty, NullPointersAndUnknownIdsAreRefused) {
    EXPECT_EQ(chip.SetValue(kPropI2cCommand, nullptr), E_POINTER);
    EXPECT_EQ(chip.GetValue(kPropChipId, nullptr), E_POINTER);
    const uint32_t word = 0x014A0201;
    EXPECT_EQ(chip.SetValue(4105, &word), E_INVALIDARG);
    uint32_t value = 5;
    EXPECT_EQ(chip.GetValue(kPropI2cCommand, &value), E_INVALIDARG);
    EXPECT_EQ(value, 5u);
}

TEST_F(ChipProperty, IdentityReadsBack) {
    const std::pair<uint32_t, uint32_t> cases[] = {
        {kPropChipId, 0x34}, {kProp4135, 0x1111}, {kProp4136, 0x2222}};
    for (const auto& [id, expected] : cases) {
        uint32_t value = 0;
        EXPECT_EQ(chip.GetValue(id, &value), S_OK);
        EXPECT_EQ(value, expected) << id;
    }
}

}  // namespace
