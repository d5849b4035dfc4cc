// What the window adds to the device connection: labels, progress bar, boxes, buttons and count-downs,
// against camsim on loopback (127.0.0.100-149). The conversations themselves are test_devicesession's.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

#include <memory>

#include "camsimrun.h"
#include "devicesession.h"
#include "dialogs.h"
#include "mainwindow.h"
#include "workdir.h"

namespace
{
const QByteArray kCameraJson = "{\"cameras\": [{\"archive_text\": \"the camera's settings\", \"version\": "
                               "\"V2.7.3D MODEL: IPC200.R2 <b>x</b><img src=\\\"a.png\\\">\"}]}";
const QString kSimple = "mode=Simple\nverify=true\nmodel_type=true\n";

// One camera (or two) and one window with the settings given, in a fresh working directory.
struct Rig {
    ScopedWorkDir dir;
    CamsimRun camsim;
    DialogAnswerer answers{QMessageBox::Ok};
    std::unique_ptr<MainWindow> window;
    QString address;

    bool start(const QStringList& extra = {}, const QString& settings = kSimple)
    {
        static int host = 100;
        address = QString("127.0.0.%1").arg(host++);
        writeFile("config.ini",
                  ("[upgrade]\nlanguage=English\n" + settings + "\nipaddr=" + address).toUtf8());
        writeFile("camera.json", kCameraJson);
        window.reset(new MainWindow);
        window->findChild<QLineEdit*>("backup_ip_lineEdit")->setText(address);
        return camsim.start(QStringList{"--address", address, "--no-discovery", "--no-rtsp", "--no-visca",
                                        "--config", "camera.json", "--verify-ms", "10", "--flash-ms", "50",
                                        "--restore-ms", "50", "--reboot-ms", "200", "--duration", "120"} +
                            extra);
    }
    QString text(const char* name) const
    {
        if (auto* label = window->findChild<QLabel*>(name))
            return label->text();
        return window->findChild<QLineEdit*>(name)->text();
    }
    void choose(const QString& name, const QByteArray& content = QByteArray(3000, 'f'))
    {
        writeFile(name, content);
        window->findChild<QLineEdit*>("upgrade_filename_lineEdit")->setText(dir.file(name));
    }
    void click(const char* button) { window->findChild<QPushButton*>(button)->click(); }
    int progress() const { return window->findChild<QProgressBar*>("progressBar")->value(); }
    DeviceSession* session() const { return window->findChild<DeviceSession*>(); }
    // Intervals of the running count-downs; a non-zero `due` makes them end that soon.
    QList<int> countdowns(int due = 0) const
    {
        QList<int> running;
        for (QTimer* timer : window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (timer->isActive() && timer->interval() >= 20000)
                running << timer->interval();
            if (due && timer->interval() >= 20000)
                timer->setInterval(due);
        }
        return running;
    }
};

} // namespace

