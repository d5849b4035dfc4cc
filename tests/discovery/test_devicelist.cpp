// The device list, its menu and the network form, driven without a camera. Runs inside scripts/simlan
// because an acknowledgement starts a new search.
#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "dialogs.h"
#include "discoveryaccess.h"
#include "mythread.h"
#include "workdir.h"

namespace
{

QString shown(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

Dev_info device(const QString& ip, const QString& id, const QString& clientId)
{
    Dev_info record;
    record.ipaddr = ip;
    record.device_id = id.leftJustified(32, QLatin1Char('0'));
    record.client_id = clientId;
    record.netmask = "255.255.255.0";
    record.gateway = "192.168.1.1";
    record.macaddr = "02:5A:C3:11:22:33";
    record.uptime = "00:00:01";
    return record;
}

} // namespace

class TestDeviceList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void insertion_data();
    void insertion();
    void rowColumns();
    void acknowledgement_data();
    void acknowledgement();
    void successSearchesAgain();
    void menuFillsTabs();
    void configFillsForm_data();
    void configFillsForm();
    void setButtonChecks_data();
    void setButtonChecks();
    void changeMac();
    void dhcpTogglesAddressEdits();

private:
    template <typename T> T* child(const char* name) { return m_window->findChild<T*>(name); }
    void focusFirstRow();
    void fillForm(const QStringList& values);

    ScopedWorkDir m_dir;
    MainWindow* m_window = nullptr;
    DialogAnswerer* m_answerer = nullptr;
};

void TestDeviceList::init()
{
    if (qEnvironmentVariableIsEmpty("SIMLAN_TOOL_IP"))
        QSKIP("runs only inside scripts/simlan");
    m_window = new MainWindow;
    m_answerer = new DialogAnswerer(QMessageBox::Ok);
    auto* combo = child<QComboBox>("local_ip_list_comboBox");
    combo->setCurrentIndex(combo->findText(":" + qEnvironmentVariable("SIMLAN_TOOL_IP"), Qt::MatchEndsWith));
}

void TestDeviceList::cleanup()
{
    delete m_answerer;
    delete m_window;
    m_answerer = nullptr;
    m_window = nullptr;
}

void TestDeviceList::focusFirstRow()
{
    auto* tree = child<QTreeWidget>("treeWidget");
    m_window->show();
    QVERIFY(QTest::qWaitFor([&] {
        QApplication::setActiveWindow(m_window);
        tree->setFocus();
        return tree->hasFocus();
    }));
    tree->setCurrentItem(tree->topLevelItem(0));
}

void TestDeviceList::insertion_data()
{
    // Each step: "ip/id" for this tool, "ip/id/other" for another tool's client ID.
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("listed"); // "ip/id" in list order
    QTest::newRow("ordered by text") << QStringList{"192.168.1.9/a", "192.168.1.10/b", "192.168.1.100/c"}
                                     << QStringList{"192.168.1.10/b", "192.168.1.100/c", "192.168.1.9/a"};
    QTest::newRow("same ip, later below") << QStringList{"10.0.0.5/a", "10.0.0.5/b", "10.0.0.4/c"}
                                          << QStringList{"10.0.0.4/c", "10.0.0.5/a", "10.0.0.5/b"};
    QTest::newRow("other client") << QStringList{"10.0.0.5/a/other", "10.0.0.6/b"}
                                  << QStringList{"10.0.0.6/b"};
    QTest::newRow("only other clients") << QStringList{"10.0.0.5/a/other"} << QStringList{};
}

