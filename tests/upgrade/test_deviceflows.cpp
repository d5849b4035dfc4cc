// What the window adds to the device connection: labels, progress bar, boxes, buttons, count-downs and the
// language lock, against camsim on loopback (127.0.0.100-149). The conversations themselves are the core's
// (test_devicesession, test_cameraupgrade).
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

#include <memory>

#include "camsimrun.h"
#include "devicesession.h"
#include "dialogs.h"
#include "mainwindow.h"
#include "statuscolours.h"
#include "versioncheck.h"
#include "workdir.h"

namespace
{
const QByteArray kCameraJson = "{\"cameras\": [{\"archive_text\": \"the camera's settings\", \"version\": "
                               "\"V2.7.3D MODEL: IPC200.R2 <b>x</b><img src=\\\"a.png\\\">\"}]}";
const QString kSimple = "mode=Simple\nverify=true\nmodel_type=true\n";
// Where no camera listens: connections are refused at once.
const QString kUnserved = "127.0.0.148";

// One camera (or two) and one window with the settings given, in a fresh working directory.
struct Rig {
    ScopedWorkDir dir;
    CamsimRun camsim;
    DialogAnswerer answers{QMessageBox::Ok};
    std::unique_ptr<MainWindow> window;
    QString address;

    bool start(const QStringList& extra = {}, const QString& settings = kSimple,
               const QByteArray& cameras = kCameraJson)
    {
        static int host = 100;
        address = QString("127.0.0.%1").arg(host++);
        writeFile("config.ini",
                  ("[upgrade]\nlanguage=English\n" + settings + "\nipaddr=" + address).toUtf8());
        writeFile("camera.json", cameras);
        window.reset(new MainWindow);
        window->findChild<QLineEdit*>("backup_ip_lineEdit")->setText(address);
        return camsim.start(QStringList{"--address", address, "--no-discovery", "--no-rtsp", "--no-visca",
                                        "--config", "camera.json", "--verify-ms", "10", "--flash-ms", "50",
                                        "--restore-ms", "50", "--reboot-ms", "200", "--duration", "120"} +
                            extra);
    }
    // A camsim fault by name, camsim switches ("--..."), or "unserved": the window aims where nobody listens.
    bool startWith(const QString& fault, const QString& settings = kSimple)
    {
        const bool started = start(fault.startsWith("--") ? fault.split(' ')
                                   : fault.contains('-')  ? QStringList{"--fault", fault}
                                                          : QStringList(),
                                   settings);
        if (fault == "unserved")
            for (const char* edit : {"upgrade_ip_lineEdit", "backup_ip_lineEdit"})
                window->findChild<QLineEdit*>(edit)->setText(kUnserved);
        return started;
    }
    // The status labels in the error colour.
    QString failedLabels() const
    {
        QStringList names;
        for (const char* name : {"label_4", "label_6", "label_23"})
            if (window->findChild<QLabel*>(name)->palette().color(QPalette::WindowText) ==
                status_colours::error())
                names << name;
        return names.join(' ');
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
    bool upgradeEnabled() const { return window->findChild<QPushButton*>("upgrade_Button")->isEnabled(); }
    int progress() const { return window->findChild<QProgressBar*>("progressBar")->value(); }
    DeviceSession* session() const { return window->findChild<DeviceSession*>(); }
    // Whether the language can change: the Chinese texts replace the English ones.
    bool languageChanges() const
    {
        auto* languages = window->findChild<QComboBox*>("language_comboBox");
        languages->setCurrentIndex(0);
        emit languages->activated(0);
        return window->findChild<QPushButton*>("upgrade_Button")->text() == QString::fromUtf8("升级");
    }
    // The types of the records the camera at `at` received.
    QString requests(const QString& at) const
    {
        QStringList types;
        for (const QJsonObject& e : camsim.events("record_in"))
            if (e["cam"] == at)
                types << e["type"].toString();
        return types.join(' ');
    }
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
    // A failure keeps its text in the labels given, in the error colour, and a box says the same; a success
    // leaves no error colour and no box until its count-down ends.
    void upgradeShown_data()
    {
        // camsim fault or switches | upgrade type | file | label_6 | label_4 | progress (-1 reset) |
        // count-down | labels in the error colour
        QTest::addColumn<QStringList>("row");
        const char* flashing = "file verify succeed upgradeing...";
        const char* gone = "disconnect";
        const char* pkg = "a_SOC.pkg";
        const char* six = "label_6";
        const char* both = "label_4 label_6";
        QTest::newRow("SOC") << QStringList{"", "SOC", "IPC200_SOC_t.pkg", flashing, gone, "98", "20000", ""};
        QTest::newRow("MTD model") << QStringList{"",   "MTD", "fw_IPC200.img", flashing,
                                                  gone, "98",  "73000",         ""};
        QTest::newRow("MTD letter") << QStringList{
            "--layout TYPE2", "MTD", "x_V1V2VD.img", flashing, gone, "98", "73000", ""};
        QTest::newRow("disk full") << QStringList{"disk-full", "SOC", pkg, "board is not enough disk space",
                                                  gone,        "-1",  "",  six};
        QTest::newRow("verify fails")
            << QStringList{"verify-fail", "SOC", pkg, "file verify fail reboot...", gone, "-1", "", six};
        QTest::newRow("flash fails") << QStringList{"upgrade-fail", "SOC", pkg, "upgrade fail reboot...",
                                                    gone,           "85",  "",  six};
        QTest::newRow("ARM file missing") << QStringList{
            "arm-missing", "ARM", "ARM.bin", "arm upgrade file not found reboot...", gone, "-1", "", six};
        QTest::newRow("dropped mid-upload")
            << QStringList{"drop-upload=1000", "SOC", pkg, gone, gone, "-1", "", both};
        QTest::newRow("dropped while flashing")
            << QStringList{"drop-after-verify", "SOC", pkg, flashing, gone, "98", "20000", ""};
        QTest::newRow("no version answer")
            << QStringList{"version-delay=12000", "SOC", pkg, "timed out", "timed out", "0", "", both};
        QTest::newRow("nobody listens")
            << QStringList{"unserved", "SOC", pkg, gone, "timed out", "-1", "", "label_4"};
    }
    void upgradeShown()
    {
        QFETCH(QStringList, row);
        Rig rig;
        const bool type2 = row[0].contains("TYPE2");
        QVERIFY(rig.startWith(
            row[0], QString("mode=Full\nverify=true\nmodel_type=%1\ntype=%2").arg(!type2).arg(row[1])));
        rig.choose(row[2]);
        rig.click("upgrade_Button");
        QVERIFY(!rig.upgradeEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(rig.upgradeEnabled() && rig.answers.count() == !row[7].isEmpty(), 15000);
        QCOMPARE(rig.text("label_6"), row[3]);
        QCOMPARE(rig.text("label_4"), row[4]);
        QCOMPARE(rig.progress(), row[5].toInt());
        QCOMPARE(rig.countdowns(), row[6].isEmpty() ? QList<int>() : QList<int>{row[6].toInt()});
        QCOMPARE(rig.failedLabels(), row[7]);
        const QStringList failed = row[7].split(' ', Qt::SkipEmptyParts);
        QCOMPARE(rig.answers.texts(),
                 failed.isEmpty() ? QStringList() : QStringList{rig.text(qPrintable(failed.last()))});
        const QJsonObject request = rig.camsim.events("record_in").value(1);
        QCOMPARE(request["name"].toString(),
                 row[0].startsWith("version") || row[0] == "unserved" ? "" : row[2]);
        // Every end of an upgrade lets the language change again, and a failure keeps its colour.
        QVERIFY(rig.languageChanges());
        QCOMPARE(rig.failedLabels(), row[7]);
        // The next operation starts in the normal colour.
        rig.click("query_Button");
        QCOMPARE(rig.failedLabels(), QString());
        // A broken connection after the end is an ordinary one, never a camera flashing: no second
        // count-down.
        emit rig.session()->socketError(QAbstractSocket::RemoteHostClosedError, "closed");
        QCOMPARE(rig.countdowns(), row[6].isEmpty() ? QList<int>() : QList<int>{row[6].toInt()});
    }

    // When the count-down ends the camera is asked its version once more, a connection a second while it is
    // down, and the log pane says what it runs now, or, in the error colour, that it did not answer within
    // the limit. camsim fault | the camera's requests | pane
    void versionAfterReboot_data()
    {
        QTest::addColumn<QStringList>("row");
        const QString now =
            "Version now: V2.7.3D MODEL: IPC200.R2 <b>x</b><img src=\"a.png\"> IPC200_SOC_t.pkg";
        const QString silent = "The camera did not answer after the reboot";
        QTest::newRow("back, upgraded") << QStringList{"", "Q U Q", now};
        QTest::newRow("hung up while flashing") << QStringList{"drop-after-verify", "Q U Q", now};
        QTest::newRow("never back") << QStringList{"never-back", "Q U", silent};
        QTest::newRow("answers too late") << QStringList{"version-delay=4000", "Q U Q", silent};
    }
    void versionAfterReboot()
    {
        QFETCH(QStringList, row);
        Rig rig;
        QVERIFY(rig.startWith(row[0], kSimple + "type=SOC"));
        rig.choose("IPC200_SOC_t.pkg");
        rig.click("upgrade_Button");
        QTRY_COMPARE_WITH_TIMEOUT(rig.countdowns().size(), 1, 8000);
        QVERIFY(rig.window->findChild<VersionCheck*>());
        rig.window->findChild<VersionCheck*>()->setTimeLimit(3000);
        // Not asked before the count-down ends, even while the camera could still answer.
        QVERIFY(rig.camsim.waitFor([](const QJsonObject& e) { return e["what"] == "rebooting"; }, 5000));
        QCOMPARE(rig.requests(rig.address), QString("Q U"));
        rig.countdowns(10);
        QElapsedTimer clock;
        clock.start();
        auto* pane = rig.window->findChild<QTextEdit*>("textEdit");
        QTRY_VERIFY_WITH_TIMEOUT(!pane->toPlainText().isEmpty(), 6000);
        const bool answered = pane->toPlainText().startsWith("Version now");
        QVERIFY2(answered ? clock.elapsed() < 2000 : clock.elapsed() >= 2850,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(pane->toPlainText(), row[2]);
        QCOMPARE(rig.answers.texts(), QStringList{"Upgrade Success"});
        QTextCursor end(pane->document());
        end.movePosition(QTextCursor::End);
        QCOMPARE(end.charFormat().foreground().color() == status_colours::error(), !answered);
        QCOMPARE(rig.requests(rig.address), row[1]);
        QVERIFY(!rig.window->findChild<VersionCheck*>());
    }

    // While an upgrade runs the language stays and the Query button asks nothing; Backup takes the one
    // connection over, ending the upgrade, and the language is free again.
    void lockedWhileUpgrading()
    {
        Rig rig;
        QVERIFY(rig.start({"--fault", "slow-link=100000"}, kSimple + "type=SOC"));
        rig.choose("IPC200_SOC_t.pkg", QByteArray(400000, 'f'));
        rig.click("upgrade_Button");
        QTRY_COMPARE(rig.text("label_6"), QString("transmitting..."));
        QVERIFY(!rig.languageChanges());
        rig.click("query_Button");
        rig.click("backup_pushButton");
        QVERIFY(rig.upgradeEnabled());
        QVERIFY(rig.languageChanges());
        QTRY_COMPARE(rig.requests(rig.address), QString("Q U B"));
        QVERIFY(rig.camsim.events("file_received").isEmpty());
        // A window closed in the middle of an upload takes the upgrade and its connection along. (The
        // language change set the form's entries back.)
        rig.window->findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText(rig.address);
        rig.choose("IPC200_SOC_t.pkg", QByteArray(400000, 'f'));
        rig.click("upgrade_Button");
        QTRY_COMPARE(rig.requests(rig.address), QString("Q U B Q U"));
        rig.window.reset();
    }

    // The core's guards as the window shows them. Camera A (model X1) is asked first; camera B answers its
    // version late, or backs up slowly or not at all. verify | auto_backup | B's faults | file | answer to
    // the question | boxes | label_23 | B's requests | data.tar.gz afterwards
    void guards_data()
    {
        QTest::addColumn<QStringList>("row");
        const char* previous = "previous";
        QTest::newRow("MTD of camera A, verify on") << QStringList{
            "true", "false", "version-delay=600", "fw_X1.img", "", "Upgrade file type does not match", "",
            "Q",    previous};
        QTest::newRow("MTD of camera A, asked, declined") << QStringList{
            "false",     "false",  "version-delay=600",
            "fw_X1.img", "Cancel", "Upgrade file type does not match, whether to continue to Upgrade?",
            "",          "Q",      previous};
        QTest::newRow("MTD of camera A, asked, accepted") << QStringList{
            "false",     "false", "version-delay=600",
            "fw_X1.img", "Ok",    "Upgrade file type does not match, whether to continue to Upgrade?",
            "",          "Q U",   previous};
        QTest::newRow("slow automatic backup")
            << QStringList{"true",          "true",  "backup-delay=1200", "x_SOC.pkg", "", "",
                           "start receive", "B Q U", "settings of B"};
        QTest::newRow("failing automatic backup")
            << QStringList{"true",          "true", "backup-fail",
                           "x_SOC.pkg",     "",     "Backup failed, the upgrade was not started",
                           "backup failed", "B",    previous};
    }
    void guards()
    {
        QFETCH(QStringList, row);
        Rig rig;
        const QString b = "127.0.0.149";
        const QByteArray cameras = "[{\"version\": \"V1.0.0A MODEL: X1.R1\"}, {\"version\": \"V1.0.0B MODEL: "
                                   "Z9.R1\", \"archive_text\": \"settings of B\"}]";
        QVERIFY(rig.start({"--cameras", "2", "--address", b, "--fault", "1:" + row[2]},
                          QString("mode=Simple\nmodel_type=true\nverify=%1\nauto_backup=%2\ntype=%3")
                              .arg(row[0], row[1], row[3].endsWith(".img") ? "MTD" : "SOC"),
                          cameras));
        QVERIFY(writeFile("data.tar.gz", "previous"));
        rig.click("query_Button");
        QTRY_COMPARE(rig.text("label_4"), QString("disconnect"));
        rig.window->findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText(b);
        rig.answers.setAnswer(row[4] == "Cancel" ? QMessageBox::Cancel : QMessageBox::Ok);
        rig.choose(row[3]);
        rig.click("upgrade_Button");
        QTRY_VERIFY_WITH_TIMEOUT(rig.upgradeEnabled(), 10000);
        QTest::qWait(200);
        QCOMPARE(rig.answers.texts().join('|'), row[5]);
        if (!row[6].isEmpty())
            QCOMPARE(rig.text("label_23"), row[6]);
        QCOMPARE(rig.requests(b), row[7]);
        QCOMPARE(rig.camsim.events("file_received").size(), row[7].endsWith('U') ? 1 : 0);
        QCOMPARE(readFile("data.tar.gz"), row[8].toUtf8());
        if (row[7] == "B") {
            QCOMPARE(rig.text("label_4") + rig.text("label_6"), QString("disconnectbackup failed"));
            QCOMPARE(rig.failedLabels(), QString("label_6 label_23"));
            QVERIFY(!QFile::exists("data.tar.gz_bak"));
        } else if (row[7] == "Q") {
            QCOMPARE(rig.text("label_4") + rig.text("label_6"), QString("disconnectdisconnect"));
            QCOMPARE(rig.text("upgrade_filename_lineEdit"), QString());
        } else if (row[1] == "true" && row[7] != "B") {
            QCOMPARE(readFile("data.tar.gz_bak"), QByteArray("previous"));
            QCOMPARE(rig.text("label_21"), QString("exist"));
        }
        QTRY_VERIFY(rig.languageChanges());
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

    // Refused by name or address before anything connects: the box, and the file name cleared for a name.
    void refusedBeforeConnecting()
    {
        Rig rig;
        QVERIFY(rig.start({}, "mode=Simple\nverify=true\nmodel_type=false\ntype=SOC"));
        rig.choose("x_soc.pkg");
        rig.click("upgrade_Button");
        rig.choose(QString(52, 'x') + "_SOC.pkg"); // 60 bytes: longer than the name field of a TYPE2 record
        rig.click("upgrade_Button");
        QCOMPARE(rig.answers.texts().count("Upgrade file type does not match"), 2);
        QCOMPARE(rig.text("upgrade_filename_lineEdit"), QString());
        rig.window->findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText("127.0.0");
        rig.choose("x_SOC.pkg");
        rig.click("upgrade_Button");
        QCOMPARE(rig.answers.texts().last(), QString("Network information fill in error"));
        QCOMPARE(rig.text("upgrade_filename_lineEdit"), rig.dir.file("x_SOC.pkg"));
        QVERIFY(rig.upgradeEnabled());
        QTest::qWait(100);
        QVERIFY(rig.camsim.events("tcp_open").isEmpty());
    }

    // button | camsim fault | label | its text | in the error colour | box | count-down
    void buttonShown_data()
    {
        QTest::addColumn<QStringList>("row");
        const char* backup = "backup_pushButton";
        const char* restore = "restore_pushButton";
        const char* failed = "backup failed";
        const char* full = "board is not enough disk space";
        const char* restoreFailed = "Restore failed reboot...";
        QTest::newRow("backup saved")
            << QStringList{backup, "", "label_23", "start receive", "", "Backup Success", ""};
        QTest::newRow("backup fails")
            << QStringList{backup, "backup-fail", "label_23", failed, "1", failed, ""};
        QTest::newRow("backup file cannot be opened")
            << QStringList{backup, "blocked", "label_23", failed, "1", failed, ""};
        QTest::newRow("backup, nobody listens")
            << QStringList{backup, "unserved", "label_23", "timed out", "1", "timed out", ""};
        QTest::newRow("restored") << QStringList{restore, "", "label_23", "restoring...", "", "", "20000"};
        QTest::newRow("restore fails")
            << QStringList{restore, "restore-fail", "label_23", restoreFailed, "1", restoreFailed, ""};
        QTest::newRow("restore, disk full")
            << QStringList{restore, "disk-full", "label_23", full, "1", full, ""};
        QTest::newRow("nothing to restore")
            << QStringList{restore, "none", "label_23", "disconnect", "", "Not exist backup files", ""};
        // Silence is bounded: the camera answers its version 12 s late.
        QTest::newRow("query unanswered") << QStringList{
            "query_Button", "version-delay=12000", "label_6", "timed out", "1", "timed out", ""};
    }
    void buttonShown()
    {
        QFETCH(QStringList, row);
        Rig rig;
        QVERIFY(rig.startWith(row[1]));
        if (row[1] == "blocked")
            QVERIFY(QDir(".").mkdir("data.tar.gz"));
        else if (row[1] != "none")
            QVERIFY(writeFile("data.tar.gz", "previous"));
        bool openAtBox = false;
        rig.answers.whileOpen = [&] { openAtBox = rig.session()->isOpen(); };
        rig.click(qPrintable(row[0]));
        QTRY_COMPARE_WITH_TIMEOUT(rig.text(qPrintable(row[2])), row[3], 12000);
        QTest::qWait(200);
        QCOMPARE(rig.answers.texts().join(""), row[5]);
        QVERIFY(!openAtBox); // closed before any box is shown
        const QString red = row[4].isEmpty() ? QString() : row[2] == "label_6" ? "label_4 label_6" : row[2];
        QCOMPARE(rig.failedLabels(), red);
        QCOMPARE(rig.countdowns(), row[6].isEmpty() ? QList<int>() : QList<int>{20000});
        QCOMPARE(rig.camsim.events("tcp_open").isEmpty(), row[1] == "none" || row[1] == "unserved");
        if (row[5] == "Backup Success") {
            QCOMPARE(readFile("data.tar.gz") + readFile("data.tar.gz_bak"), "the camera's settingsprevious");
            QCOMPARE(rig.text("label_21"), QString("exist"));
        } else if (row[0] == "backup_pushButton") {
            QCOMPARE(readFile("data.tar.gz"), row[1] == "blocked" ? QByteArray() : QByteArray("previous"));
        }
    }

    // A second restore count-down replaces the first: its box shows once.
    void oneCountdownOneBox()
    {
        Rig rig;
        QVERIFY(rig.start());
        for (int twice = 0; twice < 2; ++twice)
            emit rig.session()->finished(DeviceSession::Operation::Restore, Verdict());
        QCOMPARE(rig.countdowns(10), (QList<int>{20000}));
        QTRY_COMPARE(rig.answers.texts(), QStringList{"Restore Success"});
        QTest::qWait(200);
        QCOMPARE(rig.answers.count(), 1);
        QCOMPARE(rig.text("label_23"), QString("Restore Success"));
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
        QTRY_COMPARE_WITH_TIMEOUT(rig.camsim.events("record_in").value(1)["data"].toString(),
                                  QString("aa559b4e3523a6c931f08f4df52d58f2"), 20000);
        QVERIFY2(longest < 250,
                 qPrintable(QString::number(longest))); // a loaded machine may be late, not frozen
        QVERIFY(midway > 0);
    }
};

QTEST_MAIN(TestDeviceFlows)
#include "test_deviceflows.moc"
