#include "devicetable.h"

#include <QHash>
#include <QSaveFile>

#include "addressplan.h"
#include "rolloutreport.h"

namespace discovery
{

namespace
{
// Addresses compare by value where they are addresses ("010.0.0.1" is 10.0.0.1).
QString addressKey(const QString& text)
{
    const auto address = parseIPv4(text);
    return address ? formatIPv4(*address) : text;
}

QString csvLine(const QStringList& cells)
{
    QStringList quoted;
    for (const QString& cell : cells)
        quoted << csv_field(cell);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}
} // namespace

QStringList Conflicts::names() const
{
    QStringList names;
    if (sharedIp > 0)
        names << QStringLiteral("ip");
    if (sharedMac > 0)
        names << QStringLiteral("mac");
    return names;
}

QVector<Conflicts> findConflicts(const QVector<Dev_info>& devices)
{
    QHash<QString, int> ips, macs;
    for (const Dev_info& device : devices) {
        if (!device.ipaddr.isEmpty())
            ++ips[addressKey(device.ipaddr)];
        if (!device.macaddr.isEmpty())
            ++macs[device.macaddr.toUpper()];
    }
    QVector<Conflicts> conflicts;
    conflicts.reserve(devices.size());
    for (const Dev_info& device : devices) {
        Conflicts own;
        if (!device.ipaddr.isEmpty())
            own.sharedIp = ips.value(addressKey(device.ipaddr)) - 1;
        if (!device.macaddr.isEmpty())
            own.sharedMac = macs.value(device.macaddr.toUpper()) - 1;
        conflicts.append(own);
    }
    return conflicts;
}

QStringList deviceCsvHeader()
{
    return {QStringLiteral("ip"),  QStringLiteral("netmask"), QStringLiteral("gateway"),
            QStringLiteral("mac"), QStringLiteral("uptime"),  QStringLiteral("device_id"),
            QStringLiteral("dns"), QStringLiteral("dhcp"),    QStringLiteral("conflicts")};
}

QStringList deviceCsvCells(const Dev_info& device, const Conflicts& conflicts)
{
    return {device.ipaddr,
            device.netmask,
            device.gateway,
            device.macaddr,
            QString::number(device.uptime_seconds),
            device.device_id,
            device.fdns.trimmed(),
            device.dhcp ? QStringLiteral("true") : QStringLiteral("false"),
            conflicts.names().join(QLatin1Char(' '))};
}

QByteArray deviceListCsv(const QVector<Dev_info>& devices)
{
    const QVector<Conflicts> conflicts = findConflicts(devices);
    QString csv = csvLine(deviceCsvHeader());
    for (int index = 0; index < devices.size(); ++index)
        csv += csvLine(deviceCsvCells(devices.at(index), conflicts.at(index)));
    return csv.toUtf8();
}

bool saveDeviceList(const QString& path, const QVector<Dev_info>& devices, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(deviceListCsv(devices)) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace discovery
