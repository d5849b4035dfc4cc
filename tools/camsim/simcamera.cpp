#include "simcamera.h"

#include "devicesession.h"
#include "eventlog.h"
#include "record.h"
#ifdef CAMSIM_HAVE_RTSP
#include "rtspserver.h"
#endif

#include <QDir>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace
{

constexpr quint16 kViscaPort = 1259;

// Multicast answers must leave from the camera's own address and must not loop back to the cameras.
void prepareMulticastSender(QUdpSocket* socket, const QHostAddress& address)
{
    const int fd = int(socket->socketDescriptor());
    in_addr iface{};
    iface.s_addr = htonl(address.toIPv4Address());
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &iface, sizeof iface);
    const int loop = 0;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    const int ttl = 4;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
}

QJsonObject netJson(const NetSettings& net)
{
    return {{"ip", net.ip},   {"netmask", net.netmask}, {"gateway", net.gateway},
            {"mac", net.mac}, {"fdns", net.fdns},       {"dhcp", net.dhcp}};
}

} // namespace

QHash<quint32, int> SimCamera::claimedAddresses;
QHash<quint32, const SimCamera*> SimCamera::serviceOwners;

SimCamera::SimCamera(const CameraProfile& profile, const SimSettings& settings, EventLog* log,
                     QObject* parent)
    : QObject(parent), profile(profile), settings(settings), log(log)
{
    ++claimedAddresses[profile.address.toIPv4Address()];
    uptimeAtBoot = profile.uptime;
    sinceBoot.start();
}

SimCamera::~SimCamera()
{
#ifdef CAMSIM_HAVE_RTSP
    delete rtsp;
#endif
}

qint64 SimCamera::uptime() const
{
    return uptimeAtBoot + sinceBoot.elapsed() / 1000;
}

bool SimCamera::listenTcp(QString* error)
{
    if (!tcpServer) {
        tcpServer = new QTcpServer(this);
        connect(tcpServer, &QTcpServer::newConnection, this, &SimCamera::onNewConnection);
    }
    if (!tcpServer->listen(profile.address, record::kPort)) {
        *error = QString("%1:%2: %3").arg(name()).arg(record::kPort).arg(tcpServer->errorString());
        return false;
    }
    return true;
}

bool SimCamera::start(QString* error)
{
    return bindServices(error);
}

