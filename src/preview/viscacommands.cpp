#include "viscacommands.h"

#include <QStringList>

namespace visca
{

QString osdCommand(int controlCmd)
{
    static const char* const table[] = {
        "81 01 06 06 05 FF",          // 1 OK
        "81 01 06 01 10 10 03 01 FF", // 2 up
        "81 01 06 01 10 10 03 02 FF", // 3 down
        "81 01 06 01 10 10 01 03 FF", // 4 left
        "81 01 06 01 10 10 02 03 FF", // 5 right
        "81 01 06 06 04 FF",          // 6 back
        "81 01 06 06 10 FF",          // 7 menu open/close
        "81 01 06 06 06 FF",          // 8
    };
    if (controlCmd < 1 || controlCmd > 8)
        return QString();
    return QString::fromLatin1(table[controlCmd - 1]);
}

QString fillSpeed(QString cmd, qint8 panSpeed, qint8 tiltSpeed)
{
    const QString pan = QStringLiteral("%1").arg(qint64(panSpeed), 2, 16, QLatin1Char('0')).toUpper();
    const QString tilt = QStringLiteral("%1").arg(qint64(tiltSpeed), 2, 16, QLatin1Char('0')).toUpper();
    return cmd.replace(QLatin1Char('H'), pan.at(0))
        .replace(QLatin1Char('K'), pan.at(1))
        .replace(QLatin1Char('V'), tilt.at(0))
        .replace(QLatin1Char('N'), tilt.at(1));
}

bool textToBytes(const QString& command, QByteArray* bytes)
{
    QByteArray out;
    for (const QString& part : command.split(QLatin1Char(' '))) {
        if (part.isEmpty())
            continue;
        bool ok = false;
        const qlonglong value = part.toLongLong(&ok, 16);
        if (!ok)
            return false;
        out.append(char(value & 0xff));
    }
    *bytes = out;
    return true;
}

} // namespace visca
