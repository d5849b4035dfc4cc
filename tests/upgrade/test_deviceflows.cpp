// What the window adds to the device connection: labels, progress bar, boxes, buttons and count-downs, against
// camsim on loopback (127.0.0.100-149). The conversations themselves are test_devicesession's.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

#include <algorithm>
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

// One camera (or two) and one window in a fresh working directory, with the settings given.
struct Rig {
    ScopedWorkDir dir;
    CamsimRun camsim;
    DialogAnswerer answers{QMessageBox::Ok};
    std::unique_ptr<MainWindow> window;
    QString address;

    bool start(const QStringList& extra, const QString& settings = "mode=Simple\nverify=true\nmodel_type=true")
    {
        static int host = 100;
        address = QString("127.0.0.%1").arg(host++);
        writeFile("config.ini", ("[upgrade]\nlanguage=English\n" + settings + "\nipaddr=" + address + "\n").toUtf8());
        writeFile("camera.json", kCameraJson);
        if (!camsim.start(QStringList{"--address", address, "--no-discovery", "--no-rtsp", "--no-visca", "--config",
                                      "camera.json", "--verify-ms", "10", "--flash-ms", "50", "--restore-ms", "50",
                                      "--reboot-ms", "200", "--duration", "120"} +
                          extra))
            return false;
        window.reset(new MainWindow);
        window->findChild<QLineEdit*>("backup_ip_lineEdit")->setText(address);
        return true;
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
    bool enabled(const char* button) { return window->findChild<QPushButton*>(button)->isEnabled(); }
    int progress() const { return window->findChild<QProgressBar*>("progressBar")->value(); }
    DeviceSession* session() const { return window->findChild<DeviceSession*>(); }
    // Intervals of the running count-downs.
    QList<int> countdowns() const
    {
        QList<int> running;
        for (QTimer* timer : window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
            if (timer->isActive() && timer->interval() >= 20000)
                running << timer->interval();
        return running;
    }
    void finishCountdowns()
    {
        for (QTimer* timer : window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
            if (timer->isActive() && timer->interval() >= 20000)
                timer->setInterval(10);
    }
};
} // namespace

class TestDeviceFlows : public QObject
{
    Q_OBJECT
private slots:
    void upgradeShown_data();
    void upgradeShown();
    void queryAndPartitionUpgrade_data();
    void queryAndPartitionUpgrade();
    void refusedBeforeSending();
    void autoBackup();
    void backupShown_data();
    void backupShown();
    void restoreShown_data();
    void restoreShown();
    void oneCountdownOneBox();
    void finishFlagCleared_data();
    void finishFlagCleared();
    void errorHandledAgainAfterSuccess();
    void progressScales_data();
    void progressScales();
    void hashingKeepsWindowResponsive();
};

void TestDeviceFlows::upgradeShown_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("status");  // label_6
    QTest::addColumn<QString>("link");    // label_4
    QTest::addColumn<int>("progress"); // -1: reset
    QTest::addColumn<QList<int>>("countdown");
    const QString simple = "mode=Simple\nverify=true\nmodel_type=true\ntype=";
    const QString flashing = "file verify succeed upgradeing...";
    QTest::newRow("SOC") << QStringList() << simple + "SOC" << "IPC200_SOC_t.pkg" << flashing << "disconnect" << 98 << QList<int>{20000};
    QTest::newRow("MTD model") << QStringList() << simple + "MTD" << "fw_IPC200.img" << flashing << "disconnect" << 98 << QList<int>{73000};
    QTest::newRow("MTD TYPE2 letter") << QStringList{"--layout", "TYPE2"} << "mode=Full\nverify=true\nmodel_type=false\ntype=MTD"
                                      << "x_V1V2VD.img" << flashing << "disconnect" << 98 << QList<int>{73000};
    QTest::newRow("ARM") << QStringList{"--fault", "split-records"} << simple + "ARM" << "ARM_1.bin" << flashing << "disconnect" << 98 << QList<int>{20000};
    QTest::newRow("disk full") << QStringList{"--fault", "disk-full"} << simple + "SOC" << "a_SOC.pkg" << "board is not enough disk space" << "connected" << -1 << QList<int>();
    QTest::newRow("verify fails") << QStringList{"--fault", "verify-fail"} << simple + "SOC" << "a_SOC.pkg" << "file verify fail reboot..." << "disconnect" << -1 << QList<int>();
    QTest::newRow("flash fails") << QStringList{"--fault", "upgrade-fail"} << simple + "SOC" << "a_SOC.pkg" << "upgrade fail reboot..." << "disconnect" << 85 << QList<int>();
    QTest::newRow("ARM file missing") << QStringList{"--fault", "arm-missing"} << simple + "ARM" << "ARM.bin" << "arm upgrade file not found reboot..." << "disconnect" << -1 << QList<int>();
    QTest::newRow("dropped mid-upload") << QStringList{"--fault", "drop-upload=1000"} << simple + "SOC" << "a_SOC.pkg" << "disconnect" << "disconnect" << -1 << QList<int>();
    QTest::newRow("dropped while flashing") << QStringList{"--fault", "drop-after-verify"} << simple + "SOC" << "a_SOC.pkg" << flashing << "disconnect" << 98 << QList<int>{20000};
}

void TestDeviceFlows::upgradeShown()
{
    QFETCH(QStringList, args);
    QFETCH(QString, settings);
    QFETCH(QString, file);
    QFETCH(QString, status);
    QFETCH(QString, link);
    QFETCH(int, progress);
    QFETCH(QList<int>, countdown);
    Rig rig;
    QVERIFY(rig.start(args, settings));
    rig.choose(file);
    rig.click("upgrade_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.text("label_6"), status, 5000);
    QTRY_VERIFY(rig.enabled("upgrade_Button"));
    QCOMPARE(rig.text("label_4"), link);
    QCOMPARE(rig.progress(), progress);
    QCOMPARE(rig.countdowns(), countdown);
    QVERIFY(rig.answers.texts().isEmpty());
    const QJsonObject request = rig.camsim.events("record_in").value(1);
    QCOMPARE(request["name"].toString(), file);
    QCOMPARE(request["param"].toInt(), QStringList({"SOC", "ARM", "SOC&ARM", "MTD"}).indexOf(settings.section('=', -1)) + 1);
    if (QTest::currentDataTag() == QLatin1String("dropped mid-upload")) {
        // The broken connection is gone: the next query connects again.
        rig.click("query_Button");
        QTRY_COMPARE(rig.camsim.events("record_in").size(), 3);
    }
}

void TestDeviceFlows::queryAndPartitionUpgrade_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("types");
    QTest::newRow("Simple keeps the list") << "Simple" << QStringList{"SOC", "ARM", "MTD"};
    QTest::newRow("Full adds the partitions")
        << "Full" << QStringList{"SOC", "ARM", "SOC&ARM", "MTD", "mtd0:\"boot\"", "mtd1:\"kernel\"", "mtd2:\"rootfs\"",
                                 "mtd3:\"app\"", "mtd4:\"config\""};
}

void TestDeviceFlows::queryAndPartitionUpgrade()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, types);
    Rig rig;
    QVERIFY(rig.start({}, "mode=" + mode + "\nverify=true\nmodel_type=true"));
    rig.click("query_Button");
    QTRY_COMPARE(rig.text("label_4"), QString("disconnect"));
    QCOMPARE(rig.text("label_6"), QString("disconnect"));
    // Camera text is shown as it is, markup included.
    const QString pane = rig.window->findChild<QTextEdit*>("textEdit")->toPlainText();
    QVERIFY2(pane.startsWith("VERSION INFO\nV2.7.3D MODEL: IPC200.R2 <b>x</b><img src=\"a.png\">\n\nMTD INFO\n"
                             " Dev\tSize   Erasesize Name\nmtd0: 00040000 00010000 \"boot\""),
             qPrintable(pane));
    auto* list = rig.window->findChild<QComboBox*>("upgrade_type_comboBox");
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->itemText(i);
    QCOMPARE(shown, types);
    if (mode != "Full")
        return;
    list->setCurrentIndex(6);
    rig.choose("rootfs_v2.bin");
    rig.click("upgrade_Button");
    QTRY_COMPARE(rig.countdowns(), QList<int>{20000});
    QCOMPARE(rig.camsim.events("file_received").value(0)["param"].toInt(), 7);
}

