// The station driven by a sibling program over a real window link, with the simulated device:
// pictures handed over through the block, recordings asked for and ended, a registered sibling
// closing the station, and requests the station must not act on.
#include <fcntl.h>
#include <gst/gst.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "hand_over_copy.h"
#include "recording_list.h"
#include "settings_store.h"
#include "shared_block_reader.h"
#include "sim_device.h"
#include "station_fixture.h"
#include "window_link.h"

namespace ovistra {
namespace {

class LinkDialog : public testing::RecordingDialog {
public:
    using CQuorvaneDlg::switchState_;
    using RecordingDialog::RecordingDialog;

    std::set<int> RecordingCameras() const {
        std::set<int> cameras;
        for (int camera = 1; camera <= 4; ++camera) {
            if (recording_->IsRecording(camera)) {
                cameras.insert(camera);
            }
        }
        return cameras;
    }
};

// A client program of its own (the station tells clients apart by process id): a child that
// connects to the station and passes on the records the test writes into its pipe. Closing
// the pipe ends the child, and with it its connection.
class ClientProcess {
public:
    explicit ClientProcess(const QString& runtimeFolder) {
        const QByteArray path =
            QFile::encodeName(platform::LinkSocketPath(runtimeFolder, CQuorvaneDlg::kWindowTitle));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            // System calls only from here on: the test's other threads did not come along.
            // Nothing of the parent's stays open here, another client's pipe least of all.
            for (int fd = 3; fd < 1024; ++fd) {
                if (fd != fds[0]) {
                    close(fd);
                }
            }
            const int link = socket(AF_UNIX, SOCK_STREAM, 0);
            if (connect(link, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
                _exit(1);
            }
            platform::LinkRecord record{};
            while (read(fds[0], &record, sizeof(record)) == sizeof(record)) {
                if (write(link, &record, sizeof(record)) != sizeof(record)) {
                    _exit(1);
                }
            }
            _exit(0);
        }
        close(fds[0]);
        pipe_ = fds[1];
    }
    ~ClientProcess() { Vanish(); }

