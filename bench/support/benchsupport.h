#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

// A firmware file of `mib` MiB of pseudo-random bytes: the same bytes on every run, nothing a link
// compresses.
inline void makeFirmware(const QString& path, qint64 mib)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray block(1 << 20, '\0');
    quint32 seed = 0x9e3779b9;
    for (qint64 i = 0; i < mib; ++i) {
        for (int j = 0; j < block.size(); j += 4) {
            seed = seed * 1664525u + 1013904223u;
            qToLittleEndian(seed, block.data() + j);
        }
        file.write(block);
    }
}

// The process's peak resident memory so far.
inline qint64 peakRssKiB()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

#endif // BENCHSUPPORT_H
