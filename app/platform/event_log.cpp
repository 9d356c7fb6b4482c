#include "event_log.h"

#include <cstdio>

#include "local_clock.h"

namespace ovistra {
namespace {

bool NeedsQuotes(const QString& value) {
    if (value.isEmpty()) {
        return true;
    }
    for (QChar c : value) {
        if (c.isSpace() || c == u'"' || c.category() == QChar::Other_Control) {
            return true;
        }
    }
    return false;
}

QString Quoted(const QString& value) {
    QString out = QStringLiteral("\"");
    for (QChar c : value) {
        if (c == u'"' || c == u'\\') {
            out += QLatin1Char('\\');
            out += c;
        } else if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\r') {
            out += QStringLiteral("\\r");
        } else if (c == u'\t') {
            out += QStringLiteral("\\t");
        } else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                   c == QChar::ParagraphSeparator) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('"');
}

}  // namespace

EventLog& EventLog::Instance() {
    static EventLog log;
    return log;
}

void EventLog::Enable(std::function<void(const QByteArray& line)> sink) {
    std::lock_guard<std::mutex> hold(lock_);
    sink_ = std::move(sink);
    enabled_.store(static_cast<bool>(sink_), std::memory_order_release);
}

void EventLog::Disable() {
    std::lock_guard<std::mutex> hold(lock_);
    enabled_.store(false, std::memory_order_release);
    sink_ = nullptr;
}

void EventLog::Print(const QString& event, const EventFields& fields) {
    if (!enabled()) {
        return;
    }
    std::lock_guard<std::mutex> hold(lock_);
    if (!sink_) {
        return;
    }
    // Stamped under the lock, so the stamps never run backwards.
    sink_(FormatLine(platform::LocalNow(), event, fields));
}

QByteArray EventLog::FormatLine(const QDateTime& when, const QString& event,
                                const EventFields& fields) {
    const QDateTime local = when.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    QString line = QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d ", d.year(), d.month(), d.day(),
                                     t.hour(), t.minute(), t.second());
    line += event;
    for (const auto& [key, value] : fields) {
        line += QLatin1Char(' ') + key + QLatin1Char('=');
        line += NeedsQuotes(value) ? Quoted(value) : value;
    }
    line += QLatin1Char('\n');
    return line.toUtf8();
}

void EnableStdoutEvents() {
    EventLog::Instance().Enable([](const QByteArray& line) {
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
        std::fflush(stdout);
    });
}

}  // namespace ovistra
