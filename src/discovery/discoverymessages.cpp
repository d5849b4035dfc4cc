#include "discoverymessages.h"

#include <algorithm>

namespace discovery
{

const char* const Heads[MessageKindCount] = {"SEARCH * ", "REPLY OK ", "CONFIGNET", "SUCCEED *", "FAILED * "};

namespace
{

const QString ClientIdKey = QStringLiteral("Client ID:");
const QString DeviceIdKey = QStringLiteral("Device ID:");
constexpr int SecondsPerDay = 86400;

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// Cuts one identifier after its key; QString::mid keeps every cut inside the text, also for a missing key.
QString identifierAfter(const QString& message, const QString& key)
{
    return message.mid(message.indexOf(key) + key.size(), DeviceIdLength);
}

QString field(const QString& message, int position, int length = -1)
{
    return message.mid(position, length < 0 ? MaxFieldLength : qMin(length, MaxFieldLength));
}

QString deviceCommand(const char* head, const QString& deviceId, const QString& clientId)
{
    return QLatin1String(head) + QStringLiteral("\nDevice ID:") + deviceId + QStringLiteral("\nClient ID:") +
           clientId;
}

} // namespace

QString searchMessage(const QString& clientId)
{
    return QStringLiteral("SEARCH * UPGRADE\r\nClient ID:") + clientId;
}

QString confignetMessage(const QString& deviceId, const QString& clientId, const NetworkSettings& settings)
{
    QStringList mac;
    for (const QString& octet : settings.mac)
        mac << octet;
    return deviceCommand("CONFIGNET", deviceId, clientId) + QStringLiteral("\ndhcp=") +
           QString::number(settings.dhcpIndex) + QStringLiteral("\nipaddr=") + settings.ipaddr +
           QStringLiteral("\nnetmask=") + settings.netmask + QStringLiteral("\ngateway=") + settings.gateway +
           QStringLiteral("\nfdns=") + settings.fdns + QStringLiteral("\nmacaddr=") +
           mac.join(QLatin1Char(':'));
}

QString rebootMessage(const QString& deviceId, const QString& clientId)
{
    return deviceCommand("CAMERA_REBOOT", deviceId, clientId);
}

QString flickerMessage(const QString& deviceId, const QString& clientId, bool open)
{
    return deviceCommand("CAMERA_FLICKER", deviceId, clientId) +
           (open ? QStringLiteral("\nstatus=open") : QStringLiteral("\nstatus=close"));
}

bool isValidDeviceId(const QString& deviceId)
{
    return deviceId.size() == DeviceIdLength && std::all_of(deviceId.begin(), deviceId.end(), [](QChar c) {
               return c > QLatin1Char(' ') && c <= QLatin1Char('~');
           });
}

QByteArray encodeMessage(const QString& text)
{
    return text.toLocal8Bit();
}

QString decodeDatagram(const QByteArray& datagram)
{
    const int end = datagram.indexOf('\0');
    return QString::fromUtf8(datagram.constData(), end < 0 ? datagram.size() : end);
}

msgType classifyMessage(const QString& message)
{
    const QString head = message.left(HeadLength);
    for (int kind = 0; kind < MessageKindCount; ++kind) {
        if (head == QLatin1String(Heads[kind]))
            return static_cast<msgType>(kind);
    }
    return MSG_SEARCH;
}

void setUptime(Dev_info& record, qint32 seconds, const QString& dayWord)
{
    record.uptime_seconds = seconds;
    record.up_days = seconds / SecondsPerDay;
    record.up_hours = (seconds % SecondsPerDay) / 3600;
    record.up_minutes = (seconds % 3600) / 60;
    record.up_secs = seconds % 60;
    record.uptime = twoDigits(record.up_hours) + QLatin1Char(':') + twoDigits(record.up_minutes) +
                    QLatin1Char(':') + twoDigits(record.up_secs);
    if (record.up_days >= 1)
        record.uptime = QString::number(record.up_days) + dayWord + QLatin1Char(' ') + record.uptime;
}

Dev_info parseMessage(const QString& message, msgType kind, const QString& dayWord)
{
    Dev_info record;
    if (kind != MSG_REPLY_OK && kind != MSG_SUCCEED && kind != MSG_FAILED)
        return record;

    record.client_id = identifierAfter(message, ClientIdKey);
    record.device_id = identifierAfter(message, DeviceIdKey);
    if (kind != MSG_REPLY_OK)
        return record;

    // Values end two characters (CR LF) before the next key.
    const int u = message.indexOf(QLatin1String("Uptime="));
    if (u < 0) {
        record.uptime = QStringLiteral("00:00:00");
    } else {
        const int h = message.indexOf(QLatin1String("DHCP"));
        setUptime(record, message.mid(u + 7, h - u - 9).toInt(), dayWord);
    }

    record.dhcp = message.contains(QLatin1String("DHCP=1"));
    const int i = message.indexOf(QLatin1String("IP="));
    const int m = message.indexOf(QLatin1String("MASK"));
    const int g = message.indexOf(QLatin1String("GATEWAY"));
    const int a = message.indexOf(QLatin1String("MAC"));
    record.ipaddr = field(message, i + 3, m - i - 5);
    record.netmask = field(message, m + 5, g - m - 7);
    record.gateway = field(message, g + 8, a - g - 10);
    record.macaddr = message.mid(a + 4, 17);
    const int f = message.indexOf(QLatin1String("FDNS"));
    if (f >= 0)
        record.fdns = field(message, f + 5);
    return record;
}

Reply parseDatagram(const QByteArray& datagram, const QString& dayWord)
{
    const QString message = decodeDatagram(datagram);
    Reply reply;
    reply.kind = classifyMessage(message);
    reply.record = parseMessage(message, reply.kind, dayWord);
    return reply;
}

QStringList macTailOctets(const QString& mac)
{
    return {mac.mid(9, 2), mac.mid(12, 2), mac.mid(15, 2)};
}

QStringList macTailFromId(const QString& id)
{
    return {id.mid(26, 2).toUpper(), id.mid(28, 2).toUpper(), id.mid(30, 2).toUpper()};
}

bool gatewayInSubnet(const QString& ip, const QString& netmask, const QString& gateway)
{
    const QStringList ipParts = ip.split(QLatin1Char('.'));
    const QStringList maskParts = netmask.split(QLatin1Char('.'));
    const QStringList gatewayParts = gateway.split(QLatin1Char('.'));
    for (int octet = 0; octet < 4; ++octet) {
        const int mask = maskParts.value(octet).toInt();
        if ((ipParts.value(octet).toInt() & mask) != (gatewayParts.value(octet).toInt() & mask))
            return false;
    }
    return true;
}

} // namespace discovery
