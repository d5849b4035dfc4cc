#ifndef CAMERAUPGRADE_H
#define CAMERAUPGRADE_H

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

#include "firmwareimage.h"
#include "firmwarenames.h"
#include "verdict.h"

class DeviceSession;
class FileDigest;
class QTimer;

// One camera's firmware upgrade from the click to the camera's verdict, the same for the window, the command
// line and every camera of a rollout: the name checks, the file's MD5, an optional backup that is saved and
// verified before the first byte of firmware leaves, the version question, the check of the name against
// this camera's own answer, the upload and the camera's statuses. Each step goes on when the signal it waits
// for comes, and every wait has a limit.
class CameraUpgrade : public QObject
{
    Q_OBJECT

public:
    struct Plan {
        QString host;
        int workType = 1;
        // The file and its type; its MD5 is computed first when md5Text is empty.
        FirmwareImage image;
        // Skips the name checks; the record's name limit stays.
        bool force = false;
        // A file name that does not suit the camera's answer: ask through mismatchFound() instead of
        // refusing.
        bool askOnMismatch = false;
        // Partitions known before connecting: a partition upgrade is checked against them at once, and
        // against the camera's own table once it answers.
        QVector<PartitionRecord> knownPartitions;
        // Not empty: the camera's configuration archive is saved here first, the file it replaces kept as
        // spareCopy when that is given. The firmware goes only after the archive's MD5 matched.
        QString backupTarget;
        QString spareCopy;
    };

    static constexpr int DefaultQueryTimeoutMs = 10000;
    static constexpr int DefaultIdleTimeoutMs = 120000; // flashing is quiet

    // With a session of its own.
    explicit CameraUpgrade(const Plan& plan, QObject* parent = nullptr);
    // Over a session shared with other conversations, one at a time: its owner cancels the upgrade before it
    // uses the session for anything else.
    CameraUpgrade(const Plan& plan, DeviceSession* session, QObject* parent = nullptr);
    ~CameraUpgrade() override;

    // Silence from the camera that fails the upgrade, for a session of its own (0 never).
    void setIdleTimeout(int msecs);
    // How long the camera may take to answer the version question.
    void setQueryTimeout(int msecs) { m_queryTimeoutMs = msecs; }

    // Everything refused before the first connection ends in finished() before start() returns.
    void start();
    // Ends it now, the connection with it; finished() reports Cancelled.
    void cancel();
    // The answer to mismatchFound(): go on with the upload, or end as Declined.
    void proceed();
    void decline();

    const Plan& plan() const { return m_plan; }
    UpgradeStep step() const { return m_step; }
    bool isRunning() const { return m_started && !m_done; }

signals:
    void stepChanged(UpgradeStep step);
    void hashProgress(qint64 done, qint64 total);
    void versionReported(const VersionReport& report);
    // The file name does not suit this camera; the connection waits for proceed() or decline(). Emitted from
    // the event loop, never from inside the socket's handlers, so a face may answer with a modal box.
    void mismatchFound(const VersionReport& report);
    // Bytes of the firmware the camera has taken in.
    void progress(qint64 sent, qint64 total);
    // Once. `step` is the step it ended in: for a failure, where it failed.
    void finished(const Verdict& verdict, UpgradeStep step);

private:
    void hook();
    void setStep(UpgradeStep step);
    void afterHashing();
    void connectForUpgrade();
    void onConnected();
    void onConnectFailed(const Verdict& verdict);
    void onSessionFinished(int operation, const Verdict& verdict);
    void onVersion(const VersionReport& report);
    void onCameraStep(UpgradeStep step);
    void upload();
    void finish(const Verdict& verdict);

    Plan m_plan;
    DeviceSession* m_session;
    bool m_ownSession;
    std::unique_ptr<FileDigest> m_digest;
    QTimer* m_queryTimer;
    int m_queryTimeoutMs = DefaultQueryTimeoutMs;
    UpgradeStep m_step = UpgradeStep::Checking;
    bool m_started = false;
    bool m_done = false;
    bool m_asking = false;
    bool m_uploading = false;
};

#endif // CAMERAUPGRADE_H
