#include "rollout.h"

#include <QDir>
#include <QTimer>

#include <iterator>

#include "cameraupgrade.h"
#include "devicesession.h"

namespace
{
// A camera that still takes connections this long after its upgrade is asked anyway: it may have rebooted
// between two attempts. The window's own count-down after an upgrade is 20 s.
constexpr int kRebootGraceMs = 20000;
// Silence that fails a backup or a version question.
constexpr int kQuietMs = 30000;
constexpr int kConfirmQuietMs = 5000;
} // namespace

// One camera of a rollout from its start to its result: backup, upgrade, then the wait for its reboot.
class RolloutCameraRun : public QObject
{
public:
    RolloutCameraRun(Rollout* rollout, int index) : QObject(rollout), m_rollout(rollout), m_index(index) {}

    void start()
    {
        if (m_rollout->m_options.backupFirst)
            backUp();
        else
            upgrade();
    }

private:
    using State = Rollout::State;
    using Failure = Rollout::Failure;

    Rollout::Camera& camera() { return m_rollout->m_cameras[m_index]; }
    void setState(State state) { m_rollout->setState(m_index, state); }

    DeviceSession* newSession(int quietMs)
    {
        auto* session = new DeviceSession(this);
        session->setWorkType(m_rollout->m_workType);
        session->setIdleTimeout(quietMs);
        return session;
    }

    void backUp()
    {
        setState(State::BackingUp);
        const QDir dir(m_rollout->m_options.backupDir);
        if (!QDir().mkpath(dir.path())) {
            done(State::Failed, Failure::BackupFailed, QStringLiteral("cannot create %1").arg(dir.path()));
            return;
        }
        const QString target = dir.filePath(camera().address + QStringLiteral(".tar.gz"));
        DeviceSession* session = newSession(kQuietMs);
        connect(session, &DeviceSession::connected, this, [session, target] { session->backup(target); });
        connect(session, &DeviceSession::connectFailed, this,
                [this](const QString& reason) { done(State::Failed, Failure::BackupFailed, reason); });
        connect(session, &DeviceSession::finished, this,
                [this, session](DeviceSession::Operation, bool ok, const QString& reason) {
                    session->deleteLater();
                    if (ok)
                        upgrade();
                    else
                        done(State::Failed, Failure::BackupFailed, reason);
                });
        session->connectToCamera(camera().address);
    }

    void upgrade()
    {
        setState(State::Querying);
        auto* upgrade = new CameraUpgrade(camera().address, m_rollout->m_image, m_rollout->m_workType, this);
        connect(upgrade, &CameraUpgrade::stageChanged, this, [this](CameraUpgrade::Stage stage) {
            m_stage = stage;
            static const State states[] = {State::Querying, State::Querying, State::Uploading,
                                           State::Verifying, State::Flashing};
            setState(states[int(stage)]);
        });
        connect(upgrade, &CameraUpgrade::versionReported, this, [this](const VersionReport& report) {
            camera().versionBefore = report.version;
            emit m_rollout->cameraChanged(m_index);
        });
        connect(upgrade, &CameraUpgrade::progress, this, [this](qint64 sent, qint64 total) {
            camera().bytesSent = sent;
            camera().bytesTotal = total;
            emit m_rollout->cameraProgress(m_index, sent, total);
        });
        connect(upgrade, &CameraUpgrade::finished, this,
                [this, upgrade](bool ok, int status, const QString& reason) {
                    upgrade->deleteLater();
                    const Failure failure = ok ? Failure::None : failureOf(status, reason);
                    // The connection's own words say more than the kind of failure only for these.
                    const bool wordy = failure == Failure::Dropped || failure == Failure::ConnectFailed;
                    if (!ok)
                        done(State::Failed, failure, wordy ? reason : QString());
                    else if (m_rollout->m_options.confirm)
                        awaitReboot();
                    else
                        done(State::Succeeded);
                });
        // The version answer comes at once; a camera that reads the other record layout never gives it.
        QTimer::singleShot(kQuietMs, upgrade, [this, upgrade] {
            if (m_stage != CameraUpgrade::Stage::Connecting && m_stage != CameraUpgrade::Stage::Querying)
                return;
            upgrade->disconnect(this);
            upgrade->cancel();
            done(State::Failed, Failure::NoAnswer);
        });
        upgrade->start();
    }

