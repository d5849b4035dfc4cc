// Round trips against camsim on loopback: the device records on TCP 5555 with every injected fault, and the
// control datagrams on UDP 1259. The client here builds its bytes by hand, independent of camsim's code.
#include "camsimrun.h"

#include <QCryptographicHash>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtEndian>
#include <QtTest>

namespace
{

const char* const kCamera = "127.0.0.21";
const char* const kViscaCamera = "127.0.0.22";

struct Rec {
    char type = 0;
    qint32 length = 0;
    qint32 status = 0;
    qint32 param = 0;
    QByteArray name; // whole field
    QByteArray data; // whole field
};

int recordSize(const QString& layout)
{
    return layout == "TYPE2" ? 2124 : 2320;
}
int dataOffset(int size)
{
    return size == 2124 ? 76 : 272;
}

QByteArray request(int size, char type, qint32 length, qint32 status, const QByteArray& name,
                   const QByteArray& data, qint32 param = 1)
{
    QByteArray r(size, '\0');
    r[0] = type;
    qToLittleEndian(length, r.data() + 4);
    qToLittleEndian(status, r.data() + 8);
    qToLittleEndian(param, r.data() + 12);
    r.replace(16, name.size(), name);
    r.replace(dataOffset(size), data.size(), data);
    return r;
}

QByteArray text(const QByteArray& field)
{
    return field.left(field.indexOf('\0') < 0 ? field.size() : field.indexOf('\0'));
}

QByteArray md5Text(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

bool readRecord(QTcpSocket& socket, int size, Rec* out, int timeoutMs = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (socket.bytesAvailable() < size) {
        if (clock.elapsed() > timeoutMs)
            return false;
        if (!socket.waitForReadyRead(50) && socket.state() != QAbstractSocket::ConnectedState &&
            socket.bytesAvailable() < size)
            return false;
    }
    const QByteArray r = socket.read(size);
    out->type = r[0];
    out->length = qFromLittleEndian<qint32>(r.constData() + 4);
    out->status = qFromLittleEndian<qint32>(r.constData() + 8);
    out->param = qFromLittleEndian<qint32>(r.constData() + 12);
    out->name = r.mid(16, dataOffset(size) - 16);
    out->data = r.mid(dataOffset(size), 2048);
    return true;
}

QString token(const Rec& r)
{
    return QString("%1%2").arg(QChar(r.type)).arg(r.status);
}

QByteArray firmware(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

QStringList baseArgs(const QString& layout)
{
    return {"--address", kCamera,        "--layout",    layout,        "--no-discovery",
            "--no-rtsp", "--no-visca",   "--verify-ms", "5",           "--flash-ms",
            "5",         "--restore-ms", "5",           "--reboot-ms", "100"};
}

QStringList withFaults(QStringList args, const QStringList& faults)
{
    for (const QString& fault : faults)
        args << "--fault" << fault;
    return args;
}

bool waitClosed(QTcpSocket& socket, int timeoutMs)
{
    if (socket.state() == QAbstractSocket::UnconnectedState)
        return true;
    return socket.waitForDisconnected(timeoutMs) || socket.state() == QAbstractSocket::UnconnectedState;
}

QJsonObject readyCamera(const CamsimRun& run)
{
    return run.events("ready").value(0).value("cameras").toArray().at(0).toObject();
}

// Runs a backup and returns every record up to 'B' 3 or 'B' 4.
QList<Rec> backup(QTcpSocket& socket, int size)
{
    QList<Rec> records;
    socket.write(request(size, 'B', 4, 1, "mako", "mako"));
    Rec r;
    while (readRecord(socket, size, &r, 2000)) {
        records.append(r);
        if (r.type == 'B' && (r.status == 3 || r.status == 4))
            break;
    }
    return records;
}

} // namespace

class TestCamsimLoopback : public QObject
{
    Q_OBJECT
private slots:
    void versionReport_data();
    void versionReport();
    void upgrade_data();
    void upgrade();
    void backupRecords_data();
    void backupRecords();
    void restore_data();
    void restore();
    void segments_data();
    void segments();
    void slowLink_data();
    void slowLink();
    void rebootRefusesConnections();
    void viscaLogged();
};

void TestCamsimLoopback::versionReport_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<int>("replySize");
    QTest::addColumn<bool>("terminated");
    QTest::addColumn<bool>("tokenOk");
    QTest::newRow("TYPE1") << "TYPE1" << QStringList() << QByteArray("mako") << 2320 << true << true;
    QTest::newRow("TYPE2") << "TYPE2" << QStringList() << QByteArray("mako") << 2124 << true << true;
    QTest::newRow("answers in the other layout")
        << "TYPE1" << QStringList{"other-layout"} << QByteArray("mako") << 2124 << true << true;
    QTest::newRow("text without NUL")
        << "TYPE2" << QStringList{"unterminated-text"} << QByteArray("mako") << 2124 << false << true;
    QTest::newRow("wrong token still answered")
        << "TYPE1" << QStringList() << QByteArray("abcd") << 2320 << true << false;
}

void TestCamsimLoopback::versionReport()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, faults);
    QFETCH(QByteArray, token);
    QFETCH(int, replySize);
    QFETCH(bool, terminated);
    QFETCH(bool, tokenOk);
    CamsimRun run;
    QVERIFY(run.start(withFaults(baseArgs(layout), faults)));
    const QJsonObject camera = readyCamera(run);

    QTcpSocket socket;
    socket.connectToHost(kCamera, 5555);
    QVERIFY(socket.waitForConnected(2000));
    socket.write(request(recordSize(layout), 'Q', 4, 10, token, token));
    Rec r;
    QVERIFY(readRecord(socket, replySize, &r));
    QCOMPARE(r.type, 'Q');
    QCOMPARE(r.status, 10);
    QCOMPARE(r.name.contains('\0'), terminated);
    QCOMPARE(r.data.contains('\0'), terminated);
    const QByteArray version = camera.value("version").toString().toLatin1();
    QVERIFY(text(r.name).startsWith(version));
    QVERIFY(version.at(6) >= 'A' && version.at(6) <= 'Z');
    QVERIFY(version.contains("MODEL: "));
    const QList<QByteArray> lines = text(r.data).split('\n');
    QVERIFY(lines.size() >= 5);
    QVERIFY(lines[0].startsWith("mtd0: ") && lines[0].endsWith("\"boot\""));
    QVERIFY(lines[1].startsWith("mtd1: "));
    if (terminated)
        QCOMPARE(r.length, text(r.data).size());
    QVERIFY(socket.state() == QAbstractSocket::ConnectedState);
    QVERIFY(run.waitFor(
        [&](const QJsonObject& e) {
            return e.value("event") == "record_in" && e.value("token_ok").toBool() == tokenOk;
        },
        2000));
}

