// The window's own behaviour: languages, the work type, drops, the upgrade type list and the logo.
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

private:
    QScopedPointer<ScopedWorkDir> m_dir;
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