void TestDeviceFlows::refusedBeforeSending()
{
    Rig rig;
    QVERIFY(rig.start({}, "mode=Simple\nverify=true\nmodel_type=false\ntype=SOC"));
    rig.choose("x_soc.pkg");
    rig.click("upgrade_Button");
    rig.choose(QString(60, 'x') + "_SOC.pkg"); // longer than the name field of a TYPE2 record
    rig.click("upgrade_Button");
    QCOMPARE(rig.answers.texts(), QStringList() << "Upgrade file type does not match" << "Upgrade file type does not match");
    QCOMPARE(rig.text("upgrade_filename_lineEdit"), QString());
    QVERIFY(writeFile("config.ini", "[upgrade]\nlanguage=English\nmode=Simple\nverify=true\nmodel_type=true\ntype=MTD\n"));
    rig.window.reset(new MainWindow);
    rig.window->findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText(rig.address);
    rig.choose("fw_IPC300.img"); // another model: refused after the query, nothing uploaded
    rig.click("upgrade_Button");
    QCOMPARE(rig.answers.titles().last(), QString("Information"));
    QCOMPARE(rig.text("label_4"), QString("disconnect"));
    QTest::qWait(100);
    QCOMPARE(rig.camsim.events("record_in").size(), 1);
    QCOMPARE(rig.camsim.events("record_in").first()["type"].toString(), QString("Q"));
}

