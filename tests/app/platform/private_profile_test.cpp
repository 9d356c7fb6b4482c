#include "private_profile.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <iterator>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace profile = ovistra::platform::profile;

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct SettingsFile {
    QTemporaryDir dir;
    QString path = dir.filePath("CustomSetting.dt");
};

std::vector<QByteArray> Lines(const QByteArray& bytes) {
    QList<QByteArray> parts = bytes.split('\n');
    if (bytes.isEmpty() || bytes.endsWith('\n')) {
        parts.pop_back();
    }
    return {parts.begin(), parts.end()};
}

}  // namespace

TEST(PrivateProfile, MissingFileSectionOrKeyGiveDefaults) {
    SettingsFile f;
    EXPECT_EQ(profile::GetInt(f.path, "Settings", "CheckState", 5), 5);
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Password", "none", 64), "none");
    EXPECT_FALSE(QFileInfo::exists(f.path));  // reading never creates the file

    WriteBytes(f.path, "[Settings]\nCheckState=1\n");
    EXPECT_EQ(profile::GetInt(f.path, "Other", "CheckState", 5), 5);
    EXPECT_EQ(profile::GetInt(f.path, "Settings", "Missing", -3), -3);
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Missing", "dflt", 64), "dflt");
}

TEST(PrivateProfile, WrittenKeysReadBackAndNewFileUsesLineFeeds) {
    SettingsFile f;
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "BGColorRed", "128"));
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "Password", "pa ss"));
    ASSERT_TRUE(profile::WriteString(f.path, "Camera", "Name", "Gate"));
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "BGColorRed", "64"));
    EXPECT_EQ(ReadBytes(f.path),
              "[Settings]\nBGColorRed=64\nPassword=pa ss\n[Camera]\nName=Gate\n");
    EXPECT_EQ(profile::GetInt(f.path, "Settings", "BGColorRed", 0), 64);
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Password", "", 64), "pa ss");
    EXPECT_EQ(profile::GetString(f.path, "Camera", "Name", "", 64), "Gate");

    // A last line without a line feed gets one before the new line.
    WriteBytes(f.path, "[Settings]\nA=1");
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "B", "2"));
    EXPECT_EQ(ReadBytes(f.path), "[Settings]\nA=1\nB=2\n");
}

TEST(PrivateProfile, NamesMatchIgnoringCaseAndWriteKeepsFileSpelling) {
    SettingsFile f;
    WriteBytes(f.path, "[ SETTINGS ]\n  BGColorRed =  12  \n");
    EXPECT_EQ(profile::GetInt(f.path, " settings", "bgcolorRED ", 0), 12);
    ASSERT_TRUE(profile::WriteString(f.path, "settings", "bgcolorred", "99"));
    EXPECT_EQ(ReadBytes(f.path), "[ SETTINGS ]\nBGColorRed=99\n");
}

TEST(PrivateProfile, CrlfFileReadsAndIsWrittenBackInCrlf) {
    SettingsFile f;
    WriteBytes(f.path,
               "[Settings]\r\nBGColorRed=12\r\n; note\r\nCheckState=1\r\n\r\n[Other]\r\nX=1\r\n");
    EXPECT_EQ(profile::GetString(f.path, "Settings", "BGColorRed", "", 64), "12");
    EXPECT_EQ(profile::GetInt(f.path, "Other", "X", 0), 1);
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "BGColorRed", "200"));
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "Password", "abc"));
    ASSERT_TRUE(profile::WriteString(f.path, "New", "K", "v"));
    EXPECT_EQ(ReadBytes(f.path),
              "[Settings]\r\nBGColorRed=200\r\n; note\r\nCheckState=1\r\nPassword=abc\r\n\r\n"
              "[Other]\r\nX=1\r\n[New]\r\nK=v\r\n");
}

TEST(PrivateProfile, UnknownLinesCommentsAndOtherSectionsKeptByteExact) {
    SettingsFile f;
    const QByteArray head = "; comment\ngarbage \x01\x02 no equals\n[Settings]\n";
    const QByteArray tail =
        "  spaced = value  \n\xFF\xFE binary\n; trailing comment\n\n"
        "[Unknown Section]\nKey=zzz\n[Settings]\nLate=9\n";
    WriteBytes(f.path, head + "BGColorRed=1\nBGColorRed=2\n" + tail);
    // The first matching section and, in it, the first matching key win.
    EXPECT_EQ(profile::GetInt(f.path, "Settings", "BGColorRed", 0), 1);
    EXPECT_EQ(profile::GetInt(f.path, "Settings", "Late", -1), -1);
    EXPECT_EQ(profile::GetString(f.path, "Settings", "spaced", "", 64), "value");

    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "BGColorRed", "5"));
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "Late", "7"));
    const QByteArray expected = head + "BGColorRed=5\nBGColorRed=2\n  spaced = value  \nLate=7\n" +
                                tail.mid(tail.indexOf('\n') + 1);
    EXPECT_EQ(ReadBytes(f.path), expected);

    // A section with no keys takes a new key right below its header.
    WriteBytes(f.path, "[Settings]\n; only a comment\n[Other]\n");
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "K", "v"));
    EXPECT_EQ(ReadBytes(f.path), "[Settings]\nK=v\n; only a comment\n[Other]\n");
}