void TestDeviceList::insertion()
{
    QFETCH(QStringList, replies);
    QFETCH(QStringList, listed);
    MainWindow& w = *m_window;
    child<QLabel>("label_3")->setText("untouched");
    for (const QString& reply : replies) {
        const QStringList parts = reply.split('/');
        const QString cid = parts.size() > 2 ? QString(32, QLatin1Char('f')) : Discovery::clientId(w);
        Discovery::receiveThread(w, device(parts[0], parts[1], cid), MSG_REPLY_OK);
    }
    QStringList actual;
    for (const Dev_info& d : Discovery::devices(w))
        actual << d.ipaddr + "/" + d.device_id.left(1);
    QCOMPARE(actual, listed);

    auto* tree = child<QTreeWidget>("treeWidget");
    QCOMPARE(tree->topLevelItemCount(), listed.size());
    for (int row = 0; row < tree->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = tree->topLevelItem(row);
        const int position = item->text(0).toInt();
        QCOMPARE(item->text(1) + "/" + item->text(6).left(1), listed.at(position - 1));
    }
    QCOMPARE(child<QLabel>("label_3")->text(),
             listed.isEmpty() ? QString("untouched") : shown("Devices: ") + QString::number(listed.size()));
}

void TestDeviceList::rowColumns()
{
    MainWindow& w = *m_window;
    Dev_info plain = device("10.0.0.2", "a", Discovery::clientId(w));
    Dev_info dhcp = device("10.0.0.3", "b", Discovery::clientId(w));
    dhcp.dhcp = true;
    dhcp.fdns = "10.0.0.53";
    Discovery::insertData(w, plain);
    Discovery::insertData(w, dhcp);
    QStringList rows;
    auto* tree = child<QTreeWidget>("treeWidget");
    tree->sortByColumn(0, Qt::AscendingOrder);
    for (int row = 0; row < 2; ++row) {
        QStringList cells;
        for (int column = 0; column < 9; ++column)
            cells << tree->topLevelItem(row)->text(column);
        rows << cells.join('|');
    }
    QCOMPARE(rows, (QStringList{"1|10.0.0.2|255.255.255.0|192.168.1.1|02:5A:C3:11:22:33|00:00:01|" +
                                    plain.device_id + "||false",
                                "2|10.0.0.3|255.255.255.0|192.168.1.1|02:5A:C3:11:22:33|00:00:01|" +
                                    dhcp.device_id + "|10.0.0.53|true"}));
}

void TestDeviceList::acknowledgement_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("currentRow");
    QTest::addColumn<bool>("sameClient");
    QTest::addColumn<bool>("sameDevice");
    QTest::newRow("failed") << int(MSG_FAILED) << true << true << true;
    QTest::newRow("own search echoed") << int(MSG_SEARCH) << true << true << true;
    QTest::newRow("confignet echoed") << int(MSG_CONFIGNET) << true << true << true;
    QTest::newRow("succeed, no current row") << int(MSG_SUCCEED) << false << true << true;
    QTest::newRow("succeed, other client") << int(MSG_SUCCEED) << true << false << true;
    QTest::newRow("succeed, other device") << int(MSG_SUCCEED) << true << true << false;
}

void TestDeviceList::acknowledgement()
{
    QFETCH(int, kind);
    QFETCH(bool, currentRow);
    QFETCH(bool, sameClient);
    QFETCH(bool, sameDevice);
    MainWindow& w = *m_window;
    const Dev_info listed = device("10.0.0.2", "a", Discovery::clientId(w));
    Discovery::insertData(w, listed);
    if (currentRow)
        focusFirstRow();
    child<QTabWidget>("tabWidget")->setCurrentIndex(2);
    child<QLineEdit>("ip_address_lineEdit")->setText("10.0.0.2");

    Dev_info ack;
    ack.client_id = sameClient ? Discovery::clientId(w) : QString(32, QLatin1Char('e'));
    ack.device_id = sameDevice ? listed.device_id : QString(32, QLatin1Char('9'));
    Discovery::receiveThread(w, ack, qint8(kind));

    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(Discovery::devices(w).size(), 1);
    QCOMPARE(child<QTabWidget>("tabWidget")->currentIndex(), 2);
    QCOMPARE(child<QLineEdit>("ip_address_lineEdit")->text(), QString("10.0.0.2"));
}

