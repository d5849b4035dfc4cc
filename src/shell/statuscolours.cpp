#include "statuscolours.h"

#include <QPalette>
#include <QWidget>

namespace status_colours
{
QColor error()
{
    return QColor(0xc6, 0x28, 0x28);
}

QColor warning()
{
    return QColor(0x8a, 0x5a, 0x00);
}

void apply(QWidget* widget, Kind kind)
{
    QFont font = widget->font();
    font.setBold(kind != Kind::Normal);
    widget->setFont(font);
    if (kind == Kind::Normal) {
        // An empty palette inherits everything again, so a later change of the style's palette shows too.
        widget->setPalette(QPalette());
        return;
    }
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, kind == Kind::Error ? error() : warning());
    widget->setPalette(palette);
}
} // namespace status_colours
