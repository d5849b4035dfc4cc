#ifndef CAMSIM_GROUPLISTENER_H
#define CAMSIM_GROUPLISTENER_H

#include <QHostAddress>
#include <QList>
#include <QObject>

class EventLog;
class QUdpSocket;
class SimCamera;

// The one socket on 0.0.0.0:8005 that joins the discovery group for all cameras of this namespace and
// hands every command to each camera; the cameras answer from their own addresses.
class GroupListener : public QObject
{
    Q_OBJECT
public:
    GroupListener(const QList<SimCamera*>& cameras, EventLog* log, QObject* parent = nullptr);
    bool start(const QHostAddress& interfaceAddress, QString* error);

    // True when this process shares the network namespace of PID 1, i.e. the machine's own network.
    static bool inMachineNamespace();

private:
    void readDatagrams();

    QList<SimCamera*> cameras;
    EventLog* log;
    QUdpSocket* socket = nullptr;
};

#endif // CAMSIM_GROUPLISTENER_H
