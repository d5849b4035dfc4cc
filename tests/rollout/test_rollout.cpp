// Fleet jobs on several simulated cameras on loopback (127.0.0.200-229), by the core and by the command line:
// rollouts, their interrupts, report and resumption, inventories and backups.
#include <QtTest>

#include <csignal>

#include "camsimrun.h"
#include "fleetcli.h"
#include "rollout.h"
#include "rolloutreport.h"
#include "workdir.h"

namespace
{
const QString kFirmware = QStringLiteral("IPC200_SOC_V2.7.6.pkg");
const int kFirmwareSize = 1000000;
// Camera 0 reports a version with a comma and quotes: the report must keep it whole.
const QString kQuotedVersion = QStringLiteral("V2.7.3D MODEL: IPC200.R2 \"rc\", 2026-05-17");

QString address(int index)
{
    return QStringLiteral("127.0.0.%1").arg(200 + index);
}

bool startCameras(CamsimRun& camsim, int count, const QStringList& extra)
{
    if (!writeFile(camsim.dir.filePath("cams.json"),
                   QJsonDocument(QJsonArray{QJsonObject{{"version", kQuotedVersion}}}).toJson()))
        return false;
    QStringList args =
        CamsimRun::quickCameras() + QStringList{"--reboot-ms", "400",
                                                "--duration",  "120",
                                                "--cameras",   QString::number(count),
                                                "--config",    camsim.dir.filePath("cams.json")};
    for (int i = 0; i < count; ++i)
        args << "--address" << address(i);
    return camsim.start(args + extra);
}

// RFC 4180 rows: quoted fields may hold commas and doubled quotes.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == '"' && text.mid(i + 1, 1) == "\"")
            field += text.at(++i);
        else if (c == '"')
            quoted = !quoted;
        else if (quoted || (c != ',' && c != '\r'))
            field += c;
        else {
            row << field;
            field.clear();
            if (c == '\r') {
                rows << row;
                row.clear();
                ++i; // its '\n'
            }
        }
    }
    return rows;
}

qint64 eventMs(const CamsimRun& camsim, const std::function<bool(const QJsonObject&)>& match)
{
    for (const QJsonObject& e : camsim.events())
        if (match(e))
            return e.value("ms").toVariant().toLongLong();
    return -1;
}
} // namespace

class TestRollout : public QObject
{
    Q_OBJECT
private slots:
    void outcomes_data();
    void outcomes();
    void commandLine_data();
    void commandLine();
    void interrupt_data();
    void interrupt();
    void journalAndResume();
    void fleetCommands_data();
    void fleetCommands();
};

void TestRollout::outcomes_data()
{
    QTest::addColumn<int>("cameras");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QList<int>>("options"); // parallel, canary, max failures
    QTest::addColumn<bool>("backupFirst");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QStringList>("results"); // result, or result and the start of the reason
    QTest::addColumn<bool>("stopped");

    const QString verifyFail = "failed: camera status U 6";
    QTest::newRow("eight, two fail verification")
        << 8 << QStringList{"--fault", "2:verify-fail", "--fault", "5:verify-fail"} << QList<int>{4, 1, 0}
        << false << true << QStringList{"confirmed", "confirmed", verifyFail,  "confirmed",
                                        "confirmed", verifyFail,  "confirmed", "confirmed"}
        << false;
    // Both fail before their uploads end, so each holds the only upload place until it fails.
    QTest::newRow("threshold of two") << 5 << QStringList{"--fault", "1:disk-full", "--fault", "2:disk-full"}
                                      << QList<int>{1, 1, 2} << false << true
                                      << QStringList{"confirmed", "failed: camera status U 1",
                                                     "failed: camera status U 1", "skipped", "skipped"}
                                      << true;
    QTest::newRow("unchanged and not back")
        << 3 << QStringList{"--fault", "1:keep-version", "--fault", "2:never-back"} << QList<int>{3, 0, 0}
        << false << true << QStringList{"confirmed", "unchanged", "failed: not back after the reboot"}
        << false;
    QTest::newRow("failing backup") << 2 << QStringList{"--fault", "1:backup-fail"} << QList<int>{2, 0, 0}
                                    << true << true << QStringList{"confirmed", "failed: backup failed"}
                                    << false;
    QTest::newRow("no confirmation") << 2 << QStringList{} << QList<int>{2, 1, 1} << false << false
                                     << QStringList{"succeeded", "succeeded"} << false;
    // A stalled camera fails after the stall limit and frees its place for the next one.
    QTest::newRow("stalls and a dropped connection")
        << 4 << QStringList{"--fault",        "1:stall-upload=0", "--fault",
                            "2:stall-backup", "--fault",          "3:drop-upload=100000"}
        << QList<int>{2, 0, 0} << true << true
        << QStringList{"confirmed", "failed: stalled: no progress for 1 s",
                       "failed: backup failed: stalled: no progress for 1 s", "failed: dropped connection"}
        << false;
}

