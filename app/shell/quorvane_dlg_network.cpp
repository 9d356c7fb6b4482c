// The main window's network view: the RTSP server that serves the cameras once capture runs,
// fed from the capture's router (never while a graph is torn down), and its dialog.
#include "camera_captions.h"
#include "capture_graph.h"
#include "event_log.h"
#include "message_box.h"
#include "network_view_dlg.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "rtsp_credentials.h"
#include "rtsp_server.h"
#include "rtsp_server_choice.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kTextNeedsCredentials = 441;
constexpr int kTextPortRefused = 442;
constexpr int kTextAddressRefused = 443;
constexpr int kTextNoEncoder = 444;
constexpr int kTextCredentialsNotSaved = 449;
constexpr int kTextSettingsNotSaved = 456;
constexpr int kTextNotStarted = 458;

int RefusalText(const QString& reason) {
    if (reason == QStringLiteral("credentials")) {
        return kTextNeedsCredentials;
    }
    if (reason == QStringLiteral("port")) {
        return kTextPortRefused;
    }
    if (reason == QStringLiteral("address")) {
        return kTextAddressRefused;
    }
    if (reason == QStringLiteral("encoder")) {
        return kTextNoEncoder;
    }
    return kTextNotStarted;
}

}  // namespace

void CQuorvaneDlg::StartNetworkView() {
    const std::optional<network::RtspServerConfig> config = network::ServerForRun(
        context_.rtspAtStart, settings_, network::LoadStoredCredentials(settingsFile_));
    if (config) {
        // A refusal's box informs only: the station's start never waits on it.
        const platform::MessageBoxes::NoWaitScope noWait;
        ServeNetworkView(*config);
    }
}

void CQuorvaneDlg::ServeNetworkView(const network::RtspServerConfig& config) {
    if (!rtspServer_) {
        rtspServer_ = std::make_unique<network::RtspServer>();
    }
    const network::RtspServer::Started started = rtspServer_->Start(config);
    servedPlace_.reset();
    if (!started.ok) {
        EventLog::Instance().Print("rtsp-refused", {{"reason", started.reason}});
        platform::MessageBoxes::Instance().Show(RefusalText(started.reason), ids::kCaptionWarning,
                                                platform::MessageIcon::Warning,
                                                platform::MessageButtons::Ok, this);
        return;
    }
    servedPlace_ = std::make_pair(config.port, config.bind);
    ShowNamesOnNetworkView();
    ShowSettingsOnNetworkView();
    AttachNetworkView();
    EventLog::Instance().Print("rtsp-listening", {{"url", started.url}});
}

void CQuorvaneDlg::StopNetworkView() {
    servedPlace_.reset();
    if (rtspServer_) {
        rtspServer_->SetRouter(nullptr);
        rtspServer_->Stop();
    }
}

void CQuorvaneDlg::DetachNetworkView() {
    if (rtspServer_) {
        rtspServer_->SetRouter(nullptr);
    }
}

void CQuorvaneDlg::AttachNetworkView() {
    if (rtspServer_ && rtspServer_->running()) {
        rtspServer_->SetRouter(captureRunning_ && captureGraph_ ? &captureGraph_->router()
                                                                : nullptr);
    }
}

void CQuorvaneDlg::ShowNamesOnNetworkView() {
    if (!rtspServer_) {
        return;
    }
    std::array<QString, 4> captions;
    for (int camera = 0; camera < RegistrySettings::kCameras; ++camera) {
        captions[camera] = InsertName(context_.resources->Text(ids::kFirstBaseCaption + camera),
                                      decoratedNames_[camera], NamePosition(camera));
    }
    rtspServer_->SetCaptions(captions);
}

void CQuorvaneDlg::ShowSettingsOnNetworkView() {
    if (rtspServer_) {
        rtspServer_->SetTimeStampMask(settings_.timeStamp);
    }
}

void CQuorvaneDlg::OnNetworkViewCommand() {
    if (!networkViewDlg_) {
        networkViewDlg_ = new network::CNetworkViewDlg(*context_.resources, Handle(), this);
    } else if (networkViewDlg_->isVisible()) {
        networkViewDlg_->raise();
        networkViewDlg_->activateWindow();
        return;
    }
    // The stored values: what OK keeps beyond this run.
    network::NetworkViewValues values;
    values.port = settings_.rtspPort;
    values.bind = settings_.rtspBind;
    values.credentials = network::LoadStoredCredentials(settingsFile_);
    // A server the command line started is shown serving where it serves; OK keeps it so.
    if (servedPlace_ && rtspServer_ && rtspServer_->running()) {
        values.port = servedPlace_->first;
        values.bind = servedPlace_->second;
    }
    networkViewDlg_->SetValues(values);
    networkViewDlg_->show();
}

void CQuorvaneDlg::OnNetworkViewAnswer(bool confirmed) {
    if (!networkViewDlg_) {
        return;
    }
    networkViewDlg_->hide();
    if (!confirmed) {
        return;
    }
    const network::NetworkViewValues& values = networkViewDlg_->values();
    settings_.rtspPort = values.port;
    settings_.rtspBind = values.bind;
    if (!store_.SaveNetworkSettings(settings_)) {
        ShowMessage(kTextSettingsNotSaved, ids::kCaptionWarning);
    }
    if (!network::SaveStoredCredentials(settingsFile_, values.credentials)) {
        ShowMessage(kTextCredentialsNotSaved, ids::kCaptionWarning);
    }
    // What was confirmed is served from now on, whatever the command line asked.
    const std::optional<network::RtspServerConfig> config =
        network::StoredServer(settings_, values.credentials);
    if (config) {
        ServeNetworkView(*config);
    } else {
        StopNetworkView();
    }
}

}  // namespace ovistra