TEST(PrivateProfile, MalformedLinesAreSkippedWhenReading) {
    SettingsFile f;
    WriteBytes(f.path,
               "\xEF\xBB\xBF[Settings]\norphan line\n=nokey\n Broken =   7  \n"
               "Bad=\xC3\x28x\xFF\n[Lost\nInside=3\n");
    EXPECT_EQ(profile::GetInt(f.path, "Settings", "Broken", 0), 7);
    EXPECT_EQ(profile::GetInt(f.path, "Settings", "orphan line", -1), -1);
    EXPECT_EQ(profile::GetInt(f.path, "Lost", "Inside", 0), 3);
    const QString bad = profile::GetString(f.path, "Settings", "Bad", "", 64);
    EXPECT_TRUE(bad.contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(bad.contains('x'));
}

TEST(PrivateProfile, MatchingQuotesAreRemoved) {
    SettingsFile f;
    WriteBytes(f.path,
               "[S]\nA=\"abc\"\nB='abc'\nC=\"abc'\nD=\"\nE=\"\"\nF=  \" pad \"  \nG=\"42\"\n");
    EXPECT_EQ(profile::GetString(f.path, "S", "A", "", 64), "abc");
    EXPECT_EQ(profile::GetString(f.path, "S", "B", "", 64), "abc");
    EXPECT_EQ(profile::GetString(f.path, "S", "C", "", 64), "\"abc'");
    EXPECT_EQ(profile::GetString(f.path, "S", "D", "", 64), "\"");
    EXPECT_EQ(profile::GetString(f.path, "S", "E", "dflt", 64), "");
    EXPECT_EQ(profile::GetString(f.path, "S", "F", "", 64), " pad ");
    EXPECT_EQ(profile::GetInt(f.path, "S", "E", 8), 8);
    EXPECT_EQ(profile::GetInt(f.path, "S", "G", 0), 42);
}

TEST(PrivateProfile, IntegersParseLikeTheCRuntime) {
    SettingsFile f;
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"42", 42},         {"  -7", -7},
        {"\"  -7\"", -7},   {"+5", 5},
        {"0x1F", 31},       {"0XfF", 255},
        {"-0x10", -16},     {"0x", 0},
        {"12abc", 12},      {"abc", 0},
        {"-", 0},           {"010", 10},
        {"4294967297", 1},  {"2147483648", INT_MIN},
        {"0x100000001", 1}, {"", 99},
    };
    QByteArray bytes = "[Settings]\n";
    for (size_t i = 0; i < std::size(cases); ++i) {
        bytes += "K" + QByteArray::number(qulonglong(i)) + "=" + cases[i].text + "\n";
    }
    WriteBytes(f.path, bytes);
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(profile::GetInt(f.path, "Settings", QString("K%1").arg(i), 99), cases[i].expected)
            << cases[i].text;
    }
}

TEST(PrivateProfile, StringsAreCutToMaxChars) {
    SettingsFile f;
    const QString password = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    ASSERT_EQ(password.size(), 40);
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "Password", password));
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Password", "", 31), password.left(31));
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Password", "", 40), password);
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Password", "", 0), "");
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Password", "", -1), "");
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Missing", "abcdef", 3), "abc");
    // Never half of a surrogate pair.
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "Face", QString::fromUtf8("ab😀")));
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Face", "", 3), "ab");
    EXPECT_EQ(profile::GetString(f.path, "Settings", "Face", "", 4), QString::fromUtf8("ab😀"));
}

TEST(PrivateProfile, WriteIntoMissingFolderFailsAndCreatesNothing) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("customSetting");
    EXPECT_FALSE(profile::WriteString(folder + "/CustomSetting.dt", "Settings", "K", "v"));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(PrivateProfile, UnsafeValuesAndNamesAreRefusedLeavingFileUnchanged) {
    SettingsFile f;
    const QByteArray original = "[Settings]\nK=old\n";
    WriteBytes(f.path, original);
    EXPECT_FALSE(profile::WriteString(f.path, "Settings", "K", "a\nInjected=1"));
    EXPECT_FALSE(profile::WriteString(f.path, "Settings", "K", "a\rb"));
    EXPECT_FALSE(profile::WriteString(f.path, "Settings", "K", QString("a") + QChar(0) + "b"));
    EXPECT_FALSE(profile::WriteString(f.path, "Settings", "K=x", "v"));
    EXPECT_FALSE(profile::WriteString(f.path, "Settings", ";K", "v"));
    EXPECT_FALSE(profile::WriteString(f.path, "Settings", " ", "v"));
    EXPECT_FALSE(profile::WriteString(f.path, "Set]tings", "K", "v"));
    EXPECT_FALSE(profile::WriteString(f.path, "", "K", "v"));
    EXPECT_EQ(ReadBytes(f.path), original);
}

