#include "devicecommand.h"

#include "addressplan.h"
#include "discoveryclient.h"

DeviceCommand::DeviceCommand(DiscoveryClient* client, QObject* parent) : QObject(parent), m_client(client)
{
    m_timer.setSingleShot(true);
    m_settle.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_awaitingAnswer) {
            m_client->forgetCommand(m_camera.device_id);
            finish(Outcome::NoAnswer);
        } else if (!m_settle.isActive()) {
            finish(Outcome::NotFound);
        }
    });
    connect(&m_settle, &QTimer::timeout, this, [this] {
        stopWaiting();
        emit found(m_camera);
    });
}

DeviceCommand::~DeviceCommand()
{
    // An answer that comes after this is no longer awaited by anyone.
    if (m_awaitingAnswer && m_client)
        m_client->forgetCommand(m_camera.device_id);
}

void DeviceCommand::findByDeviceId(const QString& deviceId)
{
    if (!discovery::isValidDeviceId(deviceId)) {
        finish(Outcome::InvalidDeviceId);
        return;
    }
    lookUp(deviceId.toUpper(), false);
}

void DeviceCommand::findByAddress(const QString& address)
{
    const auto parsed = discovery::parseIPv4(address);
    lookUp(parsed ? discovery::formatIPv4(*parsed) : address, true);
}

void DeviceCommand::lookUp(const QString& wanted, bool byAddress)
{
    m_wanted = wanted;
    m_byAddress = byAddress;
    m_camera = Dev_info();
    m_listening = connect(m_client, &DiscoveryClient::deviceFound, this, &DeviceCommand::consider);
    m_client->search();
    m_timer.start(LookupMs);
}

void DeviceCommand::consider(const Dev_info& camera)
{
    if (!m_byAddress) {
        if (camera.device_id.toUpper() != m_wanted)
            return;
        m_camera = camera;
        stopWaiting();
        emit found(camera);
        return;
    }
    const auto address = discovery::parseIPv4(camera.ipaddr);
    if ((address ? discovery::formatIPv4(*address) : camera.ipaddr) != m_wanted)
        return;
    if (!m_camera.device_id.isEmpty()) {
        stopWaiting();
        finish(Outcome::Ambiguous);
        return;
    }
    m_camera = camera;
    m_settle.start(AddressSettleMs);
}

void DeviceCommand::send(const Dev_info& camera, Action action, const discovery::NetworkSettings& settings)
{
    stopWaiting();
    m_camera = camera;
    m_action = action;
    if (!discovery::isValidDeviceId(camera.device_id)) {
        finish(Outcome::InvalidDeviceId);
        return;
    }
    if (action == Action::ConfigNet) {
        m_settingsFault = discovery::checkNetworkSettings(settings);
        if (m_settingsFault != discovery::SettingsFault::None) {
            finish(Outcome::InvalidSettings);
            return;
        }
    }
    m_awaitingAnswer = true;
    m_listening = connect(m_client, &DiscoveryClient::acknowledged, this,
                          [this](const QString& deviceId, bool succeeded) {
                              if (deviceId != m_camera.device_id)
                                  return;
                              stopWaiting();
                              finish(succeeded ? Outcome::Acknowledged : Outcome::Refused);
                          });
    m_timer.start(AcknowledgeMs);
    switch (action) {
    case Action::ConfigNet:
        m_client->configure(camera.device_id, settings);
        break;
    case Action::Reboot:
        m_client->reboot(camera.device_id);
        break;
    case Action::FlickerOn:
    case Action::FlickerOff:
        m_client->flicker(camera.device_id, action == Action::FlickerOn);
        break;
    }
}

void DeviceCommand::stopWaiting()
{
    disconnect(m_listening);
    m_timer.stop();
    m_settle.stop();
    m_awaitingAnswer = false;
}

void DeviceCommand::finish(Outcome outcome)
{
    stopWaiting();
    emit finished(outcome);
}