void TestCamsimLoopback::upgrade_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("corruptMd5");
    QTest::addColumn<qint32>("announced"); // -1: the real size
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("storedBytes"); // firmware bytes the camera keeps, -1: none
    const int full = 10000;
    QTest::newRow("TYPE1 success") << "TYPE1" << QStringList() << false << -1 << "U0 U3 U5 U7" << true
                                   << full;
    QTest::newRow("MD5 mismatch") << "TYPE1" << QStringList() << true << -1 << "U0 U3 U6" << true << full;
    QTest::newRow("negative size") << "TYPE1" << QStringList() << false << -5 << "U1" << false << -1;
    QTest::newRow("drop-upload at half")
        << "TYPE2" << QStringList{"drop-upload"} << false << -1 << "U0" << true << full / 2;
}

void TestCamsimLoopback::upgrade()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, faults);
    QFETCH(bool, corruptMd5);
    QFETCH(qint32, announced);
    QFETCH(QString, expected);
    QFETCH(bool, closes);
    QFETCH(int, storedBytes);
    CamsimRun run;
    QVERIFY(run.start(withFaults(baseArgs(layout), faults)));

    const QByteArray file = firmware(10000);
    const int size = recordSize(layout);
    QTcpSocket socket;
    socket.connectToHost(kCamera, 5555);
    QVERIFY(socket.waitForConnected(2000));
    const QByteArray md5 = corruptMd5 ? md5Text(file + "!") : md5Text(file);
    socket.write(request(size, 'U', announced < 0 && announced != -1 ? announced : file.size(), 9,
                         "fw_IPC200.img", md5 + '\0', 4));
    QStringList seen;
    Rec r;
    int waitMs = 1500;
    while (readRecord(socket, size, &r, waitMs)) {
        seen << token(r);
        if (token(r) == "U0")
            socket.write(file);
        if (QStringList{"U1", "U6", "U7", "U8", "E0"}.contains(token(r)))
            waitMs = 400; // only to see that nothing follows
    }
    QCOMPARE(seen.join(' '), expected);
    QCOMPARE(waitClosed(socket, 2000), closes);

    const QString dir = run.storePath + "/" + kCamera;
    const QStringList stored = QDir(dir).entryList(QDir::Files);
    if (storedBytes < 0) {
        QVERIFY(stored.isEmpty());
        return;
    }
    QCOMPARE(stored, QStringList{"1-firmware-fw_IPC200.img"});
    QFile kept(dir + "/" + stored.first());
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), file.left(storedBytes));
    const QList<QJsonObject> received = run.events("file_received");
    QCOMPARE(received.size(), storedBytes == file.size() ? 1 : 0);
    if (!received.isEmpty()) {
        QCOMPARE(received[0].value("md5_ok").toBool(), !corruptMd5);
        QCOMPARE(received[0].value("param").toInt(), 4);
    }
}

