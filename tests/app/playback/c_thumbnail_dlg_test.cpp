// The picture browser on the offscreen platform, built from the real resource library, working
// on real files: what the slots and displays show, what each command leaves on disk, and what
// closing keeps.
#include "c_thumbnail_dlg.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>
#include <optional>

#include "c_color_button.h"
#include "c_picture_button.h"
#include "dialog_controls.h"
#include "message_box.h"
#include "posted_messages.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

using platform::MessageAnswer;
using platform::MessageBoxes;
using D = CThumbnailDlg;

// Takes the desktop's "open" for file addresses, so nothing is started.
class OpenedFiles : public QObject {
    Q_OBJECT

public:
    QStringList paths;

public slots:
    void open(const QUrl& url) { paths << url.toLocalFile(); }
};

class ThumbnailDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        MessageBoxes::Instance().Configure(MessageBoxes::Mode::Headless,
                                           [this](int id) { return resources->Text(id); });
        MessageBoxes::Instance().ClearHistory();
        dialog = std::make_unique<CThumbnailDlg>(*resources, opener.Handle());
        dialog->show();
    }
    void TearDown() override { dialog.reset(); }

    QString Bitmap(const QString& name, const QColor& colour = Qt::darkGreen) {
        QImage image(40, 30, QImage::Format_RGB888);
        image.fill(colour);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }
    void Add(int pictures) {
        for (int i = 1; i <= pictures; ++i) {
            dialog->AddPicture(Bitmap(QStringLiteral("%1.bmp").arg(i)));
        }
    }
    bool Exists(const QString& name) const { return QFile::exists(dir.filePath(name)); }
    CPictureButton* Slot(int slot) const {
        return qobject_cast<CPictureButton*>(dialog->Control(D::kSlotIds[slot]));
    }
    QLineEdit* Edit(int slot) const {
        return qobject_cast<QLineEdit*>(dialog->Control(D::kNameEditIds[slot]));
    }
    QString Display(int id) const {
        auto* label = qobject_cast<QLabel*>(dialog->Control(id));
        return label ? label->text() : QStringLiteral("(none)");
    }
    QAction* Command(int command) const {
        for (QAction* action : dialog->slotMenu()->actions()) {
            if (action->data().toInt() == command) {
                return action;
            }
        }
        return nullptr;
    }
    void Click(int id) { testing::ClickControl(*dialog, id); }
    std::vector<int> Shown() const {
        std::vector<int> texts;
        for (const platform::ShownMessage& message : MessageBoxes::Instance().History()) {
            EXPECT_EQ(message.captionId, ids::kCaptionGeneral);
            texts.push_back(message.textId);
        }
        return texts;
    }

    QTemporaryDir dir;
    std::unique_ptr<ResourceLibrary> resources;
    testing::PostedMessages opener;
    std::unique_ptr<CThumbnailDlg> dialog;
};

TEST_F(ThumbnailDlgTest, TheSixthPictureShowsSelectedInTheLastSlotAndScrollingStopsAtTheEnds) {
    Add(6);
    EXPECT_EQ(Slot(0)->image(), dir.filePath("2.bmp"));
    EXPECT_TRUE(Slot(4)->selected());
    EXPECT_FALSE(Edit(4)->isReadOnly());
    EXPECT_TRUE(Edit(0)->isReadOnly());
    EXPECT_EQ(Edit(4)->text(), "6.bmp");
    EXPECT_EQ(Display(D::kCountDisplay), "6");
    EXPECT_EQ(Display(D::kIndexDisplay), "6");

    const struct {
        int button;
        QString firstSlot, index;
    } steps[] = {{D::kForwardButton, "2.bmp", "6"},
                 {D::kBackButton, "1.bmp", "5"},  // the slot stays selected
                 {D::kBackButton, "1.bmp", "5"}};
    for (const auto& step : steps) {
        Click(step.button);
        EXPECT_EQ(Edit(0)->text(), step.firstSlot) << step.button;
        EXPECT_EQ(Display(D::kIndexDisplay), step.index) << step.button;
    }
}

TEST_F(ThumbnailDlgTest, NameBoxesShowAStillsWholeName) {
    const QString name = "20261209-154816909.bmp";  // to the millisecond, three digits
    dialog->AddPicture(Bitmap(name));
    dialog->adjustSize();
    QLineEdit* edit = Edit(0);
    ASSERT_EQ(edit->text(), name);
    // The text, the frame on both sides and the edit's own 2-pixel margins.
    const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
    EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(name) + 2 * frame + 4);
}

TEST_F(ThumbnailDlgTest, ClickingAnEmptySlotChangesNothingVisible) {
    Add(2);
    QTest::mouseClick(Slot(1), Qt::LeftButton);
    ASSERT_TRUE(Slot(1)->selected());
    const QImage before = dialog->grab().toImage();
    QTest::mouseClick(Slot(3), Qt::LeftButton);
    EXPECT_EQ(dialog->grab().toImage(), before);
    EXPECT_EQ(Display(D::kIndexDisplay), "2");
    EXPECT_TRUE(Edit(3)->isReadOnly());
}

