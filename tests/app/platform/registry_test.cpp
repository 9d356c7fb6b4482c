#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>

#include "file_bytes.h"
#include "registry_key.h"

namespace {

using ovistra::platform::CRegistryKey;
using ovistra::platform::RegistryRoot;
using ovistra::platform::RegistryStore;

const QString kSubKey = QStringLiteral("Software\\Halvorn\\Brisquel");

using testsupport::ReadAll;
using testsupport::WriteAll;

class Registry : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath("Brisquel.reg");
    RegistryStore store{file};
};

TEST_F(Registry, OpeningNeverCreatesTheKey) {
    CRegistryKey key(store);
    EXPECT_FALSE(key.OpenForRead(RegistryRoot::CurrentUser, kSubKey));
    EXPECT_FALSE(key.OpenForWrite(RegistryRoot::CurrentUser, kSubKey));
    EXPECT_FALSE(QFile::exists(file));

    ASSERT_TRUE(
        WriteAll(file, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"A\"=dword:00000001\n"));
    EXPECT_FALSE(key.OpenForWrite(RegistryRoot::CurrentUser, kSubKey));
    EXPECT_FALSE(key.WriteDword("A", 2));
    EXPECT_TRUE(key.OpenForRead(RegistryRoot::CurrentUser, "software\\OTHER"));
}

TEST_F(Registry, MachineRootNeverOpens) {
    ASSERT_TRUE(store.CreateKey(kSubKey));
    CRegistryKey key(store);
    EXPECT_FALSE(key.OpenForRead(RegistryRoot::LocalMachine, kSubKey));
    EXPECT_FALSE(key.OpenForWrite(RegistryRoot::LocalMachine, kSubKey));
    uint32_t value = 7;
    EXPECT_FALSE(key.ReadDword("EnableLUA", &value));
    EXPECT_EQ(value, 7u);
}

TEST_F(Registry, ValuesRoundTripWithTheirTypesAndEscapes) {
    ASSERT_TRUE(store.CreateKey(kSubKey));
    EXPECT_FALSE(store.CreateKey(kSubKey));
    const QString path = QStringLiteral("C:\\Videos \"night\" \\\\share\\ Grüße");
    {
        CRegistryKey key(store);
        ASSERT_TRUE(key.OpenForWrite(RegistryRoot::CurrentUser, kSubKey));
        EXPECT_TRUE(key.WriteString("RecordPath", path));
        EXPECT_TRUE(key.WriteDword("EachTime", 1234));
        EXPECT_TRUE(key.WriteDword("Big", 0xFFFFFFFFu));
        EXPECT_TRUE(key.WriteString("Empty", ""));
        ASSERT_TRUE(key.Close());
    }
    EXPECT_TRUE(ReadAll(file).contains("\"EachTime\"=dword:000004d2"));
    CRegistryKey key(store);
    ASSERT_TRUE(key.OpenForRead(RegistryRoot::CurrentUser, kSubKey));
    QString text;
    uint32_t number = 0;
    EXPECT_TRUE(key.ReadString("recordpath", &text));
    EXPECT_EQ(text, path);
    EXPECT_TRUE(key.ReadDword("EACHTIME", &number));
    EXPECT_EQ(number, 1234u);
    EXPECT_TRUE(key.ReadDword("Big", &number));
    EXPECT_EQ(number, 0xFFFFFFFFu);
    EXPECT_TRUE(key.ReadString("Empty", &text));
    EXPECT_EQ(text, "");
    // Types are kept: a number is no string and a string no number.
    text = "unchanged";
    number = 99;
    EXPECT_FALSE(key.ReadString("EachTime", &text));
    EXPECT_FALSE(key.ReadDword("RecordPath", &number));
    EXPECT_FALSE(key.ReadDword("Missing", &number));
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(number, 99u);
}

