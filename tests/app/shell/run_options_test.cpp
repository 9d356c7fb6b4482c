#include "run_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>

namespace {

using ovistra::ParsedOptions;
using ovistra::ParseRunOptions;
using ovistra::RunOptions;
using ovistra::UsageText;
using Device = ovistra::RunOptions::Device;

ParsedOptions Parse(std::initializer_list<QString> args) {
    return ParseRunOptions(QStringList(args));
}

TEST(RunOptions, NoArgumentsRunTheWindowedStationOnAnyDevice) {
    const ParsedOptions p = Parse({});
    ASSERT_TRUE(p.ok());
    const RunOptions& o = p.options;
    EXPECT_FALSE(o.headless || o.events || o.help || o.version);
    EXPECT_FALSE(o.durationSeconds);
    EXPECT_EQ(o.device, Device::Auto);
    EXPECT_TRUE(o.simInputs.empty() && o.simMotions.empty() && o.sets.empty());
    EXPECT_FALSE(o.simName);
}

TEST(RunOptions, FlagsAndTheEndOfOptions) {
    const ParsedOptions p = Parse(
        {"--headless", "--events", "--detect", "--full-screen", "--version", "-h", "--"});
    ASSERT_TRUE(p.ok()) << p.error.toStdString();
    EXPECT_TRUE(p.options.headless && p.options.events && p.options.detect &&
                p.options.fullScreen && p.options.version && p.options.help);
    EXPECT_TRUE(Parse({"--help"}).options.help);
}

TEST(RunOptions, ValuesAreReadAlikeAfterABlankOrAnEqualsSign) {
    struct Case {
        const char* option;
        const char* value;
        std::function<void(const RunOptions&)> check;
    };
    const Case cases[] = {
        {"--duration", "30", [](auto& o) { EXPECT_EQ(o.durationSeconds, 30.0); }},
        {"--duration", "0.25", [](auto& o) { EXPECT_EQ(o.durationSeconds, 0.25); }},
        {"--device", "real", [](auto& o) { EXPECT_EQ(o.device, Device::Real); }},
        {"--device", "sim", [](auto& o) { EXPECT_EQ(o.device, Device::Sim); }},
        {"--sim-settle", "0", [](auto& o) { EXPECT_EQ(o.simSettleMs, 0); }},
        {"--sim-settle", "250", [](auto& o) { EXPECT_EQ(o.simSettleMs, 250); }},
        {"--sim-disk", "60", [](auto& o) { EXPECT_EQ(o.simDiskMb, 60u); }},
        {"--record", "all", [](auto& o) { EXPECT_TRUE(o.recordAll && o.recordCameras.empty()); }},
        {"--still", "all",
         [](auto& o) { EXPECT_EQ(o.stillCameras, (std::vector<int>{1, 2, 3, 4})); }},
        {"--still", "3,1,3",
         [](auto& o) { EXPECT_EQ(o.stillCameras, (std::vector<int>{3, 1})); }},
        {"--clock", "2007-03-25T14:29:57",
         [](auto& o) {
             EXPECT_EQ(o.clock, QDateTime(QDate(2007, 3, 25), QTime(14, 29, 57)));
         }},
        {"--record", "3,1,3",
         [](auto& o) {
             EXPECT_FALSE(o.recordAll);
             EXPECT_EQ(o.recordCameras, (std::vector<int>{3, 1}));
         }},
        {"--device", "/dev/video2",
         [](auto& o) {
             EXPECT_EQ(o.device, Device::Path);
             EXPECT_EQ(o.devicePath, "/dev/video2");
         }},
        {"--sim-input", "3=/tmp/a b.avi",
         [](auto& o) {
             EXPECT_EQ(o.simInputs, (std::map<int, QString>{{3, "/tmp/a b.avi"}}));
         }},
        {"--sim-motion", "2:1.5-4",
         [](auto& o) {
             ASSERT_EQ(o.simMotions.size(), 1u);
             EXPECT_EQ(o.simMotions[0].camera, 2);
             EXPECT_EQ(o.simMotions[0].startSeconds, 1.5);
             EXPECT_EQ(o.simMotions[0].endSeconds, 4.0);
         }},
        {"--sim-motion", "4:0-.5", [](auto& o) { EXPECT_EQ(o.simMotions.at(0).endSeconds, 0.5); }},
        {"--sim-light", "3:2-4.5",
         [](auto& o) {
             ASSERT_EQ(o.simLights.size(), 1u);
             EXPECT_EQ(o.simLights[0].camera, 3);
             EXPECT_EQ(o.simLights[0].startSeconds, 2.0);
             EXPECT_EQ(o.simLights[0].endSeconds, 4.5);
         }},
        {"--sim-night", "4", [](auto& o) { EXPECT_EQ(o.simNights, std::vector<int>{4}); }},
        {"--sim-unplug", "2.5-4",
         [](auto& o) {
             ASSERT_EQ(o.simUnplugs.size(), 1u);
             EXPECT_EQ(o.simUnplugs[0].startSeconds, 2.5);
             EXPECT_EQ(o.simUnplugs[0].endSeconds, 4.0);
         }},
        {"--sim-name", "USB 2.0 A/V Converter",
         [](auto& o) { EXPECT_EQ(o.simName, "USB 2.0 A/V Converter"); }},
        {"--sim-name", "-dash", [](auto& o) { EXPECT_EQ(o.simName, "-dash"); }},
        {"--set", "RecordPath=", [](auto& o) { EXPECT_EQ(o.sets.at(0).second, ""); }},
        {"--set", "Label=a=b",
         [](auto& o) {
             EXPECT_EQ(o.sets.at(0).first, "Label");
             EXPECT_EQ(o.sets.at(0).second, "a=b");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.value);
        const ParsedOptions apart = Parse({c.option, c.value});
        const ParsedOptions joined = Parse({QString(c.option) + "=" + c.value});
        ASSERT_TRUE(apart.ok()) << apart.error.toStdString();
        ASSERT_TRUE(joined.ok()) << joined.error.toStdString();
        c.check(apart.options);
        c.check(joined.options);
    }
    // Only the equals form can carry a value that looks like an option.
    EXPECT_EQ(Parse({"--sim-name=--events"}).options.simName, "--events");
}

TEST(RunOptions, RtspTakesItsPortOnlyAfterAnEqualsSign) {
    EXPECT_FALSE(Parse({}).options.rtspPort.has_value());
    EXPECT_EQ(Parse({"--rtsp"}).options.rtspPort, 0);  // the stored port, or the usual one
    EXPECT_EQ(Parse({"--rtsp=8555"}).options.rtspPort, 8555);
    EXPECT_EQ(Parse({"--rtsp=8555", "--rtsp"}).options.rtspPort, 8555);
    const ParsedOptions p =
        Parse({"--rtsp", "--rtsp-bind", " 0.0.0.0", "--rtsp-auth", "/tmp/cred"});
    ASSERT_TRUE(p.ok()) << p.error.toStdString();
    EXPECT_EQ(p.options.rtspBind, "0.0.0.0");
    EXPECT_EQ(p.options.rtspAuthFile, "/tmp/cred");
}

TEST(RunOptions, RepeatsAccumulateOrKeepTheLastValue) {
    const ParsedOptions p =
        Parse({"--sim-input", "1=a", "--sim-input=2=b", "--sim-input", "1=c", "--sim-motion",
               "3:5-6", "--sim-motion=1:1-2", "--set", "EachTime=1000", "--set", "EachTime=2000",
               "--duration", "5", "--duration=7", "--device", "real", "--device", "sim"});
    ASSERT_TRUE(p.ok()) << p.error.toStdString();
    const RunOptions& o = p.options;
    EXPECT_EQ(o.simInputs, (std::map<int, QString>{{1, "c"}, {2, "b"}}));
    ASSERT_EQ(o.simMotions.size(), 2u);
    EXPECT_EQ(o.simMotions[0].camera, 3);
    EXPECT_EQ(o.simMotions[1].camera, 1);
    const std::vector<std::pair<QString, QString>> sets{{"EachTime", "1000"}, {"EachTime", "2000"}};
    EXPECT_EQ(o.sets, sets);
    EXPECT_EQ(o.durationSeconds, 7.0);
    EXPECT_EQ(o.device, Device::Sim);
}

TEST(RunOptions, UnusableLinesGiveAOneLineReason) {
    struct Case {
        QStringList args;
        const char* reason;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option"},
        {{"-x"}, "unknown option"},
        {{"-headless"}, "unknown option"},
        {{"--Headless"}, "unknown option"},
        {{"--=5"}, "unknown option"},
        {{"stray"}, "unexpected argument"},
        {{"-"}, "unexpected argument"},
        {{"--headless", "extra"}, "unexpected argument"},
        {{"--", "--headless"}, "unexpected argument"},
        {{"--headless=yes"}, "takes no value"},
        {{"--help="}, "takes no value"},
        {{"--duration"}, "needs a value"},
        {{"--duration", "--headless"}, "needs a value"},
        {{"--set"}, "needs a value"},
        {{"--duration=0"}, "positive"},
        {{"--duration", "0.0"}, "positive"},
        {{"--duration", "-5"}, "positive"},
        {{"--duration", "abc"}, "positive"},
        {{"--duration="}, "positive"},
        {{"--duration", "1e3"}, "positive"},
        {{"--duration", "1.2.3"}, "positive"},
        {{"--duration", " 5"}, "positive"},
        {{"--duration", "nan"}, "positive"},
        {{"--duration", "."}, "positive"},
        {{"--duration", QString(400, '9')}, "positive"},
        {{"--device=REAL"}, "real, sim or a /dev/ path"},
        {{"--device", "auto"}, "real, sim or a /dev/ path"},
        {{"--device="}, "real, sim or a /dev/ path"},
        {{"--device", "/dev/"}, "real, sim or a /dev/ path"},
        {{"--sim-settle", "60001"}, "0 to 60000"},
        {{"--sim-settle", "+5"}, "0 to 60000"},
        {{"--sim-settle", "fast"}, "0 to 60000"},
        {{"--sim-disk", "0"}, "1 to 1048576"},
        {{"--sim-disk", "-5"}, "1 to 1048576"},
        {{"--sim-disk", "1048577"}, "1 to 1048576"},
        {{"--record", "5"}, "1 to 4"},
        {{"--clock", "2007-02-30T10:00:00"}, "YYYY-mm-ddTHH:MM:SS"},
        {{"--clock", "2007-03-25 14:29:57"}, "YYYY-mm-ddTHH:MM:SS"},
        {{"--clock", "2007-3-25T14:29:57"}, "YYYY-mm-ddTHH:MM:SS"},
        {{"--clock", "2007-03-25T24:00:00"}, "YYYY-mm-ddTHH:MM:SS"},
        {{"--record", "1,,2"}, "1 to 4"},
        {{"--record", "ALL"}, "1 to 4"},
        {{"--still", "0"}, "1 to 4"},
        {{"--record="}, "1 to 4"},
        {{"--device", "video0"}, "real, sim or a /dev/ path"},
        {{"--sim-input", "0=a"}, "1 to 4"},
        {{"--sim-input", "5=a"}, "1 to 4"},
        {{"--sim-input", "01=a"}, "1 to 4"},
        {{"--sim-input", "=a"}, "1 to 4"},
        {{"--sim-input", "1="}, "N=FILE"},
        {{"--sim-input", "1"}, "N=FILE"},
        {{"--sim-motion", "5:1-2"}, "N:START-END"},
        {{"--sim-motion", "1:2"}, "N:START-END"},
        {{"--sim-motion", "1:-2"}, "N:START-END"},
        {{"--sim-motion", "1:1-"}, "N:START-END"},
        {{"--sim-motion", "1:1--2"}, "N:START-END"},
        {{"--sim-motion", "1-2"}, "N:START-END"},
        {{"--sim-motion", "1:a-2"}, "N:START-END"},
        {{"--sim-motion", "1:2-2"}, "before END"},
        {{"--sim-motion", "1:3-2.5"}, "before END"},
        {{"--sim-light", "0:1-2"}, "N:START-END"},
        {{"--sim-light", "1:2"}, "N:START-END"},
        {{"--sim-light", "1:3-2"}, "before END"},
        {{"--sim-night", "5"}, "1 to 4"},
        {{"--sim-night", "1,2"}, "1 to 4"},
        {{"--sim-unplug", "3"}, "START-END"},
        {{"--sim-unplug", "-3"}, "START-END"},
        {{"--sim-unplug", "1:2-3"}, "START-END"},
        {{"--sim-unplug", "4-3"}, "before END"},
        {{"--sim-name="}, "non-empty"},
        {{"--set", "=x"}, "NAME=VALUE"},
        {{"--set", "NoEquals"}, "NAME=VALUE"},
        {{"--set="}, "NAME=VALUE"},
        {{"--rtsp=0"}, "1 to 65535"},
        {{"--rtsp=65536"}, "1 to 65535"},
        {{"--rtsp=+80"}, "1 to 65535"},
        {{"--rtsp="}, "1 to 65535"},
        {{"--rtsp", "8554"}, "unexpected argument"},  // the port only after '='
        {{"--rtsp-bind", " "}, "address"},
        {{"--rtsp-auth="}, "file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ParsedOptions p = ParseRunOptions(c.args);
        EXPECT_FALSE(p.ok());
        EXPECT_TRUE(p.error.contains(c.reason)) << p.error.toStdString();
    }
}

TEST(RunOptions, ReasonStaysOneShortLineWhateverWasTyped) {
    for (const QString& arg :
         {QString("--bogus\nsecond line"), QString("stray\r\x1b[2J"), "--" + QString(5000, 'x')}) {
        const ParsedOptions p = Parse({arg});
        ASSERT_FALSE(p.ok());
        EXPECT_FALSE(p.error.contains('\n') || p.error.contains('\r') || p.error.contains('\x1b'))
            << p.error.toStdString();
        EXPECT_LT(p.error.size(), 120);
    }
}

TEST(RunOptions, HelpListsEveryOptionOnceAndOnlyOptionsTheParserKnows) {
    const QStringList lines = UsageText().split('\n');
    QStringList listed;
    for (const QString& line : lines) {
        EXPECT_LE(line.size(), 80) << line.toStdString();
        if (line.startsWith("  -")) {
            const QString option =
                line.trimmed().section(' ', 0, 0).remove(',').section('[', 0, 0);
            listed << option;
            EXPECT_FALSE(Parse({option}).error.contains("unknown")) << option.toStdString();
        }
    }
    for (const char* option :
         {"--headless", "--duration", "--events", "--window", "--full-screen", "--device",
          "--sim-input",
          "--sim-motion", "--sim-name", "--sim-settle", "--record", "--still", "--detect",
          "--clock", "--set", "--rtsp", "--rtsp-bind", "--rtsp-auth", "-h", "--version"}) {
        EXPECT_EQ(listed.count(option), 1) << option;
    }
}

}  // namespace
