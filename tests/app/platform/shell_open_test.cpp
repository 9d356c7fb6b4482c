#include "shell_open.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

namespace {

// Stands in for the desktop: records what would have been opened.
class DesktopRecorder : public QObject {
    Q_OBJECT

public:
    DesktopRecorder() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~DesktopRecorder() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

TEST(ShellOpen, FilesAndFoldersGoToTheDesktop) {
    DesktopRecorder desktop;
    QTemporaryDir dir;
    const QString file = dir.filePath("240101_120000.avi");
    QFile(file).open(QIODevice::WriteOnly);

    EXPECT_TRUE(ovistra::platform::ShellOpen(file));
    EXPECT_TRUE(ovistra::platform::ShellExplore(dir.path()));
    ASSERT_EQ(desktop.opened.size(), 2);
    EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(file));
    EXPECT_EQ(desktop.opened[1], QUrl::fromLocalFile(dir.path()));

    // Nothing is handed over for what is not there, or for a folder opened as a file's folder.
    EXPECT_FALSE(ovistra::platform::ShellOpen(dir.filePath("gone.avi")));
    EXPECT_FALSE(ovistra::platform::ShellExplore(file));
    EXPECT_EQ(desktop.opened.size(), 2);
}

}  // namespace

#include "shell_open_test.moc"
