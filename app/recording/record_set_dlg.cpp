#include "record_set_dlg.h"

#include <sys/statvfs.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <optional>

#include "folders.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;

struct DiskSize {
    uint64_t totalBytes;
    uint64_t freeBytes;
};

// The record folder may not exist yet; its nearest existing parent is on the disk it will be
// made on.
std::optional<DiskSize> DiskSizeOf(const QString& folder) {
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    QString probe = QFileInfo(folder).absoluteFilePath();
    while (!QFileInfo::exists(probe)) {
        const QString parent = QFileInfo(probe).path();
        if (parent == probe) {
            return std::nullopt;
        }
        probe = parent;
    }
    struct statvfs fs {};
    if (statvfs(QFile::encodeName(probe).constData(), &fs) != 0) {
        return std::nullopt;
    }
    return DiskSize{static_cast<uint64_t>(fs.f_blocks) * fs.f_frsize,
                    static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize};
}

QString BrowseWithSystemDialog(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
}

}  // namespace

CRecordSetDlg::CRecordSetDlg(const RegistrySettings& values, const ResourceLibrary& resources,
                             platform::WindowHandle mainWindow, QWidget* parent)
    // The copy changes only on confirm, so a cancel gives the main window back the values this
    // opening showed: the same answer as a confirm, with nothing changed.
    : PostedAnswerDialog(kTemplate, resources, std::move(mainWindow), ids::kRecordSetConfirmed,
                         ids::kRecordSetConfirmed, parent),
      values_(values),
      chooseFolder_(BrowseWithSystemDialog) {
    if (!form()) {
        return;
    }
    if (QAbstractButton* browse = Button(kBrowseButton)) {
        connect(browse, &QAbstractButton::clicked, this, &CRecordSetDlg::OnBrowse);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(Control(kRecordPathEdit))) {
        // An empty path is a choice too: the folder it stands for shows through.
        edit->setPlaceholderText(platform::RecordFolderFrom(QString()));
        connect(edit, &QLineEdit::textChanged, this, &CRecordSetDlg::ShowFolder);
    }
    // clicked, not toggled: only the user's clicks ripple through the boxes, never our own
    // setChecked calls.
    if (QAbstractButton* all = Button(kAllCamerasStamp)) {
        connect(all, &QAbstractButton::clicked, this, &CRecordSetDlg::OnAllCamerasStamp);
    }
    for (int camera = 0; camera < RegistrySettings::kCameras; ++camera) {
        if (QAbstractButton* box = Button(kFirstCameraStamp + camera)) {
            connect(box, &QAbstractButton::clicked, this, &CRecordSetDlg::OnCameraStamp);
        }
    }
    for (int id : {kFrameRateAllEdit, kFrameRateEdits[0], kFrameRateEdits[1], kFrameRateEdits[2],
                   kFrameRateEdits[3]}) {
        if (QSpinBox* spin = Spin(id)) {
            spin->setRange(kMinFrameRate, kMaxFrameRate);
        }
    }
    // The system's user account switch has no counterpart here: not offered at all.
    for (int id : {kAccountSwitchOff, kAccountSwitchOn}) {
        if (QWidget* radio = Control(id)) {
            radio->hide();
            if (auto* group = qobject_cast<QGroupBox*>(radio->parentWidget())) {
                group->hide();
            }
        }
    }
}

CRecordSetDlg::~CRecordSetDlg() = default;

QSpinBox* CRecordSetDlg::Spin(int id) const {
    return qobject_cast<QSpinBox*>(Control(id));
}

void CRecordSetDlg::CopyRecordValuesTo(RegistrySettings& target) const {
    target.enableLua = values_.enableLua;
    target.recordPath = values_.recordPath;
    target.frameRateAll = values_.frameRateAll;
    target.frameRate = values_.frameRate;
    target.timeStamp = values_.timeStamp;
    target.cameraAudio = values_.cameraAudio;
    target.recordMode = values_.recordMode;
    target.audioInput = values_.audioInput;
}

QString CRecordSetDlg::DiskLine(const ResourceLibrary& resources, const QString& folder) {
    const std::optional<DiskSize> size = DiskSizeOf(folder);
    if (!size) {
        return {};
    }
    return resources.Text(kTextDiskSize) +
           QString::asprintf(" %.1fG       ", static_cast<double>(size->totalBytes) / kGiB) +
           resources.Text(kTextDiskFree) +
           QString::asprintf(" %.1fG", static_cast<double>(size->freeBytes) / kGiB);
}