    void Post(uint32_t msg, platform::WParam w, platform::LParam l = 0) {
        const platform::LinkRecord record{msg, 0, w, l};
        ASSERT_EQ(write(pipe_, &record, sizeof(record)), static_cast<ssize_t>(sizeof(record)));
    }
    void Vanish() {
        if (pipe_ >= 0) {
            close(pipe_);
            pipe_ = -1;
            waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_ = -1;
    int pipe_ = -1;
};

struct BlockFacts {
    bool exists = false;
    off_t size = 0;
    mode_t mode = 0;
};

class StationLink : public testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        AddSimulatedDevice();
        StoreRecordFolder();
        context.recordings = &list;
        ASSERT_TRUE(QDir(dir.path()).mkpath("run"));
        QFile::setPermissions(dir.filePath("run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        context.runtimeFolder = dir.filePath("run");
        context.linkBlockName = blockName;
    }
    void TearDown() override { shm_unlink(blockName.c_str()); }

    void Post(uint32_t msg, platform::WParam w, platform::LParam l) {
        if (!client) {
            client = platform::WindowLinkConnection::Open(context.runtimeFolder,
                                                          CQuorvaneDlg::kWindowTitle, 1000);
        }
        ASSERT_TRUE(client.has_value());
        ASSERT_TRUE(client->Post(msg, w, l));
    }
    static void Wait(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    template <typename Done>
    static bool WaitFor(Done done, int ms = 5000) {
        for (int waited = 0; !done() && waited < ms; waited += 20) {
            Wait(20);
        }
        return done();
    }
    BlockFacts Block() const {
        BlockFacts facts;
        struct stat st {};
        if (stat(("/dev/shm" + blockName).c_str(), &st) == 0) {
            facts = {true, st.st_size, static_cast<mode_t>(st.st_mode & 07777)};
        }
        return facts;
    }
    // The cameras whose pictures the block shows while sampled for `ms`.
    std::set<int> CamerasInBlock(int ms) const {
        std::set<int> seen;
        platform::SharedBlockReader reader(blockName);
        if (reader.Open() != platform::SharedBlockResult::Reused) {
            return seen;
        }
        std::vector<uint8_t> frame(640 * 480 * 2);
        for (int waited = 0; waited < ms; waited += 10) {
            // Back to full size, each pixel pair and line doubled, for the marker reader.
            const uint8_t* block = reader.view().data();
            for (int y = 0; y < 480; ++y) {
                for (int g = 0; g < 320; ++g) {
                    std::memcpy(&frame[static_cast<size_t>(y) * 1280 + g * 4],
                                block + (y / 2) * 640 + (g / 2) * 4, 4);
                }
            }
            if (const int camera = media::SimulatedDevice::CameraShownIn(frame.data())) {
                seen.insert(camera);
            }
            Wait(10);
        }
        return seen;
    }

    std::string blockName = "/ovistra-station-link-" + std::to_string(getpid());
    RecordingList list{dir.path() + "/program/"};
    std::optional<platform::WindowLinkConnection> client;
};

TEST_F(StationLink, TheBlockShowsTheAskedCameraThenEveryCameraAndGoesWithTheLink) {
    LinkDialog dialog(context);
    BlockFacts made;
    std::set<int> one, every;
    dialog.onCaptureStarted = [&] {
        Post(ids::kSiblingStartFrames, 2, 0);
        ASSERT_TRUE(WaitFor([&] { return Block().exists; }));
        made = Block();
        one = CamerasInBlock(1500);
        Post(ids::kSiblingStartFrames, 5, 0);  // the same block, every camera now
        Wait(100);
        every = CamerasInBlock(3000);
        Post(ids::kSiblingStopFrames, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return !Block().exists; }));
        EXPECT_EQ(dialog.switchState_.linkCamera.load(), 0);
        dialog.OnCommand(ids::kExitButton);
    };
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_TRUE(made.exists);
    EXPECT_EQ(made.size, kHandOverBytes);
    EXPECT_EQ(made.mode, 0600u);
    EXPECT_EQ(one, std::set<int>{2});
    EXPECT_EQ(every, (std::set<int>{1, 2, 3, 4}));
}

TEST_F(StationLink, RemoteRecordingsEndWithoutTheUsersOwnAndWithTheirVanishedClient) {
    LinkDialog dialog(context);
    auto recording = [&dialog] { return dialog.RecordingCameras(); };
    dialog.onCaptureStarted = [&] {
        dialog.OnCommand(ids::kFirstRecordButton);  // the user records camera 1
        Post(ids::kSiblingControl, 5, 0);
        Post(ids::kSiblingRegister, ids::kSiblingRegisterType, 0);  // no window: at once
        EXPECT_TRUE(WaitFor([&] { return recording() == std::set<int>{1, 2, 3, 4}; }));
        Post(ids::kSiblingRegister, ids::kSiblingStopType, 0);
        EXPECT_TRUE(WaitFor([&] { return recording() == std::set<int>{1}; }));

        // A forged window registers nothing, so 2031 stops only what the link started.
        Post(ids::kSiblingControl, 3, 0);
        Post(ids::kSiblingRegister, ids::kSiblingRegisterType, 1);
        Post(ids::kSiblingRegister, ids::kSiblingRegisterType, 0);
        EXPECT_TRUE(WaitFor([&] { return recording() == std::set<int>{1, 3}; }));
        Post(ids::kSiblingStopFrames, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return recording() == std::set<int>{1}; }));

