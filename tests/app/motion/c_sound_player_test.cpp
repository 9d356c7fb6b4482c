// The alarm sound through the clocked fake sink: it repeats until stopped, starts again after a
// stop, and a file that cannot be played fails once and leaves the player silent until the next
// open.
#include "c_sound_player.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <memory>
#include <vector>

#include "random_bytes.h"

namespace ovistra {
namespace {

constexpr uint32_t kSoundMessage = 2029;
constexpr int kSampleRate = 8000;

// 16-bit mono PCM, a quiet square wave.
QByteArray Wav(int samples) {
    const quint32 dataBytes = static_cast<quint32>(samples) * 2;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32{36 + dataBytes};
    out.writeRawData("WAVEfmt ", 8);
    out << quint32{16} << quint16{1} << quint16{1} << quint32{kSampleRate}
        << quint32{kSampleRate * 2} << quint16{2} << quint16{16};
    out.writeRawData("data", 4);
    out << dataBytes;
    for (int i = 0; i < samples; ++i) {
        out << static_cast<qint16>((i / 20) % 2 ? 4096 : -4096);
    }
    return bytes;
}

QByteArray Noise() {
    const std::vector<uint8_t> bytes = testing::RandomBytes(4096, 7);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// Hands every notification back to the player, as the main window does.
class OwnerStandIn : public QWidget, public platform::MessageWindow {
public:
    ~OwnerStandIn() override { CloseMailbox(); }
    CSoundPlayer* player = nullptr;
    int failures = 0;

protected:
    platform::LResult OnMessage(uint32_t msg, platform::WParam, platform::LParam) override {
        if (msg == kSoundMessage && player &&
            player->DrainEvents() == CSoundPlayer::Drained::Failed) {
            ++failures;
        }
        return 0;
    }
};

class SoundPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        qputenv(CSoundPlayer::kSinkVariable, "fake");
        player = std::make_unique<CSoundPlayer>(owner.Handle(), kSoundMessage);
        owner.player = player.get();
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QTemporaryDir dir;
    OwnerStandIn owner;
    std::unique_ptr<CSoundPlayer> player;
};

TEST_F(SoundPlayerTest, ShortSoundRepeatsUntilStoppedAndPlaysAgainAfterRestart) {
    ASSERT_TRUE(player->Open(Write("Alarm.wav", Wav(kSampleRate / 5))));  // 0.2 s
    ASSERT_TRUE(player->Start());
    QTest::qWait(1200);
    EXPECT_TRUE(player->playing());
    const int repeats = player->repeats();
    EXPECT_GE(repeats, 3);

    ASSERT_TRUE(player->Stop());
    QTest::qWait(500);
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(player->repeats(), repeats);

    ASSERT_TRUE(player->Start());
    QTest::qWait(800);
    EXPECT_GT(player->repeats(), repeats);
    EXPECT_TRUE(player->playing());
}

// Opening never waits for the file to be read: one that cannot be played fails at once or,
// once its pipeline finds out, through the notification; either way exactly once, and the
// player plays again when opened anew.
TEST_F(SoundPlayerTest, FilesThatCannotBePlayedFailOnceAndTheNextOpenPlaysAgain) {
    const struct {
        const char* name;
        QByteArray bytes;
        bool create;
    } cases[] = {
        {"missing", {}, false},
        {"empty", {}, true},
        {"random bytes", Noise(), true},
        {"header cut at 20 bytes", Wav(kSampleRate).left(20), true},
        {"header without sound", Wav(0), true},
    };
    const QString good = Write("good.wav", Wav(kSampleRate / 5));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(player->Open(good));
        ASSERT_TRUE(player->Start());
        const QString path = dir.filePath("Alarm.wav");
        QFile::remove(path);
        if (c.create) {
            Write("Alarm.wav", c.bytes);
        }
        owner.failures = 0;
        const bool opened = player->Open(path);
        EXPECT_EQ(opened, c.create) << "a file there is read after Open, never during it";
        if (opened) {
            player->Start();
            EXPECT_TRUE(QTest::qWaitFor([&] { return owner.failures > 0; }, 5000));
        }
        QTest::qWait(300);  // no second report, no restart of a sound without samples
        EXPECT_EQ(int(!opened) + owner.failures, 1);
        EXPECT_FALSE(player->opened());
        EXPECT_FALSE(player->playing());
        EXPECT_FALSE(player->Start());
        EXPECT_FALSE(player->Stop());
    }
    owner.failures = 0;
    ASSERT_TRUE(player->Open(good));
    ASSERT_TRUE(player->Start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return player->repeats() >= 2; }, 5000));
    EXPECT_EQ(owner.failures, 0);
}

TEST_F(SoundPlayerTest, StartAndStopWithoutAFileFail) {
    EXPECT_FALSE(player->Start());
    EXPECT_FALSE(player->Stop());
    player->DrainEvents();
    EXPECT_FALSE(player->playing());
}

}  // namespace
}  // namespace ovistra
