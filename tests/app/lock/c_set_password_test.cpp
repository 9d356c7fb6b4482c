// Setting the lock password in its dialog with the real resource library: the first password,
// a change, the answers that keep the dialog open, and what the settings file holds after.
#include "c_set_password.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>

#include "custom_settings.h"
#include "dialog_controls.h"
#include "message_box.h"
#include "password_codec.h"
#include "resource_library.h"

namespace ovistra {
namespace {

class CSetPasswordTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        platform::MessageBoxes::Instance().Configure(platform::MessageBoxes::Mode::Headless, {});
        platform::MessageBoxes::Instance().ClearHistory();
    }
    QString File() const { return dir.filePath("customSetting/CustomSetting.dt"); }
    void WriteFile(const QByteArray& bytes) const {
        QDir(dir.path()).mkpath("customSetting");
        QFile file(File());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray ReadFile() const {
        QFile file(File());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Opens the dialog, types the three texts and presses Save; true when it closed.
    bool Save(const QString& chosen, const QString& confirmed, const QString& old = {}) {
        dialog = std::make_unique<CSetPassword>(*resources, File(), nullptr);
        dialog->show();
        Edit(CSetPassword::kNewEdit)->setText(chosen);
        Edit(CSetPassword::kConfirmEdit)->setText(confirmed);
        Edit(CSetPassword::kOldEdit)->setText(old);
        testing::ClickControl(*dialog, CSetPassword::kSaveButton);
        return !dialog->isVisible();
    }
    QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(dialog->Control(id)); }
    QByteArray Stored() const {
        return DecodePassword(CustomSettings(File()).LoadPassword().toLatin1());
    }

    QTemporaryDir dir;
    std::unique_ptr<ResourceLibrary> resources;
    std::unique_ptr<CSetPassword> dialog;
};

TEST_F(CSetPasswordTest, TheFirstPasswordIsStoredEncodedForTheOwnerAloneBesideTheColours) {
    WriteFile("[Settings]\nBGColorRed=12\n");
    dialog = std::make_unique<CSetPassword>(*resources, File(), nullptr);
    dialog->show();
    EXPECT_FALSE(Edit(CSetPassword::kOldEdit)->isEnabled());
    EXPECT_EQ(ReadFile(), "[Settings]\nBGColorRed=12\n");  // not set up yet, yet not emptied
    ASSERT_TRUE(Save("Garden7", "Garden7"));
    const QByteArray file = ReadFile();
    EXPECT_TRUE(file.contains("Password=R2FyZGVuNw==")) << file.toStdString();
    EXPECT_TRUE(file.contains("CheckState=1"));
    EXPECT_TRUE(file.contains("BGColorRed=12"));
    // Only the owner's bits: the user, group and other bits of a file's mode.
    EXPECT_EQ(QFile::permissions(File()) & 0x0777, QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(QFile::permissions(dir.filePath("customSetting")) & 0x0777,
              QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

TEST_F(CSetPasswordTest, AnswersThatKeepTheDialogOpenChangeNothing) {
    ASSERT_TRUE(Save("Garden7", "Garden7"));
    const struct {
        const char* name;
        QString chosen, confirmed, old;
        int focus;
        bool oldCleared;
    } cases[] = {
        {"confirmation differs", "Pond8", "Pond9", "Garden7", CSetPassword::kNewEdit, false},
        {"wrong current password", "Pond8", "Pond8", "garden7", CSetPassword::kOldEdit, true},
        // Sixteen characters whose encoding passes what the file keeps: never unlockable.
        {"encoding too long", QString(16, QChar(0xE9)), QString(16, QChar(0xE9)), "Garden7",
         CSetPassword::kNewEdit, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(Save(c.chosen, c.confirmed, c.old));
        EXPECT_EQ(Stored(), "Garden7");
        EXPECT_EQ(dialog->focusWidget(), Edit(c.focus));
        EXPECT_EQ(Edit(CSetPassword::kOldEdit)->text().isEmpty(), c.oldCleared);
        EXPECT_EQ(Edit(CSetPassword::kNewEdit)->text(), c.chosen.left(16));
    }
    EXPECT_TRUE(Save("Pond8", "Pond8", "Garden7"));
    EXPECT_EQ(Stored(), "Pond8");
    EXPECT_EQ(Edit(CSetPassword::kNewEdit)->maxLength(), 16);
    EXPECT_TRUE(platform::MessageBoxes::Instance().History().empty());
}

TEST_F(CSetPasswordTest, APasswordThatCannotBeWrittenIsToldAndTheDialogStays) {
    // Something that is no settings file stands where the file should be.
    ASSERT_TRUE(QDir(dir.path()).mkpath("customSetting/CustomSetting.dt"));
    EXPECT_FALSE(Save("Garden7", "Garden7"));
    ASSERT_EQ(platform::MessageBoxes::Instance().History().size(), 1u);
    EXPECT_EQ(platform::MessageBoxes::Instance().History()[0].textId, 270);
    EXPECT_TRUE(QFileInfo(File()).isDir());
}

}  // namespace
}  // namespace ovistra
