#include "rolloutcamerarun.h"

#include <QDir>

#include "cameraupgrade.h"
#include "devicesession.h"
#include "firmwarenames.h"

namespace
{
// Silence that fails the version question: the answer comes at once, but a fleet job shares the link.
constexpr int kQuestionLimitMs = 30000;
constexpr int kConfirmQuietMs = 5000;

Rollout::State stateOf(UpgradeStep step)
{
    using State = Rollout::State;
    switch (step) {
    case UpgradeStep::BackupConnecting:
    case UpgradeStep::BackingUp:
        return State::BackingUp;
    case UpgradeStep::Checking:
    case UpgradeStep::Hashing:
    case UpgradeStep::Connecting:
    case UpgradeStep::Querying:
    case UpgradeStep::Requesting:
        return State::Querying;
    case UpgradeStep::Uploading:
        return State::Uploading;
    case UpgradeStep::Verifying:
        return State::Verifying;
    case UpgradeStep::Flashing:
        return State::Flashing;
    }
    return State::Querying;
}
} // namespace

RolloutCameraRun::RolloutCameraRun(Rollout* rollout, int index)
    : QObject(rollout), m_rollout(rollout), m_index(index)
{
}

void RolloutCameraRun::start()
{
    switch (options().job) {
    case RolloutJob::Upgrade:
        startUpgrade();
        break;
    case RolloutJob::Query:
        startQuery();
        break;
    case RolloutJob::Backup:
        startBackup();
        break;
    }
}

void RolloutCameraRun::interrupt()
{
    if (m_done || m_interrupted)
        return;
    m_interrupted = true;
    // A camera that has not been asked to take the firmware yet is not asked any more; an upload under way
    // goes on to its verdict (upgradeFinished()), and a query or a backup to its end.
    if (m_upgrade && m_upgrade->step() < UpgradeStep::Requesting)
        m_upgrade->cancel(Failure::Interrupted);
    else if (!m_upgrade && options().job == RolloutJob::Upgrade)
        done(State::Failed, Verdict::failed(Failure::Interrupted), camera().state);
}

void RolloutCameraRun::abort()
{
    if (m_done)
        return;
    m_interrupted = true;
    if (m_upgrade)
        m_upgrade->cancel(Failure::Interrupted);
    else
        done(State::Failed, Verdict::failed(Failure::Interrupted), camera().state);
}

DeviceSession* RolloutCameraRun::newSession(int idleTimeoutMs)
{
    m_session = new DeviceSession(this);
    m_session->setWorkType(m_rollout->m_workType);
    m_session->setIdleTimeout(idleTimeoutMs);
    m_session->setStallTimeout(options().stallTimeoutMs);
    return m_session;
}

void RolloutCameraRun::noteVersion(const VersionReport& report)
{
    camera().versionBefore = report.version;
    camera().model = model_name_of(report.version, QString());
    camera().partitions = report.partitions.size();
    emit m_rollout->cameraChanged(m_index);
    // Called before the upgrade goes on to its request: done() ends it with no firmware byte sent.
    const QString& wanted = options().model;
    if (!wanted.isEmpty() && camera().model.compare(wanted, Qt::CaseInsensitive) != 0)
        done(State::OtherModel);
}

void RolloutCameraRun::startUpgrade()
{
    CameraUpgrade::Plan plan;
    plan.host = camera().address;
    plan.workType = m_rollout->m_workType;
    plan.image = m_rollout->m_image;
    plan.skipVersion = options().skipVersion;
    if (options().backupFirst) {
        const QDir dir(options().backupDir);
        if (!QDir().mkpath(dir.path())) {
            done(State::Failed, Verdict::failed(Failure::CannotWrite, dir.path()), State::BackingUp);
            return;
        }
        plan.backupTarget = dir.filePath(camera().address + QStringLiteral(".tar.gz"));
    }
    setState(plan.backupTarget.isEmpty() ? State::Querying : State::BackingUp);
    m_upgrade = new CameraUpgrade(plan, this);
    m_upgrade->setQueryTimeout(kQuestionLimitMs);
    m_upgrade->setStallTimeout(options().stallTimeoutMs);
    connect(m_upgrade, &CameraUpgrade::stepChanged, this, [this](UpgradeStep step) {
        setState(stateOf(step));
        if (step >= UpgradeStep::Verifying)
            endUpload();
    });
    connect(m_upgrade, &CameraUpgrade::versionReported, this, &RolloutCameraRun::noteVersion);
    connect(m_upgrade, &CameraUpgrade::progress, this, [this](qint64 sent, qint64 total) {
        camera().bytesSent = sent;
        camera().bytesTotal = total;
        emit m_rollout->cameraProgress(m_index, sent, total);
    });
    connect(m_upgrade, &CameraUpgrade::finished, this, &RolloutCameraRun::upgradeFinished);
    m_upgrade->start();
}

void RolloutCameraRun::endUpload()
{
    if (!m_holdsUpload)
        return;
    m_holdsUpload = false;
    m_rollout->uploadEnded();
}

void RolloutCameraRun::upgradeFinished(const Verdict& verdict, UpgradeStep step)
{
    m_upgrade->deleteLater();
    m_upgrade = nullptr;
    if (!verdict.ok())
        done(State::Failed, verdict, stateOf(step));
    else if (verdict.outcome == Outcome::UpToDate)
        done(State::UpToDate, Verdict{Outcome::UpToDate, Failure::None, options().skipVersion});
    else if (!options().confirm)
        done(State::Succeeded);
    else if (m_interrupted)
        done(State::Failed, Verdict::failed(Failure::Interrupted), State::Rebooting);
    else {
        awaitReboot();
        endUpload();
    }
}