void TestCamsimLoopback::backupRecords_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QByteArray>("headerName");
    QTest::addColumn<qint32>("headerLength"); // -99: the archive size
    QTest::addColumn<qint32>("chunkLength");  // -99: the real chunk sizes
    QTest::addColumn<bool>("md5Matches");
    const qint32 real = -99;
    QTest::newRow("TYPE1") << "TYPE1" << QStringList() << QByteArray("data.tar.gz") << real << real << true;
    QTest::newRow("TYPE2") << "TYPE2" << QStringList() << QByteArray("data.tar.gz") << real << real << true;
    QTest::newRow("wrong MD5") << "TYPE1" << QStringList{"backup-bad-md5"} << QByteArray("data.tar.gz")
                               << real << real << false;
    QTest::newRow("name ../x") << "TYPE1" << QStringList{"backup-name=../x"} << QByteArray("../x") << real
                               << real << true;
}

void TestCamsimLoopback::backupRecords()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, faults);
    QFETCH(QByteArray, headerName);
    QFETCH(qint32, headerLength);
    QFETCH(qint32, chunkLength);
    QFETCH(bool, md5Matches);
    CamsimRun run;
    QVERIFY(run.start(withFaults(baseArgs(layout), faults)));
    const int archiveSize = readyCamera(run).value("archive_size").toInt();
    QVERIFY(archiveSize > 4096);

    QTcpSocket socket;
    socket.connectToHost(kCamera, 5555);
    QVERIFY(socket.waitForConnected(2000));
    const QList<Rec> records = backup(socket, recordSize(layout));
    QVERIFY(records.size() >= 3);
    const Rec& header = records.first();
    QCOMPARE(token(header), QString("B1"));
    QCOMPARE(text(header.name), headerName);
    QCOMPARE(header.length, headerLength == -99 ? archiveSize : headerLength);
    QCOMPARE(token(records.last()), QString("B3"));

    QByteArray archive;
    for (int i = 1; i < records.size() - 1; ++i) {
        QCOMPARE(token(records[i]), QString("B2"));
        const int bytes = qMin(2048, archiveSize - archive.size());
        QCOMPARE(records[i].length, chunkLength == -99 ? bytes : chunkLength);
        archive += records[i].data.left(bytes);
    }
    QCOMPARE(archive.size(), archiveSize);
    QCOMPARE(text(header.data) == md5Text(archive), md5Matches);
    QCOMPARE(header.data.at(32), '\0');
}

