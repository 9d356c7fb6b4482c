// The run's credentials file and the stored credentials, on real files.
#include "rtsp_credentials.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "private_profile.h"

namespace ovistra::network {
namespace {

void WriteFile(const QString& path, const QByteArray& contents, mode_t mode) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
    file.close();
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), mode), 0);
}

mode_t ModeOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    return st.st_mode & 0777;
}

TEST(RtspCredentialsFile, TakesOneUserPasswordLineFromAClosedFileOnly) {
    const struct {
        QByteArray contents;
        mode_t mode;
        const char* user;      // null: refused
        const char* password;  // or the reason's words when refused
    } cases[] = {
        {"viewer:s3cret\n", 0600, "viewer", "s3cret"},
        {"viewer:s3cret", 0400, "viewer", "s3cret"},
        {"viewer:s3cret\n", 0644, nullptr, "other users"},
        {"viewer:s3cret\n", 0640, nullptr, "other users"},
        {"viewer:a:b::c\r\n", 0600, "viewer", "a:b::c"},
        {"viewer: spaced out \n", 0600, "viewer", " spaced out "},
        {"vi\xc3\xa9wer:p\xc3\xa4ss\n", 0600, "vi\xc3\xa9wer", "p\xc3\xa4ss"},
        {":s3cret\n", 0600, nullptr, "no user"},
        {"viewer\n", 0600, nullptr, "no user:password"},
        {"viewer:\n", 0600, nullptr, "no password"},
        {"viewer:s3cret\nother:pass\n", 0600, nullptr, "more than one line"},
        {"viewer:s3cret\n\n", 0600, nullptr, "more than one line"},
        {"viewer:s3\rcret\n", 0600, nullptr, "more than one line"},
        {"", 0600, nullptr, "no user:password"},
        {QByteArray(5000, 'x'), 0600, nullptr, "too long"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("auth"));
    for (const auto& c : cases) {
        WriteFile(path, c.contents, c.mode);
        QString error;
        const std::optional<RtspCredentials> read = ReadCredentialsFile(path, &error);
        if (c.user) {
            ASSERT_TRUE(read) << c.contents.constData() << ": " << error.toStdString();
            EXPECT_EQ(read->user, QString::fromUtf8(c.user));
            EXPECT_EQ(read->password, QString::fromUtf8(c.password));
        } else {
            EXPECT_FALSE(read) << c.contents.constData();
            EXPECT_TRUE(error.contains(QLatin1String(c.password))) << error.toStdString();
        }
    }
}

TEST(RtspCredentialsFile, RefusesWhatIsNoRegularFileWithoutWaitingOnIt) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {dir.path(), fifo, dir.filePath(QStringLiteral("missing"))}) {
        QString error;
        EXPECT_FALSE(ReadCredentialsFile(path, &error)) << path.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(RtspStoredCredentials, SurviveAnyCharacterKeepOtherSettingsAndStayClosed) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("customSetting/CustomSetting.dt"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("customSetting"))));
    // A file made by hand, open to others, with the lock's settings in it.
    WriteFile(file, "[Settings]\r\nPassword=abc\r\nCheckState=1\r\n", 0644);
    EXPECT_TRUE(LoadStoredCredentials(file).empty());

    const RtspCredentials awkward{QStringLiteral(" we;ird=user "),
                                  QStringLiteral(" \"p%a:ss\" ;x=\xfc\x41 ")};
    ASSERT_TRUE(SaveStoredCredentials(file, awkward));
    const RtspCredentials back = LoadStoredCredentials(file);
    EXPECT_EQ(back.user, awkward.user);
    EXPECT_EQ(back.password, awkward.password);
    EXPECT_EQ(ModeOf(file), 0600u);
    EXPECT_EQ(platform::profile::GetString(file, QStringLiteral("Settings"),
                                           QStringLiteral("Password"), QString(), 31),
              QStringLiteral("abc"));

    ASSERT_TRUE(SaveStoredCredentials(file, {}));
    EXPECT_TRUE(LoadStoredCredentials(file).empty());
    EXPECT_TRUE(LoadStoredCredentials(file).password.isEmpty());
}

}  // namespace
}  // namespace ovistra::network
