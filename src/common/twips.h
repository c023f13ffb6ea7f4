// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

// Layout positions are in twips; 15 twips are one pixel at 96 dpi.
inline QRect FromTwips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}
