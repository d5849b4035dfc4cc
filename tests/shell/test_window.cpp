// The window's own behaviour: config.ini at start and at a confirmed exit, languages, the work type, drops,
// the upgrade type list and the logo, each in a fresh working directory.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "devicesession.h"
#include "dialogs.h"
#include "mainwindow.h"
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
    QFile file("config.ini");
    return file.open(QIODevice::ReadOnly) ? QString(file.readAll()).trimmed() : QString();
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
        w.findChild<QLineEdit*>("ip_address_lineEdit")->setText("10.0.0.5");
        w.findChild<QComboBox*>("dhcp_comboBox")->setCurrentIndex(1);
        activate(w, "language_comboBox", 1);
        QCOMPARE(w.windowTitle(), QString("UPGRADE v2.7"));
        QCOMPARE(text(w, "osd_up_Button") + text(w, "osd_down_Button"), QString("UPDown"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
        // The form is set up again in the new language, its entries back to what it was built with.
        QCOMPARE(text(w, "ip_address_lineEdit") + text(w, "label_23"), QString("disconnect"));
        QCOMPARE(w.findChild<QComboBox*>("dhcp_comboBox")->currentText(), QString("Manual"));

        emit w.findChild<DeviceSession*>()->upgradeStatus(3); // while upgrading, the language stays
        activate(w, "language_comboBox", 0);
        QCOMPARE(w.windowTitle(), QString("UPGRADE v2.7"));
        emit w.findChild<DeviceSession*>()->upgradeStatus(6);
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

    void dropTakesFirstLocalFile()
    {
        MainWindow w;
        for (const QList<QUrl>& urls :
             {QList<QUrl>{QUrl::fromLocalFile("/data/first.pkg"), QUrl("file:/data/b")},
              {QUrl("http://example.invalid/x.pkg")},
              {}}) {
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&w, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&w, &drop);
            QCOMPARE(text(w, "upgrade_filename_lineEdit"), QString("/data/first.pkg"));
        }
    }

    // An upgrade that ends rebuilds the type list and selects the type it used again.
    void typeListRebuilt_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("fileKept");
        QTest::newRow("Simple MTD") << "Simple" << 2 << "MTD" << true;
        QTest::newRow("Full SOC&ARM") << "Full" << 2 << "SOC&ARM" << true;
        QTest::newRow("Full partition") << "Full" << 5 << "SOC" << false;
        QTest::newRow("Simple partition selects nothing") << "Simple" << 4 << "" << true;
    }
    void typeListRebuilt()
    {
        QFETCH(QString, mode);
        QFETCH(int, chosen);
        QFETCH(QString, selected);
        QFETCH(bool, fileKept);
        QVERIFY(writeFile("config.ini", "[upgrade]\nmode=" + mode.toUtf8() + "\npath=/data/k.img"));
        MainWindow w;
        auto* types = w.findChild<QComboBox*>("upgrade_type_comboBox");
        types->addItems({"mtd0:\"boot\"", "mtd1:\"kernel\""});
        activate(w, "upgrade_type_comboBox", chosen);
        emit w.findChild<DeviceSession*>()->upgradeStatus(8);
        QCOMPARE(types->currentText(), selected);
        QCOMPARE(types->count(), mode == "Full" ? 4 : 3);
        QCOMPARE(text(w, "upgrade_filename_lineEdit").isEmpty(), !fileKept);
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

private:
    QScopedPointer<ScopedWorkDir> m_dir;
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