void TestDeviceList::successSearchesAgain()
{
    MainWindow& w = *m_window;
    const Dev_info listed = device("10.0.0.2", "a", Discovery::clientId(w));
    Discovery::insertData(w, listed);
    focusFirstRow();
    const QStringList names{"ip_address_lineEdit", "netmask_lineEdit", "gateway_lineEdit", "fdns_lineEdit",
                            "mac4_lineEdit",       "mac5_lineEdit",    "mac6_lineEdit"};
    for (const QString& name : names)
        m_window->findChild<QLineEdit*>(name)->setText("1");
    child<QTabWidget>("tabWidget")->setCurrentIndex(2);

    Dev_info ack;
    ack.client_id = Discovery::clientId(w);
    ack.device_id = listed.device_id;
    Discovery::receiveThread(w, ack, MSG_SUCCEED);

    QCOMPARE(m_answerer->titles(), QStringList{shown("Information")});
    QCOMPARE(m_answerer->texts(), QStringList{shown("Set Success")});
    QCOMPARE(child<QTabWidget>("tabWidget")->currentIndex(), 0);
    for (const QString& name : names)
        QVERIFY2(m_window->findChild<QLineEdit*>(name)->text().isEmpty(), qPrintable(name));
    QCOMPARE(child<QLineEdit>("mac1_lineEdit")->text(), QString("02"));
    // The new search empties the list but the counter keeps the old count until a reply is accepted.
    QVERIFY(Discovery::devices(w).isEmpty());
    QCOMPARE(child<QTreeWidget>("treeWidget")->topLevelItemCount(), 0);
    QCOMPARE(child<QLabel>("label_3")->text(), shown("Devices: ") + "1");
}

void TestDeviceList::menuFillsTabs()
{
    MainWindow& w = *m_window;
    Discovery::insertData(w, device("10.0.0.2", "a", Discovery::clientId(w)));
    auto* tabs = child<QTabWidget>("tabWidget");

    // Without the focus on the list the menu does nothing.
    focusFirstRow();
    child<QPushButton>("search_Button")->setFocus();
    QVERIFY(!child<QTreeWidget>("treeWidget")->hasFocus());
    child<QLineEdit>("upgrade_ip_lineEdit")->clear();
    Discovery::menu(w, Discovery::upgrade());
    QVERIFY(child<QLineEdit>("upgrade_ip_lineEdit")->text().isEmpty());

    focusFirstRow();
    Discovery::menu(w, Discovery::upgrade());
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(child<QLineEdit>("upgrade_ip_lineEdit")->text(), QString("10.0.0.2"));
    focusFirstRow();
    Discovery::menu(w, Discovery::backup());
    QCOMPARE(tabs->currentIndex(), 3);
    QCOMPARE(child<QLineEdit>("backup_ip_lineEdit")->text(), QString("10.0.0.2"));
    focusFirstRow();
    Discovery::menu(w, Discovery::preview());
    QCOMPARE(tabs->currentIndex(), 4);
    QCOMPARE(child<QLineEdit>("txtUrl")->text(), QString("10.0.0.2"));
    QCOMPARE(child<QLineEdit>("txtPort")->text(), QString("554"));

    child<QLineEdit>("upgrade_ip_lineEdit")->clear();
    QMetaObject::invokeMethod(m_window, "on_treeWidget_doubleClicked", Q_ARG(QModelIndex, QModelIndex()));
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(child<QLineEdit>("upgrade_ip_lineEdit")->text(), QString("10.0.0.2"));
}

void TestDeviceList::configFillsForm_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("fdns");
    QTest::addColumn<QStringList>("form"); // ip, netmask, gateway, fdns, mac4..6
    QTest::newRow("complete") << "02:5A:C3:a1:B2:c3"
                              << "10.0.0.53" << QStringList{"10.0.0.2",    "255.255.255.0",
                                                            "192.168.1.1", "10.0.0.53",
                                                            "a1",          "B2",
                                                            "c3"};
    QTest::newRow("no dns: gateway") << "02:5A:C3:a1:B2:c3"
                                     << "" << QStringList{"10.0.0.2",    "255.255.255.0",
                                                          "192.168.1.1", "192.168.1.1",
                                                          "a1",          "B2",
                                                          "c3"};
    QTest::newRow("mac of 10 characters")
        << "02:5A:C3:a"
        << "10.0.0.53" << QStringList{"10.0.0.2", "255.255.255.0", "192.168.1.1", "10.0.0.53", "a", "", ""};
    QTest::newRow("no mac") << ""
                            << "10.0.0.53"
                            << QStringList{"10.0.0.2", "255.255.255.0", "192.168.1.1", "10.0.0.53", "", "",
                                           ""};
}