void TestRollout::outcomes()
{
    QFETCH(int, cameras);
    QFETCH(QStringList, faults);
    QFETCH(QList<int>, options);
    QFETCH(bool, backupFirst);
    QFETCH(bool, confirm);
    QFETCH(QStringList, results);
    QFETCH(bool, stopped);

    ScopedWorkDir dir;
    CamsimRun camsim;
    QVERIFY(startCameras(camsim, cameras, faults));
    QVERIFY(writeFile(kFirmware, QByteArray(kFirmwareSize, 'f')));

    Rollout rollout;
    for (int i = 0; i < cameras; ++i)
        rollout.addCamera(address(i), QStringLiteral("ID%1").arg(i));
    QVERIFY(rollout.setFirmware(kFirmware, 1, 1).ok());
    RolloutOptions settings;
    settings.parallel = options[0];
    settings.canary = options[1];
    settings.maxFailures = options[2];
    settings.backupFirst = backupFirst;
    settings.confirm = confirm;
    settings.confirmTimeoutMs = 4000;
    settings.probeIntervalMs = 100;
    settings.stallTimeoutMs = 1000;
    rollout.setOptions(settings);
    QSignalSpy finished(&rollout, &Rollout::finished);
    QVERIFY(rollout.start());
    QVERIFY(finished.wait(40000));
    QCOMPARE(rollout.wasStopped(), stopped);

    const QList<QStringList> rows = parseCsv(QString::fromUtf8(rollout_report(rollout)));
    QCOMPARE(rows.value(0).join(','), QString("address,device_id,version_before,version_after,result,reason,"
                                              "seconds,bytes"));
    QCOMPARE(rows.size(), cameras + 1);
    for (int i = 0; i < cameras; ++i) {
        const QStringList row = rows.at(i + 1);
        QCOMPARE(row.size(), 8);
        QCOMPARE(row.mid(0, 2), (QStringList{address(i), QStringLiteral("ID%1").arg(i)}));
        const QString outcome = row[5].isEmpty() ? row[4] : row[4] + ": " + row[5];
        QVERIFY2(outcome.startsWith(results[i]), qPrintable(rows.at(i + 1).join("|")));
        QCOMPARE(row[6].isEmpty(), results[i] == "skipped");
        const bool uploaded = row[4] != "skipped" && !row[5].startsWith("backup") && !row[5].contains("U 1");
        if (row[5].startsWith("stalled") || row[5].startsWith("dropped"))
            QVERIFY2(row[7].toInt() < kFirmwareSize, qPrintable(row[7]));
        else
            QCOMPARE(row[7].toInt(), uploaded ? kFirmwareSize : 0);
        if (i == 0 && uploaded)
            QCOMPARE(row[2], kQuotedVersion);
        if (row[4] == "confirmed")
            QCOMPARE(row[3], row[2] + ' ' + kFirmware);
    }

    // The canary's reboot ends before any other camera hears of the rollout.
    if (settings.canary == 1 && results[0] == "confirmed") {
        const qint64 canaryUp = eventMs(camsim, [](const QJsonObject& e) {
            return e.value("cam") == address(0) && e.value("what") == "up";
        });
        const qint64 others = eventMs(camsim, [](const QJsonObject& e) {
            return e.value("event") == "tcp_open" && e.value("cam") != address(0);
        });
        QVERIFY(canaryUp > 0 && others > canaryUp);
    }
    // A camera whose backup failed has no archive, not even half of one, and never heard of the firmware.
    for (int i = 0; backupFirst && i < cameras; ++i) {
        const bool backupFailed = results[i].startsWith("failed: backup");
        QCOMPARE(QDir("backups").entryList(QDir::Files).filter(address(i)),
                 backupFailed ? QStringList() : QStringList{address(i) + ".tar.gz"});
        QCOMPARE(eventMs(camsim,
                         [i](const QJsonObject& e) {
                             return e.value("event") == "record_in" && e.value("cam") == address(i) &&
                                    e.value("type") == "U";
                         }) < 0,
                 backupFailed);
    }
}

