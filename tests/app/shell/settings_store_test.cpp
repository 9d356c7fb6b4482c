#include "settings_store.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <thread>

#include "file_bytes.h"
#include "folders.h"

namespace {

using ovistra::MillisecondsFromSeconds;
using ovistra::OpenedDialogs;
using ovistra::RegistrySettings;
using ovistra::SettingsStore;
using ovistra::platform::RegistryStore;

const QByteArray kKeyHeader = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel]\n";

using testsupport::ReadAll;

class Settings : public ::testing::Test {
protected:
    void WriteKey(const QByteArray& values) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kKeyHeader + values);
    }
    RegistrySettings Loaded() {
        RegistrySettings s;
        settings.LoadAll(s);
        return s;
    }

    QTemporaryDir dir;
    QString file = dir.filePath("Brisquel.reg");
    RegistryStore registry{file};
    SettingsStore settings{registry};
};

void ExpectDefaults(const RegistrySettings& s) {
    EXPECT_EQ(s.frameRate, (std::array<uint32_t, 4>{2, 2, 2, 2}));
    EXPECT_EQ(s.frameRateAll, 2u);
    EXPECT_EQ(s.intervalTimeMs.Get(), 300u);
    EXPECT_EQ(s.eachTimeMs.Get(), 1000u);
    EXPECT_EQ(s.disTimeMs.Get(), 50u);
    EXPECT_EQ(s.brightness, 100u);
    EXPECT_EQ(s.frameSpeed, 1140u);
    EXPECT_EQ(s.selectDis, 1u);
    EXPECT_EQ(s.senseMode, 200u);
    EXPECT_EQ(s.detectingAction, 1u);
    EXPECT_EQ(s.motionDetectCamera, 0u);
    EXPECT_EQ(s.recordPath, "");
    EXPECT_EQ(s.timeStamp, 0xFu);  // footage without its time is poor evidence
    EXPECT_EQ(s.cameraAudio, 0u);
    EXPECT_FALSE(s.recordMode);
    EXPECT_EQ(s.audioInput, "");
    EXPECT_EQ(s.scheduleCamera, 0u);
    EXPECT_EQ(s.cameraSchedule[0], "");
    EXPECT_EQ(s.cameraOsd[3], "");
}

TEST_F(Settings, EmptyOrMissingKeyKeepsEveryDefault) {
    RegistrySettings s;
    EXPECT_FALSE(settings.LoadSchedules(s));
    EXPECT_FALSE(settings.LoadRecordSettings(s));
    EXPECT_FALSE(settings.LoadCameraSettings(s));
    EXPECT_FALSE(settings.LoadMotionSettings(s));
    ExpectDefaults(s);
    WriteKey("");
    ExpectDefaults(Loaded());
}

