#ifndef CAMERALOG_H
#define CAMERALOG_H

#include <QUdpSocket>

#include "camsimrun.h"

// The transports a camsim was asked for in SETUPs so far, "TCP" or "UDP", in order.
inline QString setupTransports(const CamsimRun& camera)
{
    QStringList transports;
    for (const QJsonObject& e : camera.events("rtsp"))
        if (e.value("method") == "SETUP")
            transports << (e.value("transport").toString().contains("TCP") ? "TCP" : "UDP");
    return transports.join(' ');
}

// The control datagrams a camsim at `address` logged after its first `before` ones, in hex, read up to a
// sentinel sent now: "nothing was sent" is then known without waiting on a timer.
inline QStringList viscaSince(const CamsimRun& camera, const QString& address, int before)
{
    const QByteArray sentinel = QByteArray::fromHex("817fff");
    QUdpSocket probe;
    probe.writeDatagram(sentinel, QHostAddress(address), 1259);
    const QString end = QString::fromLatin1(sentinel.toHex(' ').toUpper());
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        QStringList hex;
        const QList<QJsonObject> visca = camera.events("visca");
        for (int i = before; i < visca.size(); ++i) {
            const QString text = visca[i].value("hex").toString();
            if (text == end)
                return hex;
            hex.append(text);
        }
        QTest::qWait(20);
    }
    return {"no sentinel"};
}

#endif // CAMERALOG_H