void TestRollout::commandLine_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QString>("result"); // keys of the last JSON line
    // "untouched 0": camera 0 saw no connection; "no-firmware 0": nor any firmware; "report ID": in
    // report.csv
    QTest::addColumn<QString>("check");
    QTest::newRow("all confirmed, hosts from a file")
        << QStringList{} << QStringList{"--hosts-file", "hosts.txt", "--confirm-timeout", "4",
                                        "--parallel",   "64",        "--max-unconfirmed", "1024"}
        << 0 << R"({"confirmed":2,"failed":0,"ok":true})"
        << "";
    QTest::newRow("hosts from a search's CSV, Device IDs into the report")
        << QStringList{}
        << QStringList{"--hosts-file", "search.csv", "--no-confirm", "--report", "report.csv"} << 0
        << R"({"succeeded":2,"ok":true,"report":"report.csv"})"
        << "report ID1";
    QTest::newRow("one failed") << QStringList{"--fault", "1:verify-fail"}
                                << QStringList{"--max-failures", "0", "--no-confirm", address(0), address(1)}
                                << 1 << R"({"failed":1,"ok":false,"skipped":0,"stopped":false,"succeeded":1})"
                                << "";
    QTest::newRow("resumed: the confirmed camera is left alone")
        << QStringList{} << QStringList{"--resume", "earlier.csv", "--no-confirm", address(0), address(1)}
        << 0 << R"({"done-before":1,"succeeded":1,"failed":0,"ok":true})"
        << "untouched 0";
    QTest::newRow("version already there")
        << QStringList{}
        << QStringList{"--skip-version", "IPC200.R2 \"rc\"", "--no-confirm", address(0), address(1)} << 0
        << R"({"up-to-date":1,"succeeded":1,"ok":true})"
        << "no-firmware 0";
    QTest::newRow("report into a missing folder")
        << QStringList{} << QStringList{"--report", "nowhere/report.csv", address(0), address(1)} << 2 << ""
        << "untouched 0 1";
    QTest::newRow("resume from no report")
        << QStringList{} << QStringList{"--resume", "hosts.txt", address(0)} << 2 << ""
        << "untouched 0";
    QTest::newRow("no camera") << QStringList{} << QStringList{} << 2 << QString() << "";
    QTest::newRow("bad parallel") << QStringList{} << QStringList{"--parallel", "65", address(0)} << 2
                                  << QString() << "";
    QTest::newRow("bad max-unconfirmed")
        << QStringList{} << QStringList{"--max-unconfirmed", "1025", address(0)} << 2 << QString() << "";
    QTest::newRow("no room to confirm")
        << QStringList{} << QStringList{"--max-unconfirmed", "0", address(0)} << 2 << QString() << "";
}

