#ifndef ROLLOUT_H
#define ROLLOUT_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

#include "firmwareimage.h"
#include "verdict.h"

class RolloutCameraRun;

// How a rollout goes; the defaults are the command line's.
struct RolloutOptions {
    int parallel = 4;    // cameras in progress at once, 1 to Rollout::MaxParallel
    int canary = 1;      // the first cameras run alone; the rest start only when none of them failed
    int maxFailures = 1; // failed cameras that stop the rollout; 0 never stops it
    bool backupFirst = false;
    QString backupDir = QStringLiteral("backups");
    bool confirm = true; // after the upgrade, wait for the reboot and ask the camera its version again
    int confirmTimeoutMs = 180000;
    int probeIntervalMs = 1000; // between connection attempts while a camera reboots
};

// One firmware image to many cameras: a few canaries first, then the rest in parallel, no new camera once
// failures reach the threshold, and each camera confirmed by its version after the reboot.
class Rollout : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxParallel = 32;

    enum class State {
        Waiting,
        BackingUp,
        Querying,
        Uploading,
        Verifying,
        Flashing,
        Rebooting,
        Confirming,
        Confirmed, // answered after the reboot with another version text
        Unchanged, // answered with the same text: a warning
        Succeeded, // upgraded, confirmation off
        Failed,
        Skipped // the rollout stopped before it began
    };
    Q_ENUM(State)

    using Failure = ::Failure;

    struct Camera {
        QString address;
        QString deviceId;
        State state = State::Waiting;
        Failure failure = Failure::None;
        QString detail;                      // what the kind alone does not say, when there is anything
        State failedDuring = State::Waiting; // the state it was in when it failed
        QString versionBefore;
        QString versionAfter;
        qint64 bytesSent = 0;
        qint64 bytesTotal = 0;
        qint64 startedMs = -1; // on the rollout's clock
        qint64 endedMs = -1;
    };

    explicit Rollout(QObject* parent = nullptr);
    ~Rollout() override;

    // A camera given twice is listed once. Only before start().
    void addCamera(const QString& address, const QString& deviceId = QString());
    // Reads the file once for its size and MD5 and checks its name against the kind; workType 1 or 2 is the
    // record layout of every camera. Refused: NameTooLong, FileUnreadable or RefusedType.
    Verdict setFirmware(const QString& path, int fileType, int workType);
    void setOptions(const RolloutOptions& options);

    // False when there is no camera or no firmware, or it already ran.
    bool start();
    // No new camera starts; the running ones finish.
    void stop();

    bool isRunning() const { return m_running; }
    // Ended before every camera began: stop(), the failure threshold or a failed canary.
    bool wasStopped() const { return m_stopped; }
    const QVector<Camera>& cameras() const { return m_cameras; }
    // Whether the camera at this address is part of the rollout and not yet done.
    bool isBusy(const QString& address) const;
    int count(State state) const;
    // From the camera's start to its result, or to now while it runs; -1 when it never started.
    double seconds(int index) const;

    static bool isFinal(State state);
    // Lower-case words, as the report and the command line show them: "backing up", "confirmed".
    static QString stateName(State state);

signals:
    void cameraChanged(int index);
    void cameraProgress(int index, qint64 sent, qint64 total);
    void finished();

private:
    friend class RolloutCameraRun;
    void fill();
    void setState(int index, State state);
    void cameraDone(int index, State result, const Verdict& verdict = Verdict(),
                    State failedDuring = State::Waiting);
    void halt();
    void finishIfIdle();

    RolloutOptions m_options;
    FirmwareImage m_image;
    int m_workType = 1;
    bool m_hasImage = false;
    QVector<Camera> m_cameras;
    QElapsedTimer m_clock;
    int m_next = 0;     // first camera not yet started
    int m_active = 0;   // cameras in progress
    int m_canaries = 0; // the first cameras, which run alone
    int m_canariesLeft = 0;
    int m_failures = 0;
    bool m_running = false;
    bool m_halted = false;
    bool m_stopped = false;
    bool m_finished = false;
};

#endif // ROLLOUT_H
