// The fuzz targets' seed corpus, written by the station's own writers (and, for the AVI scan,
// a minimal file assembled here as the writer lays it out): make_seeds DIR fills DIR/<target>/.
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cstdio>

#include "colour_scheme.h"
#include "custom_settings.h"
#include "record_info.h"
#include "recording_list_format.h"
#include "registry_document.h"
#include "still_picture.h"

namespace {

using namespace ovistra;

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

void Put32(QByteArray& out, uint32_t value) {
    char b[4];
    qToLittleEndian(value, b);
    out.append(b, 4);
}

QByteArray Chunk(const char* id, const QByteArray& data) {
    QByteArray out(id, 4);
    Put32(out, static_cast<uint32_t>(data.size()));
    out += data;
    if (data.size() % 2 != 0) {
        out += '\0';
    }
    return out;
}

QByteArray List(const char* type, const QByteArray& body) {
    return Chunk("LIST", QByteArray(type, 4) + body);
}

QByteArray Fields(std::initializer_list<uint32_t> values, int bytes) {
    QByteArray out;
    for (uint32_t v : values) {
        Put32(out, v);
    }
    out.resize(bytes, '\0');
    return out;
}

// Four pictures at 2 per second, the first an intra picture; `finished` adds the index and the
// sizes a finished writer leaves, otherwise it is what a killed one leaves.
QByteArray Avi(bool finished) {
    const uint32_t frames = finished ? 4 : 0;
    const QByteArray avih = Fields({500000, 0, 0, finished ? 0x10u : 0u, frames, 0, 1, 0, 640, 480}, 56);
    QByteArray strh("vidsDIVX", 8);
    strh += Fields({0, 0, 0, 1, 2, 0, frames, 0, 0, 0}, 48);
    const QByteArray strf = Fields({40, 640, 480, 0x00180001, 0x58564944}, 40);
    const QByteArray header =
        List("hdrl", Chunk("avih", avih) + List("strl", Chunk("strh", strh) + Chunk("strf", strf)));
    QByteArray movi;
    QByteArray index;
    for (int i = 0; i < 4; ++i) {
        QByteArray picture("\0\0\1\xB6", 4);
        picture += char(i == 0 ? 0x00 : 0x40);
        picture += QByteArray(11 + i, char(0x55));
        Put32(index, 0x62643030);  // "00db"
        Put32(index, i == 0 ? 0x12 : 0x02);
        Put32(index, static_cast<uint32_t>(12 + header.size() + 12 + movi.size()));
        Put32(index, static_cast<uint32_t>(picture.size()));
        movi += Chunk("00db", picture);
    }
    QByteArray body = QByteArray("AVI ", 4) + header +
                      (finished ? List("movi", movi) : Chunk("LIST", QByteArray("movi", 4)));
    if (finished) {
        body += Chunk("idx1", index);
    } else {
        body += movi;  // the list's size still the placeholder
    }
    return Chunk("RIFF", body);
}

// The same pictures past 1 GiB as the writer goes on in a second part, killed in it: the
// first part closed by its standard index and index, the second opened by "RIFF AVIX".
QByteArray LargeAvi() {
    const QByteArray avih = Fields({500000, 0, 0, 0, 0, 0, 1, 0, 640, 480}, 56);
    QByteArray strh("vidsDIVX", 8);
    strh += Fields({0, 0, 0, 1, 2, 0, 0, 0, 0, 0}, 48);
    const QByteArray strf = Fields({40, 640, 480, 0x00180001, 0x58564944}, 40);
    QByteArray room = Fields({4, 0, 0x62643030}, 536);  // the large-file index's room
    const QByteArray header = List(
        "hdrl", Chunk("avih", avih) +
                    List("strl", Chunk("strh", strh) + Chunk("strf", strf) + Chunk("JUNK", room)) +
                    List("odml", Chunk("dmlh", Fields({0}, 4))));
    QByteArray out = QByteArray("RIFF", 4) + Fields({0}, 4) + QByteArray("AVI ", 4) + header +
                     Chunk("LIST", QByteArray("movi", 4));
    QByteArray index;
    QByteArray standard;
    for (int i = 0; i < 4; ++i) {
        QByteArray picture("\0\0\1\xB6", 4);
        picture += char(i % 2 == 0 ? 0x00 : 0x40);
        picture += QByteArray(11 + i, char(0x55));
        if (i == 2) {
            out += Chunk("ix00", Fields({0x01000002, 2, 0x62643030, 0, 0, 0}, 24) + standard);
            out += Chunk("idx1", index);
            out += QByteArray("RIFF", 4) + Fields({12}, 4) + QByteArray("AVIXLIST", 8) +
                   Fields({0}, 4) + QByteArray("movi", 4);
        }
        Put32(index, 0x62643030);  // "00db"
        Put32(index, i % 2 == 0 ? 0x12 : 0x02);
        Put32(index, static_cast<uint32_t>(out.size()));
        Put32(index, static_cast<uint32_t>(picture.size()));
        Put32(standard, static_cast<uint32_t>(out.size() + 8));
        Put32(standard, static_cast<uint32_t>(picture.size()) | (i % 2 == 0 ? 0 : 0x80000000u));
        out += Chunk("00db", picture);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const char* target : {"recording_list", "key_file", "custom_settings", "dib", "avi_scan"}) {
        root.mkpath(QString::fromLatin1(target));
    }
    bool ok = true;

    RecordInfo done{"/home/u/Videos/Quorvane/Camera1/261209_101500.avi", "1", "Manual", "Plain",
                    "26/12/09", "10:15:00", "26/12/09", "10:45:00", 0, 0};
    RecordInfo open{"/home/u/Videos/Quorvane/Camera2/261209_110000.avi", "2", "Alarm", "Stamped",
                    "26/12/09", "11:00:00"};
    RecordInfo circular = done;
    circular.lastIndex = 3;
    circular.lastFileLength = 2;
    ok &= Write(root.filePath("recording_list/three"),
                SerializeRecordingList({done, open, circular}));
    ok &= Write(root.filePath("recording_list/empty"), SerializeRecordingList({}));

    const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel");
    platform::RegistryDocument document = platform::RegistryDocument::WithKey(key);
    document.SetValue(key, "AppPath", platform::RegistryValue::String("/home/u/.local/share/x/"));
    document.SetValue(key, "EachTime", platform::RegistryValue::Number(3000));
    document.SetValue(key, "FrameRate1", platform::RegistryValue::Number(25));
    ok &= document.Save(root.filePath("key_file/settings"));

    const CustomSettings settings(root.filePath("custom_settings/colours-and-password"));
    ok &= settings.SaveColourScheme(ColourScheme{});
    ok &= settings.SavePassword(QStringLiteral("c2VjcmV0"));

    // A 4x3 picture, 24 bits, bottom-up, as the stills are written.
    QByteArray bitmap = Fields({40, 4, 3, 0x00180001, 0, 36, 0, 0, 0, 0}, 40);
    for (int i = 0; i < 36; ++i) {
        bitmap += char(i * 7);
    }
    ok &= WriteBitmapFile(root.filePath("dib/still.bmp"), bitmap) == BitmapWrite::Written;

    ok &= Write(root.filePath("avi_scan/finished.avi"), Avi(true));
    ok &= Write(root.filePath("avi_scan/killed.avi"), Avi(false));
    ok &= Write(root.filePath("avi_scan/killed-large.avi"), LargeAvi());
    return ok ? 0 : 1;
}
