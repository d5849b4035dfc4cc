// VersionCheck, the question after a reboot, against camsim on loopback (127.0.0.62-64): how soon it follows
// a camera coming back, and that every way of not answering ends at the time limit, with one question asked.
#include <QSignalSpy>
#include <QtTest>

#include "cameraupgrade.h"
#include "camsimrun.h"
#include "versioncheck.h"
#include "workdir.h"

class TestVersionCheck : public QObject
{
    Q_OBJECT

private slots:
    // camsim switches | upgraded first | time limit | verdict | its earliest and latest end (ms; timers may
    // be 5 % early) | requests
    void answerOrLimit_data()
    {
        QTest::addColumn<QStringList>("row");
        // Down for 2 s: answered on the first attempt after it is back, attempts a second apart.
        QTest::newRow("back after the reboot")
            << QStringList{"127.0.0.62 --reboot-ms 2000", "1", "10000", "Done", "1800", "3500", "Q U Q"};
        QTest::newRow("never back") << QStringList{
            "127.0.0.63 --fault never-back", "1", "2500", "NotBack", "2350", "3000", "Q U"};
        // Connected and asked, the answer later than the limit.
        QTest::newRow("silent") << QStringList{
            "127.0.0.64 --fault version-delay=8000", "", "2500", "NotBack", "2350", "3000", "Q"};
    }
    void answerOrLimit()
    {
        QFETCH(QStringList, row);
        ScopedWorkDir dir;
        const QStringList switches = row[0].split(' ');
        const QString host = switches.first();
        CamsimRun camsim;
        QVERIFY(camsim.start(QStringList{"--address", host, "--no-discovery", "--no-rtsp", "--no-visca",
                                         "--verify-ms", "10", "--flash-ms", "10", "--duration", "60"} +
                             switches.mid(1)));
        if (!row[1].isEmpty()) {
            QVERIFY(writeFile("x_SOC.pkg", QByteArray(3000, 'f')));
            CameraUpgrade::Plan plan;
            plan.host = host;
            plan.image = FirmwareImage("x_SOC.pkg", 1);
            CameraUpgrade upgrade(plan);
            QSignalSpy upgraded(&upgrade, &CameraUpgrade::finished);
            upgrade.start();
            QVERIFY(upgraded.wait(10000));
            QVERIFY(camsim.waitFor([](const QJsonObject& e) { return e["what"] == "rebooting"; }, 5000));
        }

        VersionCheck check(host, 1);
        check.setTimeLimit(row[2].toInt());
        QSignalSpy finished(&check, &VersionCheck::finished);
        QString version;
        connect(&check, &VersionCheck::finished,
                [&version](const Verdict&, const VersionReport& report) { version = report.version; });
        QElapsedTimer clock;
        clock.start();
        check.start();
        QVERIFY(finished.wait(row[2].toInt() + 2000));
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= row[4].toInt() && elapsed <= row[5].toInt(),
                 qPrintable(QString::number(elapsed)));
        const Verdict verdict = finished.first().at(0).value<Verdict>();
        QCOMPARE(verdict.ok() ? QString("Done")
                              : QString(QMetaEnum::fromType<Failure>().valueToKey(int(verdict.failure))),
                 row[3]);
        QCOMPARE(version.endsWith(" x_SOC.pkg"), verdict.ok());
        QTest::qWait(200);
        QCOMPARE(finished.count(), 1);
        QStringList types;
        for (const QJsonObject& e : camsim.events("record_in"))
            types << e["type"].toString();
        QCOMPARE(types.join(' '), row[6]);
    }
};

QTEST_MAIN(TestVersionCheck)
#include "test_versioncheck.moc"