        // A client that goes away mid-record and while taking pictures.
        Post(ids::kSiblingControl, 2, 0);
        Post(ids::kSiblingRegister, ids::kSiblingRegisterType, 0);
        Post(ids::kSiblingStartFrames, 2, 0);
        EXPECT_TRUE(WaitFor([&] { return recording() == std::set<int>{1, 2} && Block().exists; }));
        client.reset();
        EXPECT_TRUE(WaitFor([&] { return recording() == std::set<int>{1} && !Block().exists; }));
        Wait(300);
        EXPECT_EQ(recording(), std::set<int>{1});  // the station runs on, the user's goes on
        dialog.OnCommand(ids::kExitButton);
    };
    EXPECT_TRUE(dialog.RunModal());
    std::map<QString, int> perCamera;
    for (const RecordInfo& entry : list.entries()) {
        EXPECT_FALSE(entry.StillRecording()) << entry.path.toStdString();
        ++perCamera[entry.camera];
    }
    EXPECT_EQ(perCamera, (std::map<QString, int>{{"1", 1}, {"2", 2}, {"3", 2}, {"4", 1}}));
}

TEST_F(StationLink, EachClientEndsOnlyTheRecordingsItStartedThatStillRunAsItsOwn) {
    // Who acts: client A or B, the user's record button of camera `w`, or A going away.
    enum Who { A, B, User, AVanishes };
    struct Step {
        Who who;
        uint32_t msg;
        platform::WParam w;
        std::set<int> recording;  // the cameras recording after the step
    };
    constexpr uint32_t kControl = ids::kSiblingControl;
    constexpr uint32_t kCommand = ids::kSiblingRegister;             // 2034 with a type
    constexpr platform::WParam kRecord = ids::kSiblingRegisterType;  // no window: at once
    constexpr platform::WParam kStop = ids::kSiblingStopType;
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"the user ends and restarts the link's recording by hand",
         {{A, kControl, 2, {}},
          {A, kCommand, kRecord, {2}},
          {User, 0, 2, {}},
          {User, 0, 2, {2}},
          {A, kCommand, kStop, {2}},
          {User, 0, 2, {}}}},
        {"a second client changes the camera",
         {{A, kControl, 2, {}},
          {A, kCommand, kRecord, {2}},
          {B, kControl, 3, {2}},
          {B, kCommand, kRecord, {2, 3}},
          {A, kCommand, kStop, {3}},
          {B, kCommand, kStop, {}}}},
        {"a client vanishes",
         {{User, 0, 1, {1}},
          {A, kControl, 2, {1}},
          {A, kCommand, kRecord, {1, 2}},
          {B, kControl, 4, {1, 2}},
          {B, kCommand, kRecord, {1, 2, 4}},
          {AVanishes, 0, 0, {1, 4}},
          {B, kCommand, kStop, {1}},
          {User, 0, 1, {}}}},
        {"a client asks for another camera's pictures",
         {{A, kControl, 5, {}},
          {A, kCommand, kRecord, {1, 2, 3, 4}},
          {A, ids::kSiblingStartFrames, 2, {1, 2, 3, 4}},
          {A, kCommand, kStop, {}}}},
    };
    LinkDialog dialog(context);
    auto recording = [&dialog] { return dialog.RecordingCameras(); };
    dialog.onCaptureStarted = [&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            ClientProcess a(context.runtimeFolder), b(context.runtimeFolder);
            for (size_t i = 0; i < c.steps.size(); ++i) {
                const Step& step = c.steps[i];
                ClientProcess& client = step.who == B ? b : a;
                if (step.who == User) {
                    dialog.OnCommand(ids::kFirstRecordButton + static_cast<int>(step.w) - 1);
                } else if (step.who == AVanishes) {
                    a.Vanish();
                } else {
                    client.Post(step.msg, step.w);
                }
                // Reached, and still so once the station had time to act on anything more.
                EXPECT_TRUE(WaitFor([&] { return recording() == step.recording; })) << i;
                Wait(150);
                EXPECT_EQ(recording(), step.recording) << i;
            }
        }
        dialog.OnCommand(ids::kExitButton);
    };
    EXPECT_TRUE(dialog.RunModal());
    for (const RecordInfo& entry : list.entries()) {
        EXPECT_FALSE(entry.StillRecording()) << entry.path.toStdString();
    }
}

