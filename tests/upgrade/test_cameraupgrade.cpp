// CameraUpgrade, the one upgrade sequence of every face, against camsim on loopback (127.0.0.160-179): the
// checks that refuse before any connection, the backup that must be saved before the first byte of firmware,
// the model check against this camera's own late answer, the face's question, and what a slow camera sees of
// progress and memory.
#include <QSignalSpy>
#include <QtTest>

#include "cameraupgrade.h"
#include "camsimrun.h"
#include "devicesession.h"
#include "workdir.h"

namespace
{
const QByteArray kArchive = "settings of camera B";

template <typename Enum> QString nameOf(Enum value)
{
    return QMetaEnum::fromType<Enum>().valueToKey(int(value));
}

QString nameOf(const Verdict& verdict)
{
    return verdict.ok() ? nameOf(verdict.outcome) : nameOf(verdict.failure);
}

// The types of the records a camera received, in order.
QString requests(const CamsimRun& camsim, const QString& address)
{
    QStringList types;
    for (const QJsonObject& e : camsim.events("record_in"))
        if (e["cam"] == address)
            types << e["type"].toString();
    return types.join(' ');
}

qint64 residentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// One upgrade followed to its verdict.
struct Run {
    explicit Run(CameraUpgrade& upgrade)
    {
        QObject::connect(&upgrade, &CameraUpgrade::stepChanged, [this](UpgradeStep step) {
            steps << nameOf(step);
            if (step == UpgradeStep::Requesting)
                atRequest = readFile("data.tar.gz") + '|' + readFile("data.tar.gz_bak");
        });
        QObject::connect(&upgrade, &CameraUpgrade::finished, [this](const Verdict& v, UpgradeStep step) {
            verdict = nameOf(v) + ' ' + nameOf(step);
            done = true;
        });
    }
    QStringList steps;
    QByteArray atRequest;
    QString verdict;
    bool done = false;
};
} // namespace

class TestCameraUpgrade : public QObject
{
    Q_OBJECT

private slots:
    // Refused by the file name, the record's name limit, the address or an unreadable file: the end comes
    // before camsim sees a connection, and before any backup. (The command line's test has a row per kind.)
    void refusedBeforeConnecting_data()
    {
        QTest::addColumn<QString>("file"); // created unless it is "missing..." or too long to exist
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("workType");
        QTest::addColumn<bool>("force");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("verdict");
        const QString camera = "127.0.0.172";
        QTest::newRow("SOC without SOC")
            << "x_soc.pkg" << 1 << 1 << false << camera << "RefusedType Checking";
        QTest::newRow("partition not in the known table")
            << "x_rootfs.bin" << 5 << 1 << false << camera << "RefusedType Checking";
        QTest::newRow("TYPE2 name of 59 characters, 60 bytes")
            << QString(50, 'n') + "é_SOC.pkg" << 1 << 2 << true << camera << "NameTooLong Checking";
        QTest::newRow("not a camera address") << "x_SOC.pkg" << 1 << 1 << false << "127.0.0.256"
                                              << "BadAddress Checking";
        QTest::newRow("unreadable file")
            << "missing_SOC.pkg" << 1 << 1 << false << camera << "FileUnreadable Hashing";
    }
    void refusedBeforeConnecting()
    {
        QFETCH(QString, file);
        QFETCH(int, type);
        QFETCH(int, workType);
        QFETCH(bool, force);
        QFETCH(QString, host);
        QFETCH(QString, verdict);
        if (m_refusals.process.state() != QProcess::Running)
            QVERIFY(m_refusals.start({"--address", "127.0.0.172", "--no-discovery", "--no-rtsp", "--no-visca",
                                      "--duration", "60"}));
        ScopedWorkDir dir;
        QVERIFY(file.startsWith("missing") || file.toUtf8().size() > 255 ||
                writeFile(file, QByteArray(5000, 'f')));
        CameraUpgrade::Plan plan;
        plan.host = host;
        plan.workType = workType;
        plan.image = FirmwareImage(dir.file(file), type);
        plan.force = force;
        plan.knownPartitions = {{"mtd0:", "1", "1", "\"boot\""}};
        plan.backupTarget = "data.tar.gz";
        CameraUpgrade upgrade(plan);
        Run run(upgrade);
        upgrade.start();
        QTRY_VERIFY(run.done);
        QCOMPARE(run.verdict, verdict);
        QTest::qWait(50);
        QCOMPARE(m_refusals.events("tcp_open").size(), 0);
        QVERIFY(!QFile::exists("data.tar.gz"));
    }

