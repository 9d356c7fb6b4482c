#include "network_view_dlg.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <utility>

#include "message_box.h"
#include "resource_library.h"
#include "rtsp_server_choice.h"

namespace ovistra::network {
namespace {

constexpr int kCaptionWarning = 124;
constexpr int kTextTitle = 455;
// Labels of the template, by control: their texts live with the others.
constexpr std::pair<int, int> kLabels[] = {{1001, 450}, {1010, 451}, {1011, 452},
                                           {1012, 453}, {1013, 454}};

}  // namespace

CNetworkViewDlg::CNetworkViewDlg(const ResourceLibrary& resources,
                                 platform::WindowHandle mainWindow, QWidget* parent)
    : PostedAnswerDialog(kTemplate, resources, std::move(mainWindow), kConfirmed, kCancelled,
                         parent) {
    if (!form()) {
        return;
    }
    setWindowTitle(resources.Text(kTextTitle));
    for (const auto& [control, text] : kLabels) {
        if (auto* label = qobject_cast<QLabel*>(Control(control))) {
            label->setText(resources.Text(text));
        } else if (auto* button = qobject_cast<QAbstractButton*>(Control(control))) {
            button->setText(resources.Text(text));
        }
    }
    if (auto* on = qobject_cast<QAbstractButton*>(Control(kOnBox))) {
        connect(on, &QAbstractButton::toggled, this, &CNetworkViewDlg::ShowUrl);
    }
    if (auto* port = qobject_cast<QSpinBox*>(Control(kPortEdit))) {
        port->setRange(1, 65535);
        connect(port, &QSpinBox::valueChanged, this, &CNetworkViewDlg::ShowUrl);
    }
    if (auto* address = qobject_cast<QLineEdit*>(Control(kAddressEdit))) {
        connect(address, &QLineEdit::textChanged, this, &CNetworkViewDlg::ShowUrl);
    }
    if (auto* password = qobject_cast<QLineEdit*>(Control(kPasswordEdit))) {
        password->setEchoMode(QLineEdit::Password);
    }
}

CNetworkViewDlg::~CNetworkViewDlg() = default;

QString CNetworkViewDlg::UrlFor(const QString& bind, uint32_t port) {
    QString host = bind;
    if (bind == QStringLiteral("0.0.0.0") || bind == QStringLiteral("::")) {
        char name[256] = {};
        if (gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') {
            host = QString::fromLocal8Bit(name);
        }
    } else if (bind.contains(u':')) {
        host = u'[' + bind + u']';
    }
    return QStringLiteral("rtsp://%1:%2/").arg(host).arg(port);
}

void CNetworkViewDlg::OnOpen() {
    if (auto* on = qobject_cast<QAbstractButton*>(Control(kOnBox))) {
        on->setChecked(values_.port != 0);
    }
    if (auto* port = qobject_cast<QSpinBox*>(Control(kPortEdit))) {
        port->setValue(values_.port != 0 ? static_cast<int>(values_.port)
                                         : RtspServerConfig::kUsualPort);
    }
    if (auto* address = qobject_cast<QLineEdit*>(Control(kAddressEdit))) {
        address->setText(values_.bind);
    }
    if (auto* user = qobject_cast<QLineEdit*>(Control(kUserEdit))) {
        user->setText(values_.credentials.user);
    }
    if (auto* password = qobject_cast<QLineEdit*>(Control(kPasswordEdit))) {
        password->setText(values_.credentials.password);
    }
    ShowUrl();
}

void CNetworkViewDlg::ShowUrl() {
    auto* line = qobject_cast<QLabel*>(Control(kUrlLine));
    auto* on = qobject_cast<QAbstractButton*>(Control(kOnBox));
    auto* port = qobject_cast<QSpinBox*>(Control(kPortEdit));
    auto* address = qobject_cast<QLineEdit*>(Control(kAddressEdit));
    if (!line || !on || !port || !address) {
        return;
    }
    const QString bind = address->text().trimmed();
    if (!on->isChecked()) {
        line->setText(resources().Text(kTextOff));
    } else if (!IsAddress(bind)) {
        line->setText(resources().Text(kTextNotAnAddress));
    } else {
        line->setText(resources().Text(kTextUrls).arg(
            UrlFor(bind, static_cast<uint32_t>(port->value()))));
    }
}

void CNetworkViewDlg::Refuse(int textId) {
    platform::MessageBoxes::Instance().Show(textId, kCaptionWarning,
                                            platform::MessageIcon::Warning,
                                            platform::MessageButtons::Ok, this);
}

bool CNetworkViewDlg::Confirmable() {
    auto* address = qobject_cast<QLineEdit*>(Control(kAddressEdit));
    auto* on = qobject_cast<QAbstractButton*>(Control(kOnBox));
    auto* user = qobject_cast<QLineEdit*>(Control(kUserEdit));
    auto* password = qobject_cast<QLineEdit*>(Control(kPasswordEdit));
    if (!address || !on || !user || !password) {
        return true;  // nothing to read: the values stay as they are
    }
    const QString bind = address->text().trimmed();
    if (!IsAddress(bind)) {
        Refuse(kTextNotAnAddress);
        return false;
    }
    if (!user->text().isEmpty() && password->text().isEmpty()) {
        Refuse(kTextNeedsPassword);
        return false;
    }
    if (on->isChecked() && BeyondLoopback(bind) && user->text().isEmpty()) {
        Refuse(kTextNeedsUser);
        return false;
    }
    return true;
}

void CNetworkViewDlg::ReadControls() {
    auto* on = qobject_cast<QAbstractButton*>(Control(kOnBox));
    auto* port = qobject_cast<QSpinBox*>(Control(kPortEdit));
    auto* address = qobject_cast<QLineEdit*>(Control(kAddressEdit));
    auto* user = qobject_cast<QLineEdit*>(Control(kUserEdit));
    auto* password = qobject_cast<QLineEdit*>(Control(kPasswordEdit));
    if (!on || !port || !address || !user || !password) {
        return;
    }
    values_.port = on->isChecked() ? static_cast<uint32_t>(port->value()) : 0;
    values_.bind = address->text().trimmed();
    values_.credentials.user = user->text();
    values_.credentials.password = user->text().isEmpty() ? QString() : password->text();
}

}  // namespace ovistra::network
