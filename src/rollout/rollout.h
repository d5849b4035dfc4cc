#ifndef ROLLOUT_H
#define ROLLOUT_H

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVector>

#include "firmwareimage.h"
#include "verdict.h"

class RolloutCameraRun;

// What a fleet job does to each camera.
enum class RolloutJob {
    Upgrade, // the firmware, each camera confirmed by its version after the reboot
    Query,   // its version report, nothing changed
    Backup,  // its configuration archive into the backup folder
};

// How a fleet job goes; the defaults are the command line's.
struct RolloutOptions {
    RolloutJob job = RolloutJob::Upgrade;
    int parallel = 4; // uploads in flight at once, 1 to Rollout::MaxParallel
    // Cameras under way, upgraded but not yet confirmed included: the blast radius of a bad image that passes
    // verification. 1 to Rollout::MaxUnconfirmed; 0 means 4 × parallel.
    int maxUnconfirmed = 0;
    // An upgrade's first cameras run alone; the rest start only when none of them failed. Other jobs change
    // nothing on the cameras and have neither canaries nor a threshold.
    int canary = 1;
    int maxFailures = 1; // failed cameras that stop an upgrade; 0 never stops it
    bool backupFirst = false;
    QString backupDir = QStringLiteral("backups"); // ADDRESS.tar.gz for the backup job and backupFirst
    bool confirm = true; // after the upgrade, wait for the reboot and ask the camera its version again
    int confirmTimeoutMs = 180000;
    int probeIntervalMs = 1000; // between connection attempts while a camera reboots
    int stallTimeoutMs = 30000; // a transfer the camera takes or sends nothing of for this long fails
    QString skipVersion;        // a camera whose version answer contains it is not upgraded
    // Not empty: a camera whose version answer names another model (any case) ends as OtherModel, before
    // any firmware byte is sent to it.
    QString model;
};