class TestDeviceFlows : public QObject
{
    Q_OBJECT
private slots:
    void upgradeShown_data()
    {
        // camsim switches | upgrade type | file | label_6 | label_4 | progress (-1 reset) | count-down
        QTest::addColumn<QStringList>("row");
        const char* flashing = "file verify succeed upgradeing...";
        const char* gone = "disconnect";
        QTest::newRow("SOC") << QStringList{"", "SOC", "IPC200_SOC_t.pkg", flashing, gone, "98", "20000"};
        QTest::newRow("MTD model") << QStringList{"", "MTD", "fw_IPC200.img", flashing, gone, "98", "73000"};
        QTest::newRow("MTD letter") << QStringList{
            "--layout TYPE2", "MTD", "x_V1V2VD.img", flashing, gone, "98", "73000"};
        QTest::newRow("disk full") << QStringList{
            "--fault disk-full", "SOC", "a_SOC.pkg", "board is not enough disk space", "connected", "-1", ""};
        QTest::newRow("verify fails") << QStringList{
            "--fault verify-fail", "SOC", "a_SOC.pkg", "file verify fail reboot...", gone, "-1", ""};
        QTest::newRow("flash fails") << QStringList{
            "--fault upgrade-fail", "SOC", "a_SOC.pkg", "upgrade fail reboot...", gone, "85", ""};
        QTest::newRow("ARM file missing") << QStringList{
            "--fault arm-missing", "ARM", "ARM.bin", "arm upgrade file not found reboot...", gone, "-1", ""};
        QTest::newRow("dropped mid-upload")
            << QStringList{"--fault drop-upload=1000", "SOC", "a_SOC.pkg", gone, gone, "-1", ""};
        QTest::newRow("dropped while flashing")
            << QStringList{"--fault drop-after-verify", "SOC", "a_SOC.pkg", flashing, gone, "98", "20000"};
    }
    void upgradeShown()
    {
        QFETCH(QStringList, row);
        Rig rig;
        const bool type2 = row[0].contains("TYPE2");
        QVERIFY(rig.start(row[0].split(' ', Qt::SkipEmptyParts),
                          QString("mode=Full\nverify=true\nmodel_type=%1\ntype=%2").arg(!type2).arg(row[1])));
        rig.choose(row[2]);
        rig.click("upgrade_Button");
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("label_6"), row[3], 5000);
        QTRY_VERIFY(rig.window->findChild<QPushButton*>("upgrade_Button")->isEnabled());
        QCOMPARE(rig.text("label_4"), row[4]);
        QCOMPARE(rig.progress(), row[5].toInt());
        QCOMPARE(rig.countdowns(), row[6].isEmpty() ? QList<int>() : QList<int>{row[6].toInt()});
        QVERIFY(rig.answers.texts().isEmpty());
        const QJsonObject request = rig.camsim.events("record_in").value(1);
        QCOMPARE(request["name"].toString(), row[2]);
        QCOMPARE(request["param"].toInt(), QStringList({"SOC", "ARM", "SOC&ARM", "MTD"}).indexOf(row[1]) + 1);
        if (row[0].contains("drop-upload")) {
            // The broken connection is gone: the next query connects again.
            rig.click("query_Button");
            QTRY_COMPARE(rig.camsim.events("record_in").size(), 3);
        }
    }

    // In Full mode the report adds the partitions, and a partition upgrade carries its type; Simple keeps the
    // list.
    void queryAndPartitionUpgrade()
    {
        for (const QString& mode : QStringList{"Simple", "Full"}) {
            Rig rig;
            QVERIFY(rig.start({}, "mode=" + mode + "\nverify=true\nmodel_type=true"));
            rig.click("query_Button");
            QTRY_COMPARE(rig.text("label_4") + rig.text("label_6"), QString("disconnectdisconnect"));
            // Camera text is shown as it is, markup included.
            const QString pane = rig.window->findChild<QTextEdit*>("textEdit")->toPlainText();
            QVERIFY2(
                pane.startsWith("VERSION INFO\nV2.7.3D MODEL: IPC200.R2 <b>x</b><img src=\"a.png\">\n\n"
                                "MTD INFO\n Dev\tSize   Erasesize Name\nmtd0: 00040000 00010000 \"boot\""),
                qPrintable(pane));
            auto* list = rig.window->findChild<QComboBox*>("upgrade_type_comboBox");
            QCOMPARE(list->count(), mode == "Full" ? 9 : 3);
            if (mode == "Full") {
                QCOMPARE(list->itemText(6), QString("mtd2:\"rootfs\""));
                list->setCurrentIndex(6);
                rig.choose("rootfs_v2.bin");
                rig.click("upgrade_Button");
                QTRY_COMPARE(rig.countdowns(), QList<int>{20000});
                QCOMPARE(rig.camsim.events("file_received").value(0)["param"].toInt(), 7);
            }
        }
    }

    void refusedBeforeSending()
    {
        Rig rig;
        QVERIFY(rig.start({}, "mode=Simple\nverify=true\nmodel_type=false\ntype=SOC"));
        rig.choose("x_soc.pkg");
        rig.click("upgrade_Button");
        rig.choose(QString(60, 'x') + "_SOC.pkg"); // longer than the name field of a TYPE2 record
        rig.click("upgrade_Button");
        QCOMPARE(rig.answers.texts().count("Upgrade file type does not match"), 2);
        QCOMPARE(rig.text("upgrade_filename_lineEdit"), QString());
        QVERIFY(writeFile("config.ini", "[upgrade]\nlanguage=English\nmode=Simple\nverify=true\n"
                                        "model_type=true\ntype=MTD\nipaddr=" +
                                            rig.address.toUtf8()));
        rig.window.reset(new MainWindow);
        rig.choose("fw_IPC300.img"); // another model: refused after the query
        rig.click("upgrade_Button");
        QCOMPARE(rig.answers.titles().last(), QString("Information"));
        QCOMPARE(rig.text("label_4"), QString("disconnect"));
        QTest::qWait(100);
        QCOMPARE(rig.camsim.events("record_in").size(), 1); // the query alone
    }

    void autoBackup()
    {
        Rig rig;
        QVERIFY(rig.start({}, kSimple + "auto_backup=true\ntype=SOC"));
        rig.choose("IPC200_SOC_t.pkg");
        rig.click("upgrade_Button");
        QCOMPARE(readFile("data.tar.gz"), QByteArray("the camera's settings"));
        QCOMPARE(rig.text("label_21"), QString("exist"));
        QTRY_COMPARE(rig.countdowns(), QList<int>{20000});
        QVERIFY(rig.answers.texts().isEmpty());
    }

    // button | camsim fault | label_23 | box | count-down
    void archiveShown_data()
    {
        QTest::addColumn<QStringList>("row");
        QTest::newRow("backup saved") << QStringList{"backup", "", "start receive", "Backup Success", ""};
        QTest::newRow("backup fails") << QStringList{"backup", "backup-fail", "backup failed", "", ""};
        QTest::newRow("backup file cannot be opened")
            << QStringList{"backup", "blocked", "backup failed", "", ""};
        QTest::newRow("restored") << QStringList{"restore", "", "restoring...", "", "20000"};
        QTest::newRow("restore fails")
            << QStringList{"restore", "restore-fail", "Restore failed reboot...", "", ""};
        QTest::newRow("restore, disk full")
            << QStringList{"restore", "disk-full", "board is not enough disk space", "", ""};
        QTest::newRow("nothing to restore")
            << QStringList{"restore", "none", "disconnect", "Not exist backup files", ""};
    }
    void archiveShown()
    {
        QFETCH(QStringList, row);
        Rig rig;
        QVERIFY(rig.start(row[1].contains('-') ? QStringList{"--fault", row[1]} : QStringList()));
        if (row[1] == "blocked")
            QVERIFY(QDir(".").mkdir("data.tar.gz"));
        else if (row[1] != "none")
            QVERIFY(writeFile("data.tar.gz", "previous"));
        bool openAtBox = false;
        rig.answers.whileOpen = [&] { openAtBox = rig.session()->isOpen(); };
        rig.click(row[0] == "backup" ? "backup_pushButton" : "restore_pushButton");
        QTRY_COMPARE(rig.text("label_23"), row[2]);
        QTest::qWait(200);
        QCOMPARE(rig.answers.texts().join(""), row[3]);
        QVERIFY(!openAtBox); // closed before any box is shown
        QCOMPARE(rig.countdowns(), row[4].isEmpty() ? QList<int>() : QList<int>{20000});
        QCOMPARE(rig.camsim.events("tcp_open").isEmpty(), row[1] == "none");
        if (row[3] == "Backup Success") {
            QCOMPARE(readFile("data.tar.gz") + readFile("data.tar.gz_bak"), "the camera's settingsprevious");
            QCOMPARE(rig.text("label_21"), QString("exist"));
        }
    }

    // A second count-down replaces the first: each box shows once.
    void oneCountdownOneBox()
    {
        Rig rig;
        QVERIFY(rig.start());
        for (int twice = 0; twice < 2; ++twice) {
            emit rig.session()->upgradeStatus(7);
            emit rig.session()->restoreStatus(6);
        }
        QCOMPARE(rig.countdowns(10), (QList<int>{20000, 20000}));
        QTRY_COMPARE(rig.answers.texts().size(), 2);
        QTest::qWait(200);
        QStringList boxes = rig.answers.texts();
        boxes.sort();
        QCOMPARE(boxes, (QStringList{"Restore Success", "Upgrade Success"}));
        QCOMPARE(rig.text("label_6") + rig.text("label_23"), QString("disconnectRestore Success"));
        QCOMPARE(rig.progress(), 0);
    }

    // After a failure the camera reboots: a later broken connection is an ordinary one, not a flashing
    // camera.
    void finishFlagCleared()
    {
        for (const int status : {6, 8, int('E')}) {
            Rig rig;
            QVERIFY(rig.start());
            DeviceSession* session = rig.session();
            emit session->upgradeStatus(5);
            if (status == 'E')
                emit session->errorRecord();
            else
                emit session->upgradeStatus(status);
            emit session->socketError(QAbstractSocket::RemoteHostClosedError, "closed");
            QCOMPARE(rig.text("label_6"), QString("disconnect"));
            QVERIFY(rig.countdowns().isEmpty());
        }
    }

    // 'U' 7 stops reporting broken connections for its upgrade only, and each upgrade starts unflagged.
    void errorReportedAgainAfterSuccess()
    {
        Rig rig;
        QVERIFY(rig.start({"--cameras", "2", "--address", "127.0.0.148", "--fault", "1:drop-upload=1000"},
                          kSimple + "type=SOC"));
        rig.choose("IPC200_SOC_t.pkg");
        rig.click("upgrade_Button");
        QTRY_COMPARE(rig.countdowns(), QList<int>{20000});
        emit rig.session()->upgradeStatus(5);
        rig.window->findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText("127.0.0.148");
        rig.click("upgrade_Button");
        QTRY_COMPARE(rig.text("label_6"), QString("disconnect"));
        QCOMPARE(rig.progress(), -1);
    }

    // The bar moves 2048 for every piece of 4096 sent, against a maximum of the size plus 5 %, up to 4 GiB.
    void progressScales()
    {
        Rig rig;
        QVERIFY(rig.start());
        const auto* bar = rig.window->findChild<QProgressBar*>("progressBar");
        const qint64 gib = qint64(1) << 30;
        const qint64 rows[][3] = {{4096, 10000, 195},
                                  {10000, 10000, 585},
                                  {409600, 409600, 476},
                                  {3 * gib, 3 * gib, 476},
                                  {4 * gib - 1, 4 * gib - 1, 476}};
        for (const auto& row : rows) {
            emit rig.session()->streamProgress(row[0], row[1]);
            QVERIFY(bar->maximum() > 0);
            QCOMPARE(qint64(bar->value()) * 1000 / bar->maximum(), row[2]);
        }
    }

    // 512 MiB of firmware (a sparse file) is hashed while the window keeps painting and shows how far it got.
    void hashingKeepsWindowResponsive()
    {
        Rig rig;
        QVERIFY(rig.start({"--max-upload", "1000"}, kSimple + "type=SOC"));
        rig.choose("big_SOC.pkg", QByteArray());
        QVERIFY(QFile::resize("big_SOC.pkg", qint64(512) << 20));
        QElapsedTimer clock;
        qint64 longest = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { longest = qMax(longest, clock.restart()); });
        int midway = 0;
        connect(rig.window->findChild<QProgressBar*>("progressBar"), &QProgressBar::valueChanged,
                [&](int value) { midway += value > 10 && value < 100; });
        clock.start();
        tick.start(10);
        rig.click("upgrade_Button");
        QVERIFY2(longest < 250,
                 qPrintable(QString::number(longest))); // a loaded machine may be late, not frozen
        QVERIFY(midway > 0);
        QTRY_COMPARE(rig.camsim.events("record_in").value(1)["data"].toString(),
                     QString("aa559b4e3523a6c931f08f4df52d58f2"));
    }
};

QTEST_MAIN(TestDeviceFlows)
#include "test_deviceflows.moc"