    Failure failureOf(int status, const QString& reason) const
    {
        switch (status) {
        case 1:
            return Failure::DiskFull;
        case 6:
            return Failure::VerifyFailed;
        case 8:
            return Failure::UpgradeFailed;
        case 'E':
            return Failure::ArmMissing;
        default:
            break;
        }
        if (reason == QLatin1String("refused name"))
            return Failure::RefusedName;
        if (reason == QLatin1String("timed out"))
            return Failure::TimedOut;
        if (reason == QLatin1String("Open file failed"))
            return Failure::FileUnreadable;
        return m_stage == CameraUpgrade::Stage::Connecting ? Failure::ConnectFailed : Failure::Dropped;
    }

    // The camera goes down to flash and reboot. It is asked its version once it is back, or after the grace
    // when it never seemed to go.
    void awaitReboot()
    {
        setState(State::Rebooting);
        const int timeout = m_rollout->m_options.confirmTimeoutMs;
        m_sinceUpgrade.start();
        m_grace = qMin(kRebootGraceMs, timeout / 2);
        auto* deadline = new QTimer(this);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, this, [this] { done(State::Failed, Failure::NotBack); });
        deadline->start(timeout);

        m_probeTimer = new QTimer(this);
        m_probeTimer->setSingleShot(true);
        connect(m_probeTimer, &QTimer::timeout, this, &RolloutCameraRun::probe);
        m_probe = newSession(kConfirmQuietMs);
        connect(m_probe, &DeviceSession::connectFailed, this, [this] {
            m_seenDown = true;
            nextProbe();
        });
        connect(m_probe, &DeviceSession::connected, this, [this] {
            if (!m_seenDown && m_sinceUpgrade.elapsed() < m_grace) {
                m_probe->close();
                nextProbe();
                return;
            }
            setState(State::Confirming);
            m_probe->query(true);
        });
        connect(m_probe, &DeviceSession::versionReport, this, [this](const VersionReport& report) {
            camera().versionAfter = report.version;
            done(report.version == camera().versionBefore ? State::Unchanged : State::Confirmed);
        });
        connect(m_probe, &DeviceSession::finished, this, [this](DeviceSession::Operation, bool ok) {
            // Not answered: it went down under the question, or is still starting.
            if (!ok) {
                m_seenDown = true;
                setState(State::Rebooting);
                nextProbe();
            }
        });
        nextProbe();
    }

    void nextProbe() { m_probeTimer->start(m_rollout->m_options.probeIntervalMs); }
    void probe() { m_probe->connectToCamera(camera().address); }

    void done(State result, Failure failure = Failure::None, const QString& detail = QString())
    {
        if (m_done)
            return;
        m_done = true;
        // Nothing of this camera may report after its result.
        for (QObject* child : children())
            child->disconnect(this);
        if (m_probe)
            m_probe->close();
        deleteLater();
        m_rollout->cameraDone(m_index, result, failure, detail);
    }

    Rollout* m_rollout;
    int m_index;
    bool m_done = false;
    CameraUpgrade::Stage m_stage = CameraUpgrade::Stage::Connecting;
    QElapsedTimer m_sinceUpgrade;
    int m_grace = 0;
    bool m_seenDown = false;
    QTimer* m_probeTimer = nullptr;
    DeviceSession* m_probe = nullptr;
};

Rollout::Rollout(QObject* parent) : QObject(parent) {}

Rollout::~Rollout() = default;

void Rollout::addCamera(const QString& address, const QString& deviceId)
{
    if (m_running || m_finished)
        return;
    for (const Camera& camera : qAsConst(m_cameras))
        if (camera.address == address)
            return;
    Camera camera;
    camera.address = address;
    camera.deviceId = deviceId;
    m_cameras.append(camera);
}

bool Rollout::setFirmware(const QString& path, int fileType, int workType, QString* error)
{
    m_hasImage = false;
    if (!m_image.load(path, fileType, workType, error))
        return false;
    if (!m_image.nameMatchesType()) {
        *error = QStringLiteral("refused name");
        return false;
    }
    m_workType = workType;
    m_hasImage = true;
    return true;
}

