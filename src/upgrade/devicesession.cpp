#include "devicesession.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTcpSocket>
#include <QTimer>

#include <sys/ioctl.h>
#ifdef __linux__
#include <linux/sockios.h>
#endif

namespace
{
// How much of the streamed file may wait in the socket's queue; refilled as it drains.
constexpr qint64 kStreamWindow = 4 << 20;
constexpr qint64 kStreamPiece = 256 << 10;
constexpr qint64 kProgressIntervalMs = 33;
} // namespace

DeviceSession::DeviceSession(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<VersionReport>("VersionReport");
    qRegisterMetaType<DeviceSession::Operation>("DeviceSession::Operation");
    qRegisterMetaType<Verdict>("Verdict");
    qRegisterMetaType<UpgradeStep>("UpgradeStep");
    qRegisterMetaType<RestoreStep>("RestoreStep");
    m_connectTimer = new QTimer(this);
    m_connectTimer->setSingleShot(true);
    connect(m_connectTimer, &QTimer::timeout, this, &DeviceSession::onConnectTimeout);
    m_idleTimer = new QTimer(this);
    m_idleTimer->setSingleShot(true);
    connect(m_idleTimer, &QTimer::timeout, this, &DeviceSession::onIdleTimeout);
    m_drainTimer = new QTimer(this);
    m_drainTimer->setSingleShot(true);
    connect(m_drainTimer, &QTimer::timeout, this, &DeviceSession::continueStream);
}

DeviceSession::~DeviceSession()
{
    dropSocket();
}

void DeviceSession::dropSocket()
{
    m_connectTimer->stop();
    m_idleTimer->stop();
    m_stream.reset();
    m_streamActive = false;
    m_drainTimer->stop();
    if (m_archive)
        m_archive->cancelWriting();
    m_archive.reset();
    m_operation = Operation::None;
    m_flashing = false;
    if (!m_socket)
        return;
    // Unhooked first: what the old connection still has to say reaches nobody.
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void DeviceSession::newSocket()
{
    dropSocket();
    m_socket = new QTcpSocket(this);
    if (const RecordLayout* records = layout())
        m_socket->setReadBufferSize(qint64(records->size) * MaxBufferedRecords);
    connect(m_socket, &QTcpSocket::readyRead, this, &DeviceSession::readRecords);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &DeviceSession::onSocketError);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &DeviceSession::continueStream);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_connectTimer->stop();
        emit connected();
    });
}

