#include "custom_settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

namespace {

using ovistra::ColourScheme;
using ovistra::CustomSettings;

class SettingsFile : public ::testing::Test {
protected:
    void Write(const QByteArray& bytes) {
        QDir(dir.path()).mkpath("customSetting");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTemporaryDir dir;
    QString path = dir.filePath("customSetting/CustomSetting.dt");
    CustomSettings file{path};
};

TEST_F(SettingsFile, MissingFileGivesTheDefaultColoursAndNoPassword) {
    const ColourScheme s = file.LoadColourScheme();
    EXPECT_EQ(s, ColourScheme{});
    EXPECT_EQ(s.Background(), 0xFF7C1Eu);  // (30, 124, 255), red in the low byte
    EXPECT_EQ(s.Text(), 0x64FF00u);        // (0, 255, 100)
    EXPECT_EQ(file.LoadPassword(), "");
    EXPECT_EQ(file.LoadCheckState(), 0);
}

TEST_F(SettingsFile, StoredColoursLoadAndWildComponentsKeepTheirDefaults) {
    Write(
        "[Settings]\r\nBGColorRed=1\r\nbgcolorgreen=2\r\nBGColorBlue=300\r\n"
        "FGColorRed=-4\r\nFGColorGreen=abc\r\nCheckState=1\r\n");
    const ColourScheme s = file.LoadColourScheme();
    EXPECT_EQ(s.backgroundRed, 1);
    EXPECT_EQ(s.backgroundGreen, 2);
    EXPECT_EQ(s.backgroundBlue, 255);  // 300 is no colour component
    EXPECT_EQ(s.textRed, 0);           // -4 neither
    EXPECT_EQ(s.textGreen, 0);         // text without digits reads as 0
    EXPECT_EQ(s.textBlue, 100);
    EXPECT_EQ(file.LoadCheckState(), 1);
}

TEST_F(SettingsFile, SavingColoursMarksTheFileSetUpAndKeepsOtherLines) {
    Write("; made by hand\n[Settings]\nPassword=c2VjcmV0\nUnknown=keep me\n");
    ColourScheme s;
    s.backgroundRed = 10;
    s.textBlue = 20;
    ASSERT_TRUE(file.SaveColourScheme(s));
    EXPECT_EQ(file.LoadColourScheme(), s);
    EXPECT_EQ(file.LoadCheckState(), 1);
    EXPECT_EQ(file.LoadPassword(), "c2VjcmV0");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(
        bytes.startsWith("; made by hand\n[Settings]\nPassword=c2VjcmV0\nUnknown=keep me\n"));
}

TEST_F(SettingsFile, PasswordIsReadToThirtyOneCharacters) {
    QDir(dir.path()).mkpath("customSetting");
    ASSERT_TRUE(file.SavePassword(QString(40, 'x')));
    EXPECT_EQ(file.LoadPassword(), QString(31, 'x'));
    EXPECT_EQ(file.LoadCheckState(), 1);
}

TEST_F(SettingsFile, NothingIsWrittenWithoutItsFolder) {
    EXPECT_FALSE(file.SaveColourScheme(ColourScheme{}));
    EXPECT_FALSE(QDir(dir.filePath("customSetting")).exists());
}

TEST_F(SettingsFile, WritesAndCreationLeaveFolderAndFileClosedToOthersAndEmptyNothing) {
    const QFile::Permissions others = QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther;
    const QString folder = dir.filePath("customSetting");
    const std::function<bool()> actions[] = {[&] { return file.SaveColourScheme({}); },
                                             [&] { return file.SavePassword("c2VjcmV0"); },
                                             [&] { return file.CreateFile(); }};
    for (const auto& action : actions) {
        for (bool existing : {false, true}) {  // an open file, as an older version made it
            QDir(folder).removeRecursively();
            QDir(dir.path()).mkpath("customSetting");
            QFile::setPermissions(folder, QFile::permissions(folder) | others);
            if (existing) {
                Write("[Settings]\nKeep=1\n");
                QFile::setPermissions(path, QFile::permissions(path) | others);
            }
            ASSERT_TRUE(action());
            EXPECT_FALSE(QFile::permissions(path) & others) << existing;
            EXPECT_FALSE(QFile::permissions(folder) & others) << existing;
            if (existing) {
                QFile f(path);
                ASSERT_TRUE(f.open(QIODevice::ReadOnly));
                EXPECT_TRUE(f.readAll().startsWith("[Settings]\nKeep=1\n"));
            }
        }
    }
    // A program folder removed meanwhile is made again, the settings folder closed.
    const QString gone = dir.filePath("gone/customSetting");
    EXPECT_TRUE(CustomSettings(gone + "/CustomSetting.dt").CreateFile());
    EXPECT_TRUE(QFile::exists(gone + "/CustomSetting.dt"));
    EXPECT_FALSE(QFile::permissions(gone) & others);
}

}  // namespace
