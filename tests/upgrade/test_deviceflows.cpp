// Upgrade, query, backup and restore through the window against a simulated camera on loopback.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

#include <memory>

#include "camsimrun.h"
#include "dialogs.h"
#include "upgradeaccess.h"
#include "workdir.h"

namespace {
QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 31) ^ (i >> 8));
    return bytes;
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One camera and one window in a fresh working directory.
struct Rig {
    ScopedWorkDir dir;
    CamsimRun camsim;
    DialogAnswerer answers{QMessageBox::Ok};
    std::unique_ptr<MainWindow> window;
    QString address;

    bool start(const QString& camera, const QStringList& extra, const QString& mode = "Simple")
    {
        address = camera;
        writeFile("config.ini", QString("[upgrade]\nlanguage=English\nmode=%1\nverify=true\nmodel_type=true\n"
                                         "ipaddr=%2\n")
                                     .arg(mode, camera)
                                     .toUtf8());
        if (!camsim.start(QStringList{"--address", camera, "--no-discovery", "--no-rtsp", "--no-visca",
                                      "--verify-ms", "10", "--flash-ms", "50", "--restore-ms", "50",
                                      "--reboot-ms", "200", "--duration", "120"} +
                          extra))
            return false;
        window.reset(new MainWindow);
        window->findChild<QLineEdit*>("backup_ip_lineEdit")->setText(camera);
        return true;
    }

    QString text(const char* name) const
    {
        if (auto* label = window->findChild<QLabel*>(name))
            return label->text();
        return window->findChild<QLineEdit*>(name)->text();
    }

    void chooseFirmware(const QString& name, const QByteArray& content)
    {
        writeFile(name, content);
        // Only the edit: the upgrade takes the file from there, however it got in.
        window->findChild<QLineEdit*>("upgrade_filename_lineEdit")->setText(dir.file(name));
    }

    void click(const char* button) { window->findChild<QPushButton*>(button)->click(); }
    int progress() const { return window->findChild<QProgressBar*>("progressBar")->value(); }
};
} // namespace

class TestDeviceFlows : public QObject
{
    Q_OBJECT
private slots:
    void upgradeOutcomes_data();
    void upgradeOutcomes();
    void upgradeEndsInSuccessAfterCountdown();
    void shrinkingFileStopsTheStream();
    void typeMismatchSendsNothing();
    void autoBackupRunsFirst();
    void autoBackupUnreachableStopsUpgrade();
    void queryByMode_data();
    void queryByMode();
    void backupSucceeds();
    void backupFailures_data();
    void backupFailures();
    void restoreOutcomes_data();
    void restoreOutcomes();
    void restoreWithoutArchive();
};

void TestDeviceFlows::upgradeOutcomes_data()
{
    QTest::addColumn<QStringList>("camsimArgs");
    QTest::addColumn<int>("workType");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("countdown");
    QTest::newRow("success") << QStringList{} << 1 << "file verify succeed upgradeing..." << 20000;
    QTest::newRow("TYPE2") << QStringList{"--layout", "TYPE2"} << 2 << "file verify succeed upgradeing..." << 20000;
    QTest::newRow("split records") << QStringList{"--fault", "split-records"} << 1
                                   << "file verify succeed upgradeing..." << 20000;
    QTest::newRow("joined records") << QStringList{"--fault", "coalesce-records"} << 1
                                    << "file verify succeed upgradeing..." << 20000;
    QTest::newRow("disk full") << QStringList{"--fault", "disk-full"} << 1 << "board is not enough disk space" << 0;
    QTest::newRow("verify fails") << QStringList{"--fault", "verify-fail"} << 1 << "file verify fail reboot..." << 0;
    QTest::newRow("flash fails") << QStringList{"--fault", "upgrade-fail"} << 1 << "upgrade fail reboot..." << 0;
    QTest::newRow("ARM file missing") << QStringList{"--fault", "arm-missing"} << 1
                                      << "arm upgrade file not found reboot..." << 0;
    QTest::newRow("dropped mid-upload") << QStringList{"--fault", "drop-upload=5000"} << 1 << "disconnect" << 0;
    QTest::newRow("dropped after verify") << QStringList{"--fault", "drop-after-verify"} << 1
                                          << "file verify succeed upgradeing..." << 20000;
}

