#ifndef DEVICETABLE_H
#define DEVICETABLE_H

#include <QString>
#include <QStringList>
#include <QVector>

#include "devinfo.h"

// The cameras of one search as a table: which of them clash, and the CSV the command line prints and the
// window exports.
namespace discovery
{

// How many other cameras of the same search report a camera's IP address, and its MAC address.
struct Conflicts {
    int sharedIp = 0;
    int sharedMac = 0;
    bool any() const { return sharedIp > 0 || sharedMac > 0; }
    // "ip", "mac", both or none.
    QStringList names() const;
};

// One entry per device, in the same order.
QVector<Conflicts> findConflicts(const QVector<Dev_info>& devices);

QStringList deviceCsvHeader();
// The uptime in seconds; conflicts as their names separated by a blank.
QStringList deviceCsvCells(const Dev_info& device, const Conflicts& conflicts);
// The header and one row per device, CRLF line ends.
QByteArray deviceListCsv(const QVector<Dev_info>& devices);
// Written atomically: the file is the whole list or stays as it was.
bool saveDeviceList(const QString& path, const QVector<Dev_info>& devices, QString* error);

} // namespace discovery

#endif // DEVICETABLE_H
