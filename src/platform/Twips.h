#pragma once

#include <QRect>
#include <QtMath>

// Window geometry is given in twips: 15 to a pixel at 96 dpi (Qt scales for high-dpi screens).
constexpr int twips(int t)
{
    return (t + 7) / 15;
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