void TestCamsimLoopback::restore_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("corruptMd5");
    QTest::addColumn<QString>("expected");
    QTest::newRow("TYPE1 success") << "TYPE1" << QStringList() << false << "R3 R4 R6";
    QTest::newRow("MD5 mismatch") << "TYPE1" << QStringList() << true << "R3 R5";
}

void TestCamsimLoopback::restore()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, faults);
    QFETCH(bool, corruptMd5);
    QFETCH(QString, expected);
    CamsimRun run;
    QVERIFY(run.start(withFaults(baseArgs(layout), faults)));
    const int size = recordSize(layout);
    const QByteArray archive = firmware(5000).toHex().left(6000);

    QTcpSocket socket;
    socket.connectToHost(kCamera, 5555);
    QVERIFY(socket.waitForConnected(2000));
    socket.write(request(size, 'R', archive.size(), 1, "data.tar.gz",
                         (corruptMd5 ? md5Text(archive + "!") : md5Text(archive)) + '\0'));
    QStringList seen;
    Rec r;
    while (readRecord(socket, size, &r, 1000)) {
        seen << token(r);
        if (token(r) == "R3")
            socket.write(archive);
    }
    QCOMPARE(seen.join(' '), expected);
    if (expected != "R3 R4 R6")
        return;

    // The restored archive is what the camera hands out from now on.
    QVERIFY(run.waitFor([](const QJsonObject& e) { return e.value("what") == "up"; }, 3000));
    QTcpSocket again;
    again.connectToHost(kCamera, 5555);
    QVERIFY(again.waitForConnected(2000));
    const QList<Rec> records = backup(again, size);
    QByteArray returned;
    for (const Rec& chunk : records)
        if (token(chunk) == "B2")
            returned += chunk.data.left(chunk.length);
    QCOMPARE(returned, archive);
}

void TestCamsimLoopback::segments_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("minFirst");
    QTest::addColumn<int>("maxFirst");
    QTest::newRow("one record per segment") << QStringList() << 2320 << 2320;
    QTest::newRow("split-records") << QStringList{"split-records"} << 1 << 2319;
    QTest::newRow("coalesce-records") << QStringList{"coalesce-records"} << 4640 << 4640;
}

// After the firmware, 'U' 3 and 'U' 5 are due 300 ms apart; what the first read holds shows the segmenting.
void TestCamsimLoopback::segments()
{
    QFETCH(QStringList, faults);
    QFETCH(int, minFirst);
    QFETCH(int, maxFirst);
    QStringList args = withFaults(baseArgs("TYPE1"), faults);
    args << "--verify-ms"
         << "300"
         << "--flash-ms"
         << "300";
    CamsimRun run;
    QVERIFY(run.start(args));
    const QByteArray file = firmware(3000);
    QTcpSocket socket;
    socket.connectToHost(kCamera, 5555);
    QVERIFY(socket.waitForConnected(2000));
    socket.write(request(2320, 'U', file.size(), 9, "x_SOC_1.pkg", md5Text(file) + '\0'));
    Rec r;
    QVERIFY(readRecord(socket, 2320, &r));
    QCOMPARE(token(r), QString("U0"));
    QCOMPARE(socket.bytesAvailable(), 0);
    socket.write(file);
    QVERIFY(socket.waitForReadyRead(2000));
    QTest::qWait(15); // a segment that arrives whole is read whole
    socket.waitForReadyRead(1);
    const qint64 first = socket.bytesAvailable();
    QVERIFY2(first >= minFirst && first <= maxFirst, qPrintable(QString::number(first)));
    QStringList seen;
    while (readRecord(socket, 2320, &r, 1500))
        seen << token(r);
    QCOMPARE(seen.join(' '), QString("U3 U5 U7"));
}