void TestDeviceFlows::autoBackup()
{
    Rig rig;
    QVERIFY(rig.start({}, "mode=Simple\nverify=true\nauto_backup=true\nmodel_type=true\ntype=SOC"));
    rig.choose("IPC200_SOC_t.pkg");
    rig.click("upgrade_Button");
    QCOMPARE(readFile("data.tar.gz"), QByteArray("the camera's settings"));
    QCOMPARE(rig.text("label_21"), QString("exist"));
    QTRY_COMPARE(rig.countdowns(), QList<int>{20000});
    QVERIFY(rig.answers.texts().isEmpty());

    rig.window->findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText("127.0.0.149"); // nobody there
    rig.click("upgrade_Button");
    QCOMPARE(rig.text("label_23"), QString("timed out"));
    QCOMPARE(rig.text("label_4"), QString("timed out"));
    QCOMPARE(rig.camsim.events("file_received").size(), 1);
}

void TestDeviceFlows::backupShown_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("blocked");
    QTest::addColumn<QString>("status");
    QTest::newRow("saved") << QStringList() << false << "start receive";
    QTest::newRow("camera fails") << QStringList{"--fault", "backup-fail"} << false << "backup failed";
    QTest::newRow("wrong MD5") << QStringList{"--fault", "backup-bad-md5"} << false << "backup failed";
    QTest::newRow("file cannot be opened") << QStringList() << true << "backup failed";
}

void TestDeviceFlows::backupShown()
{
    QFETCH(QStringList, args);
    QFETCH(bool, blocked);
    QFETCH(QString, status);
    Rig rig;
    QVERIFY(rig.start(args));
    QVERIFY(blocked ? QDir(".").mkdir("data.tar.gz") : writeFile("data.tar.gz", "previous archive"));
    bool openAtBox = true;
    rig.answers.whileOpen = [&] { openAtBox = rig.session()->isOpen(); };
    rig.click("backup_pushButton");
    QTRY_COMPARE(rig.text("label_23"), status);
    QTest::qWait(200);
    if (status != "start receive") {
        QVERIFY(rig.answers.texts().isEmpty());
        QCOMPARE(rig.text("label_21"), QString("none"));
        return;
    }
    QCOMPARE(rig.answers.texts(), QStringList{"Backup Success"});
    QVERIFY(!openAtBox);
    QCOMPARE(readFile("data.tar.gz"), QByteArray("the camera's settings"));
    QCOMPARE(readFile("data.tar.gz_bak"), QByteArray("previous archive"));
    QCOMPARE(rig.text("label_21"), QString("exist"));
}

void TestDeviceFlows::restoreShown_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("status");
    QTest::newRow("restored") << QStringList() << "restoring...";
    QTest::newRow("camera fails") << QStringList{"--fault", "restore-fail"} << "Restore failed reboot...";
    QTest::newRow("disk full") << QStringList{"--fault", "disk-full"} << "board is not enough disk space";
    QTest::newRow("no archive") << QStringList() << "disconnect";
}

void TestDeviceFlows::restoreShown()
{
    QFETCH(QStringList, args);
    QFETCH(QString, status);
    Rig rig;
    QVERIFY(rig.start(args));
    if (status != "disconnect")
        QVERIFY(writeFile("data.tar.gz", "archive to restore"));
    rig.click("restore_pushButton");
    QTRY_COMPARE(rig.text("label_23"), status);
    QTest::qWait(200);
    QCOMPARE(rig.countdowns(), status == "restoring..." ? QList<int>{20000} : QList<int>());
    QCOMPARE(rig.answers.texts(), status == "disconnect" ? QStringList{"Not exist backup files"} : QStringList());
    QCOMPARE(rig.camsim.events("tcp_open").isEmpty(), status == "disconnect");
}