TEST_F(Settings, StoredValuesAreLoadedWithTheirReplacementRules) {
    WriteKey(
        "\"FrameRate3\"=dword:00000000\n\"FrameRate2\"=dword:00000007\n"
        "\"FrameRateAll\"=dword:00000000\n\"FrameRate4\"=\"12\"\n"
        "\"Camera2EndSchedule\"=\"\"\n\"Camera1Schedule\"=\"20261208083000\"\n"
        "\"ScheduleCamera\"=dword:00000005\n\"RecordPath\"=\"\"\n"
        "\"RecordMode\"=dword:00000009\n\"TimeStamp\"=dword:0000000f\n"
        "\"CameraAudio\"=dword:00000002\n\"Camera3OSD\"=\"Yard\"\n"
        "\"EachTime\"=dword:000004d2\n\"Distime\"=dword:00000019\n"
        "\"Intervaltime\"=dword:00000000\n\"Brightness\"=dword:000000ff\n"
        "\"FrameSpeed\"=dword:00000471\n\"SelectDis\"=dword:00000006\n"
        "\"MotionDetectCamera\"=dword:00000003\n\"SenseMode\"=dword:00000032\n"
        "\"DetectingAction\"=dword:00000007\n\"AppPath\"=\"/srv/station/\"\n"
        "\"AudioInput\"=\"Built-in Audio Analog Stereo\"\n");
    const RegistrySettings s = Loaded();
    EXPECT_EQ(s.frameRate,
              (std::array<uint32_t, 4>{2, 7, 25, 2}));  // 0 -> 25; a string is no number
    EXPECT_EQ(s.frameRateAll, 25u);
    EXPECT_EQ(s.cameraEndSchedule[1], "19711010");  // stored empty
    EXPECT_EQ(s.cameraEndSchedule[0], "");          // absent
    EXPECT_EQ(s.cameraSchedule[0], "20261208083000");
    EXPECT_EQ(s.scheduleCamera, 5u);
    EXPECT_EQ(s.recordPath, "");  // stays as stored
    EXPECT_EQ(s.RecordFolder(), ovistra::platform::RecordFolderFrom(""));
    EXPECT_TRUE(s.recordMode);
    EXPECT_EQ(s.timeStamp, 15u);
    EXPECT_EQ(s.cameraAudio, 2u);
    EXPECT_EQ(s.cameraOsd[2], "Yard");
    EXPECT_EQ(s.eachTimeMs.Get(), 1234u);
    EXPECT_EQ(s.disTimeMs.Get(), 25u);
    EXPECT_EQ(s.intervalTimeMs.Get(), 0u);
    EXPECT_EQ(s.brightness, 255u);
    EXPECT_EQ(s.frameSpeed, 1137u);
    EXPECT_EQ(s.selectDis, 6u);
    EXPECT_EQ(s.motionDetectCamera, 3u);
    EXPECT_EQ(s.senseMode, 50u);
    EXPECT_EQ(s.detectingAction, 7u);
    EXPECT_EQ(s.appPath, "/srv/station/");
    EXPECT_EQ(s.audioInput, "Built-in Audio Analog Stereo");
}

TEST_F(Settings, WildNumbersKeepTheirDefaults) {
    WriteKey(
        "\"FrameRate1\"=dword:00001388\n\"FrameRate2\"=dword:0000001f\n"
        "\"FrameRateAll\"=dword:ffffffff\n\"Intervaltime\"=dword:ffffffff\n"
        "\"Distime\"=dword:0000ea61\n\"EachTime\"=dword:0000004f\n"
        "\"CameraAudio\"=dword:00000009\n\"TimeStamp\"=dword:00000010\n"
        "\"ScheduleCamera\"=dword:80000001\n"
        "\"DetectingAction\"=dword:00000100\n\"SenseMode\"=dword:00000100\n"
        "\"Brightness\"=dword:00000100\n\"FrameSpeed\"=dword:00000476\n"
        "\"SelectDis\"=dword:00000007\n\"AudioInput\"=dword:00000001\n");
    ExpectDefaults(Loaded());
    // The edges of the ranges are taken.
    WriteKey(
        "\"FrameRate1\"=dword:0000001e\n\"FrameRate2\"=dword:00000001\n"
        "\"Intervaltime\"=dword:0000ea60\n\"EachTime\"=dword:00000050\n"
        "\"CameraAudio\"=dword:00000004\n\"FrameSpeed\"=dword:00000470\n");
    const RegistrySettings s = Loaded();
    EXPECT_EQ(s.frameRate[0], 30u);
    EXPECT_EQ(s.frameRate[1], 1u);
    EXPECT_EQ(s.intervalTimeMs.Get(), 60000u);
    EXPECT_EQ(s.eachTimeMs.Get(), 80u);
    EXPECT_EQ(s.cameraAudio, 4u);
    EXPECT_EQ(s.frameSpeed, 1136u);
}

