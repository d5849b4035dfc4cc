#ifndef ROLLOUTCAMERARUN_H
#define ROLLOUTCAMERARUN_H

#include <QElapsedTimer>
#include <QObject>

#include "rollout.h"

class CameraUpgrade;
class DeviceSession;
struct VersionReport;

// One camera of a fleet job from its start to its result. An upgrade runs in two phases, the upgrade itself
// (with its backup) and then the wait for the reboot; a query or a backup is one conversation.
class RolloutCameraRun : public QObject
{
public:
    RolloutCameraRun(Rollout* rollout, int index);

    int index() const { return m_index; }
    void start();
    // See Rollout::interrupt() and Rollout::abort().
    void interrupt();
    void abort();
    // A tick of the rollout's probe clock at `nowMs`: while the camera reboots, one connection attempt unless
    // one is under way, or NotBack once its deadline passed. False when it is not waiting for a reboot.
    bool probe(qint64 nowMs);

private:
    using State = Rollout::State;

    Rollout::Camera& camera() { return m_rollout->m_cameras[m_index]; }
    const RolloutOptions& options() const { return m_rollout->m_options; }
    void setState(State state) { m_rollout->setState(m_index, state); }
    DeviceSession* newSession(int idleTimeoutMs);

    void startUpgrade();
    void upgradeFinished(const Verdict& verdict, UpgradeStep step);
    void endUpload();
    void awaitReboot();
    void startQuery();
    void startBackup();
    void noteVersion(const VersionReport& report);

    void done(State result, const Verdict& verdict = Verdict(), State failedDuring = State::Waiting);

    Rollout* m_rollout;
    int m_index;
    bool m_done = false;
    bool m_interrupted = false;
    CameraUpgrade* m_upgrade = nullptr;
    DeviceSession* m_session = nullptr; // the query, the backup, or the probe after the reboot
    bool m_holdsUpload = true;          // one of the rollout's upload places
    QElapsedTimer m_sinceUpgrade;
    int m_grace = 0;
    bool m_seenDown = false;
    bool m_awaitingReboot = false;
    bool m_probing = false; // a connection attempt or a question is under way
};

#endif // ROLLOUTCAMERARUN_H
