#include "folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "disk_space.h"

namespace {

using namespace ovistra::platform;

// Points the XDG folders and HOME at a fresh temporary tree for one test.
class Folders : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
            saved_.push_back({name, qgetenv(name)});
        }
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        qputenv("XDG_RUNTIME_DIR", (home.path() + "/run").toUtf8());
        QDir(home.path()).mkpath("run");
        chmod(QFile::encodeName(home.path() + "/run").constData(), 0700);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            qputenv(name, value);
        }
    }
    QTemporaryDir home;

private:
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST_F(Folders, JoinNeverDoublesOrDropsASeparator) {
    EXPECT_EQ(JoinPath("/a/b", "c"), "/a/b/c");
    EXPECT_EQ(JoinPath("/a/b/", "c"), "/a/b/c");
    EXPECT_EQ(JoinPath("/a/b//", "/c"), "/a/b/c");
    EXPECT_EQ(JoinPath("/", "c"), "/c");
    EXPECT_EQ(JoinPath("/a", ""), "/a");
    EXPECT_EQ(JoinPath("", "c"), "c");
}

TEST_F(Folders, ProgramAndKeyFilesLiveInTheUsersXdgFolders) {
    EXPECT_EQ(DefaultProgramFolder(), home.path() + "/data/Halvorn/Brisquel/");
    EXPECT_EQ(KeyFilePath(), home.path() + "/config/Halvorn/Brisquel.reg");
    EXPECT_EQ(SettingsFilePath(DefaultProgramFolder()),
              home.path() + "/data/Halvorn/Brisquel/customSetting/CustomSetting.dt");
    EXPECT_EQ(ProgramFolderFrom("/srv/station"), "/srv/station/");
    EXPECT_EQ(ProgramFolderFrom("/srv/station//"), "/srv/station/");
    for (const char* unusable : {"", "C:", "C:\\Tessaron1\\Files", "relative/dir", "/"}) {
        EXPECT_EQ(ProgramFolderFrom(unusable), DefaultProgramFolder()) << unusable;
    }
}

TEST_F(Folders, RecordFolderIsNeverTheWorkingFolderOrTheRoot) {
    const QString fallback = home.path() + "/Videos/Quorvane";
    for (const char* unusable : {"", "  ", "C:", "D:\\Rec", "records", ".", "/", "//"}) {
        EXPECT_EQ(RecordFolderFrom(unusable), fallback) << unusable;
    }
    EXPECT_EQ(RecordFolderFrom("/mnt/disk/rec/"), "/mnt/disk/rec");
    // The desktop's own videos folder is honoured.
    QDir(home.path()).mkpath("config");
    QFile dirs(home.path() + "/config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_VIDEOS_DIR=\"$HOME/Filme\"\n");
    dirs.close();
    EXPECT_EQ(RecordFolderFrom(""), home.path() + "/Filme/Quorvane");
}

TEST_F(Folders, RuntimeFolderIsCreatedPrivateAndRefusedWhenOpenToOthers) {
    const RuntimeFolder made = PrepareRuntimeFolder();
    ASSERT_TRUE(made.ok()) << made.error.toStdString();
    EXPECT_EQ(made.path, home.path() + "/run/ovistra");
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(made.path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(PrepareRuntimeFolder().ok());

    chmod(QFile::encodeName(made.path).constData(), 0755);
    const RuntimeFolder open = PrepareRuntimeFolder();
    EXPECT_FALSE(open.ok());
    EXPECT_TRUE(open.error.contains("open to other users")) << open.error.toStdString();

    // A link planted in its place is not followed.
    QDir(made.path).removeRecursively();
    QDir(home.path()).mkpath("elsewhere");
    ASSERT_TRUE(QFile::link(home.path() + "/elsewhere", made.path));
    EXPECT_FALSE(PrepareRuntimeFolder().ok());
}

TEST_F(Folders, RuntimeFolderFallsBackToTmpWithoutXdgRuntimeDir) {
    qunsetenv("XDG_RUNTIME_DIR");
    const RuntimeFolder folder = PrepareRuntimeFolder();
    EXPECT_EQ(folder.path, QStringLiteral("/tmp/ovistra-%1").arg(getuid()));
}

TEST_F(Folders, FreeSpaceIsAskedOfTheNearestExistingFolder) {
    const auto here = FreeBytes(home.path());
    ASSERT_TRUE(here.has_value());
    EXPECT_GT(*here, 0u);
    const auto later = FreeBytes(home.path() + "/not/yet/made/file.avi");
    ASSERT_TRUE(later.has_value());
    // Same file system; allow for other writers between the two calls.
    EXPECT_NEAR(static_cast<double>(*later), static_cast<double>(*here), 64.0 * 1024 * 1024);
}

TEST_F(Folders, DiskIsNamedByTheFolderItsFileSystemIsMountedOn) {
    const struct {
        const char* path;
        const char* mountPoint;
    } cases[] = {
        {"/", "/"},
        {"/proc/self/status", "/proc"},
        {"/proc/not/yet/made", "/proc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MountPointOf(QString::fromLatin1(c.path)), QString::fromLatin1(c.mountPoint))
            << c.path;
    }
    EXPECT_EQ(MountPointOf(home.path() + "/not/yet"), MountPointOf(home.path()));
}

}  // namespace
