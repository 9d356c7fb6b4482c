#include "motion_zones.h"

#include <QStringList>

namespace ovistra {

std::vector<QRect> ParseMotionZones(const QString& text) {
    const QRect picture(0, 0, kZonePictureWidth, kZonePictureHeight);
    std::vector<QRect> zones;
    for (const QString& entry : text.split(';', Qt::SkipEmptyParts)) {
        const QStringList parts = entry.split(',');
        if (parts.size() != 4) {
            continue;
        }
        int values[4] = {};
        bool whole = true;
        for (int i = 0; i < 4 && whole; ++i) {
            values[i] = parts[i].trimmed().toInt(&whole);
        }
        // Widths past the picture would overflow QRect's right edge; the clip makes them moot.
        if (!whole || values[2] <= 0 || values[3] <= 0 || values[2] > 2 * kZonePictureWidth ||
            values[3] > 2 * kZonePictureHeight || qAbs(values[0]) > 2 * kZonePictureWidth ||
            qAbs(values[1]) > 2 * kZonePictureHeight) {
            continue;
        }
        const QRect zone = QRect(values[0], values[1], values[2], values[3]).intersected(picture);
        if (zone.isEmpty()) {
            continue;
        }
        zones.push_back(zone);
        if (static_cast<int>(zones.size()) == kMaxMotionZones) {
            break;
        }
    }
    return zones;
}

QString FormatMotionZones(const std::vector<QRect>& zones) {
    QStringList parts;
    for (const QRect& zone : zones) {
        parts << QStringLiteral("%1,%2,%3,%4")
                     .arg(zone.x())
                     .arg(zone.y())
                     .arg(zone.width())
                     .arg(zone.height());
    }
    return parts.join(';');
}

}  // namespace ovistra
