#include "addressassignment.h"

#include "devicecommand.h"
#include "discoveryclient.h"

AddressAssignment::AddressAssignment(DiscoveryClient* client, QObject* parent)
    : QObject(parent), m_client(client), m_command(new DeviceCommand(client, this))
{
    m_confirmTimer.setSingleShot(true);
    connect(&m_confirmTimer, &QTimer::timeout, this, &AddressAssignment::finish);
    connect(m_command, &DeviceCommand::finished, this, [this](DeviceCommand::Outcome outcome) {
        const int index = m_next++;
        if (outcome == DeviceCommand::Outcome::Acknowledged) {
            m_results[index] = Result::Acknowledged;
            emit cameraChanged(index, Result::Acknowledged);
        } else {
            settle(index, outcome == DeviceCommand::Outcome::NoAnswer ? Result::NoAnswer : Result::Failed);
        }
        sendNext();
    });
}

bool AddressAssignment::isFinal(Result result)
{
    return result != Result::Waiting && result != Result::Sending;
}

void AddressAssignment::start(const discovery::AssignmentPlan& plan, int confirmMs)
{
    if (m_running || !plan.ok())
        return;
    m_plan = plan;
    m_results = QVector<Result>(plan.cameras.size(), Result::Waiting);
    m_foundAt = QVector<QString>(plan.cameras.size());
    m_confirmMs = confirmMs;
    m_next = 0;
    m_running = true;
    m_stopping = false;
    sendNext();
}

void AddressAssignment::stop()
{
    if (!m_running)
        return;
    m_stopping = true;
    if (m_confirmTimer.isActive())
        finish();
}

void AddressAssignment::sendNext()
{
    if (m_stopping) {
        for (; m_next < m_plan.cameras.size(); ++m_next)
            settle(m_next, Result::Skipped);
    }
    if (m_next >= m_plan.cameras.size()) {
        confirm();
        return;
    }
    const discovery::PlannedCamera& planned = m_plan.cameras.at(m_next);
    m_results[m_next] = Result::Sending;
    emit cameraChanged(m_next, Result::Sending);
    m_command->send(planned.camera, DeviceCommand::Action::ConfigNet, planned.settings);
}

void AddressAssignment::confirm()
{
    if (!m_results.contains(Result::Acknowledged)) {
        // Nothing to confirm; the search still shows everyone the list as it now stands.
        m_client->search();
        finish();
        return;
    }
    m_listening = connect(m_client, &DiscoveryClient::deviceFound, this, &AddressAssignment::confirmFound);
    m_client->search();
    m_confirmTimer.start(m_confirmMs);
}

void AddressAssignment::confirmFound(const Dev_info& camera)
{
    for (int index = 0; index < m_plan.cameras.size(); ++index) {
        if (m_plan.cameras.at(index).camera.device_id != camera.device_id)
            continue;
        m_foundAt[index] = camera.ipaddr;
        const auto found = discovery::parseIPv4(camera.ipaddr);
        if (m_results.at(index) == Result::Acknowledged && found &&
            found == discovery::parseIPv4(m_plan.cameras.at(index).settings.ipaddr))
            settle(index, Result::Confirmed);
    }
    if (!m_results.contains(Result::Acknowledged))
        finish();
}

void AddressAssignment::settle(int index, Result result)
{
    m_results[index] = result;
    emit cameraFinished(index, result);
}

void AddressAssignment::finish()
{
    if (!m_running)
        return;
    disconnect(m_listening);
    m_confirmTimer.stop();
    for (int index = 0; index < m_results.size(); ++index)
        if (m_results.at(index) == Result::Acknowledged)
            emit cameraFinished(index, Result::Acknowledged);
    m_running = false;
    emit finished();
}