TEST_F(StationLink, ARegisteredSiblingsStopRequestClosesTheStationInOrder) {
    struct Request {
        uint32_t msg;
        platform::WParam w;
    };
    for (const Request request :
         {Request{ids::kSiblingStopFrames, 0}, Request{ids::kSiblingControl, 1},
          Request{ids::kSiblingRegister, ids::kSiblingStopType}}) {
        SCOPED_TRACE(request.msg);
        list.entries().clear();
        client.reset();
        LinkDialog dialog(context);
        bool forced = false;
        dialog.onCaptureStarted = [&] {
            dialog.OnCommand(ids::kFirstRecordButton + 3);
            Post(ids::kSiblingRegister, ids::kSiblingRegisterType, getpid());
            Post(ids::kSiblingRegister, ids::kSiblingRegisterType, 0);  // ignored: one is set
            Wait(200);
            EXPECT_EQ(dialog.recording_->IsRecording(4), true);
            Post(request.msg, request.w, 0);
        };
        AfterLoopStarts(dialog, 20000, [&] {
            forced = true;
            dialog.OnCommand(ids::kExitButton);
        });
        EXPECT_TRUE(dialog.RunModal());
        EXPECT_FALSE(forced);
        ASSERT_EQ(list.entries().size(), 1u);
        EXPECT_FALSE(list.entries()[0].StillRecording());
    }
}

TEST_F(StationLink, ABlockOfAnotherModeOrSizeIsNeverUsedAndWildCamerasChangeNothing) {
    struct Squat {
        mode_t mode;
        off_t size;
    };
    for (const Squat squat : {Squat{0644, kHandOverBytes}, Squat{0600, 4096}}) {
        const int fd = shm_open(blockName.c_str(), O_CREAT | O_EXCL | O_RDWR, squat.mode);
        ASSERT_GE(fd, 0);
        fchmod(fd, squat.mode);
        ASSERT_EQ(ftruncate(fd, squat.size), 0);
        close(fd);
        client.reset();
        LinkDialog dialog(context);
        dialog.onCaptureStarted = [&] {
            for (platform::WParam wild :
                 {platform::WParam{0}, platform::WParam{6}, ~platform::WParam{0}}) {
                Post(ids::kSiblingStartFrames, wild, 0);
                Post(ids::kSiblingControl, wild, 0);
            }
            Wait(200);
            EXPECT_EQ(dialog.switchState_.linkCamera.load(), 0);
            Post(ids::kSiblingStartFrames, 2, 0);
            Wait(800);
            dialog.OnCommand(ids::kExitButton);
        };
        EXPECT_TRUE(dialog.RunModal());
        const BlockFacts after = Block();
        EXPECT_TRUE(after.exists);
        EXPECT_EQ(after.mode, squat.mode);
        EXPECT_EQ(after.size, squat.size);
        if (squat.size == kHandOverBytes) {
            EXPECT_TRUE(CamerasInBlock(0).empty());  // never written
        }
        shm_unlink(blockName.c_str());
    }
}

TEST_F(StationLink, TheLinkEndsSafelyWhileTheSwitchingThreadCopies) {
    LinkDialog dialog(context);
    dialog.onCaptureStarted = [&] {
        for (int i = 0; i < 40; ++i) {
            Post(ids::kSiblingStartFrames, 5, 0);
            Wait(i % 7);
            Post(ids::kSiblingStopFrames, 0, 0);
            Wait(i % 5);
        }
        EXPECT_TRUE(WaitFor([&] { return !Block().exists; }));
        dialog.OnCommand(ids::kExitButton);
    };
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_EQ(dialog.switchState_.linkCamera.load(), 0);
}

TEST_F(StationLink, ASiblingThatNeverAnswersIsToldOnceAndDoesNotHoldTheStart) {
    // "Dunmarra" listens but never handles anything.
    const int hung = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path =
        QFile::encodeName(platform::LinkSocketPath(context.runtimeFolder, "Dunmarra"));
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    ASSERT_EQ(bind(hung, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(hung, 4), 0);
    LinkDialog dialog(context);
    bool captured = false;
    dialog.onCaptureStarted = [&] {
        captured = true;
        dialog.OnCommand(ids::kExitButton);
    };
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_TRUE(captured);
    const int station = accept(hung, nullptr, nullptr);
    ASSERT_GE(station, 0);
    platform::LinkRecord told{};
    EXPECT_EQ(recv(station, &told, sizeof(told), MSG_DONTWAIT), static_cast<ssize_t>(sizeof(told)));
    EXPECT_EQ(told.message, ids::kSiblingStartFrames);
    EXPECT_EQ(told.wParam, 0u);
    close(station);
    close(hung);
}

}  // namespace
}  // namespace ovistra