void TestDeviceFlows::upgradeOutcomes()
{
    QFETCH(QStringList, camsimArgs);
    QFETCH(int, workType);
    QFETCH(QString, status);
    QFETCH(int, countdown);
    static int camera = 100;
    Rig rig;
    QVERIFY(rig.start(QString("127.0.0.%1").arg(++camera), camsimArgs));
    if (workType == 2)
        QMetaObject::invokeMethod(rig.window->findChild<QComboBox*>("worktype_comboBox"), "activated",
                                  Q_ARG(int, 1));
    const QByteArray firmware = pattern(10000);
    rig.chooseFirmware("IPC200_SOC_t.pkg", firmware);
    rig.click("upgrade_Button");

    QTRY_COMPARE_WITH_TIMEOUT(rig.text("label_6"), status, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(Upgrade::countdown(*rig.window), countdown, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(rig.window->findChild<QPushButton*>("upgrade_Button")->isEnabled(), 5000);
    if (countdown) {
        QCOMPARE(rig.progress(), 98);
        QCOMPARE(rig.text("label_4"), QString("disconnect"));
    }
    if (status != "board is not enough disk space" && status != "disconnect") {
        const QList<QJsonObject> files = rig.camsim.events("file_received");
        QCOMPARE(files.size(), 1);
        QCOMPARE(files.first().value("name").toString(), QString("IPC200_SOC_t.pkg"));
        QCOMPARE(files.first().value("param").toInt(), 1);
        QCOMPARE(readFile(files.first().value("path").toString()), firmware);
        QCOMPARE(files.first().value("md5_ok").toBool(), true);
    }
    QVERIFY(rig.answers.texts().isEmpty());
}

void TestDeviceFlows::upgradeEndsInSuccessAfterCountdown()
{
    Rig rig;
    QVERIFY(rig.start("127.0.0.120", {}));
    rig.chooseFirmware("IPC200_SOC_t.pkg", pattern(3000));
    rig.click("upgrade_Button");
    QTRY_COMPARE_WITH_TIMEOUT(Upgrade::countdown(*rig.window), 20000, 10000);
    // The one real wait of the count-down.
    QTRY_COMPARE_WITH_TIMEOUT(rig.answers.texts(), QStringList{"Upgrade Success"}, 25000);
    QCOMPARE(rig.answers.titles(), QStringList{"Information"});
    QCOMPARE(rig.progress(), 0);
    QCOMPARE(rig.text("label_6"), QString("disconnect"));
    QCOMPARE(Upgrade::countdown(*rig.window), 0);
}

void TestDeviceFlows::shrinkingFileStopsTheStream()
{
    Rig rig;
    // A slow camera, so the file is still being read when it shrinks.
    QVERIFY(rig.start("127.0.0.129", {"--fault", "slow-link=4000000", "--max-upload", "100000000"}));
    rig.chooseFirmware("IPC200_SOC_big.pkg", pattern(48 << 20));
    rig.click("upgrade_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.text("label_6"), QString("transmitting..."), 5000);
    QVERIFY(QFile::resize("IPC200_SOC_big.pkg", 4096));
    QTRY_COMPARE_WITH_TIMEOUT(rig.text("label_6"), QString("Open file failed"), 10000);
    QVERIFY(!Upgrade::connected(*rig.window));
    QVERIFY(rig.window->findChild<QPushButton*>("upgrade_Button")->isEnabled());
}

void TestDeviceFlows::typeMismatchSendsNothing()
{
    Rig rig;
    QVERIFY(rig.start("127.0.0.121", {}));
    rig.chooseFirmware("IPC200_soc_t.pkg", pattern(100));
    rig.click("upgrade_Button");
    QCOMPARE(rig.answers.texts(), QStringList{"Upgrade file type does not match"});
    QCOMPARE(rig.text("upgrade_filename_lineEdit"), QString());

    // A name too long for the record (59 characters in TYPE2) is refused the same way.
    rig.answers.clear();
    QMetaObject::invokeMethod(rig.window->findChild<QComboBox*>("worktype_comboBox"), "activated", Q_ARG(int, 1));
    rig.chooseFirmware(QString(60, 'x') + "_SOC.pkg", pattern(100));
    rig.click("upgrade_Button");
    QCOMPARE(rig.answers.texts(), QStringList{"Upgrade file type does not match"});
    QTest::qWait(200);
    QVERIFY(rig.camsim.events("tcp_open").isEmpty());
}

void TestDeviceFlows::autoBackupRunsFirst()
{
    Rig rig;
    QTemporaryDir json;
    writeFile(json.filePath("camera.json"), R"({"cameras": [{"archive_text": "saved before the upgrade"}]})");
    QVERIFY(rig.start("127.0.0.128", {"--config", json.filePath("camera.json")}));
    Upgrade::autoBackup(*rig.window) = true;
    rig.chooseFirmware("IPC200_SOC_t.pkg", pattern(5000));
    rig.click("upgrade_Button");
    QCOMPARE(readFile("data.tar.gz"), QByteArray("saved before the upgrade"));
    QCOMPARE(rig.text("label_21"), QString("exist"));
    QTRY_COMPARE_WITH_TIMEOUT(Upgrade::countdown(*rig.window), 20000, 10000);
    // The backup's success goes to the upgrade tab, not to a message box.
    QVERIFY(rig.answers.texts().isEmpty());
    QCOMPARE(rig.camsim.events("file_received").size(), 1);
}

void TestDeviceFlows::autoBackupUnreachableStopsUpgrade()
{
    Rig rig;
    QVERIFY(rig.start("127.0.0.122", {}));
    Upgrade::autoBackup(*rig.window) = true;
    rig.window->findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText("127.0.0.123");
    rig.chooseFirmware("IPC200_SOC_t.pkg", pattern(100));
    rig.click("upgrade_Button");
    QCOMPARE(rig.text("label_23"), QString("timed out"));
    QCOMPARE(rig.text("label_4"), QString("timed out"));
    QVERIFY(!Upgrade::connected(*rig.window));
    QTest::qWait(300);
    QVERIFY(rig.camsim.events("tcp_open").isEmpty());
}

void TestDeviceFlows::queryByMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("typeItems");
    QTest::newRow("Simple keeps the list") << "Simple" << 3;
    QTest::newRow("Full adds the partitions") << "Full" << 4 + 3;
}

void TestDeviceFlows::queryByMode()
{
    QFETCH(QString, mode);
    QFETCH(int, typeItems);
    Rig rig;
    QTemporaryDir json;
    const QString config = json.filePath("camera.json");
    writeFile(config, R"({"cameras": [{"version": "V2.7.3D MODEL: IPC200.R2 2026-05-17",
                          "partitions": ["mtd0: 00040000 00010000 \"boot\"", "mtd1: 00200000 00010000 \"kernel\"",
                                         "mtd2: 00800000 00010000 \"rootfs\""]}]})");
    QVERIFY(rig.start(mode == "Full" ? "127.0.0.124" : "127.0.0.125", {"--config", config}, mode));
    rig.click("query_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.text("label_4"), QString("disconnect"), 5000);
    const QString report = rig.window->findChild<QTextEdit*>("textEdit")->toPlainText();
    QVERIFY2(report.startsWith("VERSION INFO\nV2.7.3D MODEL: IPC200.R2 2026-05-17\n\nMTD INFO\n Dev\tSize   Erasesize Name\n"
                               "mtd0: 00040000 00010000 \"boot\""),
             qPrintable(report));
    QCOMPARE(Upgrade::modelName(*rig.window), QString("IPC200"));
    QCOMPARE(Upgrade::socVersionLetter(*rig.window), QString("D"));
    auto* types = rig.window->findChild<QComboBox*>("upgrade_type_comboBox");
    QCOMPARE(types->count(), typeItems);
    if (mode == "Full") {
        QCOMPARE(types->itemText(6), QString("mtd2:\"rootfs\""));
        QCOMPARE(Upgrade::partitionCount(*rig.window), qint8(3));
    }
    QVERIFY(!Upgrade::connected(*rig.window));
}

