// DeviceSession against camsim on loopback (127.0.0.30-59): every operation in both record layouts, every
// status a camera sends, the request the camera logged, and whether the connection was still open when each
// outcome was reported.
#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "camsimrun.h"
#include "devicesession.h"
#include "workdir.h"

namespace
{
const QByteArray kArchive = QByteArray("camera settings ").repeated(320); // three 'B' 2 chunks
const QString kVersion = "V2.7.3D MODEL: IPC200.R2 2026-05-17";

QByteArray md5(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

QByteArray firmware(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 251);
    return bytes;
}

// The session's reports in order; "+" marks one made while the connection was still open.
struct Trace {
    explicit Trace(DeviceSession& s)
    {
        const auto add = [this, &s](const QString& event) { events << event + (s.isOpen() ? "+" : ""); };
        QObject::connect(&s, &DeviceSession::upgradeStatus, [=](int status) { add(QString("U%1").arg(status)); });
        QObject::connect(&s, &DeviceSession::errorRecord, [=] { add("E"); });
        QObject::connect(&s, &DeviceSession::versionReport, [=](const VersionReport& r) {
            report = r;
            add("Q");
        });
        QObject::connect(&s, &DeviceSession::backupHeader, [=] { add("B1"); });
        QObject::connect(&s, &DeviceSession::archiveSaved, [=] { add("saved"); });
        QObject::connect(&s, &DeviceSession::backupFailed, [=] { add("failed"); });
        QObject::connect(&s, &DeviceSession::restoreStatus, [=](int status) { add(QString("R%1").arg(status)); });
        QObject::connect(&s, &DeviceSession::streamFailed, [=] { add("streamfail"); });
        QObject::connect(&s, &DeviceSession::socketError, [=] { add("err"); });
        QObject::connect(&s, &DeviceSession::streamProgress, [=](qint64 sent, qint64 total) {
            QVERIFY(sent > lastSent && sent <= total);
            lastSent = sent;
            if (sent == total)
                add("P");
        });
        QObject::connect(&s, &DeviceSession::finished, [=](DeviceSession::Operation, bool ok, const QString& why) {
            add(ok ? "ok" : "fail(" + why + ")");
            done = true;
        });
    }
    QStringList events;
    VersionReport report;
    qint64 lastSent = 0;
    bool done = false;
};

QMap<QString, QByteArray> snapshot()
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo& entry : QDir(".").entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        files.insert(entry.fileName(), entry.isDir() ? "<dir>" : readFile(entry.fileName()));
    return files;
}
} // namespace

class TestDeviceSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void conversation_data();
    void conversation();
    void streamEndsWithItsConnection();
    void unreadRecordsAreCapped();

private:
    bool startCamera(CamsimRun& run, const QString& address, const QStringList& extra);
    QTemporaryDir m_json;
};

void TestDeviceSession::initTestCase()
{
    QVERIFY(writeFile(m_json.filePath("camera.json"),
                      "{\"cameras\": [{\"version\": \"" + kVersion.toLatin1() + "\", \"archive_text\": \"" +
                          kArchive + "\"}]}"));
}

bool TestDeviceSession::startCamera(CamsimRun& run, const QString& address, const QStringList& extra)
{
    return run.start(QStringList{"--address", address, "--no-discovery", "--no-rtsp", "--no-visca", "--verify-ms",
                                 "5", "--flash-ms", "5", "--restore-ms", "5", "--reboot-ms", "100", "--duration",
                                 "60", "--config", m_json.filePath("camera.json")} +
                     extra);
}

