#include "devicesession.h"

#include "eventlog.h"
#include "simcamera.h"

#include <QFile>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

namespace
{

constexpr int kTickMs = 50;
constexpr int kSplitGapMs = 100;
constexpr int kCloseGraceMs = 300;

Layout otherLayout(Layout layout)
{
    return layout == Layout::Type1 ? Layout::Type2 : Layout::Type1;
}

// A text field that fills its whole field and so carries no NUL.
QByteArray unterminated(const QByteArray& text, int fieldSize)
{
    QByteArray filled = text.left(fieldSize);
    while (filled.size() < fieldSize)
        filled.append(filled.size() == text.size() ? ' ' : 'X');
    return filled;
}

QJsonObject recordJson(const record::Record& r)
{
    const QByteArray data = record::textOf(r.data).left(64);
    return {{"type", QString(QChar(r.type))},
            {"length", r.length},
            {"status", r.status},
            {"param", r.param},
            {"name", EventLog::text(record::textOf(r.name))},
            {"data", EventLog::text(data)}};
}

} // namespace

DeviceSession::DeviceSession(SimCamera* camera, QTcpSocket* socket)
    : QObject(camera), camera(camera), socket(socket), ticker(new QTimer(this))
{
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    readLayout = camera->profile.layout;
    writeLayout = camera->profile.faults.otherLayout ? otherLayout(readLayout) : readLayout;
    const qint64 rate = camera->profile.faults.slowLink;
    if (rate > 0) {
        // Qt stops reading from the kernel when its buffer is full, so the peer really slows down.
        socket->setReadBufferSize(qMax<qint64>(rate * kTickMs / 1000, 512));
        ticker->start(kTickMs);
    }
    connect(ticker, &QTimer::timeout, this, &DeviceSession::tick);
    connect(socket, &QTcpSocket::readyRead, this, &DeviceSession::readIncoming);
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        this->camera->log->write("tcp_close", this->camera->name(),
                                 {{"by", closedByCamera ? "camera" : "peer"},
                                  {"state", state == State::Upload ? "upload" : "records"},
                                  {"received", received}});
        state = State::Finished;
        // A camera that has decided to reboot does so even when the tool hangs up first.
        if (rebootQueued)
            this->camera->reboot(rebootReason, rebootFirmware);
        deleteLater();
    });
    tick();
}

DeviceSession::~DeviceSession()
{
    if (file) {
        file->close();
        delete file;
    }
}

void DeviceSession::drop()
{
    if (state == State::Finished)
        return;
    closedByCamera = true;
    state = State::Finished;
    outbox.clear();
    if (file)
        file->close(); // what arrived stays on disk for the test to compare
    socket->abort();
    deleteLater();
}

void DeviceSession::tick()
{
    const qint64 rate = camera->profile.faults.slowLink;
    if (rate > 0) {
        sendBudget = qMax<qint64>(rate * kTickMs / 1000, 1);
        readBudget = sendBudget;
    }
    readIncoming();
    pump();
}

void DeviceSession::readIncoming()
{
    if (state == State::Finished)
        return;
    const bool paced = camera->profile.faults.slowLink > 0;
    qint64 wanted = socket->bytesAvailable();
    if (paced)
        wanted = qMin(wanted, readBudget);
    if (wanted <= 0)
        return;
    inbox.append(socket->read(wanted));
    if (paced)
        readBudget -= wanted;
    // Each answer is queued whole before anything leaves, so records can be merged across pauses.
    process();
    pump();
}

void DeviceSession::process()
{
    const int recordSize = record::size(readLayout);
    while (state != State::Finished) {
        if (state == State::Records) {
            if (inbox.size() < recordSize)
                return;
            const record::Record request = record::decode(inbox.left(recordSize), readLayout);
            inbox.remove(0, recordSize);
            handleRecord(request);
            continue;
        }
        // Raw upload bytes.
        if (inbox.isEmpty())
            return;
        qint64 take = qMin<qint64>(inbox.size(), expected - received);
        if (dropAt >= 0)
            take = qMin(take, dropAt - received);
        const QByteArray piece = inbox.left(int(take));
        inbox.remove(0, int(take));
        hash.addData(piece);
        if (file)
            file->write(piece);
        else
            archiveBytes.append(piece);
        received += take;
        if (dropAt >= 0 && received >= dropAt) {
            camera->log->write("fault", camera->name(), {{"fault", "drop-upload"}, {"received", received}});
            drop();
            return;
        }
        if (received == expected)
            finishUpload();
    }
}

