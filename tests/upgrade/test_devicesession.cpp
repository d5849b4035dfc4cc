// DeviceSession against camsim on loopback (127.0.0.30-59): every operation in both record layouts, every
// status a camera sends, the request the camera logged, and whether the connection was still open when each
// outcome was reported. Then the firmware name rules the faces apply before a session starts.
#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "camsimrun.h"
#include "devicesession.h"
#include "firmwareimage.h"
#include "firmwarenames.h"
#include "workdir.h"

namespace
{
const QByteArray kArchive = QByteArray("camera settings ").repeated(320); // three 'B' 2 chunks
const QString kPlainName = "cfg-1." + QString(58, '_');                   // A-Z a-z 0-9 . _ - up to 64
const QByteArray kVersion = "V2.7.3D MODEL: IPC200.R2 2026-05-17";

QByteArray md5(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

template <typename Enum> QString nameOf(Enum value)
{
    return QMetaEnum::fromType<Enum>().valueToKey(int(value));
}

// The session's reports in order; "+" marks one made while the connection was still open.
struct Trace {
    explicit Trace(DeviceSession& s)
    {
        const auto add = [this, &s](const QString& event) { events << event + (s.isOpen() ? "+" : ""); };
        const auto on = [&](auto signal, const char* event) {
            QObject::connect(&s, signal, [=] { add(event); });
        };
        on(&DeviceSession::backupHeader, "B1");
        on(&DeviceSession::archiveSaved, "saved");
        on(&DeviceSession::socketError, "err");
        QObject::connect(&s, &DeviceSession::upgradeStep, [=](UpgradeStep step) { add(nameOf(step)); });
        QObject::connect(&s, &DeviceSession::restoreStep, [=](RestoreStep step) { add(nameOf(step)); });
        QObject::connect(&s, &DeviceSession::versionReport, [=](const VersionReport& r) {
            report = r;
            add("Q");
        });
        QObject::connect(&s, &DeviceSession::streamProgress, [=](qint64 sent, qint64 total) {
            QVERIFY(sent > lastSent && sent <= total);
            lastSent = sent;
            if (sent == total)
                add("P");
        });
        QObject::connect(&s, &DeviceSession::finished, [=](DeviceSession::Operation, const Verdict& v) {
            add(v.ok() ? nameOf(v.outcome)
                       : "fail(" + nameOf(v.failure) + (v.detail.isEmpty() ? "" : " ") + v.detail + ")");
            done = true;
        });
    }
    QStringList events;
    VersionReport report;
    qint64 lastSent = 0;
    bool done = false;
};

bool waitForConnection(DeviceSession& session)
{
    QSignalSpy connected(&session, &DeviceSession::connected);
    return connected.wait(DeviceSession::ConnectTimeoutMs + 500);
}

QMap<QString, QByteArray> snapshot()
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo& entry : QDir(".").entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
        files.insert(entry.fileName(), entry.isDir() ? "<dir>" : readFile(entry.fileName()));
    return files;
}

// camsim switches ("TYPE2" or fault names), the operation, the session's reports.
void add(const char* name, const QString& switches, const char* op, const char* events)
{
    QStringList args;
    for (const QString& word : switches.split(' ', Qt::SkipEmptyParts))
        args << (word == "TYPE2" ? "--layout" : "--fault") << word;
    QTest::newRow(name) << args << op << events;
}
} // namespace

class TestDeviceSession : public QObject
{
    Q_OBJECT
    QTemporaryDir m_json;

    bool startCamera(CamsimRun& run, const QString& address, const QStringList& extra)
    {
        return run.start(
            QString("--address %1 --no-discovery --no-rtsp --no-visca --verify-ms 5 --flash-ms 5 "
                    "--restore-ms 5 --reboot-ms 100 --duration 60 --config %2")
                .arg(address, m_json.filePath("camera.json"))
                .split(' ') +
            extra);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(writeFile(m_json.filePath("camera.json"), "{\"cameras\": [{\"version\": \"" + kVersion +
                                                              "\", \"archive_text\": \"" + kArchive +
                                                              "\"}]}"));
    }

