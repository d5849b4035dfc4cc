#ifndef FIRMWAREIMAGE_H
#define FIRMWAREIMAGE_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include "firmwarenames.h"
#include "verdict.h"

// A firmware file checked and hashed once, before the first byte goes to any camera.
struct FirmwareImage {
    QString path;
    QString name; // without its folder: what the 'U' request carries
    qint64 size = 0;
    QByteArray md5Text; // empty until the file has been read
    int fileType = 0;   // 1 SOC, 2 ARM, 3 SOC&ARM, 4 MTD, 5 + n partition n

    FirmwareImage() = default;
    // Names the file without reading it.
    FirmwareImage(const QString& filePath, int type);

    // Reads the file for its size and MD5. Refused: NameTooLong (detail: the name) when the name cannot fit a
    // record of the layout, FileUnreadable (detail: the path and the system's words).
    Verdict load(const QString& filePath, int type, int workType);
    // Whether the name, in the local 8-bit encoding, fits the record's name field with its NUL.
    bool fitsRecord(int workType) const;
    // The name rules that need no camera. A partition named by the camera's table is checked against the
    // partitions known so far, or left to nameMatchesCamera() when none are.
    bool nameMatchesType(const QVector<PartitionRecord>& knownPartitions = {}) const;
    // The rules that need the camera's version report: partition names and the MTD model check.
    bool nameMatchesCamera(const VersionReport& report, int workType) const;
};

// "soc" 1, "arm" 2, "soc-arm" 3, "mtd" 4, "partition:N" 5 + N (N from 0 to 9); 0 for anything else.
int file_type_from_kind(const QString& kind);
// How long a camera takes from the end of its upgrade until it is up again: flashing a whole MTD image
// takes longer.
int reboot_wait_ms(int fileType);

#endif // FIRMWAREIMAGE_H