// One job to many cameras: for an upgrade a few canaries first, then the rest in parallel, no new camera once
// failures reach the threshold, and each camera confirmed by its version after the reboot. The operator may
// interrupt it in two steps (interrupt(), then abort()); every camera ends with a result either way.
class Rollout : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxParallel = 64;
    static constexpr int MaxUnconfirmed = 1024;

    enum class State {
        Waiting,
        BackingUp,
        Querying,
        Uploading,
        Verifying,
        Flashing,
        Rebooting,
        Confirming,
        // Results from here on; the successes first.
        Confirmed,  // answered after the reboot with another version text
        Unchanged,  // answered with the same text: a warning
        Succeeded,  // upgraded, confirmation off
        UpToDate,   // its version already held the text to skip: not upgraded
        DoneBefore, // done by an earlier run, as its report says: not touched
        Answered,   // a query job's camera answered
        Saved,      // a backup job's archive is saved and verified
        OtherModel, // its version answer names another model than the one asked for: left alone
        Failed,
        Skipped // the job ended before it began
    };
    Q_ENUM(State)

    // Why a run ended before every camera began.
    enum class StopReason {
        None,
        Interrupted,      // the operator's word
        CanaryFailed,     // a canary failed
        FailureThreshold, // the failures reached the threshold
    };
    Q_ENUM(StopReason)

    using Failure = ::Failure;

    struct Camera {
        QString address;
        QString deviceId;
        QString mac;   // when a search found the camera
        QString model; // from its version answer
        State state = State::Waiting;
        Failure failure = Failure::None;
        QString detail;                      // what the kind alone does not say, when there is anything
        State failedDuring = State::Waiting; // the state it was in when it failed
        QString versionBefore;               // the version it answered first; a query job's answer
        QString versionAfter;
        int partitions = -1; // entries of its partition table; -1 before it answered
        QString archive;     // where a backup job saved its archive
        QByteArray archiveMd5;
        qint64 bytesSent = 0; // of the firmware; of the archive received by a backup job
        qint64 bytesTotal = 0;
        qint64 startedMs = -1; // on the rollout's clock
        qint64 endedMs = -1;
        qint64 rebootDeadlineMs = -1; // when the wait for its reboot gives up, on the rollout's clock
    };

    explicit Rollout(QObject* parent = nullptr);
    ~Rollout() override;

    // A camera given twice is listed once. Only before start().
    void addCamera(const QString& address, const QString& deviceId = QString(),
                   const QString& mac = QString());
    // Cameras whose row of an earlier run's report is a success (see isDone()) become DoneBefore and are not
    // touched; they keep that row's versions, and its Device ID when they have none. A row is matched by
    // Device ID where both know it, else by address. Only before start();
    // returns how many.
    int resumeFrom(const QVector<Camera>& earlierRows);
    // Reads the file once for its size and MD5 and checks its name against the kind; workType 1 or 2 is the
    // record layout of every camera. Refused: NameTooLong, FileUnreadable or RefusedType.
    Verdict setFirmware(const QString& path, int fileType, int workType);
    // The record layout without a firmware, for the jobs that send none.
    void setWorkType(int workType) { m_workType = workType; }
    void setOptions(const RolloutOptions& options);
    const RolloutOptions& options() const { return m_options; }

    // False when there is no camera, an upgrade without firmware, or it already ran.
    bool start();
    // The first word of the operator (Ctrl-C, Stop): no new camera starts, a camera still before its upload
    // ends as Interrupted, transfers under way finish and get their verdict, waits for a reboot end as
    // Interrupted.
    void interrupt();
    // The second word: whatever still runs ends now as Interrupted.
    void abort();

    bool isRunning() const { return m_running; }
    // Ended with cameras that never began: interrupted, the failure threshold or a failed canary.
    bool wasStopped() const { return m_stopped; }
    bool wasInterrupted() const { return m_interrupted; }
    // What stopped it: the first of the operator, a failed canary and the threshold; None when it was not
    // stopped.
    StopReason stopReason() const { return m_stopped || m_interrupted ? m_stopReason : StopReason::None; }
    // The failures counted when the threshold or a canary stopped it.
    int failuresAtStop() const { return m_failuresAtStop; }
    // The rollout's clock: milliseconds since start().
    qint64 clockMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }
    const QVector<Camera>& cameras() const { return m_cameras; }
    // Whether the camera at this address is part of the running job and not yet done.
    bool isBusy(const QString& address) const;
    int count(State state) const;
    // From the camera's start to its result, or to now while it runs; -1 when it never started.
    double seconds(int index) const;

    static bool isFinal(State state);
    // The results that count as done: the exit status's success and what a resumed run leaves alone.
    static bool isDone(State state);
    // Lower-case words, as the report and the command line show them: "backing up", "done-before".
    static QString stateName(State state);
    // The state of a name stateName() gives; Waiting for any other text.
    static State stateFromName(const QString& name);

signals:
    void cameraChanged(int index);
    void cameraProgress(int index, qint64 sent, qint64 total);
    void finished();

private:
    friend class RolloutCameraRun;
    // The one place that decides which camera starts next.
    void fill();
    // A camera has its file (or ended): its upload place goes to the next one.
    void uploadEnded();
    // One clock for every camera waiting for its reboot: one probe each per tick, not a timer each.
    void watchReboots();
    void probeTick();
    void setState(int index, State state);
    void cameraDone(int index, State result, const Verdict& verdict = Verdict(),
                    State failedDuring = State::Waiting);
    void halt(StopReason reason);
    void finishIfIdle();

    RolloutOptions m_options;
    FirmwareImage m_image;
    int m_workType = 1;
    bool m_hasImage = false;
    QVector<Camera> m_cameras;
    QVector<RolloutCameraRun*> m_runs; // in progress
    int m_uploads = 0;                 // of them, those still before the end of their upload
    QElapsedTimer m_clock;
    QTimer m_probeClock;
    int m_next = 0;     // first camera not yet started
    int m_started = 0;  // cameras started
    int m_canaries = 0; // how many of the first cameras started run alone
    QSet<int> m_canaryIndices;
    int m_canariesLeft = 0;
    int m_failures = 0;
    StopReason m_stopReason = StopReason::None;
    int m_failuresAtStop = 0;
    bool m_running = false;
    bool m_halted = false;
    bool m_stopped = false;
    bool m_interrupted = false;
    bool m_aborted = false;
    bool m_finished = false;
};

#endif // ROLLOUT_H
