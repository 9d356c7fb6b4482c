#include "resource_library.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <vector>

#include "uipack.h"

namespace ovistra {
namespace {

std::unique_ptr<ResourceLibrary> LoadBuilt() {
    QString error;
    auto library = ResourceLibrary::LoadFile(QStringLiteral(UIPACK_LIBRARY), &error);
    EXPECT_TRUE(library) << error.toStdString();
    return library;
}

std::vector<int> NumbersWithText() {
    std::vector<int> numbers = {101, 102, 104, 114, 115, 116, 117, 118, 119, 124, 125, 126, 127,
                                128, 129, 130, 131, 137, 138, 140, 142, 143, 144, 145, 166, 167,
                                179, 180, 194, 195, 196, 197, 198, 203, 210, 211, 217, 218, 219,
                                220, 221, 222, 223, 225, 228, 229, 230, 231, 232, 233, 234};
    for (int id = 146; id <= 165; ++id) {
        numbers.push_back(id);
    }
    return numbers;
}

// --- loading

TEST(ResourceLibraryLoading, ReadsTheBuiltLibrary) {
    auto library = LoadBuilt();
    ASSERT_TRUE(library);
    EXPECT_EQ(library->Text(119), QStringLiteral("Ovistra"));
}

TEST(ResourceLibraryLoading, RefusesMissingFilesAndFolders) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString& path : {dir.filePath("libuipack.so"), dir.path(), QString()}) {
        QString error;
        EXPECT_FALSE(ResourceLibrary::LoadFile(path, &error)) << path.toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(error.contains(QLatin1Char('\n')));
    }
    // A caller that does not want the reason may pass none.
    EXPECT_FALSE(ResourceLibrary::LoadFile(dir.filePath("libuipack.so"), nullptr));
}

TEST(ResourceLibraryLoading, RefusesAFileThatIsNotALibrary) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("libuipack.so");
    QFile garbage(path);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    QByteArray bytes(4096, '\0');
    for (char& b : bytes) {
        b = static_cast<char>(QRandomGenerator::global()->bounded(256));
    }
    garbage.write(
        "\x7F"
        "ELF");  // a plausible start does not make it a library
    garbage.write(bytes);
    garbage.close();

    QString error;
    EXPECT_FALSE(ResourceLibrary::LoadFile(path, &error));
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1Char('\n')));
}

TEST(ResourceLibraryLoading, RefusesALibraryWithoutTheFormatFunction) {
    QString error;
    EXPECT_FALSE(ResourceLibrary::LoadFile(QStringLiteral(VIGIMOT_LIBRARY), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("uipack_format_version"))) << error.toStdString();
}

TEST(ResourceLibraryLoading, RefusesAnotherFormatAndNamesIt) {
    QString error;
    EXPECT_FALSE(ResourceLibrary::LoadFile(QStringLiteral(OTHER_FORMAT_LIBRARY), &error));
    EXPECT_TRUE(error.contains(QString::number(UIPACK_FORMAT_VERSION + 1))) << error.toStdString();
}

TEST(ResourceLibraryLoading, RefusesALibraryWithoutStringTable) {
    QString error;
    EXPECT_FALSE(ResourceLibrary::LoadFile(QStringLiteral(NO_BUNDLE_LIBRARY), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("string table"))) << error.toStdString();
}

TEST(ResourceLibraryLoading, LooksOnlyInTheStationsOwnFolders) {
    // The test program's folder has no resource library beside it or in a prefix around it; a
    // copy in the build's output folder must not be picked up.
    QString error;
    EXPECT_FALSE(ResourceLibrary::Load(&error));
    EXPECT_TRUE(error.contains(QLatin1String(ResourceLibrary::kFileName))) << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1Char('\n')));
}

TEST(ResourceLibraryLoading, BundleLivesAsLongAsTheLastLoader) {
    const QString table = QStringLiteral(":/uipack/strings.tsv");
    ASSERT_FALSE(QFile::exists(table));
    auto first = LoadBuilt();
    auto second = LoadBuilt();
    ASSERT_TRUE(first && second);
    std::unique_ptr<QWidget> form(second->LoadTemplate(102, nullptr));
    ASSERT_TRUE(form);

    first.reset();
    EXPECT_TRUE(QFile::exists(table));
    EXPECT_EQ(second->Text(228), LoadBuilt()->Text(228));

    second.reset();
    EXPECT_FALSE(QFile::exists(table));
    // What was built from the bundle stays usable after the library is gone.
    QWidget* picture = ResourceLibrary::FindControl(form.get(), 1000);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->property("controlId").toInt(), 1000);
}

// --- texts

