// The main window's still pictures: a single click on a camera's picture saves that camera's,
// the still button every shown camera's, and --still those of the run once they have a picture.
// Each new picture goes to the picture browser.
#include <QDir>
#include <QTimer>

#include "c_thumbnail_dlg.h"
#include "capture_graph.h"
#include "event_log.h"
#include "frame_grabber.h"
#include "local_clock.h"
#include "quorvane_dlg.h"
#include "still_picture.h"
#include "video_view.h"

namespace ovistra {
namespace {

constexpr int kStillPollMs = 100;

}  // namespace

bool CQuorvaneDlg::CameraPresent(int camera) const {
    return switchState_.cameraEnabled[camera - 1].load() != 0;
}

QByteArray CQuorvaneDlg::CurrentImage(int camera) const {
    if (context_.showWindow) {
        const media::VideoView* view = views_[camera - 1];
        return view ? view->GetCurrentImage() : QByteArray();
    }
    // A window never shown paints nothing: what the camera shows is its latest frame.
    if (!captureGraph_) {
        return {};
    }
    const media::FrameGrabber::Lease lease =
        captureGraph_->router().grabber(camera - 1).GetBuffer();
    return lease ? media::VideoView::PackedBitmapOf(lease.data()) : QByteArray();
}

void CQuorvaneDlg::OnSingleClick(int camera) {
    TakeStillPicture(camera + 1);
}

void CQuorvaneDlg::TakeAllStills() {
    for (int camera = 1; camera <= RegistrySettings::kCameras; ++camera) {
        TakeStillPicture(camera);
    }
}

void CQuorvaneDlg::TakeStillPicture(int camera) {
    if (CameraPresent(camera)) {
        SaveStillPicture(camera, CurrentImage(camera));
    }
}

void CQuorvaneDlg::SaveStillPicture(int camera, const QByteArray& image) {
    const QString folder = StillFolder(settings_.RecordFolder());
    QDir().mkpath(folder);
    const QString path = SaveStill(folder, platform::LocalNow(), image);
    const QString number = QString::number(camera);
    if (path.isEmpty()) {
        EventLog::Instance().Print("still-failed", {{"camera", number}});
        return;
    }
    EventLog::Instance().Print("still-saved", {{"camera", number}, {"file", path}});
    ShowInPictureBrowser(path);
}

void CQuorvaneDlg::ShowInPictureBrowser(const QString& path) {
    // Nobody could keep or throw away a headless station's pictures: they stay on disk.
    if (!context_.showWindow) {
        return;
    }
    if (!pictureBrowser_) {
        pictureBrowser_ = new CThumbnailDlg(*context_.resources, Handle(), this);
    }
    pictureBrowser_->show();
    pictureBrowser_->AddPicture(path);
}

void CQuorvaneDlg::OnPictureBrowserEmptied() {
    // Emptied and closed: the next picture opens a new one.
    if (pictureBrowser_) {
        pictureBrowser_->deleteLater();
        pictureBrowser_ = nullptr;
    }
}

void CQuorvaneDlg::SettleUnkeptPictures() {
    if (pictureBrowser_) {
        pictureBrowser_->SettleUnkept();
    }
}

void CQuorvaneDlg::StartStillsAsked() {
    stillsPending_ = context_.stillsAtStart;
    if (stillsPending_.empty()) {
        return;
    }
    stillsTimer_ = new QTimer(this);
    connect(stillsTimer_, &QTimer::timeout, this, &CQuorvaneDlg::TakeStillsAsked);
    stillsTimer_->start(kStillPollMs);
}

void CQuorvaneDlg::TakeStillsAsked() {
    // Each camera once, as soon as it has a picture; one switched off is left out.
    std::erase_if(stillsPending_, [this](int camera) {
        if (!CameraPresent(camera)) {
            return true;
        }
        const QByteArray image = CurrentImage(camera);
        if (image.isEmpty()) {
            return false;
        }
        SaveStillPicture(camera, image);
        return true;
    });
    if (stillsPending_.empty()) {
        stillsTimer_->stop();
    }
}

}  // namespace ovistra
