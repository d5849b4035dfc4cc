#ifndef VISCACOMMANDS_H
#define VISCACOMMANDS_H

#include <QByteArray>
#include <QString>

// Camera control commands in their text form: two hex digits a byte, single spaces, 81 first, FF last.
namespace visca
{

// The camera's UDP port for control datagrams; it sends no replies.
constexpr quint16 kPort = 1259;

// Drive templates: H K are the pan speed's hex digits, V N the tilt speed's.
const QString kPtzUp = QStringLiteral("81 01 06 01 HK VN 03 01 FF");
const QString kPtzDown = QStringLiteral("81 01 06 01 HK VN 03 02 FF");
const QString kPtzLeft = QStringLiteral("81 01 06 01 HK VN 01 03 FF");
const QString kPtzRight = QStringLiteral("81 01 06 01 HK VN 02 03 FF");
const QString kPtzStop = QStringLiteral("81 01 06 01 03 03 03 03 FF");
const QString kPtzHome = QStringLiteral("81 01 06 04 FF");
constexpr qint8 kPtzSpeed = 10;

// The on-screen menu command for a control number 1..8; empty for any other number.
QString osdCommand(int controlCmd);

// Fills a drive template with the two speeds.
QString fillSpeed(QString cmd, qint8 panSpeed, qint8 tiltSpeed);

// Converts a command text to its bytes; false (and nothing in bytes) when a part is not hexadecimal.
bool textToBytes(const QString& command, QByteArray* bytes);

} // namespace visca

#endif // VISCACOMMANDS_H