// A second count-down replaces the first: after both, exactly one box.
void TestDeviceFlows::oneCountdownOneBox()
{
    Rig rig;
    QVERIFY(rig.start({}));
    emit rig.session()->upgradeStatus(7);
    emit rig.session()->upgradeStatus(7);
    emit rig.session()->restoreStatus(6);
    emit rig.session()->restoreStatus(6);
    QCOMPARE(rig.countdowns(), (QList<int>{20000, 20000}));
    rig.finishCountdowns();
    QTRY_COMPARE(rig.answers.texts().size(), 2);
    QTest::qWait(200);
    QStringList boxes = rig.answers.texts();
    boxes.sort();
    QCOMPARE(boxes, (QStringList{"Restore Success", "Upgrade Success"}));
    QCOMPARE(rig.text("label_6"), QString("disconnect"));
    QCOMPARE(rig.text("label_23"), QString("Restore Success"));
    QCOMPARE(rig.progress(), 0);
}

void TestDeviceFlows::finishFlagCleared_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("U 6") << 6;
    QTest::newRow("U 8") << 8;
    QTest::newRow("E") << int('E');
}

// After a failure the camera reboots; a later broken connection is an ordinary one, not a flashing camera.
void TestDeviceFlows::finishFlagCleared()
{
    QFETCH(int, status);
    Rig rig;
    QVERIFY(rig.start({}));
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

// 'U' 7 stops reporting broken connections for that upgrade only: the next one reports them again.
void TestDeviceFlows::errorHandledAgainAfterSuccess()
{
    Rig rig;
    QVERIFY(rig.start({"--cameras", "2", "--address", "127.0.0.148", "--fault", "1:drop-upload=1000"},
                      "mode=Simple\nverify=true\nmodel_type=true\ntype=SOC"));
    rig.choose("IPC200_SOC_t.pkg");
    rig.click("upgrade_Button");
    QTRY_COMPARE(rig.countdowns(), QList<int>{20000});
    emit rig.session()->upgradeStatus(5); // a flashing camera from an earlier upgrade
    rig.window->findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText("127.0.0.148");
    rig.click("upgrade_Button");
    QTRY_COMPARE(rig.text("label_6"), QString("disconnect"));
    QCOMPARE(rig.progress(), -1);
}

void TestDeviceFlows::progressScales_data()
{
    QTest::addColumn<qint64>("sent");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("permille"); // value against maximum
    QTest::newRow("first piece of 10000") << qint64(4096) << qint64(10000) << 195;
    QTest::newRow("10000") << qint64(10000) << qint64(10000) << 585;
    QTest::newRow("100 pieces") << qint64(409600) << qint64(409600) << 476;
    QTest::newRow("3 GiB") << (qint64(3) << 30) << (qint64(3) << 30) << 476;
    QTest::newRow("4 GiB - 1") << (qint64(4) << 30) - 1 << (qint64(4) << 30) - 1 << 476;
}

void TestDeviceFlows::progressScales()
{
    QFETCH(qint64, sent);
    QFETCH(qint64, total);
    QFETCH(int, permille);
    Rig rig;
    QVERIFY(rig.start({}));
    emit rig.session()->streamProgress(sent, total);
    const auto* bar = rig.window->findChild<QProgressBar*>("progressBar");
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(int(qint64(bar->value()) * 1000 / bar->maximum()), permille);
}

// A firmware file of 512 MiB (sparse) is hashed while the window keeps painting and shows how far it got.
void TestDeviceFlows::hashingKeepsWindowResponsive()
{
    Rig rig;
    QVERIFY(rig.start({"--max-upload", "1000"}, "mode=Simple\nverify=true\nmodel_type=true\ntype=SOC"));
    rig.choose("big_SOC.pkg", QByteArray());
    QVERIFY(QFile::resize("big_SOC.pkg", qint64(512) << 20));
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] {
        longest = qMax(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    QSet<int> shown;
    connect(rig.window->findChild<QProgressBar*>("progressBar"), &QProgressBar::valueChanged, [&](int v) { shown << v; });
    clock.start();
    tick.start(10);
    rig.click("upgrade_Button");
    QVERIFY2(longest < 100, qPrintable(QString::number(longest)));
    QVERIFY(std::any_of(shown.begin(), shown.end(), [](int v) { return v > 10 && v < 100; }));
    QTRY_COMPARE(rig.camsim.events("record_in").value(1)["data"].toString(), QString("aa559b4e3523a6c931f08f4df52d58f2"));
}

QTEST_MAIN(TestDeviceFlows)
#include "test_deviceflows.moc"
