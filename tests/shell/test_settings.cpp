// config.ini at start and at a confirmed exit, in a fresh working directory per case.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QtTest>

#include "dialogs.h"
#include "mainwindow.h"
#include "workdir.h"

namespace
{
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

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir.reset(new ScopedWorkDir); }
    void cleanup() { m_dir.reset(); }

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

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
