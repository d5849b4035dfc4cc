#ifndef CAMSIM_DEVICESESSION_H
#define CAMSIM_DEVICESESSION_H

#include "record.h"

#include <QCryptographicHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <functional>

class QFile;
class QTcpSocket;
class QTimer;
class SimCamera;

// One TCP connection on port 5555: cuts records from the stream, receives raw uploads, and plays the
// camera's answers through an outgoing queue that can pause, pace, split and merge them.
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    DeviceSession(SimCamera* camera, QTcpSocket* socket);
    ~DeviceSession() override;

public slots:
    void drop(); // the camera reboots

private:
    enum class State { Records, Upload, Finished };
    enum class Upload { Firmware, Archive };

    struct Piece {
        QByteArray bytes;
        QJsonObject record; // set on a record's first piece, logged when it leaves
        int pauseMs = 0;
        std::function<void()> action;
    };

    void readIncoming();
    void process();
    void handleRecord(const record::Record& request);
    void beginUpload(Upload kind, const record::Record& request);
    void finishUpload();
    // Reading stops at `at` bytes of the upload: for good, or for the pause when one is given.
    bool holdReading(qint64 at, const char* fault, int pauseMs);
    void answerVersion(const record::Record& request);
    void answerBackup();
    void closeAndReboot(const QString& reason, const QByteArray& installedFirmware = QByteArray());

    void queueRecord(char type, qint32 status, qint32 length = 0, const QByteArray& name = QByteArray(),
                     const QByteArray& data = QByteArray());
    void queuePause(int ms);
    void queueAction(std::function<void()> action);
    void pump();
    void tick();

    SimCamera* camera;
    QTcpSocket* socket;
    QTimer* ticker;
    Layout readLayout;
    Layout writeLayout;
    State state = State::Records;
    QByteArray inbox;

    Upload upload = Upload::Firmware;
    qint64 expected = 0;
    qint64 received = 0;
    qint64 dropAt = -1;
    qint64 stallAt = -1;
    qint64 nextPauseAt = -1; // four pauses, after each fifth of the upload
    int pauses = 0;
    bool readingHeld = false;
    QByteArray expectedMd5;
    QByteArray uploadName;
    qint32 uploadParam = 0;
    QCryptographicHash hash{QCryptographicHash::Md5};
    QFile* file = nullptr;
    QByteArray archiveBytes;

    QList<Piece> outbox;
    bool pausing = false;
    bool closedByCamera = false;
    bool rebootQueued = false;
    QString rebootReason;
    QByteArray rebootFirmware;
    qint64 sendBudget = 0;
    qint64 readBudget = 0;
};

#endif // CAMSIM_DEVICESESSION_H