void CRecordSetDlg::OnOpen() {
    if (auto* edit = qobject_cast<QLineEdit*>(Control(kRecordPathEdit))) {
        edit->setText(values_.recordPath);
    }
    ShowFolder(values_.recordPath);
    // Out-of-range rates (a hand-edited key) show clamped; the clamped rate is what a confirm
    // keeps, so no timer ever gets a zero or absurd period from here.
    if (QSpinBox* spin = Spin(kFrameRateAllEdit)) {
        spin->setValue(static_cast<int>(std::min<uint32_t>(values_.frameRateAll, kMaxFrameRate)));
    }
    for (int camera = 0; camera < RegistrySettings::kCameras; ++camera) {
        if (QSpinBox* spin = Spin(kFrameRateEdits[camera])) {
            spin->setValue(
                static_cast<int>(std::min<uint32_t>(values_.frameRate[camera], kMaxFrameRate)));
        }
    }

    if (QAbstractButton* all = Button(kAllCamerasStamp)) {
        all->setChecked(values_.timeStamp == 15);
    }
    for (int camera = 0; camera < RegistrySettings::kCameras; ++camera) {
        if (QAbstractButton* box = Button(kFirstCameraStamp + camera)) {
            box->setChecked((values_.timeStamp >> camera) & 1u);
        }
    }

    if (QAbstractButton* mode = Button(values_.recordMode ? kCircularMode : kNormalMode)) {
        mode->setChecked(true);
    }
    if (QAbstractButton* account =
            Button(values_.enableLua ? kAccountSwitchOn : kAccountSwitchOff)) {
        account->setChecked(true);
    }
    // A camera number outside 1..4 (a hand-edited key) means no sound rather than whatever
    // control happens to follow the four.
    const uint32_t audio = values_.cameraAudio;
    const bool audioCamera = audio >= 1 && audio <= RegistrySettings::kCameras;
    if (QAbstractButton* radio =
            Button(audioCamera ? kFirstAudioCamera + static_cast<int>(audio) - 1 : kNoAudio)) {
        radio->setChecked(true);
    }
    FillAudioInputList();
}

void CRecordSetDlg::FillAudioInputList() {
    auto* list = qobject_cast<QComboBox*>(Control(kAudioInputList));
    if (!list) {
        return;
    }
    list->clear();
    list->addItem(resources().Text(kTextAutomaticInput), QString());
    for (const QString& name : audioInputNames_) {
        list->addItem(name, name);
    }
    // An input unplugged for now stays the choice until the user makes another.
    const QString& stored = values_.audioInput;
    if (!stored.isEmpty() && !audioInputNames_.contains(stored)) {
        list->addItem(stored + QLatin1Char(' ') + resources().Text(kTextAbsentInput), stored);
    }
    list->setCurrentIndex(std::max(0, list->findData(stored)));
}

void CRecordSetDlg::OnAllCamerasStamp(bool checked) {
    for (int camera = 0; camera < RegistrySettings::kCameras; ++camera) {
        if (QAbstractButton* box = Button(kFirstCameraStamp + camera)) {
            box->setChecked(checked);
        }
    }
}

void CRecordSetDlg::OnCameraStamp() {
    bool allChecked = true;
    for (int camera = 0; camera < RegistrySettings::kCameras; ++camera) {
        QAbstractButton* box = Button(kFirstCameraStamp + camera);
        allChecked = allChecked && box && box->isChecked();
    }
    if (QAbstractButton* all = Button(kAllCamerasStamp)) {
        all->setChecked(allChecked);
    }
}

void CRecordSetDlg::OnBrowse() {
    if (!chooseFolder_) {
        return;
    }
    auto* edit = qobject_cast<QLineEdit*>(Control(kRecordPathEdit));
    const QString start = edit ? edit->text() : values_.recordPath;
    const QString chosen = chooseFolder_(this, QStringLiteral("Record Directory"), start);
    if (chosen.isEmpty()) {
        return;
    }
    if (edit) {
        edit->setText(chosen);  // the lines follow the edit
    }
}

void CRecordSetDlg::ShowFolder(const QString& recordPath) {
    // The lines follow the folder on screen, so the user sees where recordings go and on which
    // disk.
    const QString folder = platform::RecordFolderFrom(recordPath);
    if (auto* line = qobject_cast<QLabel*>(Control(kFolderLine))) {
        line->setText(resources().Text(kTextFolderUsed) + QLatin1Char(' ') + folder);
    }
    if (auto* line = qobject_cast<QLabel*>(Control(kDiskLine))) {
        line->setText(DiskLine(resources(), folder));
    }
}

void CRecordSetDlg::ReadControls() {
    if (auto* edit = qobject_cast<QLineEdit*>(Control(kRecordPathEdit))) {
        values_.recordPath = edit->text();
    }
    auto rate = [this](int id, uint32_t current) {
        QSpinBox* spin = Spin(id);
        if (!spin) {
            return current;
        }
        spin->interpretText();  // a number still being typed counts
        return static_cast<uint32_t>(spin->value());
    };
    values_.frameRateAll = rate(kFrameRateAllEdit, values_.frameRateAll);
    for (int camera = 0; camera < RegistrySettings::kCameras; ++camera) {
        values_.frameRate[camera] = rate(kFrameRateEdits[camera], values_.frameRate[camera]);
    }

    auto checked = [this](int id) {
        QAbstractButton* button = Button(id);
        return button && button->isChecked();
    };
    if (checked(kAllCamerasStamp)) {
        values_.timeStamp = 15;
    } else {
        uint32_t mask = 0;
        for (int camera = 0; camera < RegistrySettings::kCameras; ++camera) {
            mask |= checked(kFirstCameraStamp + camera) ? 1u << camera : 0u;
        }
        values_.timeStamp = mask;
    }
    values_.cameraAudio = 0;
    for (int camera = 0; camera < RegistrySettings::kCameras; ++camera) {
        if (checked(kFirstAudioCamera + camera)) {
            values_.cameraAudio = static_cast<uint32_t>(camera + 1);
        }
    }
    values_.recordMode = checked(kCircularMode);
    if (auto* list = qobject_cast<QComboBox*>(Control(kAudioInputList))) {
        values_.audioInput = list->currentData().toString();
    }
    // enableLua stays as it came: the switch does not exist on this system.
}

}  // namespace ovistra