void TestDeviceSession::conversation_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("op"); // upgrade TYPE NAME | query STATUS | [first|blocked] backup [TARGET] | restore
    QTest::addColumn<QString>("events");
    const QStringList type2{"--layout", "TYPE2"};
    const auto fault = [](const QString& name) { return QStringList{"--fault", name}; };
    const QString upgraded = "U0+ P+ U3+ U5+ U7 ok";
    QTest::newRow("SOC") << QStringList() << "upgrade 1 IPC200_SOC_t.pkg" << upgraded;
    QTest::newRow("MTD TYPE2") << type2 << "upgrade 4 fw_IPC200.img" << upgraded;
    QTest::newRow("partition 2") << QStringList() << "upgrade 7 rootfs_v2.bin" << upgraded;
    QTest::newRow("split records") << fault("split-records") << "upgrade 2 ARM_1.bin" << upgraded;
    QTest::newRow("coalesced records") << type2 + fault("coalesce-records") << "upgrade 3 SOC_ARM.pkg" << upgraded;
    QTest::newRow("disk full") << fault("disk-full") << "upgrade 1 a_SOC.pkg" << "U1 fail(board is not enough disk space)";
    QTest::newRow("verify fails") << fault("verify-fail") << "upgrade 1 a_SOC.pkg" << "U0+ P+ U3+ U6 fail(file verify fail)";
    QTest::newRow("flash fails") << type2 + fault("upgrade-fail") << "upgrade 1 a_SOC.pkg" << "U0+ P+ U3+ U5+ U8 fail(upgrade fail)";
    QTest::newRow("ARM file missing") << fault("arm-missing") << "upgrade 2 ARM.bin" << "U0+ P+ U3+ E fail(arm upgrade file not found)";
    QTest::newRow("dropped mid-upload") << fault("drop-upload=5000") << "upgrade 1 a_SOC.pkg" << "U0+ P+ err fail(The remote host closed the connection)";
    QTest::newRow("dropped while flashing") << fault("drop-after-verify") << "upgrade 1 a_SOC.pkg" << "U0+ P+ U3+ U5+ err ok";
    QTest::newRow("file gone") << QStringList() << "upgrade 1 gone_SOC.pkg" << "U0+ streamfail fail(Open file failed)";
    QTest::newRow("query") << QStringList() << "query 10" << "Q ok";
    QTest::newRow("query before upgrade") << type2 << "query 9" << "Q+ ok+";
    QTest::newRow("backup") << QStringList() << "backup" << "B1+ saved ok";
    QTest::newRow("backup TYPE2 coalesced") << type2 + fault("coalesce-records") << "backup" << "B1+ saved ok";
    QTest::newRow("backup to a chosen file") << fault("backup-name=../x") << "backup out.tgz" << "B1+ saved ok";
    QTest::newRow("plain announced name") << fault("backup-name=cfg-1.tar_gz") << "backup" << "B1+ saved ok";
    const QString refused = "failed fail(refused archive name or size)";
    QTest::newRow("camera fails") << fault("backup-fail") << "backup" << "failed fail(camera reported a failed backup)";
    QTest::newRow("camera fails, first") << fault("backup-fail") << "first backup" << "failed fail(camera reported a failed backup)";
    QTest::newRow("wrong MD5, first") << fault("backup-bad-md5") << "first backup" << "B1+ failed fail(archive MD5 does not match)";
    QTest::newRow("wrong MD5") << fault("backup-bad-md5") << "backup" << "B1+ failed fail(archive MD5 does not match)";
    for (const QString& name : QStringList{"../x", "/tmp/x", "..", "", "config.ini", "logo.png", "data.tar.gz_bak", "a b",
                                QString(65, 'a')})
        QTest::addRow("name \"%s\"", qPrintable(name)) << fault("backup-name=" + name) << "backup" << refused;
    QTest::newRow("negative size") << fault("header-size=-5") << "backup" << refused;
    QTest::newRow("negative chunk") << fault("chunk-length=-1") << "backup" << "B1+ failed fail(broken archive chunk)";
    QTest::newRow("oversized chunk") << fault("chunk-length=4096") << "first backup" << "B1+ failed fail(broken archive chunk)";
    QTest::newRow("file cannot be opened") << QStringList() << "blocked backup" << "failed fail(cannot write data.tar.gz)";
    QTest::newRow("restore") << type2 << "restore" << "R3+ P+ R4+ R6 ok";
    QTest::newRow("restore fails") << fault("restore-fail") << "restore" << "R3+ P+ R5 fail(restore failed)";
    QTest::newRow("restore, disk full") << fault("disk-full") << "restore" << "R2 fail(board is not enough disk space)";
}

void TestDeviceSession::conversation()
{
    QFETCH(QStringList, args);
    QFETCH(QString, op);
    QFETCH(QString, events);
    static int host = 30;
    const QString address = QString("127.0.0.%1").arg(host);
    host = host == 59 ? 30 : host + 1;
    ScopedWorkDir dir;
    CamsimRun camera;
    QVERIFY(startCamera(camera, address, args));
    const QStringList words = op.split(' ');
    if (words.first() == "backup" || words.first() == "restore") {
        QVERIFY(writeFile("data.tar.gz", "previous archive") && writeFile("config.ini", "settings"));
    } else if (words.first() == "blocked") {
        QVERIFY(QDir(".").mkdir("data.tar.gz"));
    }
    const QMap<QString, QByteArray> before = snapshot();

    DeviceSession session;
    session.setWorkType(args.contains("TYPE2") ? 2 : 1);
    Trace trace(session);
    session.connectToCamera(address);
    QVERIFY(session.waitForConnected());
    const QByteArray content = firmware(10000);
    QString request; // what the camera must log: type, length, status, param, name, data
    if (words.first() == "upgrade") {
        if (!words.at(2).startsWith("gone"))
            QVERIFY(writeFile(words.at(2), content));
        session.upgrade(words.at(2), words.at(1).toInt(), md5(content));
        request = QString("U %1 9 %2 %3 %4").arg(QFileInfo(words.at(2)).size()).arg(words.at(1), words.at(2), md5(content));
    } else if (words.first() == "query") {
        session.query(words.at(1) == "10");
        request = QString("Q 4 %1 1 mako mako").arg(words.at(1));
    } else if (words.first() == "restore") {
        session.restore("data.tar.gz", md5("previous archive"));
        request = "R 16 1 1 data.tar.gz " + md5("previous archive");
    } else {
        session.backup(words.last() == "out.tgz" ? "out.tgz" : QString(), "data.tar.gz_bak");
        request = "B 4 1 1 mako mako";
    }
    QTRY_VERIFY_WITH_TIMEOUT(trace.done, 10000);
    QTest::qWait(100); // nothing may follow the outcome
    QCOMPARE(trace.events.join(' '), events);

    const QList<QJsonObject> received = camera.events("record_in");
    QCOMPARE(received.size(), 1);
    const QJsonObject in = received.first();
    QCOMPARE(QStringList({in["type"].toString(), QString::number(in["length"].toInt()), QString::number(in["status"].toInt()),
                          QString::number(in["param"].toInt()), in["name"].toString(), in["data"].toString()})
                 .join(' '),
             request);

    const QList<QJsonObject> files = camera.events("file_received");
    const bool succeeded = events.endsWith(" ok");
    if (words.first() == "upgrade" && events.contains("U3")) {
        QCOMPARE(files.size(), 1);
        QCOMPARE(readFile(files.first()["path"].toString()), content);
        QCOMPARE(trace.lastSent, qint64(content.size()));
    } else if (words.first() == "restore" && events.contains("R3")) {
        QCOMPARE(readFile(files.first()["path"].toString()), QByteArray("previous archive"));
        QVERIFY(files.first()["md5_ok"].toBool());
    } else if (words.first() == "query") {
        QCOMPARE(trace.report.version, kVersion);
        QCOMPARE(trace.report.partitions.size(), 5);
        QCOMPARE(trace.report.partitions.at(2).device + trace.report.partitions.at(2).name, QString("mtd2:\"rootfs\""));
    } else if (op.endsWith("backup") && succeeded) {
        const QString saved = args.join(' ').contains("cfg-1") ? "cfg-1.tar_gz" : "data.tar.gz";
        QCOMPARE(readFile(saved), kArchive);
        QCOMPARE(readFile("data.tar.gz_bak"), saved == "data.tar.gz" ? QByteArray("previous archive") : QByteArray());
    } else if (op == "backup out.tgz") {
        QCOMPARE(readFile("out.tgz"), kArchive);
        QCOMPARE(snapshot().size(), before.size() + 1);
    } else if (op.contains("backup")) {
        QCOMPARE(snapshot(), before);
    }
}

