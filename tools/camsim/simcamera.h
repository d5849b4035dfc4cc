#ifndef CAMSIM_SIMCAMERA_H
#define CAMSIM_SIMCAMERA_H

#include "camera.h"
#include "discoverywire.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>

class EventLog;
class QTcpServer;
class QUdpSocket;
class RtspServer;

// Settings shared by every camera of one run.
struct SimSettings {
    int rebootMs = 5000;  // silence after a reboot
    int verifyMs = 200;   // between 'U' 3 and the verdict, and before a restore verdict
    int flashMs = 1000;   // between 'U' 5 and 'U' 7
    int restoreMs = 500;  // between 'R' 4 and 'R' 6
    int replyDelayMs = 0; // each discovery answer waits a random 0..replyDelayMs
    qint64 maxUpload = qint64(256) << 20;
    QString storeDir;
    bool discovery = true;
    bool visca = true;
    bool rtsp = true;
    int rtspPort = 554;
    int rtspWidth = 640;
    int rtspHeight = 360;
    int rtspFps = 25;
    bool rtspAudioFirst = false;
    bool moveAddresses = false; // a new static IP is added to the interface and the camera moves there
};

// One camera: its sockets on its own address, its state, and reboots.
class SimCamera : public QObject
{
    Q_OBJECT
public:
    SimCamera(const CameraProfile& profile, const SimSettings& settings, EventLog* log,
              QObject* parent = nullptr);
    ~SimCamera() override;

    bool start(QString* error);
    // Puts address (with the netmask's prefix) on the interface that holds `beside`, unless some interface
    // has it already. Needs CAP_NET_ADMIN.
    static bool hasAddress(const QHostAddress& address);
    static bool addAddress(const QHostAddress& address, const QString& netmask, const QHostAddress& beside,
                           QString* error);
    QString name() const { return profile.address.toString(); }
    bool isDown() const { return down; }
    qint64 uptime() const;

    // A discovery datagram, from the group socket (for every camera) or this camera's own socket.
    void handleDiscovery(const discovery::Message& message, const QHostAddress& from, quint16 port);

    // Used by the device sessions.
    CameraProfile profile;
    const SimSettings& settings;
    EventLog* const log;
    // With installedFirmware, the reboot that ends an upgrade: the camera comes back naming that file in its
    // version text.
    void reboot(const QString& reason, QByteArray installedFirmware = QByteArray());
    QString versionText() const;
    QString storePath(const QString& kind, const QByteArray& requestedName);

signals:
    void goingDown(); // open connections drop, as a rebooting camera's do

private:
    void onNewConnection();
    void readOwnDiscovery();
    void readVisca();
    void answer(const QByteArray& datagram, const QHostAddress& from, quint16 port, const QString& what);
    bool listenTcp(QString* error);
    bool bindServices(QString* error);
    void closeServices();
    void moveTo(const QHostAddress& address);

    QTcpServer* tcpServer = nullptr;
    QUdpSocket* discoverySocket = nullptr;
    QUdpSocket* viscaSocket = nullptr;
    RtspServer* rtsp = nullptr;
    QElapsedTimer sinceBoot;
    qint64 uptimeAtBoot = 0;
    bool down = false;
    bool blinking = false;
    int storedFiles = 0;
    QString installed; // firmware file installed by the last upgrade

    // Cameras of the run per address: a camera is never moved onto an address another one holds.
    static QHash<quint32, int> claimedAddresses;
    // Cameras that share an address (a factory batch) answer discovery each, but only the first of them
    // serves TCP, control and RTSP there: the ports cannot be shared.
    static QHash<quint32, const SimCamera*> serviceOwners;
};

#endif // CAMSIM_SIMCAMERA_H
