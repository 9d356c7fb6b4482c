#include "c_thumbnail_dlg.h"

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>

#include "c_color_button.h"
#include "c_picture_button.h"
#include "message_box.h"
#include "picture_print.h"
#include "replace_control.h"
#include "resource_library.h"
#include "shell_open.h"
#include "thumbnail_cache.h"
#include "window_ids.h"

namespace ovistra {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

constexpr int kTextUnkeptPictures = 370;
constexpr int kTextKeepAsTheyAre = 371;
constexpr int kTextConvertToJpeg = 372;
constexpr int kTextDelete = 373;
constexpr int kKeepAnswerIndex = 2;  // Cancel: closing the box keeps them too

const QColor kDialogColour(0, 200, 255);
const QColor kStaticTextColour(0, 0, 255);
constexpr std::array<int, 8> kPushButtonIds{1015, 1091, 1092, 1093, 1094, 1095, 1096, 1097};

MessageAnswer Tell(int textId, MessageIcon icon, QWidget* parent,
                   MessageButtons buttons = MessageButtons::Ok) {
    return platform::MessageBoxes::Instance().Show(textId, ids::kCaptionGeneral, icon, buttons,
                                                   parent);
}

// The longest name the station gives a picture (a still's, to the millisecond) shows whole.
void FitWholeName(QLineEdit& edit) {
    constexpr int kFrameAndMargins = 12;
    const int textWidth =
        edit.fontMetrics().horizontalAdvance(QStringLiteral("20000000-000000000.bmp"));
    edit.setMinimumWidth(textWidth + kFrameAndMargins);
}

// Headless runs never wait on a dialog: there, printing is cancelled.
std::unique_ptr<QPrinter> AskForPrinter(QWidget* parent) {
    if (platform::MessageBoxes::Instance().mode() == platform::MessageBoxes::Mode::Headless) {
        return nullptr;
    }
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), parent);
    // All pages of a one-page document: no page range, no selection, no printing to a file.
    dialog.setOptions(QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted ? std::move(printer) : nullptr;
}

}  // namespace

CThumbnailDlg::CThumbnailDlg(const ResourceLibrary& resources, platform::WindowHandle opener,
                             QWidget* parent)
    : QDialog(parent),
      opener_(std::move(opener)),
      choosePrinter_(AskForPrinter),
      thumbnails_(std::make_shared<ThumbnailCache>()) {
    form_ = resources.LoadTemplateInto(ids::kPictureBrowserTemplate, this);
    if (!form_) {
        return;
    }
    slotMenu_ = resources.LoadMenu(ids::kPictureSlotMenu, this);
    if (slotMenu_) {
        for (QAction* action : slotMenu_->actions()) {
            action->setEnabled(action->data().toInt() != kPropertiesCommand);
        }
        connect(slotMenu_, &QMenu::triggered, this,
                [this](QAction* action) { Command(action->data().toInt()); });
    }
    ReplaceControls();
    ApplyColours();
    if (auto* cancel = qobject_cast<QAbstractButton*>(Control(kCancelButton))) {
        connect(cancel, &QAbstractButton::clicked, this, &CThumbnailDlg::reject);
    }
    RefreshSlots();
}

// Nobody was asked about what is still listed, so it stays on disk.
CThumbnailDlg::~CThumbnailDlg() = default;

void CThumbnailDlg::ReplaceControls() {
    for (int slot = 0; slot < PictureList::kSlots; ++slot) {
        slots_[slot] = ReplaceControl(form_, kSlotIds[slot], [this](QWidget*) {
            return new CPictureButton(thumbnails_, form_);
        });
        if (slots_[slot]) {
            slots_[slot]->SetContextMenu(slotMenu_, this);
            connect(slots_[slot], &QAbstractButton::clicked, this,
                    [this, slot] { SelectSlot(slot); });
            connect(slots_[slot], &CPictureButton::doubleClicked, this, [this, slot] {
                SelectSlot(slot);
                if (pictures_.selectedSlot() == slot) {
                    OpenSelected();
                }
            });
        }
        nameEdits_[slot] = qobject_cast<QLineEdit*>(Control(kNameEditIds[slot]));
        if (nameEdits_[slot]) {
            FitWholeName(*nameEdits_[slot]);
        }
    }
    for (int id : kPushButtonIds) {
        auto* button = ReplaceControl(form_, id, [this](QWidget* placeholder) {
            return new CColorButton(placeholder->property("text").toString(), form_);
        });
        if (button) {
            button->SetOwnColours(Qt::black, kDialogColour);
            connect(button, &QAbstractButton::clicked, this, [this, id] { Command(id); });
        }
    }
    countDisplay_ = qobject_cast<QLabel*>(Control(kCountDisplay));
    indexDisplay_ = qobject_cast<QLabel*>(Control(kIndexDisplay));
}

