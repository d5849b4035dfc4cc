#include "discoveryclient.h"

#include <QDebug>
#include <QMetaObject>
#include <QThread>
#include <QUdpSocket>
#include <QUuid>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include "mythread.h"

DiscoveryClient::DiscoveryClient(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<Dev_info>("Dev_info");
    // Every command carries a Client ID; without one this client would accept replies meant for none.
    m_clientId = QUuid::createUuid().toString(QUuid::Id128);
    group_address = new QHostAddress(QString::fromLatin1(discovery::GroupAddress));
    send_socket = new QUdpSocket(this);
    unicast_socket = new QUdpSocket(this);
    multicast_socket = new QUdpSocket(this);
    m_parsers.setMaxThreadCount(qMax(1, QThread::idealThreadCount()));
    // A parser thread started now and kept: starting one when the first replies arrive delays them by
    // milliseconds.
    m_parsers.setExpiryTimeout(-1);
    m_parsers.start(QRunnable::create([] {}));
    // Linux hands unicast datagrams for the shared address to the socket bound last, the sending one, so all
    // three are read. Each only on its own readyRead: Qt stops notifying a socket whose readyRead came and
    // went while another handler had already emptied it.
    for (QUdpSocket* socket : {multicast_socket, unicast_socket, send_socket})
        connect(socket, &QUdpSocket::readyRead, this, [this, socket] { readFrom(socket); });
}

DiscoveryClient::~DiscoveryClient()
{
    // Parsers hand their results to this object; none may outlive it. Parsing a batch takes microseconds.
    m_parsers.clear();
    m_parsers.waitForDone();
    delete group_address;
}

bool DiscoveryClient::initSocket()
{
    reuse_flag = 1;
    local_addr = {};
    local_addr.sin_family = AF_INET;
    local_addr.sin_addr.s_addr = htonl(INADDR_ANY);
    local_addr.sin_port = htons(discovery::Port);

    raw_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (raw_socket < 0) {
        qDebug() << "socket created failed";
        return false;
    }
    if (::setsockopt(raw_socket, SOL_SOCKET, SO_REUSEADDR, &reuse_flag, sizeof(reuse_flag)) < 0) {
        qDebug() << "setsockopt:SO_REUSEADDR error";
        ::close(raw_socket);
        return false;
    }
    if (::bind(raw_socket, reinterpret_cast<sockaddr*>(&local_addr), sizeof(local_addr)) < 0) {
        qDebug() << "bind error";
        ::close(raw_socket);
        return false;
    }
    return true;
}

bool DiscoveryClient::addGroup(const QString& localAddress)
{
    const QByteArray local_ip = localAddress.toLatin1();
    group_request.imr_multiaddr.s_addr = inet_addr(discovery::GroupAddress);
    group_request.imr_interface.s_addr = inet_addr(local_ip.constData());
    const auto fail = [this](const char* line) {
        qDebug() << line;
        ::close(raw_socket);
        return false;
    };
    if (::setsockopt(raw_socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group_request, sizeof(group_request)) < 0)
        return fail("setsocketopt: IP_ADD_MEMBERSHIP error");
    const int ttl = 10;
    if (::setsockopt(raw_socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof(ttl)) < 0)
        return fail("Set IP_MULTICAST_TTL failed");
    const int loop = 0;
    if (::setsockopt(raw_socket, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof(loop)) < 0)
        return fail("Set IP_MULTICAST_LOOP failed");
    in_addr interface_addr{};
    interface_addr.s_addr = group_request.imr_interface.s_addr;
    if (::setsockopt(raw_socket, IPPROTO_IP, IP_MULTICAST_IF, &interface_addr, sizeof(interface_addr)) < 0)
        return fail("Set IP_MULTICAST_IF failed");
    multicast_socket->setSocketDescriptor(raw_socket, QUdpSocket::ConnectedState, QIODevice::ReadWrite);
    return true;
}

