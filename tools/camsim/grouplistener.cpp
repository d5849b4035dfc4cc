#include "grouplistener.h"

#include "discoverywire.h"
#include "eventlog.h"
#include "simcamera.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

GroupListener::GroupListener(const QList<SimCamera*>& cameras, EventLog* log, QObject* parent)
    : QObject(parent), cameras(cameras), log(log)
{
}

bool GroupListener::inMachineNamespace()
{
    const QString own = QFileInfo("/proc/self/ns/net").symLinkTarget();
    const QString init = QFileInfo("/proc/1/ns/net").symLinkTarget();
    if (init.isEmpty()) // unreadable without privileges: trust only a run started by simlan
        return qEnvironmentVariableIsEmpty("SIMLAN_ID");
    return own == init;
}

bool GroupListener::start(const QHostAddress& interfaceAddress, QString* error)
{
    if (inMachineNamespace()) {
        *error = "discovery multicasts, so it runs only inside a private network namespace "
                 "(scripts/simlan); use --no-discovery here";
        return false;
    }
    socket = new QUdpSocket(this);
    if (!socket->bind(QHostAddress::AnyIPv4, discovery::kPort,
                      QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = QString("0.0.0.0:%1: %2").arg(discovery::kPort).arg(socket->errorString());
        return false;
    }
    ip_mreq request{};
    request.imr_multiaddr.s_addr = inet_addr(discovery::kGroup);
    request.imr_interface.s_addr = htonl(interfaceAddress.toIPv4Address());
    if (setsockopt(int(socket->socketDescriptor()), IPPROTO_IP, IP_ADD_MEMBERSHIP, &request,
                   sizeof request) != 0) {
        *error =
            QString("joining %1 on %2: %3")
                .arg(discovery::kGroup, interfaceAddress.toString(), QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    connect(socket, &QUdpSocket::readyRead, this, &GroupListener::readDatagrams);
    return true;
}

void GroupListener::readDatagrams()
{
    while (socket->hasPendingDatagrams()) {
        QByteArray datagram(int(socket->pendingDatagramSize()), '\0');
        QHostAddress from;
        quint16 port = 0;
        socket->readDatagram(datagram.data(), datagram.size(), &from, &port);
        log->write("udp_in", QString(),
                   {{"from", QString("%1:%2").arg(from.toString()).arg(port)},
                    {"to", "group"},
                    {"text", EventLog::text(datagram)}});
        const discovery::Message message = discovery::parse(datagram);
        for (SimCamera* camera : qAsConst(cameras))
            camera->handleDiscovery(message, from, port);
    }
}
