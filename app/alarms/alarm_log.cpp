#include "alarm_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <cctype>
#include <cerrno>

#include "durable_file.h"
#include "durable_writer.h"
#include "event_log.h"
#include "folders.h"

namespace ovistra::alarms {
namespace {

// Two full paths and the rest fit many times over; anything longer is no line of ours.
constexpr qsizetype kLongestLine = 16384;
constexpr int kTimeChars = 19;  // "YYYY-mm-ddTHH:MM:SS"

const QString kStartWord = QStringLiteral("alarm-started");
const QString kEndWord = QStringLiteral("alarm-ended");

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// A double-quoted value as the event lines write it, from just after its opening quote; `at`
// ends after the closing quote. Nothing when the quote never closes or an escape is unknown.
std::optional<QString> Unquoted(const QString& text, qsizetype& at) {
    QString value;
    while (at < text.size()) {
        const QChar c = text[at++];
        if (c == u'"') {
            return value;
        }
        if (c != u'\\') {
            value += c;
            continue;
        }
        if (at >= text.size()) {
            return std::nullopt;
        }
        const QChar escaped = text[at++];
        switch (escaped.unicode()) {
            case u'"':
            case u'\\':
                value += escaped;
                break;
            case u'n':
                value += u'\n';
                break;
            case u'r':
                value += u'\r';
                break;
            case u't':
                value += u'\t';
                break;
            case u'u': {
                bool ok = at + 4 <= text.size();
                for (qsizetype i = at; ok && i < at + 4; ++i) {
                    ok = isxdigit(text[i].toLatin1()) != 0 && text[i].unicode() < 128;
                }
                const uint code = ok ? text.mid(at, 4).toUInt(&ok, 16) : 0;
                if (!ok) {
                    return std::nullopt;
                }
                value += QChar(static_cast<char16_t>(code));
                at += 4;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

bool IsKey(const QString& key) {
    if (key.isEmpty()) {
        return false;
    }
    for (QChar c : key) {
        if (!(c.isLower() && c.unicode() < 128) && !c.isDigit() && c != u'-') {
            return false;
        }
    }
    return true;
}

}  // namespace

AlarmLog::AlarmLog(const QString& programFolder, platform::DurableWriter* writer)
    : path_(platform::JoinPath(programFolder, QLatin1String(kFileName))), writer_(writer) {}

void AlarmLog::Started(const AlarmFacts& facts) {
    AlarmLogEntry entry;
    entry.kind = AlarmLogEntry::Kind::Start;
    entry.when = facts.when;
    entry.camera = facts.camera;
    entry.still = facts.still;
    entry.recording = facts.recording;
    Append(AlarmLogLine(entry));
}

void AlarmLog::Ended(const AlarmFacts& facts) {
    AlarmLogEntry entry;
    entry.kind = AlarmLogEntry::Kind::End;
    entry.when = facts.when;
    entry.camera = facts.camera;
    Append(AlarmLogLine(entry));
}

void AlarmLog::Append(const QByteArray& line) {
    auto append = [path = path_, line] {
        if (!AppendAlarmLogLine(path, line)) {
            EventLog::Instance().Print("alarm-log-failed", {{"file", path}});
        }
    };
    if (writer_) {
        writer_->Post(std::move(append));
    } else {
        append();
    }
}

QByteArray AlarmLogLine(const AlarmLogEntry& entry) {
    EventFields fields{{QStringLiteral("camera"), QString::number(entry.camera)}};
    if (entry.kind == AlarmLogEntry::Kind::End) {
        return EventLog::FormatLine(entry.when, kEndWord, fields);
    }
    if (!entry.still.isEmpty()) {
        fields.emplace_back(QStringLiteral("still"), entry.still);
    }
    if (!entry.recording.isEmpty()) {
        fields.emplace_back(QStringLiteral("recording"), entry.recording);
    }
    return EventLog::FormatLine(entry.when, kStartWord, fields);
}

bool AppendAlarmLogLine(const QString& path, const QByteArray& line) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder)) {
        platform::SyncFolder(QFileInfo(folder).absolutePath());
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    struct stat before {};
    bool ok = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
    QByteArray bytes = line;
    if (ok && before.st_size > 0) {
        // A line cut off by a crash keeps to itself rather than swallowing this one.
        char last = '\n';
        ok = ::pread(fd, &last, 1, before.st_size - 1) == 1;
        if (last != '\n') {
            bytes.prepend('\n');
        }
    }
    if (ok && !WriteAll(fd, bytes.constData(), static_cast<size_t>(bytes.size()))) {
        // A half line would spoil the next one too.
        (void)::ftruncate(fd, before.st_size);
        ok = false;
    }
    ok = ok && ::fdatasync(fd) == 0;
    ::close(fd);
    if (ok && before.st_size == 0) {
        platform::SyncFolder(folder);
    }
    return ok;
}

std::optional<AlarmLogEntry> ParseAlarmLogLine(const QByteArray& line) {
    if (line.size() > kLongestLine || line.contains('\0')) {
        return std::nullopt;
    }
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decode(line);
    if (decode.hasError() || text.size() <= kTimeChars || text[kTimeChars] != u' ') {
        return std::nullopt;
    }
    // The event lines escape every control character: a raw one is damage.
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control) {
            return std::nullopt;
        }
    }
    AlarmLogEntry entry;
    entry.when =
        QDateTime::fromString(text.left(kTimeChars), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (!entry.when.isValid()) {
        return std::nullopt;
    }
    qsizetype at = kTimeChars + 1;
    qsizetype end = text.indexOf(u' ', at);
    if (end < 0) {
        end = text.size();
    }
    const QString word = text.mid(at, end - at);
    if (word != kStartWord && word != kEndWord) {
        return std::nullopt;
    }
    entry.kind = word == kStartWord ? AlarmLogEntry::Kind::Start : AlarmLogEntry::Kind::End;
    at = end;
    QSet<QString> seen;
    QString camera;
    while (at < text.size()) {
        if (text[at++] != u' ') {
            return std::nullopt;
        }
        const qsizetype equals = text.indexOf(u'=', at);
        if (equals < 0) {
            return std::nullopt;
        }
        const QString key = text.mid(at, equals - at);
        if (!IsKey(key) || seen.contains(key)) {
            return std::nullopt;
        }
        seen.insert(key);
        at = equals + 1;
        QString value;
        if (at < text.size() && text[at] == u'"') {
            ++at;
            const std::optional<QString> unquoted = Unquoted(text, at);
            if (!unquoted || (at < text.size() && text[at] != u' ')) {
                return std::nullopt;
            }
            value = *unquoted;
        } else {
            end = text.indexOf(u' ', at);
            if (end < 0) {
                end = text.size();
            }
            value = text.mid(at, end - at);
            // The event lines quote an empty value and any with a quote in it.
            if (value.isEmpty() || value.contains(u'"')) {
                return std::nullopt;
            }
            at = end;
        }
        if (key == u"camera") {
            camera = value;
        } else if (key == u"still") {
            entry.still = value;
        } else if (key == u"recording") {
            entry.recording = value;
        }
        // Other keys are a later station's: the line is still an alarm's.
    }
    bool ok = false;
    entry.camera = camera.toInt(&ok);
    if (!ok || camera.size() != 1 || entry.camera < 1 || entry.camera > 4) {
        return std::nullopt;
    }
    if (entry.kind == AlarmLogEntry::Kind::End) {
        entry.still.clear();
        entry.recording.clear();
    }
    return entry;
}

AlarmLogContents ReadAlarmLog(const QString& path) {
    AlarmLogContents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return contents;
    }
    while (!file.atEnd()) {
        QByteArray line = file.readLine(kLongestLine + 2);
        if (line.isEmpty()) {
            break;  // a read error: what was read stands
        }
        if (!line.endsWith('\n')) {
            // Over-long (its rest is skipped too) or cut off at the file's end.
            ++contents.skipped;
            while (!file.atEnd() && !line.endsWith('\n')) {
                line = file.readLine(kLongestLine + 2);
                if (line.isEmpty()) {
                    break;
                }
            }
            continue;
        }
        line.chop(1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.isEmpty()) {
            continue;
        }
        if (std::optional<AlarmLogEntry> entry = ParseAlarmLogLine(line)) {
            contents.entries.push_back(std::move(*entry));
        } else {
            ++contents.skipped;
        }
    }
    return contents;
}

}  // namespace ovistra::alarms