void TestDeviceFlows::backupSucceeds()
{
    Rig rig;
    QTemporaryDir json;
    writeFile(json.filePath("camera.json"), R"({"cameras": [{"archive_text": "the camera's settings"}]})");
    QVERIFY(rig.start("127.0.0.126", {"--config", json.filePath("camera.json")}));
    writeFile("data.tar.gz", "previous archive");
    rig.click("backup_pushButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.answers.texts(), QStringList{"Backup Success"}, 5000);
    QCOMPARE(readFile("data.tar.gz"), QByteArray("the camera's settings"));
    QCOMPARE(readFile("data.tar.gz_bak"), QByteArray("previous archive"));
    QCOMPARE(rig.text("label_21"), QString("exist"));
    QVERIFY(!Upgrade::connected(*rig.window));
}

void TestDeviceFlows::backupFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("camera reports failure") << "backup-fail";
    QTest::newRow("wrong MD5") << "backup-bad-md5";
    QTest::newRow("parent folder name") << "backup-name=../escaped";
    QTest::newRow("absolute name") << "backup-name=/tmp/escaped-camupgrade";
    QTest::newRow("empty name") << "backup-name=";
    QTest::newRow("negative chunk") << "chunk-length=-1";
    QTest::newRow("oversized chunk") << "chunk-length=4096";
    QTest::newRow("negative size") << "header-size=-5";
}

void TestDeviceFlows::backupFailures()
{
    QFETCH(QString, fault);
    static int camera = 130;
    Rig rig;
    QVERIFY(rig.start(QString("127.0.0.%1").arg(++camera), {"--fault", fault}));
    writeFile("data.tar.gz", "previous archive");
    rig.click("backup_pushButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.text("label_23"), QString("backup failed"), 5000);
    QCOMPARE(readFile("data.tar.gz"), QByteArray("previous archive"));
    QVERIFY(!QFile::exists("data.tar.gz_bak"));
    QVERIFY(!QFile::exists("../escaped"));
    QVERIFY(!QFile::exists("/tmp/escaped-camupgrade"));
    QCOMPARE(QDir(".").entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 2); // config.ini, data.tar.gz
    QVERIFY(rig.answers.texts().isEmpty());
}

void TestDeviceFlows::restoreOutcomes_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("countdown");
    QTest::newRow("restored") << QStringList{} << "restoring..." << 20000;
    QTest::newRow("camera fails") << QStringList{"--fault", "restore-fail"} << "Restore failed reboot..." << 0;
    QTest::newRow("disk full") << QStringList{"--fault", "disk-full"} << "board is not enough disk space" << 0;
}

void TestDeviceFlows::restoreOutcomes()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, status);
    QFETCH(int, countdown);
    static int camera = 140;
    Rig rig;
    QVERIFY(rig.start(QString("127.0.0.%1").arg(++camera), faults));
    const QByteArray archive = pattern(9000);
    writeFile("data.tar.gz", archive);
    rig.click("restore_pushButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.text("label_23"), status, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(Upgrade::restoreCountdown(*rig.window), countdown, 5000);
    if (countdown) {
        const QList<QJsonObject> files = rig.camsim.events("file_received");
        QCOMPARE(files.size(), 1);
        QCOMPARE(readFile(files.first().value("path").toString()), archive);
        QVERIFY(files.first().value("md5_ok").toBool());
    }
}

void TestDeviceFlows::restoreWithoutArchive()
{
    Rig rig;
    QVERIFY(rig.start("127.0.0.127", {}));
    rig.click("restore_pushButton");
    QCOMPARE(rig.answers.texts(), QStringList{"Not exist backup files"});
    QCOMPARE(rig.text("label_23"), QString("disconnect"));
    QTest::qWait(200);
    QVERIFY(rig.camsim.events("tcp_open").isEmpty());
}

QTEST_MAIN(TestDeviceFlows)
#include "test_deviceflows.moc"
