#ifndef DEVICESESSION_H
#define DEVICESESSION_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>

#include "firmwarenames.h"
#include "tcprecord.h"
#include "verdict.h"

class QFile;
class QSaveFile;
class QTcpSocket;
class QTimer;

// One TCP conversation with one camera at port 5555, in either record layout: the requests, the raw file
// streams the camera asks for, and the camera's records turned into meaningful signals. Each connection gets
// a socket of its own, so nothing of one conversation is ever written on the next. Final statuses close the
// connection before they are reported.
class DeviceSession : public QObject
{
    Q_OBJECT

public:
    enum class Operation { None, Query, Upgrade, Backup, Restore };
    Q_ENUM(Operation)

    static constexpr int ConnectTimeoutMs = 1500;
    // Records the socket may hold unread: a camera that keeps sending cannot take more memory than this.
    static constexpr int MaxBufferedRecords = 64;

    explicit DeviceSession(QObject* parent = nullptr);
    ~DeviceSession() override;

    // 1 TYPE1 (2320-byte records), 2 TYPE2 (2124 bytes); anything else reads and writes nothing.
    void setWorkType(int workType) { m_workType = workType; }
    // An operation that hears nothing from the camera for this long fails as "timed out"; 0 never times out.
    void setIdleTimeout(int msecs) { m_idleTimeoutMs = msecs; }

    // Drops any earlier connection and its stream, then connects; connected() or connectFailed() follows,
    // the latter after ConnectTimeoutMs at the latest.
    void connectToCamera(const QString& host);
    // Drops any earlier connection, then talks over a stream socket that is already connected (a descriptor
    // opened elsewhere, such as one end of a local socket pair); false when the descriptor is unusable.
    bool adoptConnection(qintptr descriptor);
    bool isConnected() const;
    bool isOpen() const;
    Operation operation() const { return m_operation; }
    // Text of the last socket error.
    QString errorString() const { return m_lastError; }
    // Ends the connection and whatever it was streaming or receiving; reports nothing.
    void close();

    // 'Q' 10 (report: the connection closes after the answer) or 'Q' 9 (before an upgrade: it stays open).
    void query(bool report);
    // 'U' 9 for the file at path; the camera's 'U' 0 makes the session stream it.
    void upgrade(const QString& path, int fileType, const QByteArray& md5Text);
    // 'B'; the archive goes to target, or, when target is empty, to the plain name the camera announces in
    // the working directory. Written atomically and only when its MD5 matches; the file it replaces is first
    // copied to spareCopy when one is given.
    void backup(const QString& target, const QString& spareCopy = QString());
    // 'R' with the archive at path; the camera's 'R' 3 makes the session stream it.
    void restore(const QString& path, const QByteArray& md5Text);

signals:
    void connected();
    // ConnectTimedOut, or ConnectFailed with the system's words; the socket is gone.
    void connectFailed(const Verdict& verdict);
    // The connection was refused or broke (not when the session closed it); reported before what it ends.
    void socketError(QAbstractSocket::SocketError error, const QString& text);
    // The camera's progress through an upgrade: it asks for the file, has it all, has verified it.
    void upgradeStep(UpgradeStep step);
    void versionReport(const VersionReport& report);
    // 'B' 1 accepted: the archive is being received.
    void backupHeader(const QString& name, qint64 size);
    // Archive bytes received of the announced size, as often as streamProgress and when all have come.
    void archiveProgress(qint64 received, qint64 total);
    void archiveSaved(const QString& path, const QByteArray& md5Text, qint64 bytes);
    // The camera's progress through a restore: it asks for the archive, then restores it.
    void restoreStep(RestoreStep step);
    // Bytes of the streamed file the camera has taken in, at most about 30 times a second; the total only
    // once the camera says it has them all.
    void streamProgress(qint64 sent, qint64 total);
    // Once per operation: query answered, upgrade done ('U' 7; Outcome::Flashing when the camera verified the
    // file and hung up to flash it), archive saved, restore done; or why it failed. The connection is closed
    // first unless the operation leaves it open (a version question before an upgrade).
    void finished(DeviceSession::Operation operation, const Verdict& verdict);

private:
    const RecordLayout* layout() const { return layout_for_work_type(m_workType); }
    void newSocket();
    bool send(const QByteArray& record, Operation operation);
    void readRecords();
    void handleRecord(const DeviceRecord& record);
    void handleUpgrade(const DeviceRecord& record);
    void handleBackup(const DeviceRecord& record);
    void handleRestore(const DeviceRecord& record);
    void onSocketError(QAbstractSocket::SocketError error);
    void onConnectTimeout();
    void onIdleTimeout();
    void touch();
    void startStream(const QString& path);
    // Ends the operation when the file to stream cannot be opened or read to its end.
    void failStream();
    void continueStream();
    void reportProgress(qint64 sent, bool force);
    qint64 unsentBytes() const;
    void completeStream();
    void finishArchive();
    // Ends the operation and the connection (and with it a half-received archive, so the file on disk stays
    // as it was), then reports the verdict.
    void fail(Failure failure, const QString& detail = QString());
    Operation takeOperation();
    void report(Operation operation, const Verdict& verdict);
    void dropSocket();

    QTcpSocket* m_socket = nullptr;
    QTimer* m_connectTimer = nullptr;
    QTimer* m_idleTimer = nullptr;
    QTimer* m_drainTimer = nullptr;
    QString m_lastError;
    int m_workType = 1;
    int m_idleTimeoutMs = 0;
    Operation m_operation = Operation::None;
    bool m_reportQuery = false;
    bool m_flashing = false;

    // Outgoing stream (firmware or archive).
    QString m_streamPath;
    std::unique_ptr<QFile> m_stream;
    qint64 m_streamTotal = 0;
    qint64 m_streamSent = 0; // queued on the socket
    qint64 m_streamReported = -1;
    bool m_streamActive = false;
    QElapsedTimer m_progressClock;

    // Incoming archive.
    QString m_backupTarget;
    QString m_spareCopy;
    std::unique_ptr<QSaveFile> m_archive;
    QCryptographicHash m_archiveHash{QCryptographicHash::Md5};
    QByteArray m_announcedMd5;
    qint64 m_archiveSize = 0;
    qint64 m_archiveReceived = 0;
};

#endif // DEVICESESSION_H