void TestDeviceList::configFillsForm()
{
    QFETCH(QString, mac);
    QFETCH(QString, fdns);
    QFETCH(QStringList, form);
    MainWindow& w = *m_window;
    Dev_info listed = device("10.0.0.2", "a", Discovery::clientId(w));
    listed.macaddr = mac;
    listed.fdns = fdns;
    Discovery::insertData(w, listed);
    child<QComboBox>("dhcp_comboBox")->setCurrentIndex(1);
    child<QLineEdit>("mac5_lineEdit")->setText("zz");
    focusFirstRow();
    Discovery::menu(w, Discovery::config());

    QCOMPARE(child<QTabWidget>("tabWidget")->currentIndex(), 2);
    QCOMPARE(child<QComboBox>("dhcp_comboBox")->currentIndex(), 0);
    const QStringList names{"ip_address_lineEdit", "netmask_lineEdit", "gateway_lineEdit", "fdns_lineEdit",
                            "mac4_lineEdit",       "mac5_lineEdit",    "mac6_lineEdit"};
    QStringList actual;
    for (const QString& name : names)
        actual << m_window->findChild<QLineEdit*>(name)->text();
    QCOMPARE(actual, form);
    QCOMPARE(child<QLineEdit>("mac1_lineEdit")->text(), QString("02"));

    // The reset button fills the same way and stays on the tab it is on.
    for (const QString& name : names)
        m_window->findChild<QLineEdit*>(name)->clear();
    child<QTabWidget>("tabWidget")->setCurrentIndex(0);
    child<QPushButton>("reset_net_pushButton")->click();
    actual.clear();
    for (const QString& name : names)
        actual << m_window->findChild<QLineEdit*>(name)->text();
    QCOMPARE(actual, form);
    QCOMPARE(child<QTabWidget>("tabWidget")->currentIndex(), 0);
}

void TestDeviceList::fillForm(const QStringList& values)
{
    child<QComboBox>("dhcp_comboBox")->setCurrentIndex(values.at(0).toInt());
    const QStringList names{"ip_address_lineEdit", "netmask_lineEdit", "gateway_lineEdit", "fdns_lineEdit",
                            "mac4_lineEdit",       "mac5_lineEdit",    "mac6_lineEdit"};
    // Set the texts directly: the entry validators only govern typing.
    for (int i = 0; i < names.size(); ++i)
        m_window->findChild<QLineEdit*>(names.at(i))->setText(values.value(i + 1));
}

void TestDeviceList::setButtonChecks_data()
{
    QTest::addColumn<QStringList>("form"); // dhcp index, ip, netmask, gateway, fdns, mac4..6
    QTest::addColumn<QString>("warning");
    const QString incomplete = "The network information is incomplete";
    const QString wrong = "Network information fill in error";
    // Valid forms reach send(), which refuses for want of a selected device.
    const QString reachesSend = "Please select the need to configure the equipment";

    QTest::newRow("valid manual")
        << QStringList{"0", "192.168.1.10", "255.255.255.0", "192.168.1.1", "8.8.8.8", "a1", "B2", "c3"}
        << reachesSend;
    QTest::newRow("gateway outside subnet")
        << QStringList{"0", "192.168.1.10", "255.255.255.0", "192.168.2.1", "8.8.8.8", "a1", "b2", "c3"}
        << wrong;
    QTest::newRow("empty dns, manual")
        << QStringList{"0", "192.168.1.10", "255.255.255.0", "192.168.1.1", "", "a1", "b2", "c3"} << wrong;
    QTest::newRow("bad netmask") << QStringList{"0",       "192.168.1.10", "255.0.255.0", "192.168.1.1",
                                                "8.8.8.8", "a1",           "b2",          "c3"}
                                 << wrong;
    QTest::newRow("broadcast ip")
        << QStringList{"0", "192.168.1.255", "255.255.255.0", "192.168.1.1", "8.8.8.8", "a1", "b2", "c3"}
        << wrong;
    QTest::newRow("empty gateway")
        << QStringList{"0", "192.168.1.10", "255.255.255.0", "", "8.8.8.8", "a1", "b2", "c3"} << incomplete;
    QTest::newRow("empty octet") << QStringList{"1", "x", "y", "z", "", "a1", "", "c3"} << incomplete;
    QTest::newRow("dhcp ignores addresses")
        << QStringList{"1", "x", "y", "z", "", "a1", "b2", "c3"} << reachesSend;
    QTest::newRow("dhcp, bad octet") << QStringList{"1", "x", "y", "z", "", "a1", "g2", "c3"} << wrong;
    QTest::newRow("one-digit octet") << QStringList{"1", "x", "y", "z", "", "a1", "2", "c3"} << wrong;
}

