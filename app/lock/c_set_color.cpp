#include "c_set_color.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <array>
#include <cmath>
#include <utility>

#include "c_color_button.h"
#include "contrast_ratio.h"
#include "custom_settings.h"
#include "message_box.h"
#include "replace_control.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kPushButtons[] = {CSetColor::kBackgroundPicker, CSetColor::kTextPicker,
                                CSetColor::kDefaultButton, CSetColor::kConfirmButton,
                                CSetColor::kCancelButton};

// The six components in the order of the edits.
std::array<int*, 6> Components(ColourScheme& s) {
    return {&s.backgroundRed, &s.backgroundGreen, &s.backgroundBlue,
            &s.textRed,       &s.textGreen,       &s.textBlue};
}

constexpr std::array<int, 6> kEdits = {
    CSetColor::kBackgroundEdits[0], CSetColor::kBackgroundEdits[1], CSetColor::kBackgroundEdits[2],
    CSetColor::kTextEdits[0],       CSetColor::kTextEdits[1],       CSetColor::kTextEdits[2]};

// False unless the edit holds a whole number 0..255.
bool ParseComponent(const QLineEdit& edit, int* value) {
    bool number = false;
    *value = edit.text().trimmed().toInt(&number);
    return number && *value >= 0 && *value <= 255;
}

}  // namespace

CSetColor::CSetColor(const ResourceLibrary& resources, QString settingsFile,
                     platform::WindowHandle mainWindow, QWidget* parent)
    : QDialog(parent),
      settingsFile_(std::move(settingsFile)),
      mainWindow_(std::move(mainWindow)),
      values_(CurrentColourScheme()),
      opening_(values_) {
    form_ = resources.LoadTemplateInto(kTemplate, this);
    if (!form_) {
        return;
    }
    for (int id : kPushButtons) {
        auto* button = ReplaceControl(form_, id, [this](QWidget* placeholder) {
            return new CColorButton(placeholder->property("text").toString(), form_);
        });
        if (button) {
            button->setDefault(id == kConfirmButton);
        }
    }
    auto onClick = [this](int id, auto action) {
        if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) {
            connect(button, &QAbstractButton::clicked, this, action);
        }
    };
    onClick(kBackgroundPicker, [this] { OnPick(SchemeColour::Background); });
    onClick(kTextPicker, [this] { OnPick(SchemeColour::Text); });
    onClick(kDefaultButton, [this] { OnDefault(); });
    onClick(kConfirmButton, [this] { accept(); });
    onClick(kCancelButton, [this] { reject(); });

    warningText_ = resources.Text(kTextContrastWarning);
    contrastWarning_ = new QLabel(form_);
    contrastWarning_->setWordWrap(true);
    QFont bold = contrastWarning_->font();
    bold.setBold(true);
    contrastWarning_->setFont(bold);
    contrastWarning_->hide();
    if (auto* column = qobject_cast<QBoxLayout*>(form_->layout())) {
        column->insertWidget(column->count() - 1, contrastWarning_);  // above the buttons
    } else if (form_->layout()) {
        form_->layout()->addWidget(contrastWarning_);
    }
    for (int id : kEdits) {
        if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) {
            connect(edit, &QLineEdit::textChanged, this, [this] { ShowContrast(); });
        }
    }
}

QWidget* CSetColor::Control(int id) const {
    return form_ ? ResourceLibrary::FindControl(form_, id) : nullptr;
}

CColorEdit* CSetColor::picker() const {
    // A closed picker may wait a moment for its deletion.
    auto* edit = findChild<CColorEdit*>(QString(), Qt::FindDirectChildrenOnly);
    return edit && edit->isVisible() ? edit : nullptr;
}

void CSetColor::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        values_ = CurrentColourScheme();
        opening_ = values_;
        const CustomSettings file(settingsFile_);
        // Not set up yet: the folder and the file are made now, closed to others, so the
        // password dialog finds them; a file that exists keeps what it holds.
        if (file.LoadCheckState() == 0) {
            file.CreateFile();
        }
        ShowValues();
        ShowContrast();
    }
    QDialog::showEvent(event);
}

void CSetColor::ShowValues() {
    auto components = Components(values_);
    for (size_t i = 0; i < kEdits.size(); ++i) {
        if (auto* edit = qobject_cast<QLineEdit*>(Control(kEdits[i]))) {
            edit->setText(QString::number(*components[i]));
        }
    }
}

