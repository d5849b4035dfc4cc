// A language change translates every text and loses nothing: each field keeps what it holds through a switch
// to English and back to Chinese, and the indicators are evaluated again rather than reset.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTextEdit>
#include <QtTest>

#include "dialogs.h"
#include "mainwindow.h"
#include "workdir.h"

template <typename Tag> class MainWindowAccess;
struct LanguageTag;
template <> class MainWindowAccess<LanguageTag>
{
public:
    static QVector<Dev_info>& devices(MainWindow& w) { return w.device_list; }
    static int workType(MainWindow& w) { return w.work_type; }
};
using Language = MainWindowAccess<LanguageTag>;

namespace
{
void activate(MainWindow& w, const char* box, int index)
{
    w.findChild<QComboBox*>(box)->setCurrentIndex(index);
    emit w.findChild<QComboBox*>(box)->activated(index);
}

// An edit's text, a selector's "#index", the log pane's text, a label's or button's text.
QString held(MainWindow& w, const QString& name)
{
    if (auto* edit = w.findChild<QLineEdit*>(name))
        return edit->text();
    if (auto* box = w.findChild<QComboBox*>(name))
        return "#" + QString::number(box->currentIndex());
    if (auto* log = w.findChild<QTextEdit*>(name))
        return log->toPlainText();
    if (auto* label = w.findChild<QLabel*>(name))
        return label->text();
    return w.findChild<QPushButton*>(name)->text();
}
} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void init() { dir.reset(new ScopedWorkDir); }
    void cleanup() { dir.reset(); }

    void keepsFields_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        const QList<QPair<const char*, const char*>> rows{
            {"upgrade_ip_lineEdit", "10.1.2.3"},
            {"upgrade_filename_lineEdit", "/fw/IPC200_SOC_V2.7.6.pkg"},
            {"upgrade_type_comboBox", "#2"},
            {"textEdit", "V2.7.5F MODEL: IPC200.R1"},
            {"backup_ip_lineEdit", "10.1.2.4"},
            {"txtUrl", "10.1.2.5"},
            {"txtPort", "8554"},
            {"upgrade_preview_comboBox", "#1"},
            {"dhcp_comboBox", "#1"},
            {"ip_address_lineEdit", "10.1.2.6"},
            {"netmask_lineEdit", "255.255.0.0"},
            {"gateway_lineEdit", "10.1.0.1"},
            {"fdns_lineEdit", "10.1.0.2"},
            {"mac4_lineEdit", "A1"},
            {"mac5_lineEdit", "b2"},
            {"mac6_lineEdit", "C3"},
            {"worktype_comboBox", "#1"}};
        for (const auto& [name, value] : rows)
            QTest::newRow(name) << name << value;
    }
    void keepsFields()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        MainWindow w;
        if (value.startsWith('#'))
            activate(w, qPrintable(name), value.mid(1).toInt());
        else if (auto* log = w.findChild<QTextEdit*>(name))
            log->append(value);
        else
            w.findChild<QLineEdit*>(name)->setText(value);
        for (int language : {1, 0}) {
            activate(w, "language_comboBox", language);
            QCOMPARE(w.windowTitle(), language ? QString("UPGRADE v2.7") : QString("升级软件 v2.7"));
            QCOMPARE(held(w, name), value);
        }
        // What the choices stand for stays with them.
        QCOMPARE(w.findChild<QLineEdit*>("ip_address_lineEdit")->isEnabled(), name != "dhcp_comboBox");
        QCOMPARE(Language::workType(w), name == "worktype_comboBox" ? 2 : 1);
    }

    // What an indicator shows after a switch to English and after the switch back, once the setting is made.
    void reevaluates_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        struct Row {
            const char *name, *setting, *widget, *english, *chinese;
        };
        const Row rows[] = {
            {"archive made after the start", "archive made", "label_21", "exist", "存在"},
            {"archive removed after the start", "archive removed", "label_21", "none", "无"},
            {"no search yet", "", "label_3", "Devices：", "设备数："},
            {"two cameras found", "two cameras", "label_3", "Devices: 2", "设备数: 2"},
            {"connection status", "connected", "label_4", "connected", "已连接"},
            {"a camera's own text", "camera text", "label_6", "42%", "42%"},
            {"preview opening: button", "preview", "rtsp_connect_Button", "Disconnect", "断开"},
            {"preview opening: video", "preview", "labVideo", "connecting...", "正在连接..."},
            {"preview stopped: button", "", "rtsp_connect_Button", "Connect", "连接"},
        };
        for (const Row& r : rows)
            QTest::newRow(r.name) << QString(r.setting) << QString(r.widget) << QString(r.english)
                                  << QString(r.chinese);
    }
    void reevaluates()
    {
        QFETCH(QString, setting);
        QFETCH(QString, name);
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        if (setting == "archive removed")
            QVERIFY(writeFile("data.tar.gz", "x"));
        // Accepts the preview's connection and never answers, so the stream stays opening.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress("127.0.0.19"), 8719));
        MainWindow w;
        DialogAnswerer answerer;
        if (setting == "archive made")
            QVERIFY(writeFile("data.tar.gz", "x"));
        if (setting == "archive removed")
            QVERIFY(QFile::remove("data.tar.gz"));
        if (setting == "two cameras") {
            Language::devices(w) = {Dev_info(), Dev_info()};
            w.findChild<QLabel*>("label_3")->setText("设备数: 2");
        }
        if (setting == "connected") // as the window sets it, through its translator
            w.findChild<QLabel*>("label_4")->setText(QCoreApplication::translate("MainWindow", "connected"));
        if (setting == "camera text")
            w.findChild<QLabel*>("label_6")->setText("42%");
        if (setting == "preview") {
            w.findChild<QLineEdit*>("txtUrl")->setText("127.0.0.19");
            w.findChild<QLineEdit*>("txtPort")->setText("8719");
            w.findChild<QPushButton*>("rtsp_connect_Button")->click();
            QTRY_VERIFY(silent.hasPendingConnections());
        }
        activate(w, "language_comboBox", 1);
        QCOMPARE(held(w, name), english);
        activate(w, "language_comboBox", 0);
        QCOMPARE(held(w, name), chinese);
        QCOMPARE(answerer.count(), 0);
    }

private:
    QScopedPointer<ScopedWorkDir> dir;
};

QTEST_MAIN(TestLanguage)
#include "test_language.moc"