void CThumbnailDlg::ApplyColours() {
    QPalette dialog = palette();
    dialog.setColor(QPalette::Window, kDialogColour);
    setPalette(dialog);
    setAutoFillBackground(true);
    for (QLineEdit* edit : nameEdits_) {
        if (edit) {
            QPalette white = edit->palette();
            white.setColor(QPalette::Base, Qt::white);
            white.setColor(QPalette::Text, Qt::black);
            edit->setPalette(white);
        }
    }
    for (QLabel* label : form_->findChildren<QLabel*>()) {
        QPalette blue = label->palette();
        blue.setColor(QPalette::WindowText, kStaticTextColour);
        label->setPalette(blue);
    }
}

QWidget* CThumbnailDlg::Control(int id) const {
    return form_ ? ResourceLibrary::FindControl(form_, id) : nullptr;
}

void CThumbnailDlg::SetPrinterChooser(PrinterChooser chooser) {
    choosePrinter_ = std::move(chooser);
}

void CThumbnailDlg::AddPicture(const QString& path) {
    pictures_.Add(path);
    RefreshSlots();
}

void CThumbnailDlg::SelectNewest() {
    pictures_.SelectNewest();
    RefreshSlots();
}

void CThumbnailDlg::Command(int id) {
    switch (id) {
        case kOpenButton:
        case kOpenCommand:
            OpenSelected();
            break;
        case kPrintCommand:
            PrintSelected();
            break;
        case kDeleteButton:
        case kDeleteCommand:
            DeleteSelected();
            break;
        case kConvertCommand:
            ConvertSelected(false);
            break;
        case kConvertAndDeleteButton:
            ConvertSelected(true);
            break;
        case kConvertAllButton:
            ConvertAll();
            break;
        case kDeleteAllButton:
            DeleteAll();
            break;
        case kDeleteAllAndCloseButton:
            DeleteAllAndClose();
            break;
        case kForwardButton:
            pictures_.ScrollForward();
            RefreshSlots();
            break;
        case kBackButton:
            pictures_.ScrollBack();
            RefreshSlots();
            break;
        default:
            break;
    }
}

void CThumbnailDlg::SelectSlot(int slot) {
    if (pictures_.Select(slot)) {
        RefreshSlots();
    }
}

void CThumbnailDlg::RefreshSlots() {
    if (countDisplay_) {
        countDisplay_->setText(QString::number(pictures_.count()));
    }
    const std::optional<int> selected = pictures_.SelectedIndex();
    if (indexDisplay_) {
        indexDisplay_->setText(QString::number(selected ? *selected + 1 : 0));
    }
    for (int slot = 0; slot < PictureList::kSlots; ++slot) {
        const PictureList::Picture* picture = pictures_.SlotPicture(slot);
        const bool isSelected = selected && pictures_.selectedSlot() == slot;
        if (slots_[slot]) {
            slots_[slot]->SetImage(picture ? picture->path() : QString());
            slots_[slot]->SetSelected(isSelected);
        }
        if (nameEdits_[slot]) {
            nameEdits_[slot]->setText(picture ? picture->name : QString());
            nameEdits_[slot]->setReadOnly(!isSelected);
        }
    }
}

void CThumbnailDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const QPoint screenPoint = event->globalPosition().toPoint();
        for (int slot = 0; slot < PictureList::kSlots; ++slot) {
            if (slots_[slot] &&
                slots_[slot]->rect().contains(slots_[slot]->mapFromGlobal(screenPoint))) {
                SelectSlot(slot);
                event->accept();
                return;
            }
        }
    }
    QDialog::mousePressEvent(event);
}

