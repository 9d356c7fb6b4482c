#include "line_document.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "file_bytes.h"

namespace {

using ovistra::platform::LineDocument;

using testsupport::ReadAll;
using testsupport::WriteAll;

TEST(LineDocument, UntouchedFileIsWrittenBackByteForByte) {
    QTemporaryDir dir;
    const QString path = dir.filePath("f");
    const QByteArray samples[] = {
        "a\nb\n",
        "a\r\nb\r\n",
        "no final newline",
        "mixed\r\nends\n\n\n",
        QByteArray("\0\xff\n", 3),
        "\n",
        "",
    };
    for (const QByteArray& bytes : samples) {
        ASSERT_TRUE(WriteAll(path, bytes));
        LineDocument doc;
        ASSERT_TRUE(doc.Load(path));
        ASSERT_TRUE(doc.Save(path));
        EXPECT_EQ(ReadAll(path), bytes);
    }
}

TEST(LineDocument, NewLinesFollowTheFileLineEnding) {
    QTemporaryDir dir;
    const QString path = dir.filePath("f");
    ASSERT_TRUE(WriteAll(path, "one\r\ntwo\r\n"));
    LineDocument doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.Text(0), "one");
    doc.Replace(1, "TWO");
    doc.Insert(2, "three");
    ASSERT_TRUE(doc.Save(path));
    EXPECT_EQ(ReadAll(path), "one\r\nTWO\r\nthree\r\n");

    ASSERT_TRUE(WriteAll(path, "last line without feed"));
    ASSERT_TRUE(doc.Load(path));
    doc.Insert(doc.size(), "added");
    ASSERT_TRUE(doc.Save(path));
    EXPECT_EQ(ReadAll(path), "last line without feed\nadded\n");

    ASSERT_TRUE(WriteAll(path, "a\r\nlast"));
    ASSERT_TRUE(doc.Load(path));
    doc.Insert(doc.size(), "added");
    ASSERT_TRUE(doc.Save(path));
    EXPECT_EQ(ReadAll(path), "a\r\nlast\r\nadded\r\n");
}

TEST(LineDocument, FailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("f");
    ASSERT_TRUE(WriteAll(path, "keep\n"));
    LineDocument doc;
    ASSERT_TRUE(doc.Load(path));
    doc.Replace(0, "changed");
    EXPECT_FALSE(doc.Save(dir.filePath("missing-folder/f")));
    ASSERT_TRUE(doc.Save(path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"f"});
    EXPECT_FALSE(doc.Load(dir.filePath("absent")));
    EXPECT_EQ(doc.size(), 0u);
}

}  // namespace