bool CSetColor::ReadEdits() {
    ColourScheme read = values_;
    auto components = Components(read);
    for (size_t i = 0; i < kEdits.size(); ++i) {
        auto* edit = qobject_cast<QLineEdit*>(Control(kEdits[i]));
        if (!edit) {
            continue;
        }
        int value = 0;
        if (!ParseComponent(*edit, &value)) {
            platform::MessageBoxes::Instance().Show(ids::kTextColourRange, ids::kCaptionGeneral,
                                                    platform::MessageIcon::Warning,
                                                    platform::MessageButtons::Ok, this);
            edit->setFocus();
            edit->selectAll();
            return false;
        }
        *components[i] = value;
    }
    values_ = read;
    return true;
}

void CSetColor::ShowContrast() {
    ColourScheme typed = values_;
    auto components = Components(typed);
    for (size_t i = 0; i < kEdits.size(); ++i) {
        auto* edit = qobject_cast<QLineEdit*>(Control(kEdits[i]));
        // A number out of range gets its own message on OK; no ratio to tell meanwhile.
        if (edit && !ParseComponent(*edit, components[i])) {
            if (contrastWarning_) {
                contrastWarning_->hide();
            }
            return;
        }
    }
    ShowContrast(typed);
}

void CSetColor::ShowContrast(const ColourScheme& candidate) {
    if (!contrastWarning_) {
        return;
    }
    const double ratio = ContrastRatio(candidate.Text(), candidate.Background());
    // Rounded down, so a ratio just short of 3 never reads as 3.0.
    contrastWarning_->setText(warningText_.arg(std::floor(ratio * 10) / 10, 0, 'f', 1));
    contrastWarning_->setVisible(ratio < kReadableContrast);
}

bool CSetColor::KeepHardToRead() {
    // Colours in force at the opening were kept before; only a new pair is asked about.
    if (IsReadable(values_) || values_ == opening_) {
        return true;
    }
    constexpr int kNoButton = 1;
    return platform::MessageBoxes::Instance().Show(
               kTextContrastQuestion, ids::kCaptionGeneral, platform::MessageIcon::Warning,
               platform::MessageButtons::YesNo, this, kNoButton) == platform::MessageAnswer::Yes;
}

void CSetColor::OnPick(SchemeColour which) {
    if (picker() || !ReadEdits()) {
        return;
    }
    auto* edit = new CColorEdit(which, ColourOf(values_, which), mainWindow_, this);
    edit->setAttribute(Qt::WA_DeleteOnClose);
    connect(edit, &QColorDialog::colorSelected, this,
            [this, which](const QColor& colour) { OnPicked(which, colour); });
    connect(edit, &QColorDialog::currentColorChanged, this, [this, which](const QColor& colour) {
        ColourScheme candidate = values_;
        SetColour(candidate, which, colour);
        ShowContrast(candidate);
    });
    connect(edit, &QDialog::finished, this, [this] { ShowContrast(); });
    edit->open();
}

void CSetColor::OnPicked(SchemeColour which, const QColor& colour) {
    SetColour(values_, which, colour);
    ShowValues();
}

void CSetColor::accept() {
    if (ReadEdits() && KeepHardToRead()) {
        Commit(values_);
        QDialog::accept();
    }
}

void CSetColor::OnDefault() {
    values_ = ColourScheme{};
    ShowValues();
    Commit(values_);
    QDialog::accept();
}

void CSetColor::reject() {
    // What the pickers previewed was never confirmed.
    const ColourScheme previewed = CurrentColourScheme();
    CurrentColourScheme() = opening_;
    Tell(previewed, opening_);
    QDialog::reject();
}

void CSetColor::Commit(const ColourScheme& scheme) {
    CurrentColourScheme() = scheme;
    opening_ = scheme;
    mainWindow_.PostMessage(ChangedMessage(SchemeColour::Background), 0, 0);
    mainWindow_.PostMessage(ChangedMessage(SchemeColour::Text), 0, 0);
    if (!CustomSettings(settingsFile_).SaveColourScheme(scheme)) {
        platform::MessageBoxes::Instance().Show(ids::kTextColoursNotSaved, ids::kCaptionGeneral,
                                                platform::MessageIcon::Warning,
                                                platform::MessageButtons::Ok, this);
    }
}

void CSetColor::Tell(const ColourScheme& before, const ColourScheme& after) const {
    for (SchemeColour which : {SchemeColour::Background, SchemeColour::Text}) {
        if (ColourOf(before, which) != ColourOf(after, which)) {
            mainWindow_.PostMessage(ChangedMessage(which), 0, 0);
        }
    }
}

}  // namespace ovistra
