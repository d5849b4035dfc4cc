// Why a rollout stopped and which models it upgrades, as the command line tells it (text, JSON, report),
// against three simulated cameras on loopback (127.0.0.72-74).
#include <QtTest>

#include "camsimrun.h"
#include "fleetcli.h"
#include "rolloutreport.h"
#include "workdir.h"

namespace
{
const QString kFirmware = QStringLiteral("IPC200_SOC_V2.7.6.pkg");
const int kFirmwareSize = 200000;

QString address(int index)
{
    return QStringLiteral("127.0.0.%1").arg(72 + index);
}
} // namespace

class TestRolloutModels : public QObject
{
    Q_OBJECT
private slots:
    void stopReasonsAndModels_data();
    void stopReasonsAndModels();
};

void TestRolloutModels::stopReasonsAndModels_data()
{
    QTest::addColumn<QStringList>("models"); // of cameras 0-2
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QStringList>("results"); // each camera's result and the start of its reason
    QTest::addColumn<QString>("result");      // keys of the last JSON line; text: the summary and error
    const QStringList same{"IPC200", "IPC200", "IPC200"};
    const QString canary = "skipped: stopped: the canary failed";
    QTest::newRow("a failing canary")
        << same << QStringList{"--json", "--canary", "1", "--fault", "0:verify-fail"} << 3
        << QStringList{"failed: camera status U 6", canary, canary}
        << R"({"stopped":true,"stop_reason":"canary-failed","failed":1,)"
           R"("skipped":2,"ok":false})";
    // One camera under way at a time: the second starts only after the first failed, the third never.
    const QString threshold = "stopped: 2 failures reached the threshold";
    QTest::newRow("the threshold, in words")
        << same << QStringList{"--canary",          "0",
                               "--parallel",        "1",
                               "--max-unconfirmed", "1",
                               "--max-failures",    "2",
                               "--fault",           "0:verify-fail",
                               "--fault",           "1:upgrade-fail"}
        << 3 << QStringList{"failed: camera status U 6", "failed: camera status U 8", "skipped: " + threshold}
        << "0 confirmed, 0 unchanged, 0 succeeded, 2 failed, 1 skipped; " + threshold +
               "\nerror: 2 of 3 cameras failed; " + threshold;
    QTest::newRow("the threshold, in JSON")
        << same << QStringList{"--json",
                               "--canary",
                               "0",
                               "--parallel",
                               "1",
                               "--max-unconfirmed",
                               "1",
                               "--max-failures",
                               "2",
                               "--fault",
                               "0:verify-fail",
                               "--fault",
                               "1:upgrade-fail"}
        << 3 << QStringList{"failed: camera status U 6", "failed: camera status U 8", "skipped: " + threshold}
        << R"({"stop_reason":"failure-threshold","stop_failures":2,"failed":2,"skipped":1})";
    // The first camera is of another model: the next one takes its place as the canary.
    QTest::newRow("--model, in any case")
        << QStringList{"IPC310", "IPC200", "IPC200"}
        << QStringList{"--json", "--model", "ipc200", "--canary", "1", "--max-failures", "1"} << 0
        << QStringList{"other-model: model IPC310", "succeeded", "succeeded"}
        << R"({"other-model":1,"succeeded":2,"failed":0,"stopped":false,"stop_reason":"","ok":true})";
    QTest::newRow("--model names none of them")
        << same << QStringList{"--json", "--model", "NVC8", "--fault", "1:verify-fail"} << 0
        << QStringList{"other-model: model IPC200", "other-model: model IPC200", "other-model: model IPC200"}
        << R"({"other-model":3,"succeeded":0,"failed":0,"ok":true})";
    QTest::newRow("--model with no name")
        << same << QStringList{"--json", "--model", " "} << 2 << QStringList() << "";
}

void TestRolloutModels::stopReasonsAndModels()
{
    QFETCH(QStringList, models);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitStatus);
    QFETCH(QStringList, results);
    QFETCH(QString, result);
    ScopedWorkDir dir;
    QVERIFY(writeFile(kFirmware, QByteArray(kFirmwareSize, 'f')));
    QJsonArray cameras;
    for (const QString& model : models)
        cameras.append(QJsonObject{{"version", QString("V2.7.3D MODEL: %1.R2 2026-05-17").arg(model)}});
    CamsimRun camsim;
    QVERIFY(writeFile(camsim.dir.filePath("cams.json"), QJsonDocument(cameras).toJson()));
    QStringList camsimArgs = CamsimRun::quickCameras() +
                             QStringList{"--duration", "120", "--config", camsim.dir.filePath("cams.json")};
    for (int i = 0; i < 3; ++i)
        camsimArgs << "--address" << address(i);
    const int fault = arguments.indexOf("--fault");
    QVERIFY(camsim.start(camsimArgs + (fault < 0 ? QStringList() : arguments.mid(fault))));

    QProcess cli;
    cli.start(CLI_PATH, QStringList{"rollout", "--file", kFirmware, "--kind", "soc", "--no-confirm",
                                    "--report", "report.csv", address(0), address(1), address(2)} +
                            arguments.mid(0, fault < 0 ? -1 : fault));
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), exitStatus);
    const QString out = QString::fromUtf8(cli.readAllStandardOutput()).trimmed();
    const QString err = QString::fromUtf8(cli.readAllStandardError()).trimmed();
    if (arguments.contains("--json"))
        QVERIFY2(result.isEmpty() ||
                     containsJson(QJsonDocument::fromJson(out.split('\n').last().toUtf8()).object(), result),
                 qPrintable(out));
    else
        QCOMPARE(out.split('\n').last() + '\n' + err, result);

    // The report says the same of every camera, the skipped ones included.
    const QList<QStringList> rows = parse_csv(QString::fromUtf8(readFile("report.csv")));
    QCOMPARE(rows.size(), results.size() + (results.isEmpty() ? 0 : 1));
    for (int i = 0; i < results.size(); ++i) {
        const QStringList row = rows.at(i + 1);
        const QString outcome = row[5].isEmpty() ? row[4] : row[4] + ": " + row[5];
        QVERIFY2(outcome.startsWith(results[i]), qPrintable(outcome));
    }
    // A camera of another model heard the version question and nothing of the firmware.
    QMap<QString, int> firmwareRecords;
    for (const QJsonObject& e : camsim.events("record_in"))
        firmwareRecords[e["cam"].toString()] += e["type"] == "U";
    for (const QJsonObject& e : camsim.events("file_received"))
        ++firmwareRecords[e["cam"].toString()];
    for (int i = 0; i < results.size(); ++i)
        QCOMPARE(firmwareRecords.value(address(i)) == 0,
                 results[i].startsWith("other-model") || results[i].startsWith("skipped"));
    // The canary standing in for the other model's camera upgrades before the last one is asked anything.
    if (models.first() != models.last()) {
        qint64 canaryDone = -1, lastOpened = -1;
        for (const QJsonObject& e : camsim.events()) {
            if (canaryDone < 0 && e["event"] == "file_received" && e["cam"] == address(1))
                canaryDone = e["ms"].toVariant().toLongLong();
            if (lastOpened < 0 && e["event"] == "tcp_open" && e["cam"] == address(2))
                lastOpened = e["ms"].toVariant().toLongLong();
        }
        QVERIFY2(canaryDone > 0 && lastOpened > canaryDone,
                 qPrintable(QString("%1 %2").arg(canaryDone).arg(lastOpened)));
    }
}

QTEST_GUILESS_MAIN(TestRolloutModels)
#include "test_rolloutmodels.moc"