TEST(ResourceTexts, EveryNumberTheStationShowsHasText) {
    auto library = LoadBuilt();
    ASSERT_TRUE(library);
    for (int id : NumbersWithText()) {
        EXPECT_TRUE(library->HasText(id)) << id;
        EXPECT_FALSE(library->Text(id).trimmed().isEmpty()) << id;
        EXPECT_FALSE(library->Text(id).contains(QChar::ReplacementCharacter)) << id;
        EXPECT_FALSE(library->Text(id).contains(QLatin1Char('\t'))) << id;
    }
    EXPECT_FALSE(library->HasText(1));
    EXPECT_TRUE(library->Text(1).isEmpty());
    EXPECT_TRUE(library->Text(-146).isEmpty());
}

TEST(ResourceTexts, DataTextsHoldTheirFixedContent) {
    auto library = LoadBuilt();
    ASSERT_TRUE(library);
    EXPECT_EQ(library->Text(162), QStringLiteral("1"));
    EXPECT_EQ(library->Text(163), QStringLiteral("2"));
    EXPECT_EQ(library->Text(164), QStringLiteral("3"));
    EXPECT_EQ(library->Text(165), QStringLiteral("4"));

    // The recording kinds are stored byte for byte in the recording list and filtered on.
    QSet<QString> kinds;
    for (int id : {217, 194, 195}) {
        const QString kind = library->Text(id);
        kinds.insert(kind);
        EXPECT_EQ(QString::fromLatin1(kind.toLatin1()), kind) << id;
        EXPECT_EQ(kind, kind.trimmed()) << id;
        EXPECT_FALSE(kind.contains(QLatin1Char('\n'))) << id;
    }
    EXPECT_EQ(kinds.size(), 3);

    // "All cameras" in the camera filter must not read as one camera.
    for (int id = 162; id <= 165; ++id) {
        EXPECT_NE(library->Text(197), library->Text(id));
    }
}

TEST(ResourceTexts, LineBreaksInTextsAreRealLineBreaks) {
    auto library = LoadBuilt();
    ASSERT_TRUE(library);
    for (int id : NumbersWithText()) {
        EXPECT_FALSE(library->Text(id).contains(QStringLiteral("\\n"))) << id;
    }
}

TEST(ResourceTexts, CameraCaptionsTakeTheNameAfterTheCameraNumeral) {
    auto library = LoadBuilt();
    ASSERT_TRUE(library);
    const int positions[4] = {8, 9, 10, 9};
    const QString decorated = QStringLiteral(" (Gate)");
    QSet<QString> numerals;
    QSet<QString> captions;
    for (int camera = 0; camera < 4; ++camera) {
        const int at = positions[camera];
        const QString numeral = library->Text(146 + camera).left(at);
        numerals.insert(numeral);
        // enabled, off, recording by schedule, recording by hand or alarm
        for (int first : {146, 150, 154, 158}) {
            const int id = first + camera;
            const QString base = library->Text(id);
            captions.insert(base);
            ASSERT_GE(base.size(), at) << id;
            EXPECT_EQ(base.left(at), numeral) << id;
            EXPECT_TRUE(base[at - 1].isLetterOrNumber()) << id;
            if (at < base.size()) {
                EXPECT_FALSE(base[at].isLetterOrNumber()) << id;
            }

            QString shown = base;
            shown.insert(at, decorated);
            EXPECT_TRUE(shown.startsWith(numeral + QStringLiteral(" (Gate)"))) << id;
            EXPECT_TRUE(shown.endsWith(base.mid(at))) << id;
            EXPECT_FALSE(shown.contains(QStringLiteral("  "))) << shown.toStdString();
            EXPECT_FALSE(shown.contains(QStringLiteral("( "))) << shown.toStdString();

            QString unnamed = base;
            unnamed.insert(at, QString());
            EXPECT_EQ(unnamed, base) << id;
        }
    }
    EXPECT_EQ(numerals.size(), 4);
    EXPECT_EQ(captions.size(), 16);
}

// --- string table parsing

TEST(StringTable, ReadsNumbersTextsAndEscapes) {
    const auto texts = ResourceLibrary::ParseStringTable(
        "\xEF\xBB\xBF"
        "101\tAbout\r\n"
        "# a comment\n"
        "\n"
        "114\tFirst line\\nsecond line\n"
        "115\tTab\\there, backslash \\\\n, trailing \\\n"
        "116\tUnicode caf\xC3\xA9\n"
        "65535\tLast");
    EXPECT_EQ(texts.size(), 5);
    EXPECT_EQ(texts.value(101), QStringLiteral("About"));
    EXPECT_EQ(texts.value(114), QStringLiteral("First line\nsecond line"));
    EXPECT_EQ(texts.value(115), QStringLiteral("Tab\there, backslash \\n, trailing \\"));
    EXPECT_EQ(texts.value(116), QStringLiteral(u"Unicode caf\u00E9"));
    EXPECT_EQ(texts.value(65535), QStringLiteral("Last"));
}

