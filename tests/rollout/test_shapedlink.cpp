// The fleet jobs inside scripts/simlan, the private link shaped to 10 Mbit/s and camera 0 pausing its
// reading: what the tool counts as taken, a rollout of all eight, an inventory from a search and a backup of
// the site.
#include <QtTest>

#include "cameraupgrade.h"
#include "camsimrun.h"
#include "fleetcli.h"
#include "workdir.h"

class TestShapedLink : public QObject
{
    Q_OBJECT
private slots:
    void shapedLink();
};

void TestShapedLink::shapedLink()
{
    if (qEnvironmentVariableIsEmpty("SIMLAN_SHAPE"))
        QSKIP("runs only inside scripts/simlan --shape");
    ScopedWorkDir dir;
    CamsimRun camsim(qEnvironmentVariable("SIMLAN_EVENTS"));
    const QStringList cameras = qEnvironmentVariable("SIMLAN_CAMERA_IPS").split(' ');
    QCOMPARE(cameras.size(), 8);

    // 4 MB with pauses of 1.5 s under a limit of 3 s: the upload completes, its MD5 right, and while the
    // camera does not read, what the tool counts as taken stays within the camera's buffers of what it read.
    QVERIFY(writeFile("big_SOC.pkg", QByteArray(4 << 20, 'b')));
    CameraUpgrade::Plan plan;
    plan.host = cameras[0];
    plan.image = FirmwareImage("big_SOC.pkg", 1);
    plan.force = true;
    CameraUpgrade upgrade(plan);
    upgrade.setStallTimeout(3000);
    qint64 taken = 0;
    qint64 aheadMost = 0;
    connect(&upgrade, &CameraUpgrade::progress, [&](qint64 sent, qint64) { taken = sent; });
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        const QList<QJsonObject> faults = camsim.events("fault");
        if (!faults.isEmpty() && faults.last()["fault"] == "pause-reading")
            aheadMost = qMax(aheadMost, taken - faults.last()["received"].toVariant().toLongLong());
    });
    watch.start(50);
    QSignalSpy finished(&upgrade, &CameraUpgrade::finished);
    upgrade.start();
    QVERIFY(finished.wait(60000));
    watch.stop();
    QCOMPARE(finished.first().first().value<Verdict>().outcome, Outcome::Done);
    int pauses = 0;
    for (const QJsonObject& e : camsim.events("fault"))
        pauses += e["fault"] == "pause-reading";
    QCOMPARE(pauses, 4);
    QVERIFY2(aheadMost < (512 << 10), qPrintable(QString::number(aheadMost)));
    QCOMPARE(camsim.events("file_received").value(0)["md5_ok"], QJsonValue(true));
    QVERIFY(camsim.waitFor([&](const QJsonObject& e) { return e["cam"] == cameras[0] && e["what"] == "up"; },
                           10000));

    // A rollout of all eight through the shaped link, camera 0 pausing again; then what the site runs.
    const QString firmware = "IPC200_SOC_V2.7.6.pkg";
    QVERIFY(writeFile(firmware, QByteArray(1000000, 'f')));
    Cli rollout(QStringList{"rollout", "--file", firmware, "--kind", "soc", "--parallel", "8",
                            "--stall-timeout", "3", "--confirm-timeout", "60"} +
                cameras);
    QVERIFY(rollout.process.waitForFinished(120000));
    rollout.read();
    QCOMPARE(rollout.process.exitCode(), 0);
    QVERIFY(containsJson(rollout.lines.last(), R"({"confirmed":8,"ok":true})"));

    QProcess search;
    search.start(CLI_PATH,
                 {"search", "--interface", qEnvironmentVariable("SIMLAN_TOOL_IP"), "--wait", "1", "--csv"});
    QVERIFY(search.waitForFinished(10000));
    QVERIFY(writeFile("cameras.csv", search.readAllStandardOutput()));
    Cli inventory({"inventory", "--interface", qEnvironmentVariable("SIMLAN_TOOL_IP"), "--wait", "1"});
    Cli backups({"backup", "--hosts-file", "cameras.csv", "--out-dir", "site", "--parallel", "8"});
    QVERIFY(inventory.process.waitForFinished(30000) && backups.process.waitForFinished(30000));
    inventory.read();
    backups.read();
    QCOMPARE(inventory.process.exitCode(), 0);
    QCOMPARE(backups.process.exitCode(), 0);
    QVERIFY(containsJson(inventory.lines.last(), R"({"answered":8})"));
    const QJsonObject second =
        inventory.lineWith(QString(R"({"host":"%1","state":"answered"})").arg(cameras[1]));
    QCOMPARE(second["device_id"].toString().size(), 32);
    QVERIFY(second["version"].toString().endsWith(firmware));
    QCOMPARE(QDir("site").entryList(QDir::Files).size(), 8);
}

QTEST_GUILESS_MAIN(TestShapedLink)
#include "test_shapedlink.moc"
