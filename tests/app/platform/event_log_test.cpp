#include "event_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QRegularExpression>
#include <array>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using ovistra::EventFields;
using ovistra::EventLog;

const QDateTime kWhen(QDate(2026, 12, 8), QTime(6, 30, 0));

std::string Line(const QString& event, const EventFields& fields = {}) {
    return EventLog::FormatLine(kWhen, event, fields).toStdString();
}

TEST(EventLine, DocumentedEventsReadAsScriptsExpect) {
    EXPECT_EQ(Line("message-box", {{"text", "228"}, {"caption", "119"}, {"answer", "ok"}}),
              "2026-12-08T06:30:00 message-box text=228 caption=119 answer=ok\n");
    EXPECT_EQ(Line("statistics", {{"frames", "12,0,3,4"}, {"switches", "7"}}),
              "2026-12-08T06:30:00 statistics frames=12,0,3,4 switches=7\n");
    EXPECT_EQ(Line("capture-started", {{"device", "sim"}, {"name", "USB 2.0 A/V Converter"}}),
              "2026-12-08T06:30:00 capture-started device=sim name=\"USB 2.0 A/V Converter\"\n");
    EXPECT_EQ(Line("recording-started", {{"camera", "1"},
                                         {"reason", "alarm"},
                                         {"file", "/home/ann/Videos/Quorvane/261208_063000.avi"}}),
              "2026-12-08T06:30:00 recording-started camera=1 reason=alarm "
              "file=/home/ann/Videos/Quorvane/261208_063000.avi\n");
    EXPECT_EQ(Line("stopped"), "2026-12-08T06:30:00 stopped\n");
    EXPECT_EQ(EventLog::FormatLine(QDateTime(QDate(987, 1, 2), QTime(3, 4, 5)), "started",
                                   {{"version", "0.1.0"}}),
              "0987-01-02T03:04:05 started version=0.1.0\n");
}

TEST(EventLine, ValuesAreQuotedAndEscapedOnlyWhenTheyMustBe) {
    const struct {
        QString value;
        std::string shown;
    } cases[] = {
        {"", R"("")"},
        {"a b", R"("a b")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"\"", R"("\"")"},
        {"C:\\dir", R"(C:\dir)"},
        {"a b\\c", R"("a b\\c")"},
        {"tab\there", R"("tab\there")"},
        {"two\nlines\r", R"("two\nlines\r")"},
        {QString("esc\x1b"), R"("esc\u001b")"},
        {QString::fromUtf8("caf\xc3\xa9"), "caf\xc3\xa9"},
        {QString::fromUtf8("no\xc2\xa0"
                           "break"),
         "\"no\xc2\xa0"
         "break\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(Line("e", {{"k", c.value}}), "2026-12-08T06:30:00 e k=" + c.shown + "\n");
    }
}

class EventLogTest : public ::testing::Test {
protected:
    void TearDown() override { EventLog::Instance().Disable(); }
    EventLog& log = EventLog::Instance();
};

TEST_F(EventLogTest, PrintsStampedLinesOnlyWhileEnabled) {
    std::vector<QByteArray> lines;
    log.Print("started");  // disabled: dropped
    log.Enable([&lines](const QByteArray& line) { lines.push_back(line); });
    EXPECT_TRUE(log.enabled());
    log.Print("alarm-started", {{"camera", "2"}});
    log.Disable();
    EXPECT_FALSE(log.enabled());
    log.Print("stopped");
    ASSERT_EQ(lines.size(), 1u);
    const QRegularExpression form(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d alarm-started camera=2\n$)");
    EXPECT_TRUE(form.match(QString::fromUtf8(lines[0])).hasMatch()) << lines[0].toStdString();

    log.Enable({});  // no sink is the same as disabled
    EXPECT_FALSE(log.enabled());
    log.Print("stopped");
}

TEST_F(EventLogTest, LinesFromManyThreadsNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 200;
    // The sink writes byte by byte into a shared buffer without a lock of its own, as a
    // stream would: only Print's serialisation keeps the lines whole.
    static std::array<char, 1 << 20> buffer;
    std::atomic<size_t> used{0};
    log.Enable([&used](const QByteArray& line) {
        for (char c : line) {
            buffer[used.fetch_add(1) % buffer.size()] = c;
            if (c == ' ') {
                std::this_thread::yield();
            }
        }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kLinesEach; ++i) {
                log.Print("still-saved", {{"camera", QString::number(t)},
                                          {"file", QString("/tmp/still %1.bmp").arg(i)}});
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ASSERT_LT(used.load(), buffer.size());
    const QStringList lines =
        QString::fromUtf8(buffer.data(), static_cast<qsizetype>(used.load())).split('\n');
    ASSERT_EQ(lines.size(), kThreads * kLinesEach + 1);  // the text ends with a line break
    const QRegularExpression form(R"(^\S+ still-saved camera=(\d) file="/tmp/still (\d+)\.bmp"$)");
    std::array<int, kThreads> next{};
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const auto m = form.match(lines[i]);
        ASSERT_TRUE(m.hasMatch()) << lines[i].toStdString();
        const int thread = m.captured(1).toInt();
        EXPECT_EQ(m.captured(2).toInt(), next[thread]++) << "each thread's lines keep order";
    }
    for (int count : next) {
        EXPECT_EQ(count, kLinesEach);
    }
}

TEST_F(EventLogTest, StandardOutputSinkFlushesEveryLine) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    std::fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    ASSERT_GE(savedStdout, 0);
    dup2(pipeFds[1], STDOUT_FILENO);

    ovistra::EnableStdoutEvents();
    log.Print("disk-low", {{"path", "/srv/rec"}, {"free-mb", "12"}});
    // Read before anything else flushes the stream: a line still held in stdout's buffer
    // would not be there.
    fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    char got[256] = {};
    const ssize_t n = read(pipeFds[0], got, sizeof(got) - 1);

    log.Disable();
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(savedStdout);
    close(pipeFds[0]);
    close(pipeFds[1]);
    ASSERT_GT(n, 0);
    EXPECT_TRUE(QByteArray(got, n).endsWith(" disk-low path=/srv/rec free-mb=12\n")) << got;
}

}  // namespace