TEST(PrivateProfile, PathThatCannotBeReadIsNotReplaced) {
    QTemporaryDir dir;
    const QString path = dir.filePath("CustomSetting.dt");
    ASSERT_TRUE(QDir(dir.path()).mkdir("CustomSetting.dt"));
    EXPECT_FALSE(profile::WriteString(path, "Settings", "K", "v"));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(profile::GetInt(path, "Settings", "K", 4), 4);
}

TEST(PrivateProfile, UnreadableFileIsNotReplacedByAFreshOne) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind root";
    }
    SettingsFile f;
    const QByteArray original = "[Settings]\nK=old\nOther=1\n";
    WriteBytes(f.path, original);
    ASSERT_TRUE(QFile::setPermissions(f.path, QFile::WriteOwner));
    EXPECT_FALSE(profile::WriteString(f.path, "Settings", "K", "new"));
    ASSERT_TRUE(QFile::setPermissions(f.path, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(ReadBytes(f.path), original);
}

TEST(PrivateProfile, WriteLeavesNoTemporaryFileBehind) {
    SettingsFile f;
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "A", "1"));
    ASSERT_TRUE(profile::WriteString(f.path, "Settings", "A", "2"));
    const QStringList entries =
        QDir(f.dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(entries, QStringList{"CustomSetting.dt"});
}

TEST(PrivateProfile, MutatedFilesNeverBreakReadsOrOtherLines) {
    SettingsFile f;
    const QByteArray base =
        "; station settings\n[Settings]\nBGColorRed=12\nCheckState=1\nPassword=\"secret\"\n\n"
        "[Other]\nName=value\n";
    const char* const keys[] = {"BGColorRed", "CheckState", "Password", "Fresh"};
    std::mt19937 rng(20240611);
    auto below = [&rng](qsizetype n) {
        return static_cast<qsizetype>(rng() % static_cast<uint32_t>(n));
    };
    for (int iteration = 0; iteration < 300; ++iteration) {
        QByteArray bytes = base;
        if (iteration % 2 == 1) {
            bytes.replace("\n", "\r\n");
        }
        for (int m = 1 + static_cast<int>(rng() % 4); m > 0 && !bytes.isEmpty(); --m) {
            switch (rng() % 4) {
                case 0:
                    bytes[below(bytes.size())] ^= static_cast<char>(1 + rng() % 255);
                    break;
                case 1:
                    bytes.truncate(below(bytes.size()));
                    break;
                case 2:
                    bytes.insert(below(bytes.size() + 1), rng() % 2 ? '\0' : '\xFF');
                    break;
                default: {
                    const char victim = "[]="[rng() % 3];
                    const qsizetype at = bytes.indexOf(victim, below(bytes.size()));
                    if (at >= 0) {
                        bytes.remove(at, 1);
                    }
                }
            }
        }
        WriteBytes(f.path, bytes);
        for (const char* key : keys) {
            profile::GetInt(f.path, "Settings", key, 0);
            profile::GetString(f.path, "Settings", key, "", 8);
        }
        ASSERT_EQ(ReadBytes(f.path), bytes) << "a read changed the file";

        const char* key = keys[rng() % std::size(keys)];
        const QByteArray value = "fuzz" + QByteArray::number(iteration);
        ASSERT_TRUE(profile::WriteString(f.path, "Settings", key, value));
        EXPECT_EQ(profile::GetString(f.path, "Settings", key, "", 64), value);

        const std::vector<QByteArray> before = Lines(bytes);
        std::vector<QByteArray> after = Lines(ReadBytes(f.path));
        const auto written = [&value](const QByteArray& line) {
            return line.endsWith("=" + value) || line.endsWith("=" + value + "\r");
        };
        if (after.size() == before.size() + 2) {
            // A new section at the end.
            ASSERT_TRUE(written(after.back()));
            after.resize(before.size());
        } else {
            const auto it = std::find_if(after.begin(), after.end(), written);
            ASSERT_NE(it, after.end());
            if (after.size() == before.size()) {
                *it = before[static_cast<size_t>(it - after.begin())];
            } else {
                after.erase(it);
            }
        }
        // A last line without an ending gets the file's own once a line follows it.
        if (!bytes.endsWith('\n') && !before.empty() && after.size() == before.size() &&
            after.back() == before.back() + '\r') {
            after.back() = before.back();
        }
        ASSERT_EQ(after, before) << "iteration " << iteration << ": " << bytes.toHex().data();
    }
}
