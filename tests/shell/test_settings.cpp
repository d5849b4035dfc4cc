// config.ini at start and at a confirmed exit, in a fresh working directory per case.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QtTest>

#include "dialogs.h"
#include "shellaccess.h"
#include "workdir.h"

namespace {
void writeConfig(const QString& text)
{
    QFile file("config.ini");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

QStringList items(QComboBox* box)
{
    QStringList result;
    for (int i = 0; i < box->count(); ++i)
        result << box->itemText(i);
    return result;
}

void closeConfirmed(MainWindow& w)
{
    DialogAnswerer answerer(QMessageBox::Ok);
    w.close();
    QCOMPARE(answerer.count(), 1);
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void missingFileGivesDefaults();
    void confirmedExitWritesNineKeys();
    void cancelledExitWritesNothing();
    void partialFile();
    void typeSelection_data();
    void typeSelection();
    void unknownModeOffersNoTypes();
    void roundTripKeepsChoices();
    void archivePresenceShowsExist();
};

void TestSettings::missingFileGivesDefaults()
{
    ScopedWorkDir dir;
    MainWindow w;
    auto* types = w.findChild<QComboBox*>("upgrade_type_comboBox");
    QCOMPARE(items(types), QStringList({"SOC", "ARM", "MTD"}));
    QCOMPARE(w.findChild<QLineEdit*>("upgrade_ip_lineEdit")->text(), QString("192.168.100.88"));
    QCOMPARE(w.windowTitle(), QString::fromUtf8("升级软件 v2.7"));
    QCOMPARE(w.findChild<QComboBox*>("language_comboBox")->currentIndex(), 0);
    QCOMPARE(w.findChild<QComboBox*>("worktype_comboBox")->currentIndex(), 0);
    QCOMPARE(Shell::workType(w), 1);
    QVERIFY(Shell::verify(w));
    QVERIFY(!Shell::autoBackup(w));
    QCOMPARE(Shell::mode(w), QString("Simple"));
    QCOMPARE(Shell::language(w), QString("Chinese"));
    QCOMPARE(w.findChild<QLabel*>("label_21")->text(), QString::fromUtf8("无"));
}

void TestSettings::confirmedExitWritesNineKeys()
{
    ScopedWorkDir dir;
    {
        MainWindow w;
        w.show();
        w.findChild<QLineEdit*>("upgrade_filename_lineEdit")->setText("/tmp/fw.pkg");
        // The saved MAC flag is whether the Change button is on screen, so it needs the Config tab.
        w.findChild<QTabWidget*>("tabWidget")->setCurrentIndex(2);
        closeConfirmed(w);
    }
    QSettings settings("config.ini", QSettings::IniFormat);
    QCOMPARE(settings.childGroups(), QStringList{"upgrade"});
    QStringList keys = settings.allKeys();
    keys.sort();
    QCOMPARE(keys, QStringList({"upgrade/auto_backup", "upgrade/ipaddr", "upgrade/language", "upgrade/mac_modify",
                                "upgrade/mode", "upgrade/model_type", "upgrade/path", "upgrade/type",
                                "upgrade/verify"}));
    QCOMPARE(settings.value("upgrade/language").toString(), QString("Chinese"));
    QCOMPARE(settings.value("upgrade/type").toString(), QString("SOC"));
    QCOMPARE(settings.value("upgrade/path").toString(), QString("/tmp/fw.pkg"));
    QCOMPARE(settings.value("upgrade/ipaddr").toString(), QString("192.168.100.88"));

    // Booleans are written as words.
    QFile file("config.ini");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("verify=true"));
    QVERIFY(text.contains("auto_backup=false"));
    QVERIFY(text.contains("model_type=true"));
    QVERIFY(text.contains("mac_modify=true"));
}

void TestSettings::cancelledExitWritesNothing()
{
    ScopedWorkDir dir;
    MainWindow w;
    w.show();
    DialogAnswerer answerer(QMessageBox::Cancel);
    w.close();
    QCOMPARE(answerer.count(), 1);
    QVERIFY(w.isVisible());
    QVERIFY(!QFile::exists("config.ini"));
}

void TestSettings::partialFile()
{
    ScopedWorkDir dir;
    writeConfig("[upgrade]\nmode=Full\nforeign=1\n");
    MainWindow w;
    auto* types = w.findChild<QComboBox*>("upgrade_type_comboBox");
    QCOMPARE(items(types), QStringList({"SOC", "ARM", "SOC&ARM", "MTD"}));
    QCOMPARE(types->currentIndex(), 0);
    QCOMPARE(w.findChild<QComboBox*>("worktype_comboBox")->currentIndex(), 1);
    QCOMPARE(Shell::workType(w), 2);
    QVERIFY(!Shell::verify(w));
    QCOMPARE(w.windowTitle(), QString("MainWindow"));
    QCOMPARE(w.findChild<QComboBox*>("language_comboBox")->currentIndex(), 0);
    QCOMPARE(w.findChild<QLineEdit*>("upgrade_ip_lineEdit")->text(), QString());

    w.show();
    closeConfirmed(w);
    QSettings settings("config.ini", QSettings::IniFormat);
    QVERIFY(!settings.contains("upgrade/foreign"));
    QCOMPARE(settings.allKeys().size(), 9);
    QCOMPARE(settings.value("upgrade/mode").toString(), QString("Full"));
    QCOMPARE(settings.value("upgrade/model_type").toString(), QString("false"));
}

void TestSettings::typeSelection_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("index");
    QTest::newRow("simple SOC&ARM") << "Simple" << "SOC&ARM" << "SOC" << 0;
    QTest::newRow("full MTD") << "Full" << "MTD" << "MTD" << 3;
    QTest::newRow("simple MTD") << "Simple" << "MTD" << "MTD" << 2;
    QTest::newRow("full ARM") << "Full" << "ARM" << "ARM" << 1;
}

