// The window's own behaviour, each case in a fresh working directory: config.ini at start and at a confirmed
// exit, languages, the work type, drops, the upgrade type list and the logo; and the shell's pure rules.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegExpValidator>
#include <QTabWidget>
#include <QtTest>

#include "devicesession.h"
#include "dialogs.h"
#include "mainwindow.h"
#include "padposition.h"
#include "upgradetypes.h"
#include "validators.h"
#include "workdir.h"

namespace
{
void activate(MainWindow& w, const char* box, int index)
{
    w.findChild<QComboBox*>(box)->setCurrentIndex(index);
    emit w.findChild<QComboBox*>(box)->activated(index);
}

QString text(MainWindow& w, const char* name)
{
    if (auto* button = w.findChild<QPushButton*>(name))
        return button->text();
    if (auto* label = w.findChild<QLabel*>(name))
        return label->text();
    return w.findChild<QLineEdit*>(name)->text();
}
QString shown(MainWindow& w)
{
    auto* types = w.findChild<QComboBox*>("upgrade_type_comboBox");
    QStringList items;
    for (int i = 0; i < types->count(); ++i)
        items << (i == types->currentIndex() ? "[" + types->itemText(i) + "]" : types->itemText(i));
    return QStringList({w.windowTitle(), items.join(' '),
                        w.findChild<QLineEdit*>("upgrade_ip_lineEdit")->text(),
                        QString::number(w.findChild<QComboBox*>("worktype_comboBox")->currentIndex()),
                        w.findChild<QLabel*>("label_21")->text()})
        .join(" | ");
}

// The settings a confirmed exit writes, as text.
QString saved(MainWindow& w, int tab = 0)
{
    w.show();
    w.findChild<QTabWidget*>("tabWidget")->setCurrentIndex(tab);
    DialogAnswerer answerer(QMessageBox::Ok);
    w.close();
    return QString(readFile("config.ini")).trimmed();
}
} // namespace

class TestWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir.reset(new ScopedWorkDir); }
    void cleanup() { m_dir.reset(); }

    void languages()
    {
        MainWindow w;
        activate(w, "language_comboBox", 1);
        QCOMPARE(w.windowTitle(), QString("UPGRADE v2.7"));
        QCOMPARE(text(w, "osd_up_Button") + text(w, "osd_down_Button"), QString("UPDown"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));

        activate(w, "language_comboBox", 0);
        QCOMPARE(w.windowTitle(), QString::fromUtf8("升级软件 v2.7"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
    }

    void workTypeChangeDisconnects()
    {
        MainWindow w;
        w.findChild<QLabel*>("label_4")->setText("connected");
        w.findChild<QPushButton*>("upgrade_Button")->setEnabled(false);
        activate(w, "worktype_comboBox", 1);
        const QString disconnected = QString::fromUtf8("未连接");
        QCOMPARE(QStringList({text(w, "label_4"), text(w, "label_6"), text(w, "label_23")}),
                 QStringList({disconnected, disconnected, disconnected}));
        QVERIFY(w.findChild<QPushButton*>("upgrade_Button")->isEnabled());
    }

    // The first local file of a drop; a drop without one changes nothing.
    void dropTakesFirstLocalFile()
    {
        MainWindow w;
        for (const char* dropped :
             {"file:/data/first.pkg file:/data/b", "http://example.invalid/x.pkg", ""}) {
            QMimeData data;
            data.setUrls(QUrl::fromStringList(QString(dropped).split(' ', Qt::SkipEmptyParts)));
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QVERIFY(QCoreApplication::sendEvent(&w, &enter) && enter.isAccepted() &&
                    QCoreApplication::sendEvent(&w, &drop));
            QCOMPARE(text(w, "upgrade_filename_lineEdit"), QString("/data/first.pkg"));
        }
    }

    // An upgrade that ends, here by a broken connection, rebuilds the type list and selects the type it used
    // again; a partition has no entry of its own, and in Full mode its file is dropped too. Mode, entry
    // chosen, entry selected after, file kept.
    void typeListRebuilt()
    {
        for (const char* row : {"Simple 2 MTD 1", "Full 2 SOC&ARM 1", "Full 5 SOC 0", "Simple 4 - 1"}) {
            const QStringList cells = QString(row).split(' ');
            QVERIFY(writeFile("config.ini", "[upgrade]\nmode=" + cells[0].toUtf8() + "\npath=/data/k.img"));
            MainWindow w;
            auto* types = w.findChild<QComboBox*>("upgrade_type_comboBox");
            types->addItems({"mtd0:\"boot\"", "mtd1:\"kernel\""});
            activate(w, "upgrade_type_comboBox", cells[1].toInt());
            emit w.findChild<DeviceSession*>()->socketError(QAbstractSocket::RemoteHostClosedError, "closed");
            QCOMPARE(types->currentText(), cells[2] == "-" ? QString() : cells[2]);
            QCOMPARE(types->count(), cells[0] == "Full" ? 4 : 3);
            QCOMPARE(text(w, "upgrade_filename_lineEdit").isEmpty(), cells[3] == "0");
        }
    }

    void logoIsShown()
    {
        QImage logo(98, 24, QImage::Format_RGB32);
        logo.fill(Qt::red);
        QVERIFY(logo.save("logo.png"));
        MainWindow w;
        QCOMPARE(w.findChild<QLabel*>("oem_logo_label")->pixmap(Qt::ReturnByValue).size(), QSize(98, 24));
    }

    void startUp_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no config.ini
        QTest::addColumn<QString>("shown");   // title | types | address | work type | archive
        QTest::newRow("no file") << QByteArray()
                                 << QString::fromUtf8(
                                        "升级软件 v2.7 | [SOC] ARM MTD | 192.168.100.88 | 0 | 无");
        QTest::newRow("only the mode")
            << QByteArray("[upgrade]\nmode=Full\n") << "MainWindow | [SOC] ARM SOC&ARM MTD |  | 1 | none";
        QTest::newRow("Simple, SOC&ARM")
            << QByteArray("[upgrade]\nlanguage=English\nmode=Simple\ntype=SOC&ARM\n"
                          "model_type=true\nipaddr=10.1.2.3")
            << "UPGRADE v2.7 | [SOC] ARM MTD | 10.1.2.3 | 0 | none";
        QTest::newRow("Simple, MTD") << QByteArray("[upgrade]\nlanguage=English\nmode=Simple\ntype=MTD")
                                     << "UPGRADE v2.7 | SOC ARM [MTD] |  | 1 | none";
        QTest::newRow("Full, MTD") << QByteArray("[upgrade]\nlanguage=English\nmode=Full\ntype=MTD")
                                   << "UPGRADE v2.7 | SOC ARM SOC&ARM [MTD] |  | 1 | none";
        QTest::newRow("unknown mode") << QByteArray("[upgrade]\nlanguage=English\nmode=Expert\ntype=MTD")
                                      << "UPGRADE v2.7 |  |  | 1 | none";
    }
    void startUp()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        QVERIFY(file.isEmpty() || writeFile("config.ini", file));
        MainWindow w;
        QCOMPARE(::shown(w), shown);
    }

    void exitWritesEveryKey_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("saved");
        QTest::newRow("defaults, Config tab shown") << QByteArray() << 2
                                                    << "[upgrade]\nauto_backup=false\nipaddr=192.168.100."
                                                       "88\nlanguage=Chinese\nmac_modify=true\nmode=Simple\n"
                                                       "model_type=true\npath=\ntype=SOC\nverify=true";
        // Every key differs from its default; a key the tool does not know is dropped.
        QTest::newRow("every key set")
            << QByteArray("[upgrade]\nlanguage=English\nmode=Full\nverify=false\n"
                          "auto_backup=true\nmodel_type=false\nmac_modify=true\n"
                          "type=SOC&ARM\nipaddr=10.1.2.3\npath=/data/a.pkg\nforeign=1")
            << 0
            << "[upgrade]\nauto_backup=true\nipaddr=10.1.2.3\nlanguage=English\nmac_modify=false\nmode=Full\n"
               "model_type=false\npath=/data/a.pkg\ntype=SOC&ARM\nverify=false";
    }
    void exitWritesEveryKey()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, tab);
        QFETCH(QString, saved);
        QVERIFY(file.isEmpty() || writeFile("config.ini", file));
        MainWindow w;
        QCOMPARE(::saved(w, tab), saved);
    }

    void cancelledExitWritesNothing()
    {
        MainWindow w;
        w.show();
        DialogAnswerer answerer(QMessageBox::Cancel);
        w.close();
        QCOMPARE(answerer.texts(), QStringList{QString::fromUtf8("是否退出程序?")});
        QVERIFY(w.isVisible() && !QFile::exists("config.ini"));
    }

    void archiveShowsExist()
    {
        QVERIFY(writeFile("data.tar.gz", "x") && writeFile("config.ini", "[upgrade]\nlanguage=English"));
        MainWindow w;
        QCOMPARE(w.findChild<QLabel*>("label_21")->text(), QString("exist"));
    }

    // The shell's pure rules: address checks, entry patterns, the pad position and the upgrade type lists.
    void textRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        const auto rows = [](const char* rule, const QStringList& valid, const QStringList& invalid) {
            for (const QString& text : valid)
                QTest::addRow("%s %s", rule, qPrintable(text)) << rule << text << true;
            for (const QString& text : invalid)
                QTest::addRow("%s %s", rule, qPrintable(text)) << rule << text << false;
        };
        rows("host", {"192.168.1.254", "0.1.2.3", "010.001.002.003"},
             {"192.168.1.0", "192.168.1.255", "10.255.2.3", "192.168.1", "192.168.1.256", "192.168.1.4.", "",
              "a.b.c.d"});
        rows("netmask", {"255.255.255.0", "0.0.0.0", "255.255.255.254", "255.128.0.0"},
             {"255.255.255.255", "255.255.0.255", "255.253.0.0", "255.255.255.0x"});
        rows("mac tail", {"a1:B2:c3"}, {"A1:B2", "A1-B2-C3", "G1:B2:C3", "1:B2:C3"});
        rows("ip entry", {"192.168.100.88"}, {"192.168.100.256", "192.168.01.1"});
        rows("port entry", {"0", "554", "65535"}, {"65536", "0554"});
        rows("octet entry", {"aF"}, {"abc", "zz"});
    }
    void textRules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const QMap<QString, const char*> patterns{{"ip entry", validators::kIpEntryPattern},
                                                  {"port entry", validators::kPortEntryPattern},
                                                  {"octet entry", validators::kOctetEntryPattern}};
        int position = 0;
        QRegExpValidator entry{QRegExp(patterns.value(rule))};
        const bool accepted = rule == "host"       ? validators::isValidHostIp(text)
                              : rule == "netmask"  ? validators::isValidNetmask(text)
                              : rule == "mac tail" ? validators::isValidMacTail(text)
                                                   : entry.validate(text, position) == QValidator::Acceptable;
        QCOMPARE(accepted, valid);
    }

    void padPosition()
    {
        QCOMPARE(menu_pad_position(QSize(700, 400), QSize(346, 196)), QPoint(700 - 346 + 12, 400 - 196 + 10));
        QCOMPARE(menu_pad_position(QSize(618, 425), QSize(346, 196)), QPoint(234, 184));
        QCOMPARE(menu_pad_position(QSize(100, 50), QSize(346, 196)), QPoint(234, 136));
    }

    // The remembered type selects an entry of the mode's list, and the list shows a file type again after a
    // refill. Mode, remembered type, entry, file type.
    void upgradeTypes()
    {
        for (const char* row :
             {"Simple SOC&ARM 0 1", "Simple MTD 2 4", "Full MTD 3 4", "Full SOC&ARM 2 3", "Full ARM 1 2"}) {
            const QStringList cell = QString(row).split(' ');
            const UpgradeTypeChoice choice = upgrade_type_from_setting(cell[0], cell[1]);
            QVERIFY(choice.valid);
            QCOMPARE(QString("%1 %2").arg(choice.index).arg(choice.file_type), cell[2] + " " + cell[3]);
            QCOMPARE(upgrade_type_index(cell[0], cell[3].toInt()),
                     cell[1] == "SOC&ARM" && cell[0] == "Simple" ? 0 : cell[2].toInt());
            QCOMPARE(upgrade_types_for_mode(cell[0]).size(), cell[0] == "Full" ? 4 : 3);
        }
        QVERIFY(!upgrade_type_from_setting("Expert", "MTD").valid &&
                upgrade_types_for_mode("Expert").isEmpty());
    }

private:
    QScopedPointer<ScopedWorkDir> m_dir;
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
