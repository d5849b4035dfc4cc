#include "cameraupgrade.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QTimer>

#include "devicesession.h"
#include "filedigest.h"
#include "validators.h"

CameraUpgrade::CameraUpgrade(const Plan& plan, QObject* parent)
    : CameraUpgrade(plan, new DeviceSession, parent)
{
    m_ownSession = true;
    m_session->setParent(this);
    m_session->setIdleTimeout(DefaultIdleTimeoutMs);
}

CameraUpgrade::CameraUpgrade(const Plan& plan, DeviceSession* session, QObject* parent)
    : QObject(parent), m_plan(plan), m_session(session), m_ownSession(false), m_queryTimer(new QTimer(this))
{
    m_queryTimer->setSingleShot(true);
    connect(m_queryTimer, &QTimer::timeout, this, [this] {
        m_session->close();
        finish(Verdict::failed(Failure::NoAnswer));
    });
}

// A shared session may be gone already (its owner destroys both); the owner cancels a running upgrade before
// it uses the session again.
CameraUpgrade::~CameraUpgrade() = default;

void CameraUpgrade::setIdleTimeout(int msecs)
{
    if (m_ownSession)
        m_session->setIdleTimeout(msecs);
}

// Hooked only while it runs: a shared session's later conversations reach nobody here.
void CameraUpgrade::hook()
{
    connect(m_session, &DeviceSession::connected, this, &CameraUpgrade::onConnected);
    connect(m_session, &DeviceSession::connectFailed, this, &CameraUpgrade::onConnectFailed);
    connect(m_session, &DeviceSession::finished, this,
            [this](DeviceSession::Operation operation, const Verdict& verdict) {
                onSessionFinished(int(operation), verdict);
            });
    connect(m_session, &DeviceSession::versionReport, this, &CameraUpgrade::onVersion);
    connect(m_session, &DeviceSession::upgradeStep, this, &CameraUpgrade::onCameraStep);
    connect(m_session, &DeviceSession::streamProgress, this, [this](qint64 sent, qint64 total) {
        if (m_uploading)
            emit progress(sent, total);
    });
    // While the face is asked, no operation is under way that would report the connection's end.
    connect(m_session, &DeviceSession::socketError, this,
            [this](QAbstractSocket::SocketError, const QString& text) {
                if (m_asking)
                    finish(Verdict::failed(Failure::Dropped, text));
            });
}

void CameraUpgrade::start()
{
    if (m_started)
        return;
    m_started = true;
    m_session->setWorkType(m_plan.workType);
    const FirmwareImage& image = m_plan.image;
    if (!image.fitsRecord(m_plan.workType)) {
        finish(Verdict::failed(Failure::NameTooLong, image.name));
        return;
    }
    if (!m_plan.force && !image.nameMatchesType(m_plan.knownPartitions)) {
        finish(Verdict::failed(Failure::RefusedType, image.name));
        return;
    }
    if (!validators::isValidHostIp(m_plan.host)) {
        finish(Verdict::failed(Failure::BadAddress, m_plan.host));
        return;
    }
    hook();
    if (!image.md5Text.isEmpty()) {
        afterHashing();
        return;
    }
    setStep(UpgradeStep::Hashing);
    m_digest.reset(new FileDigest);
    connect(m_digest.get(), &FileDigest::progress, this, &CameraUpgrade::hashProgress);
    connect(m_digest.get(), &FileDigest::finished, this, [this](const QByteArray& md5) {
        if (md5.isEmpty()) {
            finish(Verdict::failed(Failure::FileUnreadable, m_plan.image.path));
            return;
        }
        m_plan.image.md5Text = md5;
        m_plan.image.size = QFileInfo(m_plan.image.path).size();
        afterHashing();
    });
    m_digest->start(image.path);
}

void CameraUpgrade::afterHashing()
{
    if (m_plan.backupTarget.isEmpty()) {
        connectForUpgrade();
        return;
    }
    setStep(UpgradeStep::BackupConnecting);
    m_session->connectToCamera(m_plan.host);
}

void CameraUpgrade::connectForUpgrade()
{
    setStep(UpgradeStep::Connecting);
    m_session->connectToCamera(m_plan.host);
}

void CameraUpgrade::onConnected()
{
    if (m_done)
        return;
    if (m_step == UpgradeStep::BackupConnecting) {
        setStep(UpgradeStep::BackingUp);
        m_session->backup(m_plan.backupTarget, m_plan.spareCopy);
    } else if (m_step == UpgradeStep::Connecting) {
        setStep(UpgradeStep::Querying);
        m_queryTimer->start(m_queryTimeoutMs);
        m_session->query(false);
    }
}

void CameraUpgrade::onConnectFailed(const Verdict& verdict)
{
    finish(verdict);
}

void CameraUpgrade::onSessionFinished(int operation, const Verdict& verdict)
{
    if (m_done)
        return;
    switch (DeviceSession::Operation(operation)) {
    case DeviceSession::Operation::Backup:
        // The archive is saved and verified, and its connection closed: now the upgrade's own.
        if (verdict.ok())
            connectForUpgrade();
        else
            finish(verdict);
        break;
    case DeviceSession::Operation::Query:
        // The answer itself goes on in onVersion().
        if (!verdict.ok())
            finish(verdict);
        break;
    default:
        finish(verdict);
        break;
    }
}

void CameraUpgrade::onVersion(const VersionReport& report)
{
    if (m_done || m_step != UpgradeStep::Querying || !m_queryTimer->isActive())
        return;
    m_queryTimer->stop();
    emit versionReported(report);
    if (m_done || m_plan.force || m_plan.image.nameMatchesCamera(report, m_plan.workType)) {
        if (!m_done)
            upload();
        return;
    }
    if (!m_plan.askOnMismatch) {
        m_session->close();
        finish(Verdict::failed(Failure::RefusedModel, m_plan.image.name));
        return;
    }
    m_asking = true;
    QMetaObject::invokeMethod(
        this,
        [this, report] {
            if (m_asking)
                emit mismatchFound(report);
        },
        Qt::QueuedConnection);
}

void CameraUpgrade::proceed()
{
    if (!m_asking || m_done)
        return;
    m_asking = false;
    upload();
}

void CameraUpgrade::decline()
{
    if (!m_asking || m_done)
        return;
    m_session->close();
    finish(Verdict::failed(Failure::Declined, m_plan.image.name));
}

void CameraUpgrade::upload()
{
    m_uploading = true;
    setStep(UpgradeStep::Requesting);
    const FirmwareImage& image = m_plan.image;
    m_session->upgrade(image.path, image.fileType, image.md5Text);
}

void CameraUpgrade::onCameraStep(UpgradeStep step)
{
    if (m_uploading)
        setStep(step);
}

void CameraUpgrade::cancel()
{
    if (!isRunning())
        return;
    m_session->close();
    finish(Verdict::failed(Failure::Cancelled));
}

void CameraUpgrade::setStep(UpgradeStep step)
{
    // Only forward: a camera repeating a status does not take the upgrade back.
    if (m_done || step <= m_step)
        return;
    m_step = step;
    emit stepChanged(step);
}

void CameraUpgrade::finish(const Verdict& verdict)
{
    if (m_done)
        return;
    m_done = true;
    m_asking = false;
    m_queryTimer->stop();
    if (m_digest) {
        // Possibly inside its own signal: it goes later, and whatever it still reports reaches nobody.
        m_digest->disconnect(this);
        m_digest.release()->deleteLater();
    }
    m_session->disconnect(this);
    emit finished(verdict, m_step);
}