TEST_F(Settings, MotionValuesKeepTheirBitsAndWildNumbersKeepTheirDefaults) {
    struct Case {
        const char* stored;
        uint32_t cameras, senseMode, preAlarm, minTicks;
        bool lightReject;
    } const cases[] = {
        // High camera bits stay as stored; whoever reads the mask looks at the low four.
        {"\"MotionDetectCamera\"=dword:00000013\n", 0x13, 200, 3, 1, true},
        {"\"MotionDetectCamera\"=dword:00000010\n", 0x10, 200, 3, 1, true},
        {"\"SenseMode\"=dword:00000000\n", 0, 0, 3, 1, true},  // follows the noise
        {"\"SenseMode\"=dword:000000ff\n", 0, 255, 3, 1, true},
        {"\"SenseMode\"=dword:00000100\n", 0, 200, 3, 1, true},
        {"\"PreAlarmSeconds\"=dword:00000000\n", 0, 200, 0, 1, true},
        {"\"PreAlarmSeconds\"=dword:0000001e\n", 0, 200, 30, 1, true},
        {"\"PreAlarmSeconds\"=dword:0000001f\n", 0, 200, 3, 1, true},
        {"\"PreAlarmSeconds\"=\"5\"\n", 0, 200, 3, 1, true},
        {"\"AlarmMinTicks\"=dword:00000000\n", 0, 200, 3, 1, true},
        {"\"AlarmMinTicks\"=dword:00000004\n", 0, 200, 3, 4, true},
        {"\"LightChangeReject\"=dword:00000000\n", 0, 200, 3, 1, false},
    };
    for (const Case& c : cases) {
        WriteKey(c.stored);
        const RegistrySettings s = Loaded();
        EXPECT_EQ(s.motionDetectCamera, c.cameras) << c.stored;
        EXPECT_EQ(s.senseMode, c.senseMode) << c.stored;
        EXPECT_EQ(s.preAlarmSeconds, c.preAlarm) << c.stored;
        EXPECT_EQ(s.alarmMinTicks, c.minTicks) << c.stored;
        EXPECT_EQ(s.lightChangeReject, c.lightReject) << c.stored;
    }
}

TEST_F(Settings, NetworkValuesOutsideTheirRangesKeepTheServerOffOnLoopback) {
    struct Case {
        const char* stored;
        uint32_t port, rate, clients;
        const char* bind;
    } const cases[] = {
        {"", 0, 10, 8, "127.0.0.1"},
        {"\"RtspPort\"=dword:00002162\n", 8546, 10, 8, "127.0.0.1"},
        {"\"RtspPort\"=dword:00010000\n", 0, 10, 8, "127.0.0.1"},
        {"\"RtspPort\"=\"8554\"\n", 0, 10, 8, "127.0.0.1"},
        {"\"RtspBind\"=\"\"\n", 0, 10, 8, "127.0.0.1"},  // never "everywhere" by accident
        {"\"RtspBind\"=\"  \"\n", 0, 10, 8, "127.0.0.1"},
        {"\"RtspBind\"=\" 0.0.0.0 \"\n", 0, 10, 8, "0.0.0.0"},
        {"\"RtspFrameRate\"=dword:00000000\n", 0, 10, 8, "127.0.0.1"},
        {"\"RtspFrameRate\"=dword:0000001e\n", 0, 30, 8, "127.0.0.1"},
        {"\"RtspFrameRate\"=dword:0000001f\n", 0, 10, 8, "127.0.0.1"},
        {"\"RtspMaxClients\"=dword:00000000\n", 0, 10, 8, "127.0.0.1"},
        {"\"RtspMaxClients\"=dword:00000002\n", 0, 10, 2, "127.0.0.1"},
        {"\"RtspMaxClients\"=dword:00000009\n", 0, 10, 8, "127.0.0.1"},
    };
    for (const Case& c : cases) {
        WriteKey(c.stored);
        const RegistrySettings s = Loaded();
        EXPECT_EQ(s.rtspPort, c.port) << c.stored;
        EXPECT_EQ(s.rtspFrameRate, c.rate) << c.stored;
        EXPECT_EQ(s.rtspMaxClients, c.clients) << c.stored;
        EXPECT_EQ(s.rtspBind, c.bind) << c.stored;
    }
}