TEST_F(Registry, StringsMustFitTheReadBuffer) {
    ASSERT_TRUE(store.CreateKey(kSubKey));
    {
        CRegistryKey key(store);
        ASSERT_TRUE(key.OpenForWrite(RegistryRoot::CurrentUser, kSubKey));
        key.WriteString("Fits", QString(259, 'a'));
        key.WriteString("TooLong", QString(260, 'a'));
        key.WriteString("TooLongInBytes", QString(130, QChar(0x00E9)));  // 260 UTF-8 bytes
    }
    CRegistryKey key(store);
    ASSERT_TRUE(key.OpenForRead(RegistryRoot::CurrentUser, kSubKey));
    QString text = "default";
    EXPECT_TRUE(key.ReadString("Fits", &text));
    EXPECT_EQ(text.size(), 259);
    text = "default";
    EXPECT_FALSE(key.ReadString("TooLong", &text));
    EXPECT_FALSE(key.ReadString("TooLongInBytes", &text));
    EXPECT_EQ(text, "default");
}

TEST_F(Registry, WritesKeepEveryOtherLineAndAppendInWriteOrder) {
    const QByteArray original =
        "REGEDIT4\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel]\r\n"
        "\"Distime\"=dword:00000032\r\n"
        "garbage \xff\xfe without quotes\r\n"
        "\"Broken\"=dword:xyz\r\n"
        "\"Camera1OSD\"=\"Door\"\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel\\Sub]\r\n"
        "\"Distime\"=dword:00000001\r\n";
    ASSERT_TRUE(WriteAll(file, original));
    {
        CRegistryKey key(store);
        ASSERT_TRUE(key.OpenForWrite(RegistryRoot::CurrentUser, kSubKey));
        key.WriteDword("distime", 75);
        key.WriteDword("Zeta", 1);
        key.WriteDword("Alpha", 2);
        ASSERT_TRUE(key.Close());
    }
    const QByteArray expected =
        "REGEDIT4\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel]\r\n"
        "\"Distime\"=dword:0000004b\r\n"
        "garbage \xff\xfe without quotes\r\n"
        "\"Broken\"=dword:xyz\r\n"
        "\"Camera1OSD\"=\"Door\"\r\n"
        "\"Zeta\"=dword:00000001\r\n"
        "\"Alpha\"=dword:00000002\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel\\Sub]\r\n"
        "\"Distime\"=dword:00000001\r\n";
    EXPECT_EQ(ReadAll(file), expected);
}

TEST_F(Registry, NothingIsWrittenWithoutAWriteAndLineBreaksAreRefused) {
    const QByteArray original = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel]\n";
    ASSERT_TRUE(WriteAll(file, original));
    const auto before = QFileInfo(file).lastModified();
    {
        CRegistryKey key(store);
        ASSERT_TRUE(key.OpenForWrite(RegistryRoot::CurrentUser, kSubKey));
        EXPECT_FALSE(key.WriteString("Camera1OSD", "two\nlines"));
        EXPECT_FALSE(key.WriteString("Bad\rName", "x"));
    }
    EXPECT_EQ(ReadAll(file), original);
    EXPECT_EQ(QFileInfo(file).lastModified(), before);
}

TEST_F(Registry, MalformedValuesFailToReadWithoutHarm) {
    ASSERT_TRUE(WriteAll(file,
                         "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel]\n"
                         "\"A\"=dword:123456789\n"  // nine digits
                         "\"B\"=dword:\n"           // none
                         "\"C\"=\"unterminated\n"   // no closing quote
                         "\"D\"=hex:01,02\n"        // another type
                         "\"E\"=\"x\" trailing\n"   // junk after the string
                         "\"F=\"no closing name quote\n"
                         "\"G\" = dword:0000000A \n"));  // blanks around are fine
    CRegistryKey key(store);
    ASSERT_TRUE(key.OpenForRead(RegistryRoot::CurrentUser, kSubKey));
    QString text = "keep";
    uint32_t number = 5;
    for (const char* name : {"A", "B", "D", "F"}) {
        EXPECT_FALSE(key.ReadDword(name, &number)) << name;
    }
    for (const char* name : {"C", "D", "E"}) {
        EXPECT_FALSE(key.ReadString(name, &text)) << name;
    }
    EXPECT_EQ(text, "keep");
    EXPECT_EQ(number, 5u);
    EXPECT_TRUE(key.ReadDword("G", &number));
    EXPECT_EQ(number, 10u);
}