void DeviceSession::handleRecord(const record::Record& request)
{
    QJsonObject fields = recordJson(request);
    if (request.type == 'Q' || request.type == 'B')
        fields.insert("token_ok", record::textOf(request.name) == record::kToken &&
                                      request.data.left(4) == record::kToken);
    camera->log->write("record_in", camera->name(), fields);

    const Faults& faults = camera->profile.faults;
    switch (request.type) {
    case 'Q':
        answerVersion(request);
        break;
    case 'U':
        if (faults.diskFull || request.length < 0 || request.length > camera->settings.maxUpload)
            queueRecord('U', 1);
        else
            beginUpload(Upload::Firmware, request);
        break;
    case 'B':
        queuePause(faults.backupDelayMs);
        if (faults.backupFail)
            queueRecord('B', 4);
        else
            answerBackup();
        break;
    case 'R':
        if (faults.diskFull || request.length < 0 || request.length > camera->settings.maxUpload)
            queueRecord('R', 2);
        else
            beginUpload(Upload::Archive, request);
        break;
    default:
        camera->log->write("ignored", camera->name(), {{"reason", "unknown record type"}});
        break;
    }
}

void DeviceSession::beginUpload(Upload kind, const record::Record& request)
{
    upload = kind;
    expected = request.length;
    received = 0;
    expectedMd5 = record::textOf(request.data);
    uploadName = record::textOf(request.name);
    uploadParam = request.param;
    hash.reset();
    archiveBytes.clear();
    dropAt = -1;
    if (kind == Upload::Firmware) {
        const qint64 dropSetting = camera->profile.faults.dropUploadAt;
        dropAt = dropSetting == -2 ? expected / 2 : dropSetting;
        file = new QFile(camera->storePath("firmware", uploadName), this);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
            camera->log->write("error", camera->name(),
                               {{"reason", "cannot store upload: " + file->errorString()}});
        queueRecord('U', 0);
    } else {
        queueRecord('R', 3);
    }
    state = State::Upload;
    if (expected == 0)
        finishUpload();
}

void DeviceSession::finishUpload()
{
    state = State::Records;
    const QByteArray md5 = hash.result().toHex();
    const bool md5Ok = md5 == expectedMd5;
    QString path;
    if (upload == Upload::Firmware) {
        path = file->fileName();
        file->close();
        delete file;
        file = nullptr;
    } else {
        QFile stored(camera->storePath("archive", uploadName));
        if (stored.open(QIODevice::WriteOnly | QIODevice::Truncate))
            stored.write(archiveBytes);
        path = stored.fileName();
    }
    camera->log->write("file_received", camera->name(),
                       {{"kind", upload == Upload::Firmware ? "firmware" : "archive"},
                        {"name", EventLog::text(uploadName)},
                        {"param", uploadParam},
                        {"path", path},
                        {"size", received},
                        {"md5", QString::fromLatin1(md5)},
                        {"expected_md5", EventLog::text(expectedMd5)},
                        {"md5_ok", md5Ok}});

    const Faults& faults = camera->profile.faults;
    const SimSettings& settings = camera->settings;
    if (upload == Upload::Archive) {
        queuePause(settings.verifyMs);
        if (!md5Ok || faults.restoreFail) {
            queueRecord('R', 5);
            closeAndReboot("restore failed");
            return;
        }
        queueRecord('R', 4);
        queuePause(settings.restoreMs);
        const QByteArray restored = archiveBytes;
        queueAction([this, restored] { camera->profile.archive = restored; });
        queueRecord('R', 6);
        closeAndReboot("restore finished");
        return;
    }

    queueRecord('U', 3);
    queuePause(settings.verifyMs);
    if (!md5Ok || faults.verifyFail) {
        queueRecord('U', 6);
        closeAndReboot("verify failed");
    } else if (faults.armMissing) {
        queueRecord('E', 0);
        closeAndReboot("arm file missing");
    } else {
        queueRecord('U', 5);
        if (faults.dropAfterVerify) {
            queueAction([this] {
                camera->log->write("fault", camera->name(), {{"fault", "drop-after-verify"}});
                camera->reboot("flashing", uploadName);
            });
            return;
        }
        queuePause(settings.flashMs);
        if (faults.upgradeFail) {
            queueRecord('U', 8);
            closeAndReboot("upgrade failed");
        } else {
            queueRecord('U', 7);
            closeAndReboot("upgrade finished", uploadName);
        }
    }
}

void DeviceSession::answerVersion(const record::Record& request)
{
    const Faults& faults = camera->profile.faults;
    QByteArray version = camera->versionText().toUtf8();
    QByteArray partitions = camera->profile.partitions.toUtf8();
    if (faults.unterminatedText) {
        version = unterminated(version, record::nameSize(writeLayout));
        partitions = unterminated(partitions, record::kDataSize);
    } else {
        version = version.left(record::nameSize(writeLayout) - 1);
        partitions = partitions.left(record::kDataSize - 1);
    }
    queuePause(faults.versionDelayMs);
    queueRecord('Q', request.status, partitions.size(), version, partitions);
}

