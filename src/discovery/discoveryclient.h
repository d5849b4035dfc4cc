#ifndef DISCOVERYCLIENT_H
#define DISCOVERYCLIENT_H

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QVector>

#include <netinet/in.h>

#include "devinfo.h"
#include "discoverymessages.h"

class QUdpSocket;

// The discovery conversation on one local IPv4 address: the three sockets of port 8005, the search and the
// per-device commands, and the replies cut on a bounded pool. It reports only what is meant for this client:
// one device per Device ID and search, and one acknowledgement per command sent. DeviceCommand sends the
// per-device commands and waits for their answers.
class DiscoveryClient : public QObject
{
    Q_OBJECT

public:
    // A search lists at most this many devices; further replies are logged and dropped.
    static constexpr int MaxDevices = 4096;
    // Datagrams read per turn of the event loop, and datagrams waiting for the parser at most.
    static constexpr int ReadBatch = 256;
    static constexpr int MaxBacklog = 8192;

    explicit DiscoveryClient(QObject* parent = nullptr);
    ~DiscoveryClient() override;

    // A fresh random Client ID (32 lowercase hexadecimal digits) until one is set.
    QString clientId() const { return m_clientId; }
    void setClientId(const QString& clientId) { m_clientId = clientId; }

    // The receiving side, in the order a search sets it up: a platform socket with address reuse bound to
    // 0.0.0.0:8005, then joined to the group on the local address and adopted by the multicast socket, then
    // the unicast socket bound to the local address. The first two report failure; binds are not examined.
    bool initSocket();
    bool addGroup(const QString& localAddress);
    void bindUnicast(const QString& localAddress);
    // The sending socket: bound to the local address, port 8005, shared.
    void bindSender(const QString& localAddress);
    // The address the sending socket was last bound to: this computer's on the cameras' LAN.
    QString localAddress() const { return m_localAddress; }

    enum class OpenResult { Ok, InitFailed, JoinFailed };
    // All of the above on one address, for clients without the window's lazy set-up.
    OpenResult open(const QString& localAddress);

    // Forgets the devices of the previous search and sends a new search datagram. Replies already waiting
    // in the sockets answered an earlier search and are not listed.
    void search();
    void configure(const QString& deviceId, const discovery::NetworkSettings& settings);
    void reboot(const QString& deviceId);
    void flicker(const QString& deviceId, bool open);

    int deviceCount() const { return m_seen.size(); }

    // An acknowledgement for this device is no longer awaited (its command gave up waiting).
    void forgetCommand(const QString& deviceId);

    QUdpSocket* sendSocket() const { return send_socket; }
    QUdpSocket* unicastSocket() const { return unicast_socket; }
    QUdpSocket* multicastSocket() const { return multicast_socket; }

signals:
    // A search went out: whoever lists devices starts afresh.
    void searchStarted();
    // A search reply for this client from a device not seen since the last search.
    void deviceFound(const Dev_info& device);
    // The first "SUCCEED *" (succeeded) or "FAILED * " for a device per command sent to it.
    void acknowledged(const QString& deviceId, bool succeeded);

private:
    void sendCommand(const QString& text, const QString& deviceId);
    void readFrom(QUdpSocket* socket, int budget = ReadBatch);
    void deliver(quint64 generation, const QVector<discovery::Reply>& replies);
    void acceptReply(const Dev_info& record);
    void acceptAcknowledgement(const Dev_info& record, bool succeeded);

    QString m_clientId;
    QHostAddress* group_address = nullptr;
    QUdpSocket* send_socket = nullptr;
    QUdpSocket* unicast_socket = nullptr;
    QUdpSocket* multicast_socket = nullptr;
    int raw_socket = -1;
    sockaddr_in local_addr{};
    ip_mreq group_request{};
    int reuse_flag = 0;

    QThreadPool m_parsers;
    int m_backlog = 0;
    // Replies parsed for an earlier search are not listed in a later one.
    quint64 m_generation = 0;
    QSet<QString> m_seen;
    int m_dropped = 0;
    // Commands sent and not yet answered, per Device ID.
    QHash<QString, int> m_pendingCommands;
    QString m_localAddress;
};

#endif // DISCOVERYCLIENT_H