// A stalled upload, then a backup of another camera on the same session: not one byte of the firmware may
// reach the second camera, whose log then holds its 'B' request and nothing else.
void TestDeviceSession::streamEndsWithItsConnection()
{
    ScopedWorkDir dir;
    CamsimRun cameras;
    QVERIFY(startCamera(cameras, "127.0.0.58", {"--cameras", "2", "--address", "127.0.0.59", "--fault", "0:slow-link=20000"}));
    QVERIFY(writeFile("big_SOC.pkg", QByteArray(8 << 20, 'f')));
    DeviceSession session;
    Trace trace(session);
    session.connectToCamera("127.0.0.58");
    QVERIFY(session.waitForConnected());
    session.upgrade("big_SOC.pkg", 1, md5(QByteArray(8 << 20, 'f')));
    QTRY_VERIFY(trace.events.contains("U0+"));
    QTest::qWait(300);
    session.connectToCamera("127.0.0.59");
    QVERIFY(session.waitForConnected());
    session.backup(QString());
    QTRY_VERIFY(trace.done);
    QCOMPARE(trace.events.last(), QString("ok"));
    QTest::qWait(300);
    QStringList second;
    for (const QJsonObject& e : cameras.events())
        if (e["cam"] == "127.0.0.59" && e["event"].toString().contains(QRegularExpression("record_in|ignored")))
            second << e["event"].toString() + " " + e["type"].toString();
    QCOMPARE(second, QStringList{"record_in B"});
}

// A face that opens a modal box from a signal leaves the connection unread meanwhile; a camera that keeps
// sending must not fill memory.
void TestDeviceSession::unreadRecordsAreCapped()
{
    QTcpServer camera;
    QVERIFY(camera.listen(QHostAddress("127.0.0.57"), 5555));
    DeviceSession session;
    QTcpSocket* peer = nullptr;
    qint64 queued = 0;
    qint64 takenWhileBoxOpen = -1;
    connect(&session, &DeviceSession::versionReport, [&] {
        QEventLoop box;
        QTimer::singleShot(400, &box, &QEventLoop::quit);
        box.exec();
        takenWhileBoxOpen = queued - peer->bytesToWrite();
    });
    session.connectToCamera("127.0.0.57");
    QVERIFY(session.waitForConnected());
    QVERIFY(camera.waitForNewConnection(1000));
    peer = camera.nextPendingConnection();
    const auto pump = [&] {
        while (peer->bytesToWrite() < (1 << 20) && queued < (64 << 20))
            queued += peer->write(QByteArray(1 << 18, 'x'));
    };
    connect(peer, &QTcpSocket::bytesWritten, pump);
    session.query(false);
    QByteArray report(2320, '\0');
    report[0] = 'Q';
    peer->write(report);
    pump();
    QTRY_VERIFY(takenWhileBoxOpen >= 0);
    QVERIFY2(takenWhileBoxOpen < (24 << 20), qPrintable(QString::number(takenWhileBoxOpen)));
}

QTEST_GUILESS_MAIN(TestDeviceSession)
#include "test_devicesession.moc"