bool SimCamera::bindServices(QString* error)
{
    const quint32 address = profile.address.toIPv4Address();
    const bool serves = !serviceOwners.contains(address);
    if (serves) {
        serviceOwners.insert(address, this);
        if (!listenTcp(error))
            return false;
    }

    if (settings.discovery) {
        discoverySocket = new QUdpSocket(this);
        if (!discoverySocket->bind(profile.address, discovery::kPort,
                                   QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
            *error =
                QString("%1:%2: %3").arg(name()).arg(discovery::kPort).arg(discoverySocket->errorString());
            return false;
        }
        prepareMulticastSender(discoverySocket, profile.address);
        connect(discoverySocket, &QUdpSocket::readyRead, this, &SimCamera::readOwnDiscovery);
    }

    if (!serves)
        return true;
    if (settings.visca) {
        viscaSocket = new QUdpSocket(this);
        if (!viscaSocket->bind(profile.address, kViscaPort)) {
            *error = QString("%1:%2: %3").arg(name()).arg(kViscaPort).arg(viscaSocket->errorString());
            return false;
        }
        connect(viscaSocket, &QUdpSocket::readyRead, this, &SimCamera::readVisca);
    }

#ifdef CAMSIM_HAVE_RTSP
    if (settings.rtsp) {
        rtsp = new RtspServer;
        RtspServer::Options options;
        options.address = profile.address.toString();
        options.port = settings.rtspPort;
        options.width = settings.rtspWidth;
        options.height = settings.rtspHeight;
        options.fps = settings.rtspFps;
        options.audioFirst = settings.rtspAudioFirst;
        if (!rtsp->start(options)) {
            *error = QString("%1:%2: RTSP server did not start").arg(name()).arg(settings.rtspPort);
            return false;
        }
    }
#endif
    return true;
}

void SimCamera::closeServices()
{
    emit goingDown();
    if (serviceOwners.value(profile.address.toIPv4Address()) == this)
        serviceOwners.remove(profile.address.toIPv4Address());
    delete tcpServer;
    tcpServer = nullptr;
    delete discoverySocket;
    discoverySocket = nullptr;
    delete viscaSocket;
    viscaSocket = nullptr;
#ifdef CAMSIM_HAVE_RTSP
    delete rtsp;
    rtsp = nullptr;
#endif
}

bool SimCamera::hasAddress(const QHostAddress& address)
{
    return QNetworkInterface::allAddresses().contains(address);
}

bool SimCamera::addAddress(const QHostAddress& address, const QString& netmask, const QHostAddress& beside,
                           QString* error)
{
    QString iface;
    for (const QNetworkInterface& candidate : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& entry : candidate.addressEntries()) {
            if (entry.ip() == address)
                return true;
            if (entry.ip() == beside)
                iface = candidate.name();
        }
    const int prefix = QHostAddress::parseSubnet("0.0.0.0/" + netmask).second;
    if (iface.isEmpty())
        *error = "no interface holds " + beside.toString();
    else if (QProcess::execute("ip", {"addr", "add", QString("%1/%2").arg(address.toString()).arg(prefix),
                                      "dev", iface}) != 0)
        *error = "ip addr add " + address.toString() + " failed";
    else
        return true;
    return false;
}

// Like a real camera given a new static address: it leaves the old one (which stays on the interface, since
// removing a primary address would take the other cameras' addresses with it) and serves on the new one.
void SimCamera::moveTo(const QHostAddress& address)
{
    QString error;
    if (addAddress(address, profile.net.netmask, profile.address, &error)) {
        const QString old = name();
        closeServices();
        const quint32 from = profile.address.toIPv4Address();
        if (--claimedAddresses[from] <= 0)
            claimedAddresses.remove(from);
        ++claimedAddresses[address.toIPv4Address()];
        profile.address = address;
        bindServices(&error);
        log->write("state", name(), {{"what", "moved"}, {"from", old}, {"error", error}});
    } else {
        log->write("error", name(), {{"reason", "cannot move to " + address.toString() + ": " + error}});
    }
}

void SimCamera::readOwnDiscovery()
{
    while (discoverySocket->hasPendingDatagrams()) {
        QByteArray datagram(int(discoverySocket->pendingDatagramSize()), '\0');
        QHostAddress from;
        quint16 port = 0;
        discoverySocket->readDatagram(datagram.data(), datagram.size(), &from, &port);
        log->write("udp_in", name(),
                   {{"from", QString("%1:%2").arg(from.toString()).arg(port)},
                    {"to", "unicast"},
                    {"text", EventLog::text(datagram)}});
        handleDiscovery(discovery::parse(datagram), from, port);
    }
}

void SimCamera::handleDiscovery(const discovery::Message& m, const QHostAddress& from, quint16 port)
{
    using discovery::Command;
    if (m.command == Command::Other)
        return;
    if (m.command != Command::Search && m.deviceId != profile.deviceId)
        return;
    if (down) {
        log->write("ignored", name(), {{"reason", "rebooting"}, {"command", m.head}});
        return;
    }
    switch (m.command) {
    case Command::Search: {
        QByteArray reply = discovery::searchReply(m.clientId, profile.deviceId, uptime(), profile.net);
        if (!profile.faults.replyFault.isEmpty())
            reply = discovery::damageReply(reply, profile.faults.replyFault);
        answer(reply, from, port, "search");
        break;
    }
    case Command::ConfigNet: {
        NetSettings next;
        QString reason;
        bool usable = discovery::settingsFromConfig(m, profile.net, &next, &reason);
        const QHostAddress nextAddress(next.ip);
        const bool moves = usable && settings.moveAddresses && !next.dhcp && nextAddress != profile.address;
        if (moves && claimedAddresses.contains(nextAddress.toIPv4Address())) {
            usable = false;
            reason = "address taken by another camera";
        }
        if (profile.faults.refuseConfig) {
            usable = false;
            reason = "refuse-config fault";
        }
        if (!usable) {
            log->write("state", name(), {{"what", "config_refused"}, {"reason", reason}});
            answer(discovery::refusal(m.clientId, profile.deviceId), from, port, "config");
            break;
        }
        if (profile.faults.configNotApplied) {
            log->write("state", name(), {{"what", "config_ignored"}});
            answer(discovery::acknowledgement(m.clientId, profile.deviceId), from, port, "config");
            break;
        }
        profile.net = next;
        log->write("state", name(), {{"what", "config"}, {"net", netJson(profile.net)}});
        answer(discovery::acknowledgement(m.clientId, profile.deviceId), from, port, "config");
        if (moves)
            QTimer::singleShot(settings.replyDelayMs + 50, this,
                               [this, nextAddress] { moveTo(nextAddress); });
        break;
    }
    case Command::Reboot:
        answer(discovery::acknowledgement(m.clientId, profile.deviceId), from, port, "reboot");
        reboot("command");
        break;
    case Command::Flicker: {
        const QString status = m.values.value("status");
        if (status != "open" && status != "close") {
            answer(discovery::refusal(m.clientId, profile.deviceId), from, port, "flicker");
            break;
        }
        blinking = status == "open";
        log->write("state", name(), {{"what", "blink"}, {"blinking", blinking}});
        answer(discovery::acknowledgement(m.clientId, profile.deviceId), from, port, "flicker");
        break;
    }
    case Command::Other:
        break;
    }
}

void SimCamera::answer(const QByteArray& datagram, const QHostAddress& from, quint16 port,
                       const QString& what)
{
    if (!discoverySocket)
        return;
    const auto send = [this, datagram, from, port, what] {
        const ReplyMode mode = profile.faults.replyMode;
        QList<QPair<QHostAddress, quint16>> targets;
        if (mode != ReplyMode::Unicast)
            targets.append({QHostAddress(QString(discovery::kGroup)), discovery::kPort});
        if (mode != ReplyMode::Multicast)
            targets.append({from, port});
        for (const auto& target : targets) {
            const qint64 written = discoverySocket->writeDatagram(datagram, target.first, target.second);
            log->write("udp_out", name(),
                       {{"to", QString("%1:%2").arg(target.first.toString()).arg(target.second)},
                        {"answers", what},
                        {"ok", written == datagram.size()},
                        {"text", EventLog::text(datagram)}});
        }
    };
    if (settings.replyDelayMs > 0)
        QTimer::singleShot(QRandomGenerator::global()->bounded(settings.replyDelayMs + 1), this, send);
    else
        send();
}

void SimCamera::readVisca()
{
    while (viscaSocket->hasPendingDatagrams()) {
        QByteArray datagram(int(viscaSocket->pendingDatagramSize()), '\0');
        QHostAddress from;
        quint16 port = 0;
        viscaSocket->readDatagram(datagram.data(), datagram.size(), &from, &port);
        log->write("visca", name(),
                   {{"from", QString("%1:%2").arg(from.toString()).arg(port)},
                    {"hex", EventLog::hex(datagram)},
                    {"size", datagram.size()},
                    {"ignored", down}});
    }
}

void SimCamera::onNewConnection()
{
    while (QTcpSocket* socket = tcpServer->nextPendingConnection()) {
        log->write(
            "tcp_open", name(),
            {{"from", QString("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort())}});
        auto* session = new DeviceSession(this, socket);
        connect(this, &SimCamera::goingDown, session, &DeviceSession::drop);
    }
}

void SimCamera::reboot(const QString& reason, QByteArray installedFirmware)
{
    if (down)
        return;
    down = true;
    const bool upgraded = !installedFirmware.isEmpty();
    const bool staysDown = upgraded && profile.faults.neverBack;
    log->write(
        "state", name(),
        {{"what", "rebooting"}, {"reason", reason}, {"silent_ms", staysDown ? -1 : settings.rebootMs}});
    emit goingDown();
    if (tcpServer)
        tcpServer->close();
    if (staysDown)
        return;
    QTimer::singleShot(settings.rebootMs, this, [this, upgraded, installedFirmware] {
        QString error;
        down = false;
        uptimeAtBoot = 0;
        sinceBoot.restart();
        if (upgraded && !profile.faults.keepVersion)
            installed = QString::fromLatin1(installedFirmware);
        const bool listening =
            serviceOwners.value(profile.address.toIPv4Address()) == this && listenTcp(&error);
        log->write("state", name(),
                   {{"what", "up"}, {"tcp", listening}, {"error", error}, {"version", versionText()}});
    });
}

QString SimCamera::versionText() const
{
    return installed.isEmpty() ? profile.version : profile.version + ' ' + installed;
}

QString SimCamera::storePath(const QString& kind, const QByteArray& requestedName)
{
    QString safe = QString::fromLatin1(requestedName);
    safe.replace(QRegularExpression("[^A-Za-z0-9._-]"), "_");
    while (safe.startsWith('.'))
        safe.remove(0, 1);
    if (safe.isEmpty())
        safe = "unnamed";
    const QString dir = QDir(settings.storeDir).filePath(name());
    QDir().mkpath(dir);
    return QDir(dir).filePath(QString("%1-%2-%3").arg(++storedFiles).arg(kind, safe.left(100)));
}
