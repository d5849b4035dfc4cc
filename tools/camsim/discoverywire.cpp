#include "discoverywire.h"

#include <QRegularExpression>
#include <QStringList>

namespace discovery
{

namespace
{

QString idAfter(const QString& text, const QString& key)
{
    const int at = text.indexOf(key);
    if (at < 0)
        return QString();
    QString id = text.mid(at + key.size(), 32);
    const int lineEnd = id.indexOf(QRegularExpression("[\r\n]"));
    return lineEnd < 0 ? id : id.left(lineEnd);
}

bool parseIPv4(const QString& text, quint32* value)
{
    static const QRegularExpression quad("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$");
    const QRegularExpressionMatch m = quad.match(text);
    if (!m.hasMatch())
        return false;
    quint32 v = 0;
    for (int i = 1; i <= 4; ++i) {
        const int octet = m.captured(i).toInt();
        if (octet > 255)
            return false;
        v = (v << 8) | quint32(octet);
    }
    *value = v;
    return true;
}

bool isUsableHost(quint32 ip)
{
    const quint32 first = ip >> 24;
    return first != 0 && first != 127 && first < 224 && (ip & 0xff) != 0xff && (ip & 0xff) != 0;
}

bool isNetmask(quint32 mask)
{
    return mask != 0 && ((~mask + 1) & ~mask) == 0;
}

} // namespace

Message parse(const QByteArray& datagram)
{
    const int nul = datagram.indexOf('\0');
    const QString text = QString::fromUtf8(nul < 0 ? datagram : datagram.left(nul));
    Message m;
    const QStringList lines = text.split('\n');
    m.head = lines.value(0);
    if (m.head.endsWith('\r'))
        m.head.chop(1);
    if (m.head == "SEARCH * UPGRADE")
        m.command = Command::Search;
    else if (m.head == "CONFIGNET")
        m.command = Command::ConfigNet;
    else if (m.head == "CAMERA_REBOOT")
        m.command = Command::Reboot;
    else if (m.head == "CAMERA_FLICKER")
        m.command = Command::Flicker;
    m.clientId = idAfter(text, "Client ID:");
    m.deviceId = idAfter(text, "Device ID:");
    for (int i = 1; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        const int eq = line.indexOf('=');
        if (eq > 0)
            m.values.insert(line.left(eq), line.mid(eq + 1));
    }
    return m;
}

QByteArray searchReply(const QString& clientId, const QString& deviceId, qint64 uptime,
                       const NetSettings& net)
{
    return QString("REPLY OK \r\nClient ID:%1\r\nDevice ID:%2\r\nUptime=%3\r\nDHCP=%4\r\nIP=%5\r\nMASK=%6\r\n"
                   "GATEWAY=%7\r\nMAC=%8\r\nFDNS=%9")
        .arg(clientId, deviceId, QString::number(uptime), net.dhcp ? "1" : "0", net.ip, net.netmask,
             net.gateway, net.mac, net.fdns)
        .toUtf8();
}

QByteArray acknowledgement(const QString& clientId, const QString& deviceId)
{
    return QString("SUCCEED *\nClient ID:%1\nDevice ID:%2").arg(clientId, deviceId).toUtf8();
}

QByteArray refusal(const QString& clientId, const QString& deviceId)
{
    return QString("FAILED * \nClient ID:%1\nDevice ID:%2").arg(clientId, deviceId).toUtf8();
}

QByteArray damageReply(const QByteArray& reply, const QString& kind)
{
    if (kind == "truncated")
        return reply.left(reply.indexOf("MASK=") + 3);
    if (kind == "nul") {
        QByteArray damaged = reply;
        damaged.insert(damaged.indexOf("IP="), '\0');
        return damaged;
    }
    QList<QByteArray> lines = reply.split('\n');
    for (int i = lines.size() - 1; i >= 0; --i) {
        const QByteArray& line = lines[i];
        if (kind == "missing-keys" &&
            (line.startsWith("Uptime=") || line.startsWith("GATEWAY=") || line.startsWith("FDNS=")))
            lines.removeAt(i);
        else if (kind == "short-mac" && line.startsWith("MAC="))
            lines[i] = line.left(4 + 10) + "\r";
    }
    if (kind == "missing-keys" && lines.last().endsWith('\r'))
        lines.last().chop(1); // the datagram still ends without a line break
    if (kind == "missing-keys" || kind == "short-mac")
        return lines.join('\n');
    return reply;
}

bool settingsFromConfig(const Message& m, const NetSettings& current, NetSettings* result, QString* reason)
{
    static const QRegularExpression macForm("^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$");
    NetSettings next = current;
    const QString dhcp = m.values.value("dhcp");
    if (dhcp != "0" && dhcp != "1") {
        *reason = "dhcp is neither 0 nor 1";
        return false;
    }
    const QString mac = m.values.value("macaddr");
    if (!macForm.match(mac).hasMatch() || mac.startsWith("00:00:00:00:00:00")) {
        *reason = "unusable MAC address";
        return false;
    }
    if ((QByteArray::fromHex(mac.left(2).toLatin1()).at(0) & 1) != 0) {
        *reason = "multicast MAC address";
        return false;
    }
    next.dhcp = dhcp == "1";
    next.mac = mac.toUpper();
    if (!next.dhcp) {
        quint32 ip = 0, mask = 0, gateway = 0, dns = 0;
        if (!parseIPv4(m.values.value("ipaddr"), &ip) || !isUsableHost(ip)) {
            *reason = "unusable IP address";
            return false;
        }
        if (!parseIPv4(m.values.value("netmask"), &mask) || !isNetmask(mask)) {
            *reason = "unusable netmask";
            return false;
        }
        if (!parseIPv4(m.values.value("gateway"), &gateway) || !isUsableHost(gateway) ||
            (gateway & mask) != (ip & mask) || gateway == ip) {
            *reason = "gateway outside the network";
            return false;
        }
        const QString fdns = m.values.value("fdns");
        if (!fdns.isEmpty() && (!parseIPv4(fdns, &dns) || !isUsableHost(dns))) {
            *reason = "unusable DNS server";
            return false;
        }
        next.ip = m.values.value("ipaddr");
        next.netmask = m.values.value("netmask");
        next.gateway = m.values.value("gateway");
        next.fdns = fdns;
    }
    *result = next;
    return true;
}

} // namespace discovery
