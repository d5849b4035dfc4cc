#include "cameraupgrade.h"

namespace
{
constexpr int kDefaultIdleTimeoutMs = 120000;
}

CameraUpgrade::CameraUpgrade(const QString& host, const FirmwareImage& image, int workType, QObject* parent)
    : QObject(parent), m_session(new DeviceSession(this)), m_host(host), m_image(image), m_workType(workType)
{
    m_session->setWorkType(workType);
    m_session->setIdleTimeout(kDefaultIdleTimeoutMs);
    connect(m_session, &DeviceSession::connected, this, [this] {
        setStage(Stage::Querying);
        m_session->query(false);
    });
    connect(m_session, &DeviceSession::connectFailed, this,
            [this](const QString& reason) { finish(false, reason); });
    connect(m_session, &DeviceSession::versionReport, this, &CameraUpgrade::onVersion);
    connect(m_session, &DeviceSession::streamProgress, this, [this](qint64 sent, qint64 total) {
        setStage(Stage::Uploading);
        emit progress(sent, total);
        if (sent == total)
            setStage(Stage::Verifying);
    });
    connect(m_session, &DeviceSession::upgradeStatus, this, [this](int status) {
        m_status = status;
        if (status == 0)
            setStage(Stage::Uploading);
        else if (status == 5)
            setStage(Stage::Flashing);
    });
    connect(m_session, &DeviceSession::errorRecord, this, [this] { m_status = 'E'; });
    connect(m_session, &DeviceSession::finished, this, &CameraUpgrade::onFinished);
}

void CameraUpgrade::start()
{
    if (!m_force && !m_image.nameMatchesType()) {
        finish(false, QStringLiteral("refused name"));
        return;
    }
    setStage(Stage::Connecting);
    m_session->connectToCamera(m_host);
}

void CameraUpgrade::cancel()
{
    m_session->close();
    finish(false, QStringLiteral("cancelled"));
}

void CameraUpgrade::setStage(Stage stage)
{
    // Only forward: a small file may be out of the socket before 'U' 0 has been reported.
    if (m_done || stage <= m_stage)
        return;
    m_stage = stage;
    emit stageChanged(stage);
}

void CameraUpgrade::onVersion(const VersionReport& report)
{
    if (m_done || m_stage != Stage::Querying)
        return;
    emit versionReported(report);
    if (!m_force && !m_image.nameMatchesCamera(report, m_workType)) {
        m_session->close();
        finish(false, QStringLiteral("refused name"));
        return;
    }
    m_session->upgrade(m_image.path, m_image.fileType, m_image.md5Text);
}

void CameraUpgrade::onFinished(DeviceSession::Operation operation, bool ok, const QString& reason)
{
    // The version query ends well on its own; only its failure ends the upgrade.
    if (operation == DeviceSession::Operation::Query && ok)
        return;
    finish(ok, reason);
}

void CameraUpgrade::finish(bool ok, const QString& reason)
{
    if (m_done)
        return;
    m_done = true;
    emit finished(ok, m_status, reason);
}