// The camera goes down to flash and reboot. It is asked its version once it is back, or after the grace when
// it never seemed to go. The rollout's probe clock paces the attempts and ends the wait at the deadline.
void RolloutCameraRun::awaitReboot()
{
    setState(State::Rebooting);
    const int timeout = options().confirmTimeoutMs;
    m_sinceUpgrade.start();
    m_grace = qMin(reboot_wait_ms(m_rollout->m_image.fileType), timeout / 2);
    camera().rebootDeadlineMs = m_rollout->clockMs() + timeout;
    m_awaitingReboot = true;

    DeviceSession* probe = newSession(kConfirmQuietMs);
    connect(probe, &DeviceSession::connectFailed, this, [this] {
        m_seenDown = true;
        m_probing = false;
    });
    connect(probe, &DeviceSession::connected, this, [this] {
        if (!m_seenDown && m_sinceUpgrade.elapsed() < m_grace) {
            m_session->close();
            m_probing = false;
            return;
        }
        setState(State::Confirming);
        m_session->query(true);
    });
    connect(probe, &DeviceSession::versionReport, this, [this](const VersionReport& report) {
        camera().versionAfter = report.version;
        done(report.version == camera().versionBefore ? State::Unchanged : State::Confirmed);
    });
    connect(probe, &DeviceSession::finished, this, [this](DeviceSession::Operation, const Verdict& verdict) {
        // Not answered: it went down under the question, or is still starting.
        if (!verdict.ok()) {
            m_seenDown = true;
            m_probing = false;
            setState(State::Rebooting);
        }
    });
    m_rollout->watchReboots();
}

bool RolloutCameraRun::probe(qint64 nowMs)
{
    if (m_done || !m_awaitingReboot)
        return false;
    if (nowMs >= camera().rebootDeadlineMs) {
        done(State::Failed, Verdict::failed(Failure::NotBack));
        return false;
    }
    if (!m_probing) {
        m_probing = true;
        m_session->connectToCamera(camera().address);
    }
    return true;
}

void RolloutCameraRun::startQuery()
{
    setState(State::Querying);
    DeviceSession* session = newSession(CameraUpgrade::DefaultQueryTimeoutMs);
    connect(session, &DeviceSession::connected, this, [this] { m_session->query(true); });
    connect(session, &DeviceSession::connectFailed, this,
            [this](const Verdict& verdict) { done(State::Failed, verdict, State::Querying); });
    connect(session, &DeviceSession::versionReport, this, &RolloutCameraRun::noteVersion);
    connect(session, &DeviceSession::finished, this,
            [this](DeviceSession::Operation, const Verdict& verdict) {
                // Connected and never answered, as the upgrade's question: often the other record layout.
                if (verdict.failure == Failure::TimedOut)
                    done(State::Failed, Verdict::failed(Failure::NoAnswer), State::Querying);
                else if (verdict.ok())
                    done(State::Answered);
                else
                    done(State::Failed, verdict, State::Querying);
            });
    session->connectToCamera(camera().address);
}

void RolloutCameraRun::startBackup()
{
    setState(State::BackingUp);
    const QDir dir(options().backupDir);
    if (!QDir().mkpath(dir.path())) {
        done(State::Failed, Verdict::failed(Failure::CannotWrite, dir.path()), State::BackingUp);
        return;
    }
    const QString target = dir.filePath(camera().address + QStringLiteral(".tar.gz"));
    DeviceSession* session = newSession(kQuestionLimitMs);
    connect(session, &DeviceSession::connected, this, [this, target] { m_session->backup(target); });
    connect(session, &DeviceSession::connectFailed, this,
            [this](const Verdict& verdict) { done(State::Failed, verdict, State::BackingUp); });
    connect(session, &DeviceSession::archiveProgress, this, [this](qint64 received, qint64 total) {
        camera().bytesSent = received;
        camera().bytesTotal = total;
        emit m_rollout->cameraProgress(m_index, received, total);
    });
    connect(session, &DeviceSession::archiveSaved, this,
            [this](const QString& path, const QByteArray& md5, qint64 bytes) {
                camera().archive = path;
                camera().archiveMd5 = md5;
                camera().bytesSent = bytes;
            });
    connect(session, &DeviceSession::finished, this,
            [this](DeviceSession::Operation, const Verdict& verdict) {
                if (verdict.ok())
                    done(State::Saved);
                else
                    done(State::Failed, verdict, State::BackingUp);
            });
    session->connectToCamera(camera().address);
}

void RolloutCameraRun::done(State result, const Verdict& verdict, State failedDuring)
{
    if (m_done)
        return;
    m_done = true;
    // Nothing of this camera may report after its result; a half-received archive goes with the connection.
    for (QObject* child : children())
        child->disconnect(this);
    if (m_session)
        m_session->close();
    if (m_upgrade)
        m_upgrade->cancel(Failure::Interrupted);
    if (m_holdsUpload) {
        m_holdsUpload = false;
        --m_rollout->m_uploads;
    }
    deleteLater();
    m_rollout->cameraDone(m_index, result, verdict, failedDuring);
}
