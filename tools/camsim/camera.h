#ifndef CAMSIM_CAMERA_H
#define CAMSIM_CAMERA_H

#include "faults.h"

#include <QByteArray>
#include <QHostAddress>
#include <QJsonObject>
#include <QString>

// Which TCP record the camera reads and writes: 2320 or 2124 bytes.
enum class Layout { Type1, Type2 };

// The network settings a camera reports and accepts by the configuration command.
struct NetSettings {
    QString ip;
    QString netmask;
    QString gateway;
    QString mac;
    QString fdns;
    bool dhcp = false;
};

// Everything that makes one simulated camera, before it runs.
struct CameraProfile {
    QHostAddress address; // its sockets bind here; the reported IP starts as this address
    QString deviceId;
    NetSettings net;
    qint64 uptime = 0; // seconds at start
    QString version;
    QString partitions;
    Layout layout = Layout::Type1;
    QByteArray archive;
    Faults faults;
};

struct GenerateDefaults {
    QString netmask = "255.255.0.0";
    QString gateway; // empty: the camera's own network with host part 1
    Layout layout = Layout::Type1;
};

// A camera drawn from the seed: the same seed, index and address give the same camera.
CameraProfile generateCamera(quint32 seed, int index, const QHostAddress& address,
                             const GenerateDefaults& defaults);

// Overrides the fields present in one JSON camera object; returns an error text, empty on success.
// Relative "archive_file" paths are taken from baseDir.
QString applyCameraJson(CameraProfile& camera, const QJsonObject& object, const QString& baseDir);

QString layoutName(Layout layout);

#endif // CAMSIM_CAMERA_H
