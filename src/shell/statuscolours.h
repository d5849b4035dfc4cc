#ifndef STATUSCOLOURS_H
#define STATUSCOLOURS_H

#include <QColor>

class QWidget;

// The colours of an outcome wherever the window shows one: a status label, a row of a list, a line of the log
// pane. Both read on the Fusion style's light palette (and on a list's white base) with a contrast above
// 4.5:1.
namespace status_colours
{
enum class Kind { Normal, Warning, Error };

QColor error();
QColor warning();

// Paints the widget's text in the kind's colour, bold unless Normal; Normal gives it back the palette's own.
void apply(QWidget* widget, Kind kind);
} // namespace status_colours

#endif // STATUSCOLOURS_H
