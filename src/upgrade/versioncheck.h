#ifndef VERSIONCHECK_H
#define VERSIONCHECK_H

#include <QObject>
#include <QString>

#include "firmwarenames.h"
#include "verdict.h"

class DeviceSession;
class QTimer;

// Asks a camera its version once it is back from a reboot: a connection attempt every RetryIntervalMs until
// one is accepted, then the version question; a camera that goes down again under the question is asked anew.
// Everything ends within the time limit, on a connection of its own.
class VersionCheck : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeLimitMs = 60000;
    static constexpr int RetryIntervalMs = 1000;
    // Silence after the question that counts as no answer: a camera answers it at once.
    static constexpr int AnswerLimitMs = 5000;

    VersionCheck(const QString& host, int workType, QObject* parent = nullptr);
    ~VersionCheck() override;

    // Before start().
    void setTimeLimit(int msecs) { m_timeLimitMs = msecs; }
    const QString& host() const { return m_host; }

    void start();

signals:
    // Once: Outcome::Done with the camera's answer, or Failure::NotBack and an empty report when the time
    // limit passed first.
    void finished(const Verdict& verdict, const VersionReport& report);

private:
    void retry();
    void finish(const Verdict& verdict, const VersionReport& report);

    QString m_host;
    DeviceSession* m_session;
    QTimer* m_retryTimer;
    QTimer* m_deadline;
    int m_timeLimitMs = DefaultTimeLimitMs;
    bool m_started = false;
    bool m_done = false;
};

#endif // VERSIONCHECK_H
