#ifndef DEVINFO_H
#define DEVINFO_H

#include <QMetaType>
#include <QString>

// One camera as its search reply describes it.
struct Dev_info {
    bool dhcp = false;
    qint32 uptime_seconds = 0;
    QString ipaddr;
    QString client_id;
    QString device_id;
    QString netmask;
    QString gateway;
    QString macaddr;
    QString uptime;
    QString fdns;
    int up_days = 0;
    int up_hours = 0;
    int up_minutes = 0;
    int up_secs = 0;
};

Q_DECLARE_METATYPE(Dev_info)

#endif // DEVINFO_H