TEST_F(ThumbnailDlgTest, ConvertingUsesTheEditedNameAndNeverReplacesUnasked) {
    using A = std::optional<MessageAnswer>;
    constexpr int kKeep = D::kConvertCommand;  // the BMP stays on disk
    constexpr int kDrop = D::kConvertAndDeleteButton;
    const struct {
        QString edited;
        int command;
        bool jpegThere;
        A answer;
        QString jpeg;
        bool written, bitmapKept, listed;
        std::vector<int> messages;
    } cases[] = {
        {"garden.old.bmp", kDrop, false, {}, "garden.jpg", true, false, false, {}},
        {"garden.old.bmp", kKeep, false, {}, "garden.jpg", true, true, false, {}},
        {"../garden.bmp", kDrop, false, {}, "../garden.jpg", false, true, true, {240}},
        {"", kKeep, false, {}, ".jpg", false, true, true, {240}},
        {"garden", kDrop, true, MessageAnswer::No, "garden.jpg", false, true, true, {241}},
        {"garden", kDrop, true, MessageAnswer::Yes, "garden.jpg", true, false, false, {241}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edited.toStdString() + " " + std::to_string(c.command));
        QDir(dir.filePath("pictures")).removeRecursively();
        QDir().mkpath(dir.filePath("pictures"));
        MessageBoxes::Instance().ClearHistory();
        const QString jpeg = dir.filePath("pictures/" + c.jpeg);
        if (c.jpegThere) {
            QFile old(jpeg);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        dialog->AddPicture(Bitmap("pictures/still.bmp"));
        QTest::mouseClick(Slot(0), Qt::LeftButton);
        Edit(0)->setText(c.edited);
        if (c.answer) {
            MessageBoxes::Instance().QueueAnswer(*c.answer);
        }
        if (c.command == kKeep) {
            Command(c.command)->trigger();
        } else {
            Click(c.command);
        }
        EXPECT_EQ(!QImage(jpeg, "JPG").isNull(), c.written);
        EXPECT_EQ(Exists("pictures/still.bmp"), c.bitmapKept);
        EXPECT_EQ(dialog->pictures().count(), c.listed ? 1 : 0);
        EXPECT_EQ(Shown(), c.messages);
        Click(D::kDeleteAllButton);
    }
}

TEST_F(ThumbnailDlgTest, FailedOrUnselectedConversionsSayWhyAndKeepThePictures) {
    Add(2);
    Click(D::kConvertAndDeleteButton);
    EXPECT_EQ(Shown(), std::vector<int>{145});

    QFile broken(dir.filePath("2.bmp"));
    ASSERT_TRUE(broken.resize(20));
    QTest::mouseClick(Slot(1), Qt::LeftButton);
    Command(D::kConvertCommand)->trigger();
    Click(D::kConvertAllButton);
    EXPECT_EQ(Shown(), (std::vector<int>{145, 143, 143}));
    EXPECT_TRUE(Exists("1.jpg"));
    EXPECT_FALSE(Exists("1.bmp"));
    EXPECT_TRUE(Exists("2.bmp"));
    EXPECT_EQ(dialog->pictures().count(), 1);
}

TEST_F(ThumbnailDlgTest, ClosingAsksOnceWhatBecomesOfTheListedPicturesAndUnansweredKeepsThem) {
    const struct {
        std::optional<MessageAnswer> answer;  // none: the box is answered with its default
        bool bitmapsKept, jpegsMade;
    } cases[] = {
        {std::nullopt, true, false},
        {MessageAnswer::Cancel, true, false},  // keep them as they are
        {MessageAnswer::Yes, false, true},     // convert to JPEG
        {MessageAnswer::No, false, false},     // delete
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer ? MessageBoxes::AnswerName(*c.answer).toStdString() : "default");
        for (const char* jpeg : {"1.jpg", "2.jpg", "3.jpg"}) {
            QFile::remove(dir.filePath(jpeg));
        }
        dialog->show();
        Add(3);
        QTest::mouseClick(Slot(0), Qt::LeftButton);
        Command(D::kConvertCommand)->trigger();  // kept before: no question touches it
        MessageBoxes::Instance().ClearHistory();
        if (c.answer) {
            MessageBoxes::Instance().QueueAnswer(*c.answer);
        }
        Click(D::kCancelButton);
        EXPECT_FALSE(dialog->isVisible());
        ASSERT_EQ(Shown(), std::vector<int>{370});
        EXPECT_EQ(MessageBoxes::Instance().History()[0].buttons,
                  platform::MessageButtons::YesNoCancel);
        EXPECT_TRUE(Exists("1.bmp") && Exists("1.jpg"));
        for (const QString n : {"2", "3"}) {
            EXPECT_EQ(Exists(n + ".bmp"), c.bitmapsKept) << n.toStdString();
            EXPECT_EQ(!QImage(dir.filePath(n + ".jpg"), "JPG").isNull(), c.jpegsMade);
        }
        EXPECT_EQ(dialog->pictures().count(), 0);
        EXPECT_EQ(Display(D::kCountDisplay), "0");
        // Answered once: closing the emptied browser again asks nothing.
        dialog->show();
        Click(D::kCancelButton);
        EXPECT_EQ(Shown().size(), 1u);
    }
    // A browser that goes with its owner unasked leaves what it lists on disk.
    Add(2);
    dialog.reset();
    EXPECT_TRUE(Exists("1.bmp") && Exists("2.bmp"));
}