void DeviceSession::answerBackup()
{
    const Faults& faults = camera->profile.faults;
    const QByteArray archive = camera->profile.archive;
    QByteArray name = faults.hostileBackupName ? faults.backupName.toUtf8() : QByteArray("data.tar.gz");
    QByteArray md5 = record::md5Text(QCryptographicHash::hash(archive, QCryptographicHash::Md5));
    if (faults.backupBadMd5)
        md5 = record::md5Text(QCryptographicHash::hash(archive + "x", QCryptographicHash::Md5));
    if (faults.unterminatedText) {
        name = unterminated(name, record::nameSize(writeLayout));
        md5 = unterminated(md5.left(32), record::kDataSize);
    }
    const qint32 size = faults.hostileHeaderSize ? faults.headerSize : qint32(archive.size());
    queueRecord('B', 1, size, name, md5);
    for (int at = 0; at < archive.size(); at += record::kMaxChunk) {
        const QByteArray chunk = archive.mid(at, record::kMaxChunk);
        queueRecord('B', 2, faults.hostileChunkLength ? faults.chunkLength : qint32(chunk.size()),
                    QByteArray(), chunk);
    }
    queueRecord('B', 3);
}

void DeviceSession::closeAndReboot(const QString& reason, const QByteArray& installedFirmware)
{
    // A short grace lets the tool read the last record and close first, as it does with real cameras.
    queuePause(kCloseGraceMs);
    rebootQueued = true;
    rebootReason = reason;
    rebootFirmware = installedFirmware;
    queueAction([this] {
        rebootQueued = false;
        camera->reboot(rebootReason, rebootFirmware);
    });
}

void DeviceSession::queueRecord(char type, qint32 status, qint32 length, const QByteArray& name,
                                const QByteArray& data)
{
    record::Record r;
    r.type = type;
    r.status = status;
    r.length = length;
    r.param = 1;
    r.name = name;
    r.data = data;
    const QByteArray bytes = record::encode(r, writeLayout);
    Piece piece;
    piece.record = {{"type", QString(QChar(type))},
                    {"status", status},
                    {"length", length},
                    {"layout", layoutName(writeLayout)},
                    {"split", camera->profile.faults.splitRecords}};
    if (camera->profile.faults.splitRecords) {
        const int half = bytes.size() / 2;
        piece.bytes = bytes.left(half);
        piece.pauseMs = kSplitGapMs;
        outbox.append(piece);
        piece.bytes = bytes.mid(half);
        piece.record = QJsonObject();
        piece.pauseMs = 0;
    } else {
        piece.bytes = bytes;
    }
    outbox.append(piece);
}

void DeviceSession::queuePause(int ms)
{
    if (ms <= 0)
        return;
    Piece piece;
    piece.pauseMs = ms;
    outbox.append(piece);
}

void DeviceSession::queueAction(std::function<void()> action)
{
    Piece piece;
    piece.action = std::move(action);
    outbox.append(piece);
}

void DeviceSession::pump()
{
    const bool paced = camera->profile.faults.slowLink > 0;
    while (!pausing && !outbox.isEmpty() && state != State::Finished) {
        Piece& front = outbox.first();
        if (front.action) {
            const auto action = front.action;
            outbox.removeFirst();
            action();
            continue;
        }
        if (!front.record.isEmpty()) {
            QJsonObject merged;
            if (camera->profile.faults.coalesceRecords) {
                // Take the next record along, skipping pauses, so both leave in one segment.
                for (int i = 1; i < outbox.size(); ++i) {
                    if (outbox[i].action)
                        break;
                    if (!outbox[i].record.isEmpty()) {
                        front.bytes += outbox[i].bytes;
                        merged = outbox[i].record;
                        outbox.erase(outbox.begin() + 1, outbox.begin() + i + 1);
                        break;
                    }
                }
            }
            for (QJsonObject fields : {front.record, merged}) {
                if (fields.isEmpty())
                    continue;
                fields.insert("coalesced", !merged.isEmpty());
                camera->log->write("record_out", camera->name(), fields);
            }
            front.record = QJsonObject();
        }
        if (!front.bytes.isEmpty()) {
            qint64 n = front.bytes.size();
            if (paced) {
                n = qMin(n, sendBudget);
                if (n <= 0)
                    return;
                sendBudget -= n;
            }
            socket->write(front.bytes.left(int(n)));
            socket->flush();
            front.bytes.remove(0, int(n));
            if (!front.bytes.isEmpty())
                return;
        }
        const int pause = front.pauseMs;
        outbox.removeFirst();
        if (pause > 0) {
            pausing = true;
            QTimer::singleShot(pause, this, [this] {
                pausing = false;
                pump();
            });
        }
    }
}
