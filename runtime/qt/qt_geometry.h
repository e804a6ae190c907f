#pragma once

#include "runtime/screen/geometry.h"

#include <QColor>
#include <QRect>
#include <QRegion>

namespace pellavin::qt_backend {

// The screen's own rectangles, regions and colours as Qt's, and back.
inline QRect to_qt(const screen::Rect& rect) { return {rect.x, rect.y, rect.width, rect.height}; }
inline screen::Rect from_qt(const QRect& rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }
inline QColor to_qt(screen::Rgb color) { return {color.red, color.green, color.blue}; }
inline screen::Rgb from_qt(const QColor& color)
{
    return {static_cast<uint8_t>(color.red()), static_cast<uint8_t>(color.green()), static_cast<uint8_t>(color.blue())};
}

inline QRegion to_qt(const screen::Region& region)
{
    QRegion qt;
    for (const screen::Rect& rect : region) qt += to_qt(rect);
    return qt;
}

inline screen::Region from_qt(const QRegion& region)
{
    screen::Region ours;
    for (const QRect& rect : region) ours.add(from_qt(rect));
    return ours;
}

}  // namespace pellavin::qt_backend