void TestRollout::commandLine()
{
    QFETCH(QStringList, faults);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitStatus);
    QFETCH(QString, result);
    QFETCH(QString, check);
    ScopedWorkDir dir;
    QVERIFY(writeFile(kFirmware, QByteArray(kFirmwareSize, 'f')));
    QVERIFY(
        writeFile("hosts.txt",
                  QString("# two cameras\n%1\n\n%2  # the second\n").arg(address(0), address(1)).toUtf8()));
    QVERIFY(writeFile("search.csv", QString("ip,netmask,gateway,mac,uptime,device_id,dns,dhcp,conflicts\n"
                                            "%1,255.0.0.0,127.0.0.1,02:5A:C3:00:00:01,5,ID0,,false,\n"
                                            "%2,255.0.0.0,127.0.0.1,02:5A:C3:00:00:02,5,ID1,,false,\n")
                                        .arg(address(0), address(1))
                                        .toUtf8()));
    QVERIFY(writeFile("earlier.csv", QString("address,device_id,version_before,version_after,result,reason,"
                                             "seconds,bytes\r\n%1,ID0,a,\"b, c\",confirmed,,1.0,5\r\n"
                                             "%2,ID1,a,,failed,verify,1.0,5\r\n")
                                         .arg(address(0), address(1))
                                         .toUtf8()));
    CamsimRun camsim;
    QVERIFY(startCameras(camsim, 2, faults));
    QProcess cli;
    cli.start(CLI_PATH, QStringList{"rollout", "--json", "--file", kFirmware, "--kind", "soc"} + arguments);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), exitStatus);
    const QList<QByteArray> lines = cli.readAllStandardOutput().trimmed().split('\n');
    QVERIFY2(result.isEmpty() || containsJson(QJsonDocument::fromJson(lines.last()).object(), result),
             lines.last().constData());
    const QStringList words = check.split(' ', Qt::SkipEmptyParts);
    for (const QString& index : words.mid(1)) {
        const QString camera = address(index.toInt());
        const auto seen = [&](const char* event) {
            for (const QJsonObject& e : camsim.events(event))
                if (e["cam"] == camera)
                    return true;
            return false;
        };
        if (words[0] == "untouched")
            QVERIFY2(!seen("tcp_open"), qPrintable(camera));
        else if (words[0] == "no-firmware")
            QVERIFY2(seen("record_in") && !seen("file_received"), qPrintable(camera));
    }
    if (words.value(0) == "report")
        QVERIFY(readFile("report.csv").contains(words[1].toUtf8()));
}

// A slow camera is uploading when the operator interrupts; the other two never start.
void TestRollout::interrupt_data()
{
    QTest::addColumn<QList<int>>("signalsSent");
    QTest::addColumn<QString>("reason"); // the first camera's
    QTest::addColumn<bool>("wholeFile"); // it received the whole firmware
    QTest::newRow("Ctrl-C: the upload finishes, the wait for its reboot ends")
        << QList<int>{SIGINT} << "interrupted: upgraded, not confirmed" << true;
    QTest::newRow("SIGTERM, the same")
        << QList<int>{SIGTERM} << "interrupted: upgraded, not confirmed" << true;
    QTest::newRow("Ctrl-C twice: the upload ends too")
        << QList<int>{SIGINT, SIGINT} << "interrupted" << false;
}

