// The link with sibling programs: the station listens under its title for their requests,
// hands pictures over through the shared block and records or closes when asked.
#include <QDeadlineTimer>

#include "capture_graph.h"
#include "event_log.h"
#include "frame_grabber.h"
#include "quorvane_dlg.h"
#include "quorvane_dlg_link_host.h"
#include "window_ids.h"

namespace ovistra {
namespace {

// A hung sibling must not hold the station's start-up for longer than this.
constexpr int kSiblingAnswerMs = 1000;

}  // namespace

void CQuorvaneDlg::NotifySiblingStarted() {
    linkHost_ = std::make_unique<LinkHost>(*this);
    link_ = std::make_unique<SiblingLink>(*linkHost_, switchState_.linkCamera,
                                          context_.linkBlockName);
    if (context_.runtimeFolder.isEmpty()) {
        return;
    }
    linkListener_ = std::make_unique<platform::WindowLinkListener>(
        context_.runtimeFolder, kWindowTitle,
        std::set<uint32_t>{ids::kSiblingStartFrames, ids::kSiblingStopFrames,
                           ids::kSiblingControl, ids::kSiblingRegister},
        [this](uint32_t msg, platform::WParam w, platform::LParam l, pid_t sender) {
            return OnLinkMessage(msg, w, l, sender);
        },
        [this](pid_t sender) { OnLinkClientGone(sender); });
    QString why;
    if (!linkListener_->Listen(&why)) {
        EventLog::Instance().Print("link-unavailable", {{"reason", why}});
        linkListener_.reset();
    }
    // The first sibling found hears of the station; all of it within one bounded wait.
    QDeadlineTimer deadline(kSiblingAnswerMs);
    for (const char* title : ids::kSiblingTitles) {
        auto sibling = platform::WindowLinkConnection::Open(
            context_.runtimeFolder, QString::fromLatin1(title),
            static_cast<int>(deadline.remainingTime()));
        if (sibling) {
            sibling->Send(ids::kSiblingStartFrames, 0, 0,
                          static_cast<int>(deadline.remainingTime()));
            break;
        }
    }
}

platform::LResult CQuorvaneDlg::OnLinkMessage(uint32_t msg, platform::WParam w,
                                              platform::LParam l, pid_t sender) {
    if (closing_ || destroyed_ || !link_) {
        return 0;
    }
    linkSender_ = sender;
    linkClients_.insert(sender);
    switch (msg) {
        case ids::kSiblingStartFrames:
            link_->OnStartFrames(w);
            if (link_->active()) {
                framesClients_.insert(sender);
            }
            break;
        case ids::kSiblingStopFrames:
            link_->OnStopFrames(sender);
            framesClients_.clear();
            linkClients_.erase(sender);  // it ended what it asked for
            break;
        case ids::kSiblingControl:
            link_->OnControl(sender, w);
            break;
        case ids::kSiblingRegister:
            link_->OnCommand(sender, w, l);
            if (w == ids::kSiblingStopType && !framesClients_.contains(sender)) {
                linkClients_.erase(sender);
            }
            break;
        default:
            break;
    }
    linkSender_ = 0;
    return link_->active() ? 1 : 0;
}

void CQuorvaneDlg::OnLinkClientGone(pid_t sender) {
    framesClients_.erase(sender);
    if (linkClients_.erase(sender) == 0 || closing_ || destroyed_ || !link_) {
        return;
    }
    link_->OnClientGone(sender, !framesClients_.empty());
}

void CQuorvaneDlg::HandOverPicture(int camera) {
    if (!captureGraph_ || !link_) {
        return;
    }
    const media::FrameGrabber::Lease lease = captureGraph_->router().grabber(camera).GetBuffer();
    if (lease.data() != nullptr) {
        link_->HandOver(camera, lease.data());
    }
}

void CQuorvaneDlg::NotifySiblingStopped() {
    // No request is taken once the station closes.
    linkListener_.reset();
    if (!link_) {
        return;
    }
    const int camera = link_->OnShutdown();
    if (camera == 0 || context_.runtimeFolder.isEmpty()) {
        return;
    }
    for (const char* title : ids::kSiblingTitles) {
        if (auto sibling = platform::WindowLinkConnection::Open(context_.runtimeFolder,
                                                                QString::fromLatin1(title), 0)) {
            sibling->Post(ids::kSiblingLinkEnded, static_cast<platform::WParam>(camera), 0);
            return;
        }
    }
}

}  // namespace ovistra
