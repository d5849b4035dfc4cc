#include "rollout.h"

#include <QDir>
#include <QTimer>

#include "cameraupgrade.h"
#include "devicesession.h"

namespace
{
// Silence that fails the version question: the answer comes at once, but a rollout shares the link.
constexpr int kQuestionLimitMs = 30000;
constexpr int kConfirmQuietMs = 5000;
} // namespace

// One camera of a rollout from its start to its result: the upgrade (with its backup), then the wait for its
// reboot.
class RolloutCameraRun : public QObject
{
public:
    RolloutCameraRun(Rollout* rollout, int index) : QObject(rollout), m_rollout(rollout), m_index(index) {}

    void start()
    {
        CameraUpgrade::Plan plan;
        plan.host = camera().address;
        plan.workType = m_rollout->m_workType;
        plan.image = m_rollout->m_image;
        if (m_rollout->m_options.backupFirst) {
            const QDir dir(m_rollout->m_options.backupDir);
            if (!QDir().mkpath(dir.path())) {
                done(State::Failed, Verdict::failed(Failure::CannotWrite, dir.path()), State::BackingUp);
                return;
            }
            plan.backupTarget = dir.filePath(camera().address + QStringLiteral(".tar.gz"));
        }
        setState(plan.backupTarget.isEmpty() ? State::Querying : State::BackingUp);
        auto* upgrade = new CameraUpgrade(plan, this);
        upgrade->setQueryTimeout(kQuestionLimitMs);
        connect(upgrade, &CameraUpgrade::stepChanged, this,
                [this](UpgradeStep step) { setState(stateOf(step)); });
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
                [this, upgrade](const Verdict& verdict, UpgradeStep step) {
                    upgrade->deleteLater();
                    if (!verdict.ok())
                        done(State::Failed, verdict, stateOf(step));
                    else if (m_rollout->m_options.confirm)
                        awaitReboot();
                    else
                        done(State::Succeeded);
                });
        upgrade->start();
    }

private:
    using State = Rollout::State;

    Rollout::Camera& camera() { return m_rollout->m_cameras[m_index]; }
    void setState(State state) { m_rollout->setState(m_index, state); }

    static State stateOf(UpgradeStep step)
    {
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

    // The camera goes down to flash and reboot. It is asked its version once it is back, or after the grace
    // when it never seemed to go.
    void awaitReboot()
    {
        setState(State::Rebooting);
        const int timeout = m_rollout->m_options.confirmTimeoutMs;
        m_sinceUpgrade.start();
        m_grace = qMin(reboot_wait_ms(m_rollout->m_image.fileType), timeout / 2);
        auto* deadline = new QTimer(this);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, this,
                [this] { done(State::Failed, Verdict::failed(Failure::NotBack)); });
        deadline->start(timeout);

        m_probeTimer = new QTimer(this);
        m_probeTimer->setSingleShot(true);
        connect(m_probeTimer, &QTimer::timeout, this, &RolloutCameraRun::probe);
        m_probe = new DeviceSession(this);
        m_probe->setWorkType(m_rollout->m_workType);
        m_probe->setIdleTimeout(kConfirmQuietMs);
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
        connect(m_probe, &DeviceSession::finished, this,
                [this](DeviceSession::Operation, const Verdict& verdict) {
                    // Not answered: it went down under the question, or is still starting.
                    if (!verdict.ok()) {
                        m_seenDown = true;
                        setState(State::Rebooting);
                        nextProbe();
                    }
                });
        nextProbe();
    }

    void nextProbe() { m_probeTimer->start(m_rollout->m_options.probeIntervalMs); }
    void probe() { m_probe->connectToCamera(camera().address); }

    void done(State result, const Verdict& verdict = Verdict(), State failedDuring = State::Waiting)
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
        m_rollout->cameraDone(m_index, result, verdict, failedDuring);
    }

    Rollout* m_rollout;
    int m_index;
    bool m_done = false;
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

Verdict Rollout::setFirmware(const QString& path, int fileType, int workType)
{
    m_hasImage = false;
    Verdict verdict = m_image.load(path, fileType, workType);
    if (verdict.ok() && !m_image.nameMatchesType())
        verdict = Verdict::failed(Failure::RefusedType, m_image.name);
    m_workType = workType;
    m_hasImage = verdict.ok();
    return verdict;
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

void Rollout::cameraDone(int index, State result, const Verdict& verdict, State failedDuring)
{
    Camera& camera = m_cameras[index];
    camera.failure = verdict.failure;
    camera.detail = verdict.detail;
    camera.failedDuring = failedDuring;
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
