#ifndef CAMSIM_DISCOVERYWIRE_H
#define CAMSIM_DISCOVERYWIRE_H

#include "camera.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QString>

// The camera's side of the discovery text protocol on UDP 8005.
namespace discovery
{

constexpr quint16 kPort = 8005;
constexpr char kGroup[] = "239.255.255.251";

enum class Command { Search, ConfigNet, Reboot, Flicker, Other };

struct Message {
    Command command = Command::Other;
    QString head;                   // first line
    QString clientId;               // up to 32 characters after "Client ID:"
    QString deviceId;               // up to 32 characters after "Device ID:"
    QHash<QString, QString> values; // "key=value" lines
};

// Reads a datagram up to its first NUL; lines may end in LF or CR LF.
Message parse(const QByteArray& datagram);

QByteArray searchReply(const QString& clientId, const QString& deviceId, qint64 uptime,
                       const NetSettings& net);
QByteArray acknowledgement(const QString& clientId, const QString& deviceId);
QByteArray refusal(const QString& clientId, const QString& deviceId);

// Spoils a search reply on purpose: "truncated", "nul", "missing-keys" or "short-mac".
QByteArray damageReply(const QByteArray& reply, const QString& kind);

// The settings a configuration command asks for; false with a reason when they are unusable.
bool settingsFromConfig(const Message& message, const NetSettings& current, NetSettings* result,
                        QString* reason);

} // namespace discovery

#endif // CAMSIM_DISCOVERYWIRE_H