TEST_F(Registry, RunOnlyOverridesAreReadAndWrittenButNeverStored) {
    ASSERT_TRUE(store.CreateKey(kSubKey));
    {
        CRegistryKey key(store);
        ASSERT_TRUE(key.OpenForWrite(RegistryRoot::CurrentUser, kSubKey));
        key.WriteDword("EachTime", 1000);
    }
    const QByteArray stored = ReadAll(file);
    store.SetOverride(kSubKey, "eachtime", ovistra::platform::RegistryValue::Number(2500));
    store.SetOverride(kSubKey, "RecordPath", ovistra::platform::RegistryValue::String("/tmp/r"));
    CRegistryKey key(store);
    ASSERT_TRUE(key.OpenForRead(RegistryRoot::CurrentUser, kSubKey));
    uint32_t number = 0;
    QString text;
    EXPECT_TRUE(key.ReadDword("EachTime", &number));
    EXPECT_EQ(number, 2500u);
    EXPECT_TRUE(key.ReadString("RecordPath", &text));
    EXPECT_EQ(text, "/tmp/r");
    EXPECT_FALSE(key.ReadString("EachTime", &text));  // the override keeps its type

    ASSERT_TRUE(key.OpenForWrite(RegistryRoot::CurrentUser, kSubKey));
    EXPECT_TRUE(key.WriteDword("EachTime", 3000));
    ASSERT_TRUE(key.Close());
    EXPECT_EQ(ReadAll(file), stored);
    ASSERT_TRUE(key.OpenForRead(RegistryRoot::CurrentUser, kSubKey));
    EXPECT_TRUE(key.ReadDword("EachTime", &number));
    EXPECT_EQ(number, 3000u);
}

TEST_F(Registry, MutatedKeyFilesNeverCrashAndKeepWhatTheyCannotParse) {
    const QByteArray valid =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel]\n"
        "\"RecordPath\"=\"/home/ann/Videos\"\n\"EachTime\"=dword:000003e8\n"
        "\"Camera1OSD\"=\"Gate \\\"A\\\"\"\n\"SenseMode\"=dword:000000c8\n";
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = valid;
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
            const int at = static_cast<int>(rng() % bytes.size());
            switch (rng() % 4) {
                case 0:
                    bytes[at] = static_cast<char>(rng());
                    break;
                case 1:
                    bytes.truncate(std::max(1, at));
                    break;
                case 2:
                    bytes.insert(at, rng() % 2 ? '\0' : '\xff');
                    break;
                default:
                    bytes.remove(at, 1);
                    break;
            }
        }
        ASSERT_TRUE(WriteAll(file, bytes));
        CRegistryKey key(store);
        QString text;
        uint32_t number = 0;
        if (key.OpenForRead(RegistryRoot::CurrentUser, kSubKey)) {
            key.ReadString("RecordPath", &text);
            key.ReadString("Camera1OSD", &text);
            key.ReadDword("EachTime", &number);
        }
        if (!key.OpenForWrite(RegistryRoot::CurrentUser, kSubKey)) {
            EXPECT_EQ(ReadAll(file), bytes);
            continue;
        }
        ASSERT_TRUE(key.WriteDword("Distime", 60));
        ASSERT_TRUE(key.Close());
        // Every original line is still there, in order, unless it was the written value's.
        const QList<QByteArray> before = bytes.split('\n');
        const QList<QByteArray> after = ReadAll(file).split('\n');
        qsizetype j = 0;
        for (const QByteArray& line : before) {
            while (j < after.size() && after[j] != line) {
                ++j;
            }
            if (!line.contains("Distime")) {
                ASSERT_LT(j, after.size()) << "lost line: " << line.toStdString();
            }
        }
        CRegistryKey check(store);
        ASSERT_TRUE(check.OpenForRead(RegistryRoot::CurrentUser, kSubKey));
        ASSERT_TRUE(check.ReadDword("Distime", &number));
        EXPECT_EQ(number, 60u);
    }
}

}  // namespace
