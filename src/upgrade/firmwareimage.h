#ifndef FIRMWAREIMAGE_H
#define FIRMWAREIMAGE_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include "firmwarenames.h"

// A firmware file checked and hashed once, before the first byte goes to any camera.
struct FirmwareImage {
    QString path;
    QString name; // without its folder: what the 'U' request carries
    qint64 size = 0;
    QByteArray md5Text;
    int fileType = 0; // 1 SOC, 2 ARM, 3 SOC&ARM, 4 MTD, 5 + n partition n

    // Reads the file for its size and MD5; false with a reason when it cannot be read or its name cannot fit
    // a record of the layout.
    bool load(const QString& filePath, int type, int workType, QString* error);
    // The name rules that need no camera (every type but a partition named by the camera's table).
    bool nameMatchesType() const;
    // The rules that need the camera's version report: partition names and the MTD model check.
    bool nameMatchesCamera(const VersionReport& report, int workType) const;
};

// "soc" 1, "arm" 2, "soc-arm" 3, "mtd" 4, "partition:N" 5 + N (N from 0 to 9); 0 for anything else.
int file_type_from_kind(const QString& kind);

#endif // FIRMWAREIMAGE_H
