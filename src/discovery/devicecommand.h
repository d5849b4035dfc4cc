#ifndef DEVICECOMMAND_H
#define DEVICECOMMAND_H

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "devinfo.h"
#include "discoverymessages.h"
#include "settingsrules.h"

class DiscoveryClient;

// One command to one camera of the discovery group: find it by Device ID or address if need be, send
// CONFIGNET, CAMERA_REBOOT or CAMERA_FLICKER, and wait for its answer within a time limit. Nothing that
// breaks a rule is sent. Each face maps the outcome onto its own words.
class DeviceCommand : public QObject
{
    Q_OBJECT

public:
    enum class Action { ConfigNet, Reboot, FlickerOn, FlickerOff };
    Q_ENUM(Action)

    enum class Outcome {
        Acknowledged,    // "SUCCEED *"
        Refused,         // "FAILED * "
        NoAnswer,        // no acknowledgement within AcknowledgeMs
        NotFound,        // no camera with that Device ID or address answered within LookupMs
        Ambiguous,       // several cameras answered at that address
        InvalidDeviceId, // not the 32 characters of a Device ID: nothing sent, not even a search
        InvalidSettings, // settingsFault() says which rule: nothing sent
    };
    Q_ENUM(Outcome)

    static constexpr int LookupMs = 3000;
    static constexpr int AcknowledgeMs = 3000;
    // Found by address, a camera is used only when no other answers at that address for this long.
    static constexpr int AddressSettleMs = 500;

    explicit DeviceCommand(DiscoveryClient* client, QObject* parent = nullptr);
    ~DeviceCommand() override;

    // Searches for the camera with this Device ID (any case) and reports it by found(), or finishes with
    // NotFound or InvalidDeviceId. The caller then send()s, usually from its slot of found().
    void findByDeviceId(const QString& deviceId);
    // The same for the one camera at this address; Ambiguous when several answer there.
    void findByAddress(const QString& address);

    // Sends the command to a camera as a search listed it and waits for its answer; the settings only for
    // ConfigNet, checked by the Set button's rules first.
    void send(const Dev_info& camera, Action action,
              const discovery::NetworkSettings& settings = discovery::NetworkSettings());

    Dev_info camera() const { return m_camera; }
    Action action() const { return m_action; }
    discovery::SettingsFault settingsFault() const { return m_settingsFault; }

signals:
    void found(const Dev_info& camera);
    // Once per find or send that does not end in found().
    void finished(DeviceCommand::Outcome outcome);

private:
    void lookUp(const QString& wanted, bool byAddress);
    void consider(const Dev_info& camera);
    void finish(Outcome outcome);
    void stopWaiting();

    QPointer<DiscoveryClient> m_client;
    QTimer m_timer;
    QTimer m_settle;
    QMetaObject::Connection m_listening;
    QString m_wanted;
    bool m_byAddress = false;
    bool m_awaitingAnswer = false;
    Dev_info m_camera;
    Action m_action = Action::Reboot;
    discovery::SettingsFault m_settingsFault = discovery::SettingsFault::None;
};

#endif // DEVICECOMMAND_H
