#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

#include <cstring>
#include <functional>

#include "camsimrun.h"

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

// The reference the tool is measured against: a blocking copy on a socket of the caller's, with a hand-made
// TYPE1 'U' request, the camera's 'U' 0, then the file as fast as the socket takes it. False when it cannot
// connect.
inline bool plainCopy(QTcpSocket& socket, const QString& host, const QString& firmware, const QByteArray& md5)
{
    constexpr int kRecordSize = 2320;
    socket.connectToHost(host, 5555);
    if (!socket.waitForConnected(3000))
        return false;
    QFile file(firmware);
    file.open(QIODevice::ReadOnly);
    QByteArray record(kRecordSize, '\0');
    record[0] = 'U';
    qToLittleEndian<qint32>(qint32(file.size()), record.data() + 4);
    qToLittleEndian<qint32>(9, record.data() + 8);
    qToLittleEndian<qint32>(1, record.data() + 12);
    const QByteArray name = QFileInfo(firmware).fileName().toLocal8Bit();
    std::memcpy(record.data() + 16, name.constData(), size_t(name.size()));
    std::memcpy(record.data() + 272, md5.constData(), size_t(md5.size()));
    socket.write(record);
    while (socket.bytesAvailable() < kRecordSize && socket.waitForReadyRead(5000)) {
    }
    socket.read(kRecordSize); // 'U' 0
    QByteArray chunk;
    while (!(chunk = file.read(1 << 20)).isEmpty()) {
        socket.write(chunk);
        while (socket.bytesToWrite() > (4 << 20))
            socket.waitForBytesWritten(5000);
    }
    while (socket.bytesToWrite() > 0)
        socket.waitForBytesWritten(5000);
    return true;
}

// Waits with the event loop running, so the tool's own connections go on meanwhile at full speed.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer timer;
    timer.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || timer.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(20);
    loop.exec();
    return done();
}

// Waits until camsim has logged `ups` ends of a reboot, as each upgrade ends with one; the camera clock just
// after the last of them, or -1.
inline qint64 waitForCamerasUp(const CamsimRun& camsim, int ups, int timeoutMs)
{
    qint64 lastMs = -1;
    const bool up = waitUntil(
        [&] {
            int seen = 0;
            for (const QJsonObject& e : camsim.events())
                if (e.value("event") == "state" && e.value("what") == "up") {
                    ++seen;
                    lastMs = e.value("ms").toVariant().toLongLong();
                }
            return seen >= ups;
        },
        timeoutMs);
    return up ? lastMs + 1 : -1;
}

#endif // BENCHSUPPORT_H
