// A camera's detection zones: up to four rectangles in picture coordinates (640x480), stored as
// "x,y,w,h;x,y,w,h". Reading never fails: a zone is clipped to the picture, one with nothing
// left or that does not read as four whole numbers is passed over, and zones past the fourth
// are ignored. No zone at all means the whole picture.
#pragma once

#include <QRect>
#include <QString>
#include <vector>

namespace ovistra {

inline constexpr int kMaxMotionZones = 4;
inline constexpr int kZonePictureWidth = 640;
inline constexpr int kZonePictureHeight = 480;

std::vector<QRect> ParseMotionZones(const QString& text);
QString FormatMotionZones(const std::vector<QRect>& zones);

}  // namespace ovistra
