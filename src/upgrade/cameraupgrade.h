#ifndef CAMERAUPGRADE_H
#define CAMERAUPGRADE_H

#include <QObject>
#include <QString>

#include "devicesession.h"
#include "firmwareimage.h"

// One camera's firmware upgrade from start to the camera's verdict: connect, ask its version, check the file
// name against the answer, stream the image and follow the camera's statuses. Used by the command line and by
// every camera of a rollout.
class CameraUpgrade : public QObject
{
    Q_OBJECT

public:
    enum class Stage { Connecting, Querying, Uploading, Verifying, Flashing };
    Q_ENUM(Stage)

    CameraUpgrade(const QString& host, const FirmwareImage& image, int workType, QObject* parent = nullptr);

    // Skips the name checks; the record-size limit stays.
    void setForce(bool force) { m_force = force; }
    // Silence from the camera that fails the upgrade (default two minutes: flashing is quiet).
    void setIdleTimeout(int msecs) { m_session->setIdleTimeout(msecs); }
    void start();
    void cancel();

signals:
    void stageChanged(CameraUpgrade::Stage stage);
    void versionReported(const VersionReport& report);
    void progress(qint64 sent, qint64 total);
    // ok: 'U' 7, or 'U' 5 and the camera hung up to flash. status: the last 'U' status seen (-1 none,
    // 'E' for an error record).
    void finished(bool ok, int status, const QString& reason);

private:
    void setStage(Stage stage);
    void onVersion(const VersionReport& report);
    void onFinished(DeviceSession::Operation operation, bool ok, const QString& reason);
    void finish(bool ok, const QString& reason);

    DeviceSession* m_session;
    QString m_host;
    FirmwareImage m_image;
    int m_workType;
    bool m_force = false;
    bool m_done = false;
    int m_status = -1;
    Stage m_stage = Stage::Connecting;
};

#endif // CAMERAUPGRADE_H