void TestRollout::interrupt()
{
    QFETCH(QList<int>, signalsSent);
    QFETCH(QString, reason);
    QFETCH(bool, wholeFile);
    ScopedWorkDir dir;
    QVERIFY(writeFile(kFirmware, QByteArray(kFirmwareSize, 'f')));
    CamsimRun camsim;
    QVERIFY(startCameras(camsim, 3, {"--fault", "0:slow-link=400000"}));
    Cli cli({"rollout", "--file", kFirmware, "--kind", "soc", "--parallel", "1", "--canary", "0", "--report",
             "report.csv", address(0), address(1), address(2)});
    QVERIFY(cli.waitForLine(QString(R"({"host":"%1","state":"uploading"})").arg(address(0))));
    for (int signal : signalsSent) {
        // Never 0: that would signal this test's whole process group.
        const pid_t pid = pid_t(cli.process.processId());
        if (pid > 0)
            ::kill(pid, signal);
        QTest::qWait(300);
    }
    QVERIFY(cli.process.state() == QProcess::NotRunning || cli.process.waitForFinished(20000));
    QCOMPARE(cli.process.exitCode(), 3);
    cli.read();
    const QJsonObject first = cli.lineWith(QString(R"({"host":"%1","state":"failed"})").arg(address(0)));
    QCOMPARE(first.keys(), (QStringList{"bytes", "event", "host", "model", "reason", "state", "version_after",
                                        "version_before"}));
    QCOMPARE(first["reason"].toString(), reason);
    QCOMPARE(first["version_before"].toString(), kQuotedVersion);
    QCOMPARE(first["bytes"].toInt() == kFirmwareSize, wholeFile);
    QVERIFY(containsJson(cli.lines.last(), R"({"event":"result","ok":false,"failed":1,"skipped":2,)"
                                           R"("interrupted":true,"stopped":true,"report":"report.csv"})"));
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(readFile("report.csv")));
    QCOMPARE(rows.value(1).mid(4, 2) << rows.value(2).value(4) << rows.value(3).value(4),
             (QStringList{"failed", reason, "skipped", "skipped"}));
    QCOMPARE(camsim.events("file_received").size(), wholeFile ? 1 : 0);
    for (const QJsonObject& e : camsim.events("tcp_open"))
        QCOMPARE(e["cam"].toString(), address(0));
}

// Killed outright while its third camera uploads, the rollout leaves a report with both finished cameras;
// resumed from it, only the other two run.
void TestRollout::journalAndResume()
{
    ScopedWorkDir dir;
    QVERIFY(writeFile(kFirmware, QByteArray(kFirmwareSize, 'f')));
    CamsimRun camsim;
    QVERIFY(startCameras(camsim, 4, {"--fault", "2:slow-link=400000"}));
    const QStringList cameras{address(0), address(1), address(2), address(3)};
    const QStringList common{"rollout",      "--file",   kFirmware, "--kind",   "soc",
                             "--no-confirm", "--canary", "0",       "--report", "report.csv"};
    Cli killed(common + QStringList{"--parallel", "1"} + cameras);
    // The third starts once the second has its file and crawls long after the second succeeded.
    QVERIFY(killed.waitForLine(QString(R"({"host":"%1","state":"succeeded"})").arg(address(1))));
    killed.process.kill();
    QVERIFY(killed.process.waitForFinished(5000));
    QStringList results;
    for (const QStringList& row : parseCsv(QString::fromUtf8(readFile("report.csv"))).mid(1))
        results << row.value(4);
    QCOMPARE(results.size(), 4);
    QCOMPARE(results.mid(0, 2), (QStringList{"succeeded", "succeeded"}));
    QVERIFY2(!Rollout::isFinal(Rollout::stateFromName(results[2])), qPrintable(results[2]));
    QCOMPARE(results[3], QString("waiting"));
    QCOMPARE(QDir(".").entryList(QDir::Files), (QStringList{kFirmware, "report.csv"}));

    Cli resumed(common + QStringList{"--resume", "report.csv", "--parallel", "4"} + cameras);
    QVERIFY(resumed.process.waitForFinished(20000));
    QCOMPARE(resumed.process.exitCode(), 0);
    resumed.read();
    QVERIFY(containsJson(resumed.lines.last(), R"({"done-before":2,"succeeded":2,"ok":true})"));
    QVERIFY(containsJson(resumed.lineWith(QString(R"({"host":"%1"})").arg(address(1))),
                         R"({"state":"done-before","reason":"already done"})"));
    QStringList opened;
    for (const QJsonObject& e : camsim.events("tcp_open"))
        opened << e["cam"].toString();
    QCOMPARE(opened.count(address(0)) + opened.count(address(1)), 2);
}

