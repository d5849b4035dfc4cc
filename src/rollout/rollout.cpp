#include "rollout.h"

#include <QHash>

#include <algorithm>

#include "rolloutcamerarun.h"

Rollout::Rollout(QObject* parent) : QObject(parent)
{
    connect(&m_probeClock, &QTimer::timeout, this, &Rollout::probeTick);
}

Rollout::~Rollout() = default;

void Rollout::addCamera(const QString& address, const QString& deviceId, const QString& mac)
{
    if (m_running || m_finished)
        return;
    for (const Camera& camera : qAsConst(m_cameras))
        if (camera.address == address)
            return;
    Camera camera;
    camera.address = address;
    camera.deviceId = deviceId;
    camera.mac = mac;
    m_cameras.append(camera);
}

int Rollout::resumeFrom(const QVector<Camera>& earlierRows)
{
    if (m_running || m_finished)
        return 0;
    // By Device ID where both know it (the camera may have moved since), else by address.
    QHash<QString, const Camera*> byId;
    QHash<QString, const Camera*> byAddress;
    for (const Camera& row : earlierRows) {
        if (!isDone(row.state))
            continue;
        byAddress.insert(row.address, &row);
        if (!row.deviceId.isEmpty())
            byId.insert(row.deviceId.toUpper(), &row);
    }
    int count = 0;
    for (Camera& camera : m_cameras) {
        const Camera* row = byId.value(camera.deviceId.toUpper());
        if (!row) {
            row = byAddress.value(camera.address);
            if (row && !row->deviceId.isEmpty() && !camera.deviceId.isEmpty())
                row = nullptr; // another camera holds that address now
        }
        if (!row)
            continue;
        camera.state = State::DoneBefore;
        camera.versionBefore = row->versionBefore;
        camera.versionAfter = row->versionAfter;
        if (camera.deviceId.isEmpty())
            camera.deviceId = row->deviceId;
        ++count;
    }
    return count;
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
    const bool upgrade = options.job == RolloutJob::Upgrade;
    // Only an upgrade leaves cameras unconfirmed; the other jobs are bounded by their transfers alone.
    m_options.maxUnconfirmed = !upgrade                     ? MaxUnconfirmed
                               : options.maxUnconfirmed > 0 ? qMin(options.maxUnconfirmed, MaxUnconfirmed)
                                                            : qMin(4 * m_options.parallel, MaxUnconfirmed);
    m_options.canary = upgrade ? qMax(0, options.canary) : 0;
    m_options.maxFailures = upgrade ? qMax(0, options.maxFailures) : 0;
}

bool Rollout::start()
{
    if (m_running || m_finished || m_cameras.isEmpty() ||
        (m_options.job == RolloutJob::Upgrade && !m_hasImage))
        return false;
    m_running = true;
    int toRun = 0;
    for (const Camera& camera : qAsConst(m_cameras))
        toRun += !isFinal(camera.state);
    m_canaries = qMin(m_options.canary, toRun);
    m_canariesLeft = m_canaries;
    m_clock.start();
    fill();
    finishIfIdle();
    return true;
}

void Rollout::interrupt()
{
    if (!m_running || m_interrupted)
        return;
    m_interrupted = true;
    halt(StopReason::Interrupted);
    // Each run may end at once and leave the list.
    const QVector<RolloutCameraRun*> runs = m_runs;
    for (RolloutCameraRun* run : runs)
        if (m_runs.contains(run))
            run->interrupt();
    finishIfIdle();
}

void Rollout::abort()
{
    if (!m_running)
        return;
    interrupt();
    m_aborted = true;
    const QVector<RolloutCameraRun*> runs = m_runs;
    for (RolloutCameraRun* run : runs)
        if (m_runs.contains(run))
            run->abort();
    finishIfIdle();
}

void Rollout::halt(StopReason reason)
{
    if (m_halted)
        return;
    m_halted = true;
    m_stopReason = reason;
    m_failuresAtStop = m_failures;
}

// The link and the reboot are the limits: `parallel` bounds the uploads in flight, and a camera that has its
// file waits for its reboot without a place. Every camera under way counts toward maxUnconfirmed, its upload
// included, so a finished upload can never push the unconfirmed cameras past it.
void Rollout::fill()
{
    while (!m_halted && m_uploads < m_options.parallel && m_runs.size() < m_options.maxUnconfirmed &&
           m_next < m_cameras.size()) {
        if (isFinal(m_cameras.at(m_next).state)) { // done before
            ++m_next;
            continue;
        }
        if (m_started >= m_canaries && m_canariesLeft > 0)
            return;
        const int index = m_next++;
        if (m_started++ < m_canaries)
            m_canaryIndices.insert(index);
        m_cameras[index].startedMs = m_clock.elapsed();
        auto* run = new RolloutCameraRun(this, index);
        m_runs.append(run);
        ++m_uploads;
        run->start();
    }
}

void Rollout::uploadEnded()
{
    --m_uploads;
    fill();
}

void Rollout::watchReboots()
{
    if (!m_probeClock.isActive())
        m_probeClock.start(m_options.probeIntervalMs);
}

void Rollout::probeTick()
{
    const qint64 now = m_clock.elapsed();
    // A run may end under the tick; it stays valid until the event loop deletes it.
    const QVector<RolloutCameraRun*> runs = m_runs;
    bool waiting = false;
    for (RolloutCameraRun* run : runs)
        waiting = run->probe(now) || waiting;
    if (!waiting)
        m_probeClock.stop();
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
    m_runs.erase(std::remove_if(m_runs.begin(), m_runs.end(),
                                [index](RolloutCameraRun* run) { return run->index() == index; }),
                 m_runs.end());
    const bool canary = m_canaryIndices.contains(index);
    if (canary)
        --m_canariesLeft;
    // A canary of another model tried nothing: the next camera to start takes its place.
    if (canary && result == State::OtherModel) {
        ++m_canaries;
        ++m_canariesLeft;
    }
    if (result == State::Failed) {
        ++m_failures;
        if (canary)
            halt(StopReason::CanaryFailed);
        else if (m_options.maxFailures > 0 && m_failures >= m_options.maxFailures)
            halt(StopReason::FailureThreshold);
    }
    setState(index, result);
    fill();
    finishIfIdle();
}

void Rollout::finishIfIdle()
{
    if (!m_running || !m_runs.isEmpty() || (!m_halted && m_next < m_cameras.size()))
        return;
    m_running = false;
    m_finished = true;
    m_probeClock.stop();
    for (int index = m_next; index < m_cameras.size(); ++index) {
        if (isFinal(m_cameras.at(index).state))
            continue;
        m_stopped = true;
        setState(index, State::Skipped);
    }
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

bool Rollout::isDone(State state)
{
    return state >= State::Confirmed && state <= State::Saved;
}

namespace
{
const char* const kStateNames[] = {"waiting",     "backing up", "querying",    "uploading", "verifying",
                                   "flashing",    "rebooting",  "confirming",  "confirmed", "unchanged",
                                   "succeeded",   "up-to-date", "done-before", "answered",  "saved",
                                   "other-model", "failed",     "skipped"};
} // namespace

QString Rollout::stateName(State state)
{
    return QLatin1String(kStateNames[int(state)]);
}

Rollout::State Rollout::stateFromName(const QString& name)
{
    for (int state = 0; state <= int(State::Skipped); ++state)
        if (name == QLatin1String(kStateNames[state]))
            return State(state);
    return State::Waiting;
}
