// Recordings made as the recorder makes them, and what other players make of a clip: ffprobe's
// reading of its streams and packets, and GStreamer playing it through to its end.
#pragma once

#include <gst/gst.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QUrl>

#include "test_clip.h"

namespace ovistra::testing {

// `seconds` of a recording like the recorder's: MPEG-4 with a key picture every
// `keyEveryPictures` (250: ten seconds, the recorder's spacing) and raw sound.
inline bool MakeRecording(const QString& path, int seconds, int keyEveryPictures = 250) {
    return MakeClip(path.toStdString(), seconds * 25, true, keyEveryPictures);
}

struct ProbedClip {
    bool read = false;
    QString error;
    QString videoCodec, soundCodec;
    double seconds = 0;  // the container's length
    int pictures = 0;
    bool firstPictureIsKey = false;
};

inline ProbedClip Probe(const QString& path) {
    ProbedClip probed;
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-print_format", "json", "-show_format", "-show_streams",
                   "-show_packets", path});
    if (!ffprobe.waitForFinished(20000) || ffprobe.exitCode() != 0) {
        probed.error = QString::fromUtf8(ffprobe.readAllStandardError());
        return probed;
    }
    const QJsonObject root = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    int videoIndex = -1;
    for (const QJsonValue& stream : root["streams"].toArray()) {
        const QJsonObject s = stream.toObject();
        if (s["codec_type"].toString() == "video") {
            probed.videoCodec = s["codec_name"].toString();
            videoIndex = s["index"].toInt();
        } else if (s["codec_type"].toString() == "audio") {
            probed.soundCodec = s["codec_name"].toString();
        }
    }
    for (const QJsonValue& packet : root["packets"].toArray()) {
        const QJsonObject p = packet.toObject();
        if (p["stream_index"].toInt() != videoIndex) {
            continue;
        }
        if (probed.pictures++ == 0) {
            probed.firstPictureIsKey = p["flags"].toString().startsWith('K');
        }
    }
    probed.seconds = root["format"].toObject()["duration"].toString().toDouble();
    probed.read = videoIndex >= 0;
    return probed;
}

// GStreamer decodes every stream of the file to its end without an error.
inline bool PlaysToTheEnd(const QString& path) {
    gst_init(nullptr, nullptr);
    GstElement* player = gst_element_factory_make("playbin", nullptr);
    if (!player) {
        return false;
    }
    g_object_set(player, "uri", QUrl::fromLocalFile(path).toEncoded().constData(), "video-sink",
                 gst_element_factory_make("fakesink", nullptr), "audio-sink",
                 gst_element_factory_make("fakesink", nullptr), nullptr);
    gst_element_set_state(player, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(player);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool played = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end) {
        gst_message_unref(end);
    }
    gst_object_unref(bus);
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
    return played;
}

}  // namespace ovistra::testing