void Rollout::setOptions(const RolloutOptions& options)
{
    m_options = options;
    m_options.parallel = qBound(1, options.parallel, MaxParallel);
    m_options.canary = qMax(0, options.canary);
    m_options.maxFailures = qMax(0, options.maxFailures);
}

bool Rollout::start()
{
    if (m_running || m_finished || !m_hasImage || m_cameras.isEmpty())
        return false;
    m_running = true;
    m_canaries = qMin(m_options.canary, m_cameras.size());
    m_canariesLeft = m_canaries;
    m_clock.start();
    fill();
    return true;
}

void Rollout::stop()
{
    if (!m_running)
        return;
    halt();
    finishIfIdle();
}

void Rollout::halt()
{
    m_halted = true;
    m_stopped = m_next < m_cameras.size();
}

void Rollout::fill()
{
    while (!m_halted && m_active < m_options.parallel && m_next < m_cameras.size()) {
        if (m_next >= m_canaries && m_canariesLeft > 0)
            return;
        const int index = m_next++;
        ++m_active;
        m_cameras[index].startedMs = m_clock.elapsed();
        (new RolloutCameraRun(this, index))->start();
    }
}

void Rollout::setState(int index, State state)
{
    Camera& camera = m_cameras[index];
    if (camera.state == state)
        return;
    camera.state = state;
    emit cameraChanged(index);
}

void Rollout::cameraDone(int index, State result, Failure failure, const QString& detail)
{
    Camera& camera = m_cameras[index];
    camera.failure = failure;
    camera.detail = detail;
    camera.endedMs = m_clock.elapsed();
    --m_active;
    const bool canary = index < m_canaries;
    if (canary)
        --m_canariesLeft;
    if (result == State::Failed) {
        ++m_failures;
        if (canary || (m_options.maxFailures > 0 && m_failures >= m_options.maxFailures))
            halt();
    }
    setState(index, result);
    fill();
    finishIfIdle();
}

void Rollout::finishIfIdle()
{
    if (!m_running || m_active > 0 || (!m_halted && m_next < m_cameras.size()))
        return;
    m_running = false;
    m_finished = true;
    for (int index = m_next; index < m_cameras.size(); ++index)
        setState(index, State::Skipped);
    m_next = m_cameras.size();
    emit finished();
}

bool Rollout::isBusy(const QString& address) const
{
    if (!m_running)
        return false;
    for (const Camera& camera : m_cameras)
        if (camera.address == address)
            return !isFinal(camera.state);
    return false;
}

int Rollout::count(State state) const
{
    int n = 0;
    for (const Camera& camera : m_cameras)
        n += camera.state == state;
    return n;
}

double Rollout::seconds(int index) const
{
    const Camera& camera = m_cameras.at(index);
    if (camera.startedMs < 0)
        return -1;
    const qint64 end = camera.endedMs >= 0 ? camera.endedMs : m_clock.elapsed();
    return double(end - camera.startedMs) / 1000.0;
}

bool Rollout::isFinal(State state)
{
    return state >= State::Confirmed;
}

QString Rollout::stateName(State state)
{
    static const char* const names[] = {"waiting",   "backing up", "querying",   "uploading", "verifying",
                                        "flashing",  "rebooting",  "confirming", "confirmed", "unchanged",
                                        "succeeded", "failed",     "skipped"};
    return QLatin1String(names[int(state)]);
}

QString Rollout::failureText(Failure failure, const QString& detail)
{
    static const char* const texts[] = {"",
                                        "timed out",
                                        "no answer to the version query",
                                        "connection failed",
                                        "refused name",
                                        "camera status U 1: not enough disk space",
                                        "camera status U 6: file verification failed",
                                        "camera status U 8: upgrade failed",
                                        "camera record E: ARM upgrade file not found",
                                        "dropped connection",
                                        "firmware file unreadable",
                                        "backup failed",
                                        "not back after the reboot"};
    static_assert(std::size(texts) == size_t(Failure::NotBack) + 1, "a text for every failure");
    if (failure == Failure::None)
        return QString();
    // A run keeps a detail only where the connection's or camera's words say more than the kind.
    const QString text = QLatin1String(texts[int(failure)]);
    return detail.isEmpty() ? text : text + QStringLiteral(": ") + detail;
}
