// How a rollout shares out its places, seen from the cameras (127.0.0.180-199): uploads in flight, cameras
// upgraded and not yet confirmed, canaries, and the failure threshold reached at confirmation.
#include <QtTest>

#include "camsimrun.h"
#include "rollout.h"
#include "workdir.h"

namespace
{
const QString kFirmware = QStringLiteral("IPC200_SOC_V2.7.6.pkg");

QString address(int index)
{
    return QStringLiteral("127.0.0.%1").arg(180 + index);
}

// Peaks over the camsim event log, which is in time order.
struct Peaks {
    int uploads = 0;                // between 'U' in and the camera's verdict on the file
    int unconfirmed = 0;            // between 'U' in and the first 'Q' in after the camera is up again
    bool uploadDuringFlash = false; // another camera had its file and had not yet reported the flash done
    bool uploadDuringReboot = false;
    bool canariesFirst = true; // no other camera heard of the rollout before every canary was asked again
};

Peaks peaks(const QList<QJsonObject>& events, int canaries)
{
    Peaks peaks;
    QSet<QString> uploading, unconfirmed, flashing, rebooting, back, confirmedCanaries;
    for (const QJsonObject& e : events) {
        const QString cam = e.value("cam").toString();
        const QString event = e.value("event").toString();
        const QString type = e.value("type").toString();
        const bool canary = cam.section('.', 3).toInt() - 180 < canaries;
        if (event == "record_in" && type == "U") {
            uploading.insert(cam);
            unconfirmed.insert(cam);
            peaks.uploadDuringFlash = peaks.uploadDuringFlash || !flashing.isEmpty();
            peaks.uploadDuringReboot = peaks.uploadDuringReboot || !rebooting.isEmpty();
        } else if ((event == "record_out" && type == "U" && e.value("status").toInt() != 0) ||
                   event == "tcp_close") {
            uploading.remove(cam);
            if (event == "record_out" && e.value("status").toInt() == 3)
                flashing.insert(cam);
            else if (event == "record_out" && e.value("status").toInt() == 7)
                flashing.remove(cam);
        } else if (event == "state" && e.value("what") == "rebooting") {
            rebooting.insert(cam);
        } else if (event == "state" && e.value("what") == "up") {
            rebooting.remove(cam);
            back.insert(cam);
        } else if (event == "record_in" && type == "Q" && back.remove(cam)) {
            unconfirmed.remove(cam);
            if (canary)
                confirmedCanaries.insert(cam);
        } else if (event == "tcp_open" && !canary && confirmedCanaries.size() < canaries) {
            peaks.canariesFirst = false;
        }
        peaks.uploads = qMax(peaks.uploads, uploading.size());
        peaks.unconfirmed = qMax(peaks.unconfirmed, unconfirmed.size());
    }
    return peaks;
}
} // namespace

class TestRolloutSlots : public QObject
{
    Q_OBJECT
private slots:
    void accounting_data();
    void accounting();
};

void TestRolloutSlots::accounting_data()
{
    QTest::addColumn<int>("cameras");
    QTest::addColumn<int>("parallel");
    QTest::addColumn<int>("maxUnconfirmed");
    QTest::addColumn<int>("canary");
    QTest::addColumn<int>("neverBack");           // this camera does not come back from its reboot; -1 none
    QTest::addColumn<int>("expectedUnconfirmed"); // peak: the bound reached, never passed
    // An upload starts while another camera verifies and flashes, and one while another reboots.
    QTest::addColumn<bool>("overlap");

    // The point of the split: the next uploads go on while earlier cameras reboot.
    QTest::newRow("two uploads, reboots overlap") << 8 << 2 << 8 << 0 << -1 << 8 << true;
    QTest::newRow("unconfirmed bound below parallel") << 4 << 4 << 2 << 0 << -1 << 2 << false;
    QTest::newRow("default bound: four times parallel") << 8 << 1 << 0 << 0 << -1 << 4 << true;
    QTest::newRow("two canaries confirmed before the rest") << 6 << 4 << 16 << 2 << -1 << 4 << false;
    // Found at confirmation, after a later camera took its place: no upload starts after it.
    QTest::newRow("not back stops new uploads at the threshold") << 10 << 1 << 2 << 0 << 0 << 2 << true;
}

void TestRolloutSlots::accounting()
{
    QFETCH(int, cameras);
    QFETCH(int, parallel);
    QFETCH(int, maxUnconfirmed);
    QFETCH(int, canary);
    QFETCH(int, neverBack);
    QFETCH(int, expectedUnconfirmed);
    QFETCH(bool, overlap);

    ScopedWorkDir dir;
    // An upload of about 400 ms against a flash of 300 ms and a reboot of a second: several uploads fit in
    // one reboot, and the next one starts well within the flash.
    QVERIFY(writeFile(kFirmware, QByteArray(400000, 'f')));
    CamsimRun camsim;
    QStringList args{
        "--no-discovery",    "--no-rtsp",  "--no-visca",  "--verify-ms", "10",
        "--flash-ms",        "300",        "--reboot-ms", "1000",        "--fault",
        "slow-link=1000000", "--duration", "60",          "--cameras",   QString::number(cameras)};
    for (int i = 0; i < cameras; ++i)
        args << "--address" << address(i);
    if (neverBack >= 0)
        args << "--fault" << QStringLiteral("%1:never-back").arg(neverBack);
    QVERIFY(camsim.start(args));

    Rollout rollout;
    for (int i = 0; i < cameras; ++i)
        rollout.addCamera(address(i));
    QVERIFY(rollout.setFirmware(kFirmware, 1, 1).ok());
    RolloutOptions options;
    options.parallel = parallel;
    options.maxUnconfirmed = maxUnconfirmed;
    options.canary = canary;
    options.maxFailures = 1;
    options.confirmTimeoutMs = 2500;
    options.probeIntervalMs = 100;
    rollout.setOptions(options);
    QSignalSpy finished(&rollout, &Rollout::finished);
    QVERIFY(rollout.start());
    QVERIFY(finished.wait(30000));

    const Peaks seen = peaks(camsim.events(), canary);
    QVERIFY2(seen.uploads <= parallel, qPrintable(QString::number(seen.uploads)));
    QCOMPARE(seen.unconfirmed, expectedUnconfirmed);
    QVERIFY(!overlap || (seen.uploadDuringFlash && seen.uploadDuringReboot));
    QVERIFY(seen.canariesFirst);

    QCOMPARE(rollout.wasStopped(), neverBack >= 0);
    if (neverBack < 0) {
        QCOMPARE(rollout.count(Rollout::State::Confirmed), cameras);
        return;
    }
    const Rollout::Camera failed = rollout.cameras().at(neverBack);
    QCOMPARE(failed.failure, Failure::NotBack);
    QSet<QString> touched;
    for (const QJsonObject& e : camsim.events("tcp_open"))
        touched.insert(e.value("cam").toString());
    int confirmed = 0;
    for (int i = 0; i < cameras; ++i) {
        const Rollout::Camera& camera = rollout.cameras().at(i);
        confirmed += camera.state == Rollout::State::Confirmed;
        // A skipped camera never heard of the rollout; every other one started before the failure was known.
        QCOMPARE(camera.state == Rollout::State::Skipped, !touched.contains(address(i)));
        if (camera.state != Rollout::State::Skipped)
            QVERIFY2(camera.startedMs <= failed.endedMs, qPrintable(address(i)));
    }
    QVERIFY(confirmed > 0);
    QVERIFY(rollout.count(Rollout::State::Skipped) > 0);
}

QTEST_GUILESS_MAIN(TestRolloutSlots)
#include "test_rolloutslots.moc"