void CThumbnailDlg::OpenSelected() {
    if (pictures_.SelectedIndex() &&
        !platform::ShellOpen(pictures_.SlotPicture(pictures_.selectedSlot())->path())) {
        Tell(ids::kTextCannotOpenPicture, MessageIcon::Warning, this);
    }
}

void CThumbnailDlg::PrintSelected() {
    if (!pictures_.SelectedIndex()) {
        return;
    }
    const QString path = pictures_.SlotPicture(pictures_.selectedSlot())->path();
    const std::unique_ptr<QPrinter> printer = choosePrinter_ ? choosePrinter_(this) : nullptr;
    if (!printer) {
        return;
    }
    switch (PrintPicture(*printer, path)) {
        case PrintOutcome::PictureUnreadable:
            Tell(ids::kTextCannotOpenPicture, MessageIcon::Warning, this);
            break;
        case PrintOutcome::PrinterUnusable:
            Tell(ids::kTextPrinterUnusable, MessageIcon::Warning, this);
            break;
        case PrintOutcome::Printed:
            break;
    }
}

void CThumbnailDlg::DeleteSelected() {
    pictures_.DeleteSelected();
    RefreshSlots();
}

void CThumbnailDlg::ConvertSelected(bool deleteBitmap) {
    const int slot = pictures_.selectedSlot();
    const QString name =
        pictures_.SelectedIndex() && nameEdits_[slot] ? nameEdits_[slot]->text() : QString();
    using C = PictureList::Conversion;
    C result = pictures_.ConvertSelected(name, deleteBitmap, false);
    if (result == C::Exists && Tell(ids::kTextReplaceJpeg, MessageIcon::Question, this,
                                    MessageButtons::YesNo) == MessageAnswer::Yes) {
        result = pictures_.ConvertSelected(name, deleteBitmap, true);
    }
    switch (result) {
        case C::NoSelection:
            if (deleteBitmap) {
                Tell(ids::kTextSelectPictureFirst, MessageIcon::Information, this);
            }
            break;
        case C::BadName:
            Tell(ids::kTextPictureNameNotPlain, MessageIcon::Warning, this);
            break;
        case C::Failed:
            Tell(ids::kTextCannotOpenPicture, MessageIcon::Warning, this);
            break;
        case C::Converted:
        case C::Exists:
            break;
    }
    RefreshSlots();
}

void CThumbnailDlg::ConvertAll() {
    if (pictures_.ConvertAll() > 0) {
        Tell(ids::kTextCannotOpenPicture, MessageIcon::Warning, this);
    }
    RefreshSlots();
}

void CThumbnailDlg::DeleteAll() {
    if (pictures_.count() == 0 || Tell(ids::kTextDeleteAllPictures, MessageIcon::Question, this,
                                       MessageButtons::OkCancel) != MessageAnswer::Ok) {
        return;
    }
    pictures_.DeleteAll();
    RefreshSlots();
}

void CThumbnailDlg::SettleUnkept() {
    if (pictures_.count() == 0) {
        return;
    }
    const MessageAnswer answer = platform::MessageBoxes::Instance().Show(
        kTextUnkeptPictures, ids::kCaptionGeneral, MessageIcon::Question,
        MessageButtons::YesNoCancel, this, kKeepAnswerIndex,
        {kTextConvertToJpeg, kTextDelete, kTextKeepAsTheyAre});
    if (answer == MessageAnswer::Yes && pictures_.ConvertAll() > 0) {
        Tell(ids::kTextCannotOpenPicture, MessageIcon::Warning, this);
    } else if (answer == MessageAnswer::No) {
        pictures_.DeleteAll();
    }
    // What could not be converted is kept as it is, as is everything the user kept.
    pictures_.KeepAll();
    RefreshSlots();
}

void CThumbnailDlg::DeleteAllAndClose() {
    if (Tell(ids::kTextDeleteAllPictures, MessageIcon::Question, this, MessageButtons::OkCancel) !=
        MessageAnswer::Ok) {
        return;
    }
    pictures_.DeleteAll();
    RefreshSlots();
    accept();
    opener_.PostMessage(ids::kPictureBrowserClosed, 0, 0);
}

void CThumbnailDlg::reject() {
    SettleUnkept();
    QDialog::reject();
}

}  // namespace ovistra
