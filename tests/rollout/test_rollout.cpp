// Rollouts of one firmware file to several simulated cameras on loopback (127.0.0.200-229), by the core and
// by the command line.
#include <QtTest>

#include "camsimrun.h"
#include "rollout.h"
#include "rolloutreport.h"
#include "workdir.h"

namespace
{
const QString kFirmware = QStringLiteral("IPC200_SOC_V2.7.6.pkg");
const int kFirmwareSize = 300000;
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
    QStringList args{"--no-discovery",
                     "--no-rtsp",
                     "--no-visca",
                     "--verify-ms",
                     "10",
                     "--flash-ms",
                     "50",
                     "--reboot-ms",
                     "400",
                     "--duration",
                     "120",
                     "--cameras",
                     QString::number(count),
                     "--config",
                     camsim.dir.filePath("cams.json")};
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
    QTest::newRow("failing canary") << 4 << QStringList{"--fault", "0:verify-fail"} << QList<int>{4, 1, 0}
                                    << false << true
                                    << QStringList{verifyFail, "skipped", "skipped", "skipped"} << true;
    QTest::newRow("threshold of two")
        << 5 << QStringList{"--fault", "1:upgrade-fail", "--fault", "2:disk-full"} << QList<int>{1, 1, 2}
        << false << true
        << QStringList{"confirmed", "failed: camera status U 8", "failed: camera status U 1", "skipped",
                       "skipped"}
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
    if (backupFirst) {
        QVERIFY(QFile::exists("backups/" + address(0) + ".tar.gz"));
        QVERIFY(!QFile::exists("backups/" + address(1) + ".tar.gz"));
        QCOMPARE(eventMs(camsim,
                         [](const QJsonObject& e) {
                             return e.value("event") == "record_in" && e.value("cam") == address(1) &&
                                    e.value("type") == "U";
                         }),
                 qint64(-1));
    }
}

void TestRollout::commandLine_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QString>("result"); // part of the last JSON line
    QTest::newRow("all confirmed, hosts from a file")
        << QStringList{} << QStringList{"--hosts-file", "hosts.txt", "--confirm-timeout", "4"} << 0
        << "\"confirmed\":2,\"event\":\"result\",\"failed\":0,\"ok\":true";
    QTest::newRow("one failed")
        << QStringList{"--fault", "1:verify-fail"}
        << QStringList{"--max-failures", "0", "--no-confirm", address(0), address(1)} << 1
        << "\"failed\":1,\"ok\":false,\"skipped\":0,\"stopped\":false,\"succeeded\":1";
    QTest::newRow("failing canary") << QStringList{"--fault", "0:verify-fail"}
                                    << QStringList{"--no-confirm", address(0), address(1)} << 3
                                    << "\"skipped\":1,\"stopped\":true";
    QTest::newRow("no camera") << QStringList{} << QStringList{} << 2 << QString();
    QTest::newRow("bad parallel") << QStringList{} << QStringList{"--parallel", "33", address(0)} << 2
                                  << QString();
}

void TestRollout::commandLine()
{
    QFETCH(QStringList, faults);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitStatus);
    QFETCH(QString, result);
    ScopedWorkDir dir;
    QVERIFY(writeFile(kFirmware, QByteArray(kFirmwareSize, 'f')));
    QVERIFY(
        writeFile("hosts.txt",
                  QString("# two cameras\n%1\n\n%2  # the second\n").arg(address(0), address(1)).toUtf8()));
    CamsimRun camsim;
    QVERIFY(startCameras(camsim, 2, faults));
    QProcess cli;
    cli.start(CLI_PATH, QStringList{"rollout", "--json", "--file", kFirmware, "--kind", "soc"} + arguments);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), exitStatus);
    const QList<QByteArray> lines = cli.readAllStandardOutput().trimmed().split('\n');
    QVERIFY2(lines.last().contains(result.toUtf8()), lines.last().constData());
}

QTEST_GUILESS_MAIN(TestRollout)
#include "test_rollout.moc"
