#ifndef ADDRESSASSIGNMENT_H
#define ADDRESSASSIGNMENT_H

#include <QObject>
#include <QTimer>
#include <QVector>

#include "addressplan.h"

class DeviceCommand;
class DiscoveryClient;

// Carries out an address plan: each camera in turn is sent its configuration and answers (or not) before
// the next; then one search confirms the cameras at their new addresses.
class AddressAssignment : public QObject
{
    Q_OBJECT

public:
    enum class Result {
        Waiting,
        Sending,
        Acknowledged, // final when the confirming search does not find it at its new address
        Confirmed,
        Failed, // "FAILED * "
        NoAnswer,
        Skipped, // stopped before its turn
    };
    Q_ENUM(Result)

    static constexpr int DefaultConfirmMs = 3000;

    explicit AddressAssignment(DiscoveryClient* client, QObject* parent = nullptr);

    // The plan must be ok(). confirmMs: how long the confirming search listens at most.
    void start(const discovery::AssignmentPlan& plan, int confirmMs = DefaultConfirmMs);
    // The camera waiting for its answer keeps waiting; the ones after it are skipped.
    void stop();
    bool isRunning() const { return m_running; }

    const discovery::AssignmentPlan& plan() const { return m_plan; }
    Result result(int index) const { return m_results.value(index, Result::Waiting); }
    // Where the confirming search found the camera; empty when it did not.
    QString foundAt(int index) const { return m_foundAt.value(index); }
    static bool isFinal(Result result);

signals:
    // Sending, then Acknowledged, before the camera's final result.
    void cameraChanged(int index, AddressAssignment::Result result);
    // Once per camera.
    void cameraFinished(int index, AddressAssignment::Result result);
    void finished();

private:
    void sendNext();
    void confirm();
    void confirmFound(const Dev_info& camera);
    void finish();
    void settle(int index, Result result);

    DiscoveryClient* m_client;
    DeviceCommand* m_command = nullptr;
    discovery::AssignmentPlan m_plan;
    QVector<Result> m_results;
    QVector<QString> m_foundAt;
    QTimer m_confirmTimer;
    QMetaObject::Connection m_listening;
    int m_next = 0;
    int m_confirmMs = DefaultConfirmMs;
    bool m_running = false;
    bool m_stopping = false;
};

#endif // ADDRESSASSIGNMENT_H