// Every camera's version, then every camera's archive, through the same engine.
void TestRollout::fleetCommands_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QStringList>("lines"); // keys of lines printed; "=" first: the whole line
    QTest::addColumn<QString>("saved");     // the folder's files, or a file's first line
    const QString gone = address(29);
    QTest::newRow("inventory, one camera missing")
        << QString("inventory %1 %2 %3 --out inventory.csv").arg(address(0), address(1), gone)
        << QStringList() << 1
        << QStringList{QString(R"({"host":"%1","state":"answered","model":"IPC200","partitions":5,"mac":""})")
                           .arg(address(0)),
                       QString(R"(={"event":"camera","host":"%1","state":"failed","device_id":"","mac":"",)"
                               R"("version":"","model":"","partitions":null,)"
                               R"("reason":"connection failed: Connection refused"})")
                           .arg(gone),
                       R"({"event":"result","ok":false,"answered":2,"failed":1,"skipped":0,"report":"inventory.csv"})"}
        << "inventory.csv address,device_id,mac,version,model,partitions,result,reason";
    QTest::newRow("backup into a folder: refused, stalled")
        << QString("backup %1 %2 %3 --out-dir saved --stall-timeout 1")
               .arg(address(0), address(1), address(2))
        << QStringList{"--fault", "1:backup-fail", "--fault", "2:stall-backup=2048"} << 1
        << QStringList{QString(R"({"host":"%1","state":"saved","file":"saved/%1.tar.gz"})").arg(address(0)),
                       QString(R"(={"event":"camera","host":"%1","state":"failed",)"
                               R"("reason":"camera reported a failed backup"})")
                           .arg(address(1)),
                       QString(R"(={"event":"camera","host":"%1","state":"failed",)"
                               R"("reason":"stalled: no progress for 1 s"})")
                           .arg(address(2)),
                       R"({"event":"result","ok":false,"saved":1,"failed":2,"skipped":0})"}
        << "saved " + address(0) + ".tar.gz";
    QTest::newRow("backup into a folder that cannot be made")
        << QString("backup %1 --out-dir a-file/saved").arg(address(0)) << QStringList() << 2 << QStringList()
        << "";
    QTest::newRow("backup: --out with --out-dir")
        << QString("backup %1 --out a.tgz --out-dir saved").arg(address(0)) << QStringList() << 2
        << QStringList() << "";
    QTest::newRow("inventory: hosts and a search")
        << QString("inventory %1 --interface 127.0.0.1").arg(address(0)) << QStringList() << 2
        << QStringList() << "";
}

void TestRollout::fleetCommands()
{
    QFETCH(QString, args);
    QFETCH(QStringList, faults);
    QFETCH(int, exitStatus);
    QFETCH(QStringList, lines);
    QFETCH(QString, saved);
    ScopedWorkDir dir;
    QVERIFY(writeFile("a-file", "not a folder"));
    CamsimRun camsim;
    QVERIFY(startCameras(camsim, 3, faults));
    Cli cli(args.split(' '));
    QVERIFY(cli.process.waitForFinished(30000));
    QCOMPARE(cli.process.exitCode(), exitStatus);
    cli.read();
    for (const QString& expected : lines) {
        if (!expected.startsWith('='))
            QVERIFY2(!cli.lineWith(expected).isEmpty(), qPrintable(expected));
        else
            QVERIFY2(cli.lines.contains(QJsonDocument::fromJson(expected.mid(1).toUtf8()).object()),
                     qPrintable(expected));
    }
    if (exitStatus == 2)
        QVERIFY(camsim.events("tcp_open").isEmpty());
    const QStringList where = saved.split(' ', Qt::SkipEmptyParts);
    if (where.value(0) == "saved") {
        // Only the archive that arrived whole and matched its MD5: no half file, no temporary one.
        QCOMPARE(QDir("saved").entryList(QDir::Files | QDir::Hidden), where.mid(1));
        const QJsonObject line = cli.lineWith(R"({"state":"saved"})");
        QCOMPARE(QCryptographicHash::hash(readFile(line["file"].toString()), QCryptographicHash::Md5).toHex(),
                 line["md5"].toString().toUtf8());
    } else if (!where.isEmpty()) {
        QCOMPARE(readFile(where[0]).split('\r').value(0), where.mid(1).join(' ').toUtf8());
    }
}

QTEST_GUILESS_MAIN(TestRollout)
#include "test_rollout.moc"