void TestSettings::typeSelection()
{
    QFETCH(QString, mode);
    QFETCH(QString, type);
    QFETCH(QString, shown);
    QFETCH(int, index);
    ScopedWorkDir dir;
    writeConfig(QString("[upgrade]\nlanguage=English\nmode=%1\ntype=%2\n").arg(mode, type));
    MainWindow w;
    auto* types = w.findChild<QComboBox*>("upgrade_type_comboBox");
    QCOMPARE(types->currentIndex(), index);
    QCOMPARE(types->currentText(), shown);
    // The device socket is set up after the settings and starts from SOC whatever was selected.
    QCOMPARE(Shell::upgradeFileType(w), 1);
}

void TestSettings::unknownModeOffersNoTypes()
{
    ScopedWorkDir dir;
    writeConfig("[upgrade]\nlanguage=English\nmode=Expert\ntype=MTD\n");
    MainWindow w;
    QCOMPARE(w.findChild<QComboBox*>("upgrade_type_comboBox")->count(), 0);
    QCOMPARE(w.windowTitle(), QString("UPGRADE v2.7"));
}

void TestSettings::roundTripKeepsChoices()
{
    ScopedWorkDir dir;
    writeConfig("[upgrade]\nlanguage=English\nmode=Full\nverify=false\nauto_backup=true\nmodel_type=false\n"
                "mac_modify=true\ntype=SOC&ARM\nipaddr=10.1.2.3\npath=/data/a.pkg\n");
    {
        MainWindow w;
        QCOMPARE(Shell::fileName(w), QString("/data/a.pkg"));
        QCOMPARE(w.findChild<QLineEdit*>("upgrade_filename_lineEdit")->text(), QString("/data/a.pkg"));
        w.show();
        closeConfirmed(w);
    }
    QSettings settings("config.ini", QSettings::IniFormat);
    QCOMPARE(settings.value("upgrade/language").toString(), QString("English"));
    QCOMPARE(settings.value("upgrade/type").toString(), QString("SOC&ARM"));
    QCOMPARE(settings.value("upgrade/ipaddr").toString(), QString("10.1.2.3"));
    QCOMPARE(settings.value("upgrade/auto_backup").toBool(), true);
    QCOMPARE(settings.value("upgrade/verify").toBool(), false);
    QCOMPARE(settings.value("upgrade/model_type").toBool(), false);
    // The Change button is on a hidden tab at exit, so the flag is saved false whatever was read.
    QCOMPARE(settings.value("upgrade/mac_modify").toBool(), false);
}

void TestSettings::archivePresenceShowsExist()
{
    ScopedWorkDir dir;
    QFile archive("data.tar.gz");
    QVERIFY(archive.open(QIODevice::WriteOnly));
    archive.close();
    writeConfig("[upgrade]\nlanguage=English\nmode=Simple\n");
    MainWindow w;
    QCOMPARE(w.findChild<QLabel*>("label_21")->text(), QString("exist"));
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