void DiscoveryClient::bindUnicast(const QString& localAddress)
{
    unicast_socket->close();
    unicast_socket->bind(QHostAddress(localAddress), discovery::Port,
                         QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
}

void DiscoveryClient::bindSender(const QString& localAddress)
{
    m_localAddress = localAddress;
    send_socket->close();
    send_socket->bind(QHostAddress(localAddress), discovery::Port,
                      QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
}

DiscoveryClient::OpenResult DiscoveryClient::open(const QString& localAddress)
{
    if (!initSocket())
        return OpenResult::InitFailed;
    if (!addGroup(localAddress))
        return OpenResult::JoinFailed;
    bindUnicast(localAddress);
    bindSender(localAddress);
    return OpenResult::Ok;
}

void DiscoveryClient::search()
{
    // Whatever is waiting now answered an earlier search: read it under that search's generation.
    for (QUdpSocket* socket : {multicast_socket, unicast_socket, send_socket})
        if (socket->state() != QAbstractSocket::UnconnectedState)
            readFrom(socket, MaxBacklog);
    ++m_generation;
    m_seen.clear();
    m_dropped = 0;
    emit searchStarted();
    send_socket->writeDatagram(discovery::encodeMessage(discovery::searchMessage(m_clientId)), *group_address,
                               discovery::Port);
}

void DiscoveryClient::configure(const QString& deviceId, const discovery::NetworkSettings& settings)
{
    sendCommand(discovery::confignetMessage(deviceId, m_clientId, settings), deviceId);
}

void DiscoveryClient::reboot(const QString& deviceId)
{
    qDebug() << "Reboot Camera";
    sendCommand(discovery::rebootMessage(deviceId, m_clientId), deviceId);
}

void DiscoveryClient::flicker(const QString& deviceId, bool open)
{
    sendCommand(discovery::flickerMessage(deviceId, m_clientId, open), deviceId);
}

void DiscoveryClient::forgetCommand(const QString& deviceId)
{
    if (--m_pendingCommands[deviceId] <= 0)
        m_pendingCommands.remove(deviceId);
}

void DiscoveryClient::sendCommand(const QString& text, const QString& deviceId)
{
    ++m_pendingCommands[deviceId];
    send_socket->writeDatagram(discovery::encodeMessage(text), *group_address, discovery::Port);
}

// A flood is read a batch per notification, so the event loop keeps painting in between.
void DiscoveryClient::readFrom(QUdpSocket* socket, int budget)
{
    QVector<QByteArray> batch;
    for (; budget > 0 && socket->hasPendingDatagrams(); --budget) {
        const qint64 size = socket->pendingDatagramSize();
        QByteArray datagram(int(qBound<qint64>(0, size, 65536)), Qt::Uninitialized);
        const qint64 read = socket->readDatagram(datagram.data(), datagram.size());
        if (read < 0)
            continue;
        if (m_backlog + batch.size() >= MaxBacklog) {
            if (m_dropped++ == 0)
                qDebug() << "discovery datagrams arrive faster than they are parsed; dropping";
            continue;
        }
        datagram.truncate(int(read));
        batch.append(datagram);
    }
    if (batch.isEmpty())
        return;
    m_backlog += batch.size();
    const quint64 generation = m_generation;
    // The pool finishes before this object goes, so the queued call always has its receiver.
    m_parsers.start(new MyThread(batch, [this, generation](const QVector<discovery::Reply>& replies) {
        QMetaObject::invokeMethod(
            this, [this, generation, replies] { deliver(generation, replies); }, Qt::QueuedConnection);
    }));
}

void DiscoveryClient::deliver(quint64 generation, const QVector<discovery::Reply>& replies)
{
    m_backlog -= replies.size();
    for (const discovery::Reply& reply : replies) {
        if (reply.kind == MSG_REPLY_OK && generation == m_generation)
            acceptReply(reply.record);
        else if (reply.kind == MSG_SUCCEED || reply.kind == MSG_FAILED)
            acceptAcknowledgement(reply.record, reply.kind == MSG_SUCCEED);
    }
}

void DiscoveryClient::acceptReply(const Dev_info& record)
{
    if (record.client_id != m_clientId)
        return;
    if (m_seen.contains(record.device_id)) {
        qDebug() << "已收录过";
        return;
    }
    if (m_seen.size() >= MaxDevices) {
        if (m_dropped++ == 0)
            qDebug() << "device list full, reply dropped:" << record.device_id;
        return;
    }
    m_seen.insert(record.device_id);
    emit deviceFound(record);
}

void DiscoveryClient::acceptAcknowledgement(const Dev_info& record, bool succeeded)
{
    if (record.client_id != m_clientId)
        return;
    if (!m_pendingCommands.contains(record.device_id)) {
        qDebug() << "acknowledgement ignored:" << record.device_id;
        return;
    }
    forgetCommand(record.device_id);
    emit acknowledged(record.device_id, succeeded);
}
