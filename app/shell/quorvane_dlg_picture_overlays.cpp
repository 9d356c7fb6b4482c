// The main window's side of what the pictures show over themselves: each camera's view paints
// its overlay, and the overlay asks for a repaint only when what it shows changes. The features
// feed it: the alarm blink (motion), recording, the lock, and here the view state and the clock.
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "video_view.h"
#include "window_ids.h"

namespace ovistra {

void CQuorvaneDlg::SetUpPictureOverlays() {
    for (size_t camera = 0; camera < overlays_.size(); ++camera) {
        media::VideoView* view = views_[camera];
        if (!view) {
            continue;
        }
        PictureOverlay& overlay = overlays_[camera];
        overlay.SetRecordingBadge(context_.resources->Text(ids::kTextRecBadge));
        overlay.SetChangedCallback([view] { view->update(); });
        view->SetOverlay(
            [&overlay](QPainter& painter, const QRect& area) { overlay.Paint(painter, area); });
    }
}

void CQuorvaneDlg::ShowViewStateOnPictures() {
    // Full screen hides the captions, the clock and the alarm squares: the pictures show them.
    for (PictureOverlay& overlay : overlays_) {
        overlay.SetFullScreen(fullScreen_);
    }
}

void CQuorvaneDlg::ShowClockOnPictures(const QString& clock) {
    for (PictureOverlay& overlay : overlays_) {
        overlay.SetClock(clock);
    }
}

}  // namespace ovistra