TEST(StringTable, SkipsMalformedLines) {
    const auto texts = ResourceLibrary::ParseStringTable(
        "no tab at all\n"
        "\tno number\n"
        "12a\tletters in the number\n"
        "-5\tnegative\n"
        "+7\tsigned\n"
        " 8\tblank before\n"
        "0\tzero\n"
        "65536\ttoo large\n"
        "99999999999999999999\toverflow\n"
        "120\t\n"
        "121 space instead of tab\n"
        "122\tkept\n"
        "122\tsecond of a repeated number\n"
        "123\ttab\tinside");
    EXPECT_EQ(texts.size(), 2);
    EXPECT_EQ(texts.value(122), QStringLiteral("kept"));
    EXPECT_EQ(texts.value(123), QStringLiteral("tab\tinside"));
}

TEST(StringTable, SurvivesDamagedTables) {
    QRandomGenerator random(20240611);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(random.bounded(1, 2000), '\0');
        for (char& b : bytes) {
            // Mostly digits, tabs and line ends, so some damaged lines look almost right.
            const char alphabet[] = "0123456789\t\n\r\\n\xC3\xFF";
            b = random.bounded(4) == 0 ? static_cast<char>(random.bounded(256))
                                       : alphabet[random.bounded(int(sizeof alphabet) - 1)];
        }
        const auto texts = ResourceLibrary::ParseStringTable(bytes);
        for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
            EXPECT_GE(it.key(), 1);
            EXPECT_LE(it.key(), 65535);
            EXPECT_FALSE(it.value().isEmpty());
        }
    }
    // A table cut in the middle of a character keeps the lines before the cut.
    const auto cut = ResourceLibrary::ParseStringTable("119\tOvistra\n120\tcaf\xC3");
    EXPECT_EQ(cut.value(119), QStringLiteral("Ovistra"));
}

// --- templates, images, menus

TEST(ResourceTemplates, MissingTemplatesAndImagesAreNull) {
    auto library = LoadBuilt();
    ASSERT_TRUE(library);
    EXPECT_EQ(library->LoadTemplate(99999, nullptr), nullptr);
    EXPECT_EQ(library->LoadTemplate(-102, nullptr), nullptr);
    EXPECT_TRUE(library->Icon(99999).isNull());
    EXPECT_TRUE(library->Bitmap(99999).isNull());
    EXPECT_EQ(library->LoadMenu(99999, nullptr), nullptr);
}

TEST(ResourceTemplates, TemplateBecomesAChildOfItsParent) {
    auto library = LoadBuilt();
    ASSERT_TRUE(library);
    QWidget parent;
    QWidget* form = library->LoadTemplate(102, &parent);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->parentWidget(), &parent);
    EXPECT_FALSE(form->isWindow());
    EXPECT_EQ(ResourceLibrary::FindControl(&parent, 1024)->objectName(), "id1024");
    EXPECT_EQ(ResourceLibrary::FindControl(&parent, 4242), nullptr);
    EXPECT_EQ(ResourceLibrary::FindControl(nullptr, 1024), nullptr);
}

TEST(ResourceImages, ApplicationIconIsAnImage) {
    auto library = LoadBuilt();
    ASSERT_TRUE(library);
    const QIcon icon = library->Icon(128);
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(QSize(128, 128)).toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 64);
    EXPECT_EQ(image.width(), image.height());
    // Not a blank square: some pixels are drawn and some are not.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            colours.insert(image.pixel(x, y));
        }
    }
    EXPECT_GT(colours.size(), 4);
}

TEST(ResourceMenus, PictureSlotMenuCarriesItsFiveCommands) {
    auto library = LoadBuilt();
    ASSERT_TRUE(library);
    std::unique_ptr<QMenu> menu(library->LoadMenu(133, nullptr));
    ASSERT_TRUE(menu);
    std::vector<int> commands;
    QSet<QString> texts;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            continue;
        }
        commands.push_back(action->data().toInt());
        texts.insert(action->text());
        EXPECT_FALSE(action->text().isEmpty());
    }
    EXPECT_EQ(commands, (std::vector<int>{32797, 32798, 32799, 32801, 32800}));
    EXPECT_EQ(texts.size(), 5);
}

TEST(ResourceMenus, DamagedMenuLinesAreSkipped) {
    std::unique_ptr<QMenu> menu(
        ResourceLibrary::BuildMenu("32771\tOpen\n"
                                   "garbage\n"
                                   "-\n"
                                   "70000\tout of range\n"
                                   "32774\t\n"
                                   "32772\tPrint\r\n",
                                   nullptr));
    ASSERT_TRUE(menu);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->data().toInt(), 32771);
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->data().toInt(), 32772);
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Print"));
}

}  // namespace
}  // namespace ovistra