void TestDeviceList::setButtonChecks()
{
    QFETCH(QStringList, form);
    QFETCH(QString, warning);
    fillForm(form);
    child<QTabWidget>("tabWidget")->setCurrentIndex(2);
    child<QPushButton>("set_net_pushButton")->click();
    QCOMPARE(m_answerer->titles(), QStringList{shown("Warning")});
    QCOMPARE(m_answerer->texts(), QStringList{shown(warning.toUtf8().constData())});
    QCOMPARE(child<QTabWidget>("tabWidget")->currentIndex(), warning.startsWith("Please") ? 1 : 2);
}

void TestDeviceList::changeMac()
{
    MainWindow& w = *m_window;
    const QString clientId = Discovery::clientId(w);
    fillForm({"0", "192.168.1.10", "255.255.255.0", "192.168.1.1", "", "a1", "b2", "c3"});
    child<QPushButton>("change_mac_pushButton")->click();
    QCOMPARE(child<QLineEdit>("mac4_lineEdit")->text(), QString("a1")); // no current row: nothing changes
    QCOMPARE(m_answerer->count(), 0);

    Discovery::insertData(w, device("10.0.0.2", "a", clientId));
    focusFirstRow();
    QStringList tails;
    for (int i = 0; i < 2; ++i) {
        child<QPushButton>("change_mac_pushButton")->click();
        const QString tail = child<QLineEdit>("mac4_lineEdit")->text() +
                             child<QLineEdit>("mac5_lineEdit")->text() +
                             child<QLineEdit>("mac6_lineEdit")->text();
        QCOMPARE(tail, Discovery::requestId(w).right(6).toUpper());
        tails << tail;
    }
    QVERIFY(tails.at(0) != tails.at(1));
    QCOMPARE(Discovery::clientId(w), clientId);

    child<QLineEdit>("gateway_lineEdit")->clear();
    child<QPushButton>("change_mac_pushButton")->click();
    QCOMPARE(m_answerer->texts(), QStringList{shown("The network information is incomplete")});
}

void TestDeviceList::dhcpTogglesAddressEdits()
{
    auto* combo = child<QComboBox>("dhcp_comboBox");
    const QStringList names{"ip_address_lineEdit", "netmask_lineEdit", "gateway_lineEdit", "fdns_lineEdit"};
    child<QLineEdit>("ip_address_lineEdit")->setText("10.0.0.2");
    combo->setCurrentIndex(1);
    for (const QString& name : names)
        QVERIFY(!m_window->findChild<QLineEdit*>(name)->isEnabled());
    QCOMPARE(child<QLineEdit>("ip_address_lineEdit")->text(), QString("10.0.0.2"));
    QVERIFY(child<QLineEdit>("mac4_lineEdit")->isEnabled());
    combo->setCurrentIndex(0);
    for (const QString& name : names)
        QVERIFY(m_window->findChild<QLineEdit*>(name)->isEnabled());
}

QTEST_MAIN(TestDeviceList)
#include "test_devicelist.moc"