void TestCamsimLoopback::slowLink_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::newRow("full speed") << QStringList() << 0 << 400;
    QTest::newRow("20000 bytes/s") << QStringList{"slow-link=20000"} << 450 << 3000;
}

void TestCamsimLoopback::slowLink()
{
    QFETCH(QStringList, faults);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    CamsimRun run;
    QVERIFY(
        run.start(withFaults(baseArgs("TYPE1"), faults) << "--config" << QFINDTESTDATA("slow-camera.json")));
    QTcpSocket socket;
    socket.connectToHost(kCamera, 5555);
    QVERIFY(socket.waitForConnected(2000));
    QElapsedTimer clock;
    clock.start();
    const QList<Rec> records = backup(socket, 2320); // 1 + 3 + 1 records, 11600 bytes
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(records.size(), 5);
    QCOMPARE(token(records.last()), QString("B3"));
    QVERIFY2(elapsed >= minMs && elapsed <= maxMs, qPrintable(QString::number(elapsed)));
}

void TestCamsimLoopback::rebootRefusesConnections()
{
    QStringList args = baseArgs("TYPE1");
    args << "--reboot-ms"
         << "700";
    CamsimRun run;
    QVERIFY(run.start(args));
    const QByteArray file = firmware(100);
    QTcpSocket socket;
    socket.connectToHost(kCamera, 5555);
    QVERIFY(socket.waitForConnected(2000));
    socket.write(request(2320, 'U', file.size(), 9, "x_SOC_1.pkg", md5Text(file) + '\0'));
    Rec r;
    QVERIFY(readRecord(socket, 2320, &r));
    socket.write(file);
    while (readRecord(socket, 2320, &r, 1000)) {
    }
    QVERIFY(waitClosed(socket, 1000));

    QTcpSocket during;
    during.connectToHost(kCamera, 5555);
    QVERIFY(!during.waitForConnected(300) || during.waitForDisconnected(300));
    QVERIFY(run.waitFor([](const QJsonObject& e) { return e.value("what") == "up"; }, 3000));
    QTcpSocket after;
    after.connectToHost(kCamera, 5555);
    QVERIFY(after.waitForConnected(2000));
}

void TestCamsimLoopback::viscaLogged()
{
    CamsimRun run;
    QVERIFY(run.start({"--address", kViscaCamera, "--no-discovery", "--no-rtsp"}));
    QUdpSocket socket;
    const QList<QByteArray> sent = {QByteArray::fromHex("810106010A0A0301FF"),
                                    QByteArray::fromHex("8101060610FF"), QByteArray("\x00\xff", 2)};
    for (const QByteArray& datagram : sent)
        socket.writeDatagram(datagram, QHostAddress(kViscaCamera), 1259);
    QVERIFY(run.waitFor([](const QJsonObject& e) { return e.value("hex") == "00 FF"; }, 3000));
    const QList<QJsonObject> logged = run.events("visca");
    QCOMPARE(logged.size(), 3);
    QCOMPARE(logged[0].value("hex").toString(), QString("81 01 06 01 0A 0A 03 01 FF"));
    QCOMPARE(logged[1].value("hex").toString(), QString("81 01 06 06 10 FF"));
    QCOMPARE(logged[0].value("size").toInt(), 9);
    QCOMPARE(logged[0].value("cam").toString(), QString(kViscaCamera));
}

QTEST_GUILESS_MAIN(TestCamsimLoopback)
#include "test_camsim_loopback.moc"