void DeviceSession::connectToCamera(const QString& host)
{
    newSocket();
    m_connectTimer->start(ConnectTimeoutMs);
    m_socket->connectToHost(host, kDevicePort, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

bool DeviceSession::adoptConnection(qintptr descriptor)
{
    newSocket();
    if (m_socket->setSocketDescriptor(descriptor))
        return true;
    dropSocket();
    return false;
}

bool DeviceSession::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool DeviceSession::isOpen() const
{
    return m_socket && m_socket->isOpen();
}

void DeviceSession::close()
{
    dropSocket();
}

void DeviceSession::onConnectTimeout()
{
    if (!m_socket || m_socket->state() == QAbstractSocket::ConnectedState)
        return;
    dropSocket();
    emit connectFailed(Verdict::failed(Failure::ConnectTimedOut));
}

bool DeviceSession::send(const QByteArray& record, Operation operation)
{
    if (!isConnected() || record.isEmpty()) {
        emit finished(operation, Verdict::failed(Failure::NotConnected));
        return false;
    }
    m_operation = operation;
    m_flashing = false;
    m_socket->write(record);
    touch();
    return true;
}

void DeviceSession::touch()
{
    if (m_idleTimeoutMs > 0 && m_operation != Operation::None)
        m_idleTimer->start(m_idleTimeoutMs);
}

void DeviceSession::onIdleTimeout()
{
    if (m_operation == Operation::None)
        return;
    fail(Failure::TimedOut);
}

void DeviceSession::query(bool report)
{
    const RecordLayout* records = layout();
    m_reportQuery = report;
    send(records ? query_request(*records, report ? 10 : 9) : QByteArray(), Operation::Query);
}

void DeviceSession::upgrade(const QString& path, int fileType, const QByteArray& md5Text)
{
    const RecordLayout* records = layout();
    const QFileInfo file(path);
    m_streamPath = path;
    const QByteArray request =
        records ? upgrade_request(*records, file.size(), fileType, file.fileName().toLocal8Bit(), md5Text)
                : QByteArray();
    send(request, Operation::Upgrade);
}

void DeviceSession::backup(const QString& target, const QString& spareCopy)
{
    const RecordLayout* records = layout();
    m_backupTarget = target;
    m_spareCopy = spareCopy;
    m_archive.reset();
    send(records ? backup_request(*records) : QByteArray(), Operation::Backup);
}

void DeviceSession::restore(const QString& path, const QByteArray& md5Text)
{
    const RecordLayout* records = layout();
    m_streamPath = path;
    send(records ? restore_request(*records, QFileInfo(path).size(), md5Text) : QByteArray(),
         Operation::Restore);
}

void DeviceSession::readRecords()
{
    const RecordLayout* records = layout();
    if (!records)
        return;
    // A handler may close the connection: the socket is gone with the records still buffered on it.
    QTcpSocket* socket = m_socket;
    while (socket == m_socket && socket->bytesAvailable() >= records->size) {
        const QByteArray bytes = socket->read(records->size);
        touch();
        handleRecord(read_record(*records, bytes.constData()));
    }
}

void DeviceSession::handleRecord(const DeviceRecord& record)
{
    switch (record.type) {
    case 'U':
        handleUpgrade(record);
        break;
    case 'E':
        fail(Failure::ArmMissing);
        break;
    case 'Q': {
        VersionReport version;
        version.version = QString::fromLatin1(record.name);
        version.partitionText = QString::fromLatin1(record.dataText());
        version.partitions = parse_partitions(version.partitionText);
        const Operation operation = m_operation == Operation::Query ? takeOperation() : Operation::None;
        if (operation == Operation::Query && m_reportQuery)
            dropSocket();
        emit versionReport(version);
        report(operation, Verdict());
        break;
    }
    case 'B':
        if (m_operation == Operation::Backup)
            handleBackup(record);
        break;
    case 'R':
        if (m_operation == Operation::Restore)
            handleRestore(record);
        break;
    default:
        break;
    }
}

DeviceSession::Operation DeviceSession::takeOperation()
{
    const Operation operation = m_operation;
    m_operation = Operation::None;
    m_idleTimer->stop();
    return operation;
}

void DeviceSession::report(Operation operation, const Verdict& verdict)
{
    if (operation != Operation::None)
        emit finished(operation, verdict);
}

void DeviceSession::fail(Failure failure, const QString& detail)
{
    const Operation operation = takeOperation();
    dropSocket();
    report(operation, Verdict::failed(failure, detail));
}

void DeviceSession::handleUpgrade(const DeviceRecord& record)
{
    const bool upgrading = m_operation == Operation::Upgrade;
    switch (record.status) {
    case 0:
        // Reported before streaming: a file that cannot be read ends the upgrade, and that must be the last
        // word.
        emit upgradeStep(UpgradeStep::Uploading);
        if (upgrading && m_operation == Operation::Upgrade)
            startStream(m_streamPath);
        break;
    case 3:
        completeStream();
        emit upgradeStep(UpgradeStep::Verifying);
        break;
    case 5:
        m_flashing = upgrading;
        emit upgradeStep(UpgradeStep::Flashing);
        break;
    case 7:
        if (upgrading) {
            const Operation operation = takeOperation();
            dropSocket();
            report(operation, Verdict());
            break;
        }
        Q_FALLTHROUGH();
    case 1:
    case 6:
    case 8: {
        // These end the connection whatever was asked: a query, backup or restore under way fails too.
        const Failure failure = !upgrading           ? Failure::UnexpectedStatus
                                : record.status == 1 ? Failure::DiskFull
                                : record.status == 6 ? Failure::VerifyFailed
                                                     : Failure::UpgradeFailed;
        fail(failure, upgrading ? QString() : QString::number(record.status));
        break;
    }
    default:
        break;
    }
}

void DeviceSession::handleBackup(const DeviceRecord& record)
{
    switch (record.status) {
    case 1: {
        const QString name = QString::fromLatin1(record.name);
        const QString target = m_backupTarget.isEmpty() ? name : m_backupTarget;
        if ((m_backupTarget.isEmpty() && !is_plain_file_name(name)) || record.length < 0) {
            fail(Failure::ArchiveRefused);
            return;
        }
        m_announcedMd5 = record.dataText();
        m_archiveSize = record.length;
        m_archiveReceived = 0;
        m_archiveHash.reset();
        m_archive.reset(new QSaveFile(target));
        if (!m_archive->open(QIODevice::WriteOnly)) {
            qDebug() << "open file error!";
            fail(Failure::CannotWrite, target);
            return;
        }
        m_progressClock.start();
        emit backupHeader(name, m_archiveSize);
        break;
    }
    case 2: {
        if (!m_archive || record.length < 0 || record.length > kRecordDataSize) {
            fail(Failure::ArchiveBroken);
            return;
        }
        const QByteArray chunk = record.data.left(record.length);
        if (m_archive->write(chunk) != chunk.size()) {
            fail(Failure::CannotWrite, m_archive->fileName());
            return;
        }
        m_archiveHash.addData(chunk);
        m_archiveReceived += chunk.size();
        if (m_archiveReceived == m_archiveSize || m_progressClock.elapsed() >= kProgressIntervalMs) {
            m_progressClock.restart();
            emit archiveProgress(m_archiveReceived, m_archiveSize);
        }
        if (m_archiveReceived == m_archiveSize) {
            qDebug() << "goto RECV_FINISH";
            finishArchive();
        }
        break;
    }
    case 3:
        finishArchive();
        break;
    case 4:
        fail(Failure::BackupFailed);
        break;
    default:
        break;
    }
}

void DeviceSession::finishArchive()
{
    if (!m_archive) {
        fail(Failure::ArchiveBroken);
        return;
    }
    const QByteArray md5 = m_archiveHash.result().toHex();
    qDebug() << "backupfileMD5: " << md5;
    if (md5 != m_announcedMd5) {
        fail(Failure::ArchiveMismatch);
        return;
    }
    const QString path = m_archive->fileName();
    if (!m_spareCopy.isEmpty() && QFile::exists(path)) {
        QFile::remove(m_spareCopy);
        QFile::copy(path, m_spareCopy);
    }
    if (!m_archive->commit()) {
        m_archive.reset();
        fail(Failure::CannotWrite, path);
        return;
    }
    m_archive.reset();
    const qint64 bytes = m_archiveReceived;
    const Operation operation = takeOperation();
    dropSocket();
    emit archiveSaved(path, md5, bytes);
    report(operation, Verdict());
}

void DeviceSession::handleRestore(const DeviceRecord& record)
{
    switch (record.status) {
    case 3:
        emit restoreStep(RestoreStep::Uploading);
        startStream(m_streamPath);
        break;
    case 4:
        // Restoring or refusing the archive: either way the camera has all of it.
        completeStream();
        emit restoreStep(RestoreStep::Restoring);
        break;
    case 5:
        completeStream();
        fail(Failure::RestoreFailed);
        break;
    case 2:
        fail(Failure::DiskFull);
        break;
    case 6: {
        const Operation operation = takeOperation();
        dropSocket();
        report(operation, Verdict());
        break;
    }
    default:
        break;
    }
}

void DeviceSession::startStream(const QString& path)
{
    m_stream.reset(new QFile(path));
    if (!m_stream->open(QIODevice::ReadOnly)) {
        qDebug() << "open file error!";
        failStream();
        return;
    }
    m_streamSent = 0;
    m_streamTotal = m_stream->size();
    m_streamActive = true;
    m_streamReported = -1;
    m_progressClock.start();
    continueStream();
}

void DeviceSession::failStream()
{
    fail(Failure::FileUnreadable, m_streamPath);
}

// Reads the file in large pieces while the socket's queue is short; called again as the socket sends.
void DeviceSession::continueStream()
{
    touch();
    if (!m_streamActive || !m_socket)
        return;
    while (m_stream && m_streamSent < m_streamTotal && m_socket->bytesToWrite() < kStreamWindow) {
        const QByteArray piece = m_stream->read(qMin(m_streamTotal - m_streamSent, kStreamPiece));
        if (piece.isEmpty()) {
            // The file shrank or cannot be read: the camera would wait for bytes that never come.
            qDebug() << "read error while streaming" << m_stream->fileName();
            failStream();
            return;
        }
        m_socket->write(piece);
        m_streamSent += piece.size();
    }
    if (m_streamSent == m_streamTotal)
        m_stream.reset();
    // Counted as the camera takes bytes in, not as they are queued: a whole file can fit the queues, and a
    // slow link must show. Once everything is queued, the system's queue is watched until it is empty. The
    // last byte counts only when the camera says it has them all: a reset connection leaves nothing unsent
    // either.
    const qint64 queued = unsentBytes();
    reportProgress(qBound<qint64>(0, m_streamSent - queued, m_streamTotal - 1), false);
    if (!m_stream && queued > 0)
        m_drainTimer->start(kProgressIntervalMs);
}

// The camera says it has the whole file: the last of it need not be watched leaving the system's queue.
void DeviceSession::completeStream()
{
    if (!m_streamActive || m_stream)
        return;
    m_streamActive = false;
    m_drainTimer->stop();
    reportProgress(m_streamTotal, true);
}

qint64 DeviceSession::unsentBytes() const
{
    qint64 unsent = m_socket->bytesToWrite();
#ifdef SIOCOUTQ
    int system = 0;
    if (::ioctl(int(m_socket->socketDescriptor()), SIOCOUTQ, &system) == 0)
        unsent += system;
#endif
    return unsent;
}

void DeviceSession::reportProgress(qint64 sent, bool force)
{
    if (sent <= m_streamReported || (!force && m_progressClock.elapsed() < kProgressIntervalMs))
        return;
    m_progressClock.restart();
    m_streamReported = sent;
    emit streamProgress(sent, m_streamTotal);
}

void DeviceSession::onSocketError(QAbstractSocket::SocketError error)
{
    if (!m_socket)
        return;
    const QString text = m_socket->errorString();
    m_lastError = text;
    const bool connecting = m_connectTimer->isActive();
    const bool flashed = m_operation == Operation::Upgrade && m_flashing;
    const Operation operation = takeOperation();
    // The connection is over: it goes with its stream and a half-received archive before anyone is told, so a
    // face never finds it still open.
    dropSocket();
    emit socketError(error, text);
    if (connecting) {
        emit connectFailed(Verdict::failed(Failure::ConnectFailed, text));
        return;
    }
    // 'U' 5 and then the camera hangs up: it verified the file and is flashing it.
    report(operation, flashed ? Verdict{Outcome::Flashing, Failure::None, QString()}
                              : Verdict::failed(Failure::Dropped, text));
}