TEST_F(Settings, NetworkSettingsAreSavedAloneAndAlarmCommandsNeverRewritten) {
    WriteKey("\"AlarmCommand\"=\"notify %c \\\"%n\\\"\"\n");
    RegistrySettings s = Loaded();
    EXPECT_EQ(s.alarmCommand, "notify %c \"%n\"");
    s.rtspPort = 8554;
    s.rtspBind = "192.168.1.5";
    s.alarmCommand = "changed";
    ASSERT_TRUE(settings.SaveNetworkSettings(s));
    ASSERT_TRUE(settings.SaveMotionSettings(s));
    const RegistrySettings back = Loaded();
    EXPECT_EQ(back.rtspPort, 8554u);
    EXPECT_EQ(back.rtspBind, "192.168.1.5");
    EXPECT_EQ(back.alarmCommand, "notify %c \"%n\"");
}

TEST_F(Settings, CameraNamesThatChangeAreReported) {
    WriteKey("\"Camera1OSD\"=\"Door\"\n\"Camera2OSD\"=\"Hall\"\n");
    RegistrySettings s;
    s.cameraOsd[1] = "Hall";
    std::vector<std::pair<int, QString>> changed;
    settings.LoadCameraSettings(s, [&](int n, const QString& name) {
        changed.push_back({n, name});
    });
    EXPECT_EQ(changed, (std::vector<std::pair<int, QString>>{{1, "Door"}}));
    EXPECT_EQ(s.cameraOsd[0], "Door");
}

TEST_F(Settings, NoDialogOpenedLeavesTheKeyFileUntouched) {
    WriteKey("\"EachTime\"=dword:000003e8\n");
    const QByteArray before = ReadAll(file);
    const auto modified = QFileInfo(file).lastModified();
    RegistrySettings s = Loaded();
    s.eachTimeMs.Set(5000);
    s.recordPath = "/elsewhere";
    settings.SaveOpenedGroups(s, OpenedDialogs{});
    EXPECT_EQ(ReadAll(file), before);
    EXPECT_EQ(QFileInfo(file).lastModified(), modified);
}

TEST_F(Settings, EachGroupIsWrittenInItsOrderAndExitWritesTheGroupsInTurn) {
    WriteKey("");
    RegistrySettings s;
    s.cameraSchedule = {"a1", "a2", "a3", "a4"};
    s.cameraEndSchedule = {"b1", "b2", "b3", "b4"};
    s.cameraOsd = {"One", "Two", "Three", "Four"};
    s.recordPath = "/rec";
    s.recordMode = true;
    s.audioInput = "USB Audio";
    s.motionZones[1] = "0,0,64,48";
    s.eachTimeMs.Set(MillisecondsFromSeconds(1.2345));
    settings.SaveOpenedGroups(s, OpenedDialogs{true, true, true, true});
    const QByteArray expected = kKeyHeader +
                                "\"ScheduleCamera\"=dword:00000000\n"
                                "\"Camera1Schedule\"=\"a1\"\n\"Camera2Schedule\"=\"a2\"\n"
                                "\"Camera3Schedule\"=\"a3\"\n\"Camera4Schedule\"=\"a4\"\n"
                                "\"Camera1EndSchedule\"=\"b1\"\n\"Camera2EndSchedule\"=\"b2\"\n"
                                "\"Camera3EndSchedule\"=\"b3\"\n\"Camera4EndSchedule\"=\"b4\"\n"
                                "\"FrameRateAll\"=dword:00000002\n"
                                "\"FrameRate1\"=dword:00000002\n\"FrameRate2\"=dword:00000002\n"
                                "\"FrameRate3\"=dword:00000002\n\"FrameRate4\"=dword:00000002\n"
                                "\"TimeStamp\"=dword:0000000f\n\"CameraAudio\"=dword:00000000\n"
                                "\"RecordMode\"=dword:00000001\n\"RecordPath\"=\"/rec\"\n"
                                "\"AudioInput\"=\"USB Audio\"\n"
                                "\"MotionDetectCamera\"=dword:00000000\n"
                                "\"DetectingAction\"=dword:00000001\n"
                                "\"SenseMode\"=dword:000000c8\n"
                                "\"PreAlarmSeconds\"=dword:00000003\n"
                                "\"MotionZones1\"=\"\"\n\"MotionZones2\"=\"0,0,64,48\"\n"
                                "\"MotionZones3\"=\"\"\n\"MotionZones4\"=\"\"\n"
                                "\"LightChangeReject\"=dword:00000001\n"
                                "\"AlarmMinTicks\"=dword:00000001\n"
                                "\"Camera1OSD\"=\"One\"\n\"Camera2OSD\"=\"Two\"\n"
                                "\"Camera3OSD\"=\"Three\"\n\"Camera4OSD\"=\"Four\"\n"
                                "\"EachTime\"=dword:000004d2\n"
                                "\"Intervaltime\"=dword:0000012c\n\"Distime\"=dword:00000032\n"
                                "\"FrameSpeed\"=dword:00000474\n\"SelectDis\"=dword:00000001\n"
                                "\"Brightness\"=dword:00000064\n";
    EXPECT_EQ(ReadAll(file).toStdString(), expected.toStdString());
    // And it all loads back.
    const RegistrySettings back = Loaded();
    EXPECT_EQ(back.cameraEndSchedule, s.cameraEndSchedule);
    EXPECT_EQ(back.eachTimeMs.Get(), 1234u);
    EXPECT_TRUE(back.recordMode);
    EXPECT_EQ(back.audioInput, "USB Audio");
    EXPECT_EQ(back.motionZones, s.motionZones);
}

