// Layout in twips (1/1440 inch), turned into pixels at the screen's logical DPI.
#pragma once

#include <QPaintDevice>
#include <QRect>
#include <QSize>

namespace twips {

constexpr int ToPixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

inline QRect Rect(const QPaintDevice &device, int left, int top, int width, int height) {
    const int dx = device.logicalDpiX(), dy = device.logicalDpiY();
    return QRect(ToPixels(left, dx), ToPixels(top, dy), ToPixels(width, dx),
                 ToPixels(height, dy));
}

inline QSize Size(const QPaintDevice &device, int width, int height) {
    return QSize(ToPixels(width, device.logicalDpiX()), ToPixels(height, device.logicalDpiY()));
}

}  // namespace twips