    void conversation_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>(
            "op"); // upgrade TYPE FILE | query STATUS | [first|blocked] backup [FILE] | restore
        QTest::addColumn<QString>("events");
        const char* upgraded = "Uploading+ P+ Verifying+ Flashing+ Done";
        add("SOC", "", "upgrade 1 IPC200_SOC_t.pkg", upgraded);
        add("MTD TYPE2", "TYPE2", "upgrade 4 fw_IPC200.img", upgraded);
        add("partition 2", "", "upgrade 7 rootfs_v2.bin", upgraded);
        add("split records", "split-records", "upgrade 2 ARM_1.bin", upgraded);
        add("coalesced records", "TYPE2 coalesce-records", "upgrade 3 SOC_ARM.pkg", upgraded);
        add("disk full", "disk-full", "upgrade 1 a_SOC.pkg", "fail(DiskFull)");
        add("verify fails", "verify-fail", "upgrade 1 a_SOC.pkg",
            "Uploading+ P+ Verifying+ fail(VerifyFailed)");
        add("flash fails", "TYPE2 upgrade-fail", "upgrade 1 a.pkg",
            "Uploading+ P+ Verifying+ Flashing+ fail(UpgradeFailed)");
        add("ARM missing", "arm-missing", "upgrade 2 ARM.bin", "Uploading+ P+ Verifying+ fail(ArmMissing)");
        add("dropped mid-upload", "drop-upload=5000", "upgrade 1 a.pkg",
            "Uploading+ err fail(Dropped The remote host closed the connection)");
        add("dropped while flashing", "drop-after-verify", "upgrade 1 a.pkg",
            "Uploading+ P+ Verifying+ Flashing+ err Flashing");
        add("file gone", "", "upgrade 1 gone.pkg", "Uploading+ fail(FileUnreadable gone.pkg)");
        add("query", "", "query 10", "Q Done");
        add("query before upgrade", "TYPE2", "query 9", "Q+ Done+");
        add("backup", "", "backup", "B1+ saved Done");
        add("backup TYPE2 coalesced", "TYPE2 coalesce-records", "backup", "B1+ saved Done");
        add("backup to a chosen file", "backup-name=../x", "backup out.tgz", "B1+ saved Done");
        add("plain name of 64", "backup-name=" + kPlainName, "backup", "B1+ saved Done");
        add("camera fails", "backup-fail", "backup", "fail(BackupFailed)");
        add("camera fails, first", "backup-fail", "first backup", "fail(BackupFailed)");
        add("wrong MD5", "backup-bad-md5", "backup", "B1+ fail(ArchiveMismatch)");
        add("wrong MD5, first", "backup-bad-md5", "first backup", "B1+ fail(ArchiveMismatch)");
        for (const QString& name : QStringList{"../x", "/tmp/x", "..", "", "config.ini", "logo.png",
                                               "data.tar.gz_bak", "a#b", QString(65, 'a')})
            add(qPrintable("name " + name), "backup-name=" + name, "backup", "fail(ArchiveRefused)");
        add("negative size", "header-size=-5", "backup", "fail(ArchiveRefused)");
        add("negative chunk", "chunk-length=-1", "backup", "B1+ fail(ArchiveBroken)");
        add("oversized chunk", "chunk-length=4096", "first backup", "B1+ fail(ArchiveBroken)");
        add("file cannot be opened", "", "blocked backup", "fail(CannotWrite data.tar.gz)");
        add("restore", "TYPE2", "restore", "Uploading+ P+ Restoring+ Done");
        add("restore fails", "restore-fail", "restore", "Uploading+ P+ fail(RestoreFailed)");
        add("restore, disk full", "disk-full", "restore", "fail(DiskFull)");
    }
    void conversation()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, op);
        QFETCH(QString, events);
        static int host = 30;
        const QString address = QString("127.0.0.%1").arg(host);
        host = host == 56 ? 30 : host + 1;
        ScopedWorkDir dir;
        CamsimRun camera;
        QVERIFY(startCamera(camera, address, args));
        const QStringList words = op.split(' ');
        if (words[0] == "blocked")
            QVERIFY(QDir(".").mkdir("data.tar.gz"));
        else if (words[0] != "first")
            QVERIFY(writeFile("data.tar.gz", "previous archive") && writeFile("config.ini", "settings"));
        const QMap<QString, QByteArray> before = snapshot();

        DeviceSession session;
        session.setWorkType(args.contains("TYPE2") ? 2 : 1);
        Trace trace(session);
        session.connectToCamera(address);
        QVERIFY(waitForConnection(session));
        const QByteArray content = QByteArray("firmware").repeated(1250);
        QString request; // what the camera logs: type, length, status, param, name, data
        if (words[0] == "upgrade") {
            QVERIFY(words[2].startsWith("gone") || writeFile(words[2], content));
            session.upgrade(words[2], words[1].toInt(), md5(content));
            request = QString("U %1 9 %2 %3 ").arg(QFileInfo(words[2]).size()).arg(words[1], words[2]) +
                      md5(content);
        } else if (words[0] == "query") {
            session.query(words[1] == "10");
            request = QString("Q 4 %1 1 mako mako").arg(words[1]);
        } else if (words[0] == "restore") {
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
        QStringList logged;
        for (const char* key : {"type", "length", "status", "param", "name", "data"})
            logged << received[0][key].toVariant().toString();
        QCOMPARE(logged.join(' '), request);

        const QJsonObject file = camera.events("file_received").value(0);
        if (events.contains("Verifying") || events.contains("Restoring") ||
            events.contains("RestoreFailed")) {
            QCOMPARE(readFile(file["path"].toString()), words[0] == "restore" ? "previous archive" : content);
            QCOMPARE(trace.lastSent, QFileInfo(file["path"].toString()).size());
        } else if (words[0] == "query") {
            QCOMPARE(trace.report.version, QString(kVersion));
            QCOMPARE(trace.report.partitions.size(), 5);
            QCOMPARE(trace.report.partitions[2].device + trace.report.partitions[2].name, "mtd2:\"rootfs\"");
        } else if (op == "backup" && events.endsWith(" Done")) {
            const bool plain = args.join(' ').contains(kPlainName);
            QCOMPARE(readFile(plain ? kPlainName : "data.tar.gz"), kArchive);
            QCOMPARE(readFile("data.tar.gz_bak"), plain ? "" : "previous archive");
        } else if (op == "backup out.tgz") {
            QCOMPARE(readFile("out.tgz"), kArchive);
        } else if (op.endsWith("backup")) {
            QCOMPARE(snapshot(), before); // as it was, no empty or half-written archive
        }
    }

    // A stalled upload, then a backup of another camera on the same session: not one byte of the firmware may
    // reach the second camera, whose log then holds its 'B' request and nothing else.
    void streamEndsWithItsConnection()
    {
        ScopedWorkDir dir;
        CamsimRun cameras;
        QVERIFY(startCamera(cameras, "127.0.0.58",
                            {"--cameras", "2", "--address", "127.0.0.59", "--fault", "0:slow-link=20000"}));
        QVERIFY(writeFile("big_SOC.pkg", QByteArray(8 << 20, 'f')));
        DeviceSession session;
        Trace trace(session);
        session.connectToCamera("127.0.0.58");
        QVERIFY(waitForConnection(session));
        session.upgrade("big_SOC.pkg", 1, md5(QByteArray(8 << 20, 'f')));
        QTRY_VERIFY(trace.events.contains("Uploading+"));
        QTest::qWait(300);
        session.connectToCamera("127.0.0.59");
        QVERIFY(waitForConnection(session));
        session.backup(QString());
        QTRY_VERIFY(trace.done);
        QCOMPARE(trace.events.last(), QString("Done"));
        QTest::qWait(300);
        QStringList second;
        for (const QJsonObject& e : cameras.events())
            if (e["cam"] == "127.0.0.59" &&
                e["event"].toString().contains(QRegularExpression("record_in|ignored")))
                second << e["event"].toString() + " " + e["type"].toString();
        QCOMPARE(second, QStringList{"record_in B"});
    }

    // A face that opens a modal box from a signal leaves the connection unread meanwhile; a camera that keeps
    // sending must not fill memory.
    void unreadRecordsAreCapped()
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
        QVERIFY(waitForConnection(session));
        QVERIFY(camera.hasPendingConnections() || camera.waitForNewConnection(1000));
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

    // The firmware name checks the faces apply, case-sensitive: upgrade type, file name, whether it suits.
    // Partitions go by the camera's table; 6, the second partition, by "uImage".
    void fileNameRules()
    {
        const QVector<PartitionRecord> partitions{{"mtd0:", "1", "1", "\"boot\""},
                                                  {"mtd1:", "1", "1", "\"kernel\""},
                                                  {"mtd2:", "1", "1", "\"rootfs\""}};
        for (const char* row : {"1 x_SOC_1.pkg 1", "1 x_soc_1.pkg 0", "1 x_SOC_1.bin 0", "2 ARM_v1.bin 1",
                                "2 ARM_v1.pkg 0", "3 SOC_only.pkg 0", "3 SOC_ARM.pkg 1", "4 any.img 1",
                                "4 any.bin 0", "6 uImage-3.bin 1", "6 kernel.bin 0", "5 boot_v2.bin 1",
                                "5 rootfs.bin 0", "7 rootfs.bin 1", "7 rootfs.img 0", "8 x.bin 0"}) {
            const QStringList cell = QString(row).split(' ');
            QVERIFY2(file_name_matches_type(cell[0].toInt(), cell[1], partitions) == (cell[2] == "1"), row);
        }
    }

    // An MTD image against the camera (model AB12, letter D, unless a fourth cell names another model): TYPE1
    // the model between "_" and ".", TYPE2 the letter after the third "V". Work type, file name, whether it
    // suits.
    void mtdNameAgainstCamera()
    {
        for (const char* row :
             {"1 fw_AB12.img 1", "1 fw_AB13.img 0", "1 fwAB12.img 0", "1 fw.x_AB12 0", "1 fw_AB12 0",
              "1 fw_AB12.x.img 1", "1 fw_.img 0 -", "1 fw_AB12.img 0 -", "2 aVbVcVD.img 1", "2 aVbVcVE.img 0",
              "2 aVbVDcVE.img 0", "2 aVbVD.img 0", "2 aVbVcV 0", "2 VVVD 1"}) {
            const QStringList cell = QString(row).split(' ');
            const QString model = cell.value(3, "AB12") == "-" ? QString() : cell.value(3, "AB12");
            QVERIFY2(mtd_name_matches_device(cell[0].toInt(), cell[1], model, "D") == (cell[2] == "1"), row);
        }
    }

    // The record's name field holds 255 bytes in TYPE1 and 59 in TYPE2, then its NUL, counted in the local
    // 8-bit encoding; a name that fits is carried whole and the MD5 text follows at its own offset.
    void nameFieldLimits_data()
    {
        QTest::addColumn<int>("workType");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fits");
        QTest::newRow("TYPE1 255") << 1 << QString(255, 'n') << true;
        QTest::newRow("TYPE1 256") << 1 << QString(256, 'n') << false;
        QTest::newRow("TYPE1 254 characters, 255 bytes") << 1 << QString(253, 'n') + "é" << true;
        QTest::newRow("TYPE1 255 characters, 256 bytes") << 1 << QString(254, 'n') + "é" << false;
        QTest::newRow("TYPE2 59") << 2 << QString(59, 'n') << true;
        QTest::newRow("TYPE2 60") << 2 << QString(60, 'n') << false;
        QTest::newRow("TYPE2 59 characters, 60 bytes") << 2 << QString(58, 'n') + "é" << false;
    }
    void nameFieldLimits()
    {
        QFETCH(int, workType);
        QFETCH(QString, name);
        QFETCH(bool, fits);
        const RecordLayout& layout = *layout_for_work_type(workType);
        QCOMPARE(name_fits(layout, name), fits);
        QCOMPARE(FirmwareImage(name, 1).fitsRecord(workType), fits);
        if (!fits)
            return;
        const QByteArray bytes = name.toLocal8Bit();
        const QByteArray request = upgrade_request(layout, 1, 1, bytes, md5("x"));
        QCOMPARE(request.size(), layout.size);
        QCOMPARE(request.mid(layout.name_offset, layout.name_size),
                 bytes + QByteArray(layout.name_size - bytes.size(), '\0'));
        QCOMPARE(request.mid(layout.data_offset, 33), md5("x") + '\0');
    }

    // The letter and the model a version report gives; without a model the previous one stays.
    void versionReport()
    {
        for (const char* row : {"V2.7.3D MODEL: IPC200.R2 2026-05-17|D|IPC200", "V2.7.3D build 5|D|previous",
                                "V1.0.0A MODEL: X1.|A|X1", "V1.0.0A MODEL: X9 rev|A|X9 rev",
                                "V1.0.0A MODEL: .R2|A|previous", "MODEL||previous"}) {
            const QStringList cell = QString(row).split('|');
            QCOMPARE(soc_version_letter_of(cell[0]) + "|" + model_name_of(cell[0], "previous"),
                     cell[1] + "|" + cell[2]);
        }
    }
};

QTEST_GUILESS_MAIN(TestDeviceSession)
#include "test_devicesession.moc"