TEST_F(Settings, OnlyTheOpenedGroupIsWritten) {
    WriteKey("\"SenseMode\"=dword:00000032\n");
    RegistrySettings s = Loaded();
    s.senseMode = 240;
    s.brightness = 7;
    settings.SaveOpenedGroups(s, OpenedDialogs{false, false, false, true});
    const RegistrySettings back = Loaded();
    EXPECT_EQ(back.senseMode, 50u);
    EXPECT_EQ(back.brightness, 7u);
}

TEST_F(Settings, SavesNeverCreateTheKey) {
    RegistrySettings s;
    EXPECT_FALSE(settings.SaveSchedules(s));
    EXPECT_FALSE(settings.SaveRecordSettings(s));
    EXPECT_FALSE(settings.SaveMotionSettings(s));
    EXPECT_FALSE(settings.SaveCameraSettings(s));
    EXPECT_FALSE(QFile::exists(file));
}

TEST(SettingsNames, EveryKeptValueHasItsStoredType) {
    using Type = ovistra::platform::RegistryValue::Type;
    EXPECT_EQ(SettingsStore::TypeOf("EachTime"), Type::Number);
    EXPECT_EQ(SettingsStore::TypeOf("framerate4"), Type::Number);
    EXPECT_EQ(SettingsStore::TypeOf("Camera3EndSchedule"), Type::String);
    EXPECT_EQ(SettingsStore::TypeOf("RecordPath"), Type::String);
    EXPECT_EQ(SettingsStore::TypeOf("AudioInput"), Type::String);
    EXPECT_EQ(SettingsStore::TypeOf("FrameRate5"), std::nullopt);
    EXPECT_EQ(SettingsStore::TypeOf("EnableLUA"), std::nullopt);  // not the program key's
}

TEST(SettingsTimes, DwellSecondsBecomeTruncatedMilliseconds) {
    EXPECT_EQ(MillisecondsFromSeconds(1.2345), 1234u);
    EXPECT_EQ(MillisecondsFromSeconds(0.29), 290u);
    EXPECT_EQ(MillisecondsFromSeconds(0.08), 80u);
    EXPECT_EQ(MillisecondsFromSeconds(1.9999), 1999u);
    EXPECT_EQ(MillisecondsFromSeconds(0), 0u);
    EXPECT_EQ(MillisecondsFromSeconds(-3), 0u);
    EXPECT_EQ(MillisecondsFromSeconds(1e12), 4294967295u);
}

TEST(SettingsTimes, SwitchingTimingsAreSharedWithAnotherThread) {
    RegistrySettings s;
    std::atomic<bool> seenChange{false};
    std::thread reader([&] {
        while (s.intervalTimeMs.Get() != 7) {
        }
        seenChange = true;
    });
    s.intervalTimeMs.Set(7);
    reader.join();
    EXPECT_TRUE(seenChange);
    const RegistrySettings copy = s;
    EXPECT_EQ(copy.intervalTimeMs.Get(), 7u);
}

}  // namespace