    // Camera A (model X1) is asked first; camera B, the one upgraded, differs row by row. Its requests show
    // whether a byte of firmware could have reached it.
    void sequence_data()
    {
        QTest::addColumn<QString>("cameraB"); // JSON of camera B
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("plan"); // words: ask, accept, backup, nobody, quick-question
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("requestsB");
        QTest::addColumn<bool>("asked");
        const QString z9 =
            "{\"version\": \"V1.0.0B MODEL: Z9.R1\", \"archive_text\": \"settings of camera B\", ";
        const QString late = z9 + "\"faults\": {\"version-delay\": 600}}";
        QTest::newRow("MTD of another model, late answer") << late << "fw_X1.img" << 4 << ""
                                                           << "RefusedModel Querying"
                                                           << "Q" << false;
        QTest::newRow("the same, asked and declined") << late << "fw_X1.img" << 4 << "ask"
                                                      << "Declined Querying"
                                                      << "Q" << true;
        QTest::newRow("the same, asked and accepted") << late << "fw_X1.img" << 4 << "ask accept"
                                                      << "Done Flashing"
                                                      << "Q U" << true;
        QTest::newRow("MTD of this model, late answer") << late << "fw_Z9.img" << 4 << "ask"
                                                        << "Done Flashing"
                                                        << "Q U" << false;
        QTest::newRow("camera names no model") << "{\"version\": \"V1.0.0B build 5\"}"
                                               << "fw_.img" << 4 << ""
                                               << "RefusedModel Querying"
                                               << "Q" << false;
        QTest::newRow("partition another camera listed")
            << "{\"partitions\": [\"mtd0: 1 1 \\\"boot\\\"\", \"mtd1: 1 1 \\\"kernel\\\"\", \"mtd2: 1 1 "
               "\\\"data\\\"\"]}"
            << "x_rootfs.bin" << 7 << ""
            << "RefusedModel Querying"
            << "Q" << false;
        QTest::newRow("no answer within the limit") << z9 + "\"faults\": {\"version-delay\": 1500}}"
                                                    << "fw_Z9.img" << 4 << "quick-question"
                                                    << "NoAnswer Querying"
                                                    << "Q" << false;
        QTest::newRow("slow archive, saved first") << z9 + "\"faults\": {\"backup-delay\": 1200}}"
                                                   << "x_SOC.pkg" << 1 << "backup"
                                                   << "Done Flashing"
                                                   << "B Q U" << false;
        QTest::newRow("failing backup") << z9 + "\"faults\": {\"backup-fail\": true}}"
                                        << "x_SOC.pkg" << 1 << "backup"
                                        << "BackupFailed BackingUp"
                                        << "B" << false;
        QTest::newRow("archive of a wrong MD5") << z9 + "\"faults\": {\"backup-bad-md5\": true}}"
                                                << "x_SOC.pkg" << 1 << "backup"
                                                << "ArchiveMismatch BackingUp"
                                                << "B" << false;
        QTest::newRow("nobody to back up") << z9 + "\"comment\": \"no camera at the address\"}"
                                           << "x_SOC.pkg" << 1 << "backup nobody"
                                           << "ConnectFailed BackupConnecting"
                                           << "" << false;
    }
    void sequence()
    {
        QFETCH(QString, cameraB);
        QFETCH(QString, file);
        QFETCH(int, type);
        QFETCH(QString, plan);
        QFETCH(QString, verdict);
        QFETCH(QString, requestsB);
        QFETCH(bool, asked);
        static int pair = 0;
        const QString a = QString("127.0.0.%1").arg(160 + 2 * pair);
        const QString b = QString("127.0.0.%1").arg(161 + 2 * pair);
        pair = (pair + 1) % 6;
        ScopedWorkDir dir;
        CamsimRun camsim;
        QVERIFY(writeFile("cams.json", "{\"cameras\": [{\"version\": \"V1.0.0A MODEL: X1.R1\"}, " +
                                           cameraB.toUtf8() + "]}"));
        QVERIFY(camsim.start({"--cameras", "2", "--address", a, "--address", b, "--no-discovery", "--no-rtsp",
                              "--no-visca", "--config", "cams.json", "--verify-ms", "5", "--flash-ms", "5",
                              "--reboot-ms", "100", "--duration", "60"}));
        QVERIFY(writeFile(file, QByteArray(20000, 'f')) && writeFile("data.tar.gz", "previous"));

        // Camera A answers first, so a stale model is at hand for any code that keeps one.
        DeviceSession first;
        QSignalSpy reported(&first, &DeviceSession::versionReport);
        QObject::connect(&first, &DeviceSession::connected, [&first] { first.query(true); });
        first.connectToCamera(a);
        QVERIFY(reported.wait(3000));

        CameraUpgrade::Plan settings;
        settings.host = plan.contains("nobody") ? "127.0.0.179" : b;
        settings.image = FirmwareImage(dir.file(file), type);
        settings.askOnMismatch = plan.contains("ask");
        settings.knownPartitions = {{"mtd0:", "1", "1", "\"boot\""},
                                    {"mtd1:", "1", "1", "\"kernel\""},
                                    {"mtd2:", "1", "1", "\"rootfs\""}};
        if (plan.contains("backup")) {
            settings.backupTarget = "data.tar.gz";
            settings.spareCopy = "data.tar.gz_bak";
        }
        CameraUpgrade upgrade(settings);
        if (plan.contains("quick-question"))
            upgrade.setQueryTimeout(500);
        bool wasAsked = false;
        connect(&upgrade, &CameraUpgrade::mismatchFound, [&] {
            wasAsked = true;
            if (plan.contains("accept"))
                upgrade.proceed();
            else
                upgrade.decline();
        });
        Run run(upgrade);
        upgrade.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.done, 10000);
        QCOMPARE(run.verdict, verdict);
        QCOMPARE(wasAsked, asked);
        QTest::qWait(100);
        QCOMPARE(requests(camsim, b), requestsB);
        QCOMPARE(camsim.events("file_received").size(), requestsB.endsWith('U') ? 1 : 0);
        if (plan.contains("backup") && verdict.startsWith("Done")) {
            // Saved and verified, the spare copy made, before the upgrade request left.
            QCOMPARE(run.atRequest, kArchive + "|previous");
        } else if (plan.contains("backup")) {
            QCOMPARE(readFile("data.tar.gz"), QByteArray("previous"));
            QVERIFY(!QFile::exists("data.tar.gz_bak"));
        }
    }

    // The bar reaches the total only once the camera says it has the whole file: camsim has logged its 'U' 3
    // by then, though the last bytes left the tool long before.
    void progressWaitsForTheCamera()
    {
        ScopedWorkDir dir;
        CamsimRun camsim;
        QVERIFY(camsim.start({"--address", "127.0.0.173", "--no-discovery", "--no-rtsp", "--no-visca",
                              "--verify-ms", "5", "--flash-ms", "5", "--fault", "slow-link=400000",
                              "--duration", "60"}));
        QVERIFY(writeFile("x_SOC.pkg", QByteArray(1 << 20, 'f')));
        CameraUpgrade::Plan plan;
        plan.host = "127.0.0.173";
        plan.image = FirmwareImage("x_SOC.pkg", 1);
        CameraUpgrade upgrade(plan);
        int reports = 0;
        bool cameraHadIt = false;
        connect(&upgrade, &CameraUpgrade::progress, [&](qint64 sent, qint64 total) {
            ++reports;
            if (sent < total)
                return;
            for (const QJsonObject& e : camsim.events("record_out"))
                cameraHadIt |= e["type"] == "U" && e["status"] == 3;
        });
        Run run(upgrade);
        upgrade.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.done, 15000);
        QCOMPARE(run.verdict, QString("Done Flashing"));
        QVERIFY(reports > 5); // the slow link shows
        QVERIFY(cameraHadIt);
    }

    // A large file to a slow camera is read and queued a window at a time: memory stays flat.
    void memoryWhileStreamingToASlowCamera()
    {
        ScopedWorkDir dir;
        CamsimRun camsim;
        QVERIFY(
            camsim.start({"--address", "127.0.0.174", "--no-discovery", "--no-rtsp", "--no-visca", "--fault",
                          "slow-link=2000000", "--max-upload", "1073741824", "--duration", "60"}));
        QFile big("big_SOC.pkg");
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(192) << 20));
        big.close();
        CameraUpgrade::Plan plan;
        plan.host = "127.0.0.174";
        plan.image = FirmwareImage("big_SOC.pkg", 1);
        CameraUpgrade upgrade(plan);
        Run run(upgrade);
        qint64 sent = 0;
        connect(&upgrade, &CameraUpgrade::progress, [&](qint64 bytes, qint64) { sent = bytes; });
        const qint64 before = residentKiB();
        qint64 peak = before;
        QTimer sample;
        connect(&sample, &QTimer::timeout, [&] { peak = qMax(peak, residentKiB()); });
        sample.start(20);
        upgrade.start();
        QTRY_VERIFY_WITH_TIMEOUT(sent > (2 << 20), 10000);
        QTest::qWait(500);
        upgrade.cancel();
        QCOMPARE(run.verdict, QString("Cancelled Uploading"));
        QVERIFY2(peak - before < 40 * 1024, qPrintable(QString("grew by %1 KiB").arg(peak - before)));
    }

private:
    CamsimRun m_refusals;
};

QTEST_GUILESS_MAIN(TestCameraUpgrade)
#include "test_cameraupgrade.moc"
