#include "versioncheck.h"

#include <QTimer>

#include "devicesession.h"

VersionCheck::VersionCheck(const QString& host, int workType, QObject* parent)
    : QObject(parent), m_host(host), m_session(new DeviceSession(this)), m_retryTimer(new QTimer(this)),
      m_deadline(new QTimer(this))
{
    m_session->setWorkType(workType);
    m_session->setIdleTimeout(AnswerLimitMs);
    m_retryTimer->setSingleShot(true);
    m_deadline->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, [this] { m_session->connectToCamera(m_host); });
    connect(m_deadline, &QTimer::timeout, this,
            [this] { finish(Verdict::failed(Failure::NotBack, m_session->errorString()), VersionReport()); });
    connect(m_session, &DeviceSession::connectFailed, this, &VersionCheck::retry);
    connect(m_session, &DeviceSession::connected, this, [this] { m_session->query(true); });
    connect(m_session, &DeviceSession::versionReport, this,
            [this](const VersionReport& report) { finish(Verdict(), report); });
    // Silent, or gone again under the question: still starting.
    connect(m_session, &DeviceSession::finished, this,
            [this](DeviceSession::Operation, const Verdict& verdict) {
                if (!verdict.ok())
                    retry();
            });
}

VersionCheck::~VersionCheck() = default;

void VersionCheck::start()
{
    if (m_started)
        return;
    m_started = true;
    m_deadline->start(m_timeLimitMs);
    m_session->connectToCamera(m_host);
}

void VersionCheck::retry()
{
    if (!m_done)
        m_retryTimer->start(RetryIntervalMs);
}

void VersionCheck::finish(const Verdict& verdict, const VersionReport& report)
{
    if (m_done)
        return;
    m_done = true;
    m_retryTimer->stop();
    m_deadline->stop();
    m_session->close();
    emit finished(verdict, report);
}