TEST_F(ThumbnailDlgTest, DeletingAllAndClosingAsksFirstThenTellsTheOpener) {
    const struct {
        MessageAnswer answer;
        bool deleted;
        std::vector<uint32_t> posted;
    } cases[] = {{MessageAnswer::Cancel, false, {}},
                 {MessageAnswer::Ok, true, {ids::kPictureBrowserClosed}}};
    for (const auto& c : cases) {
        dialog->show();
        Add(2);
        MessageBoxes::Instance().QueueAnswer(c.answer);
        Click(D::kDeleteAllAndCloseButton);
        EXPECT_EQ(Exists("2.bmp"), !c.deleted);
        EXPECT_EQ(dialog->isVisible(), !c.deleted);
        EXPECT_EQ(opener.messages, c.posted);
        EXPECT_EQ(MessageBoxes::Instance().History().back().textId, 231);
        if (!c.deleted) {
            // Deleting all without closing asks too.
            MessageBoxes::Instance().QueueAnswer(MessageAnswer::Cancel);
            Click(D::kDeleteAllButton);
            EXPECT_TRUE(Exists("1.bmp"));
        }
        Click(D::kDeleteAllButton);
        EXPECT_FALSE(Exists("1.bmp"));
    }
}

TEST_F(ThumbnailDlgTest, RightClickSelectsTheSlotForItsMenu) {
    Add(3);
    QTest::mouseClick(Slot(3), Qt::RightButton);  // empty: no menu
    EXPECT_FALSE(dialog->slotMenu()->isVisible());
    QTest::mouseClick(Slot(1), Qt::RightButton);
    EXPECT_TRUE(Slot(1)->selected());
    EXPECT_TRUE(dialog->slotMenu()->isVisible());
    EXPECT_FALSE(Command(D::kPropertiesCommand)->isEnabled());
    Command(D::kDeleteCommand)->trigger();
    dialog->slotMenu()->hide();
    EXPECT_FALSE(Exists("2.bmp"));
    EXPECT_TRUE(Exists("1.bmp"));
    EXPECT_EQ(Edit(1)->text(), "3.bmp");
}

TEST_F(ThumbnailDlgTest, DoubleClickAndOpenHandTheSelectedFileToTheDesktop) {
    OpenedFiles opened;
    QDesktopServices::setUrlHandler("file", &opened, "open");
    Add(2);
    QTest::mouseDClick(Slot(1), Qt::LeftButton);
    QTest::mouseDClick(Slot(4), Qt::LeftButton);  // empty: opens nothing
    Click(D::kOpenButton);
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(opened.paths, QStringList({dir.filePath("2.bmp"), dir.filePath("2.bmp")}));
}

TEST_F(ThumbnailDlgTest, PrintingGoesToTheChosenPrinterOnly) {
    Add(1);
    Command(D::kPrintCommand)->trigger();  // nothing selected
    QTest::mouseClick(Slot(0), Qt::LeftButton);
    Command(D::kPrintCommand)->trigger();  // headless: no print dialog, nothing printed

    QString pdf;  // none: the user cancels
    dialog->SetPrinterChooser([&](QWidget*) -> std::unique_ptr<QPrinter> {
        if (pdf.isEmpty()) {
            return nullptr;
        }
        auto printer = std::make_unique<QPrinter>();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        return printer;
    });
    Command(D::kPrintCommand)->trigger();
    pdf = dir.filePath("print.pdf");
    Command(D::kPrintCommand)->trigger();
    EXPECT_GT(QFile(pdf).size(), 0);
    EXPECT_TRUE(Shown().empty());

    pdf = dir.filePath("no/such/folder/print.pdf");
    Command(D::kPrintCommand)->trigger();
    ASSERT_TRUE(QFile(dir.filePath("1.bmp")).resize(30));
    Command(D::kPrintCommand)->trigger();
    EXPECT_EQ(Shown(), (std::vector<int>{144, 143}));
    EXPECT_EQ(QDir(dir.path()).entryList({"*.pdf"}), QStringList{"print.pdf"});
}

TEST_F(ThumbnailDlgTest, PushButtonsWearTheBrowsersOwnColours) {
    for (int id : {1015, 1091, 1092, 1093, 1094, 1095, 1096, 1097}) {
        auto* button = qobject_cast<CColorButton*>(dialog->Control(id));
        ASSERT_TRUE(button) << id;
        const QImage face = button->grab().toImage();
        EXPECT_EQ(face.pixelColor(4, face.height() / 2), QColor(0, 200, 255)) << id;
    }
}

}  // namespace
}  // namespace ovistra

#include "c_thumbnail_dlg_test.moc"
