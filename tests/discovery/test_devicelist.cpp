// What the window adds to discovery: the device list, its menu, the network form and the boxes, on the
// private LAN of scripts/simlan with two cameras that answer twice (multicast and unicast). Skips outside
// simlan.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QtTest>

#include <atomic>
#include <thread>

#include "camsimrun.h"
#include "dialogs.h"
#include "discoveryclient.h"
#include "mainwindow.h"
#include "workdir.h"

namespace
{
const QString kTool = qEnvironmentVariable("SIMLAN_TOOL_IP");
const QStringList kForm{"ip_address_lineEdit", "netmask_lineEdit", "gateway_lineEdit", "fdns_lineEdit",
                        "mac4_lineEdit",       "mac5_lineEdit",    "mac6_lineEdit"};

QStringList received(const QString& head)
{
    QStringList texts;
    for (const QJsonObject& e : CamsimRun(qEnvironmentVariable("SIMLAN_EVENTS")).events("udp_in"))
        if (e["to"] == "group" && e["text"].toString().startsWith(head))
            texts << e["text"].toString();
    return texts;
}

QString reply(const QString& client, const QString& device, const QString& ip)
{
    return "REPLY OK \r\nClient ID:" + client + "\r\nDevice ID:" + device +
           "\r\nUptime=5\r\nDHCP=0\r\nIP=" + ip +
           "\r\nMASK=255.254.0.0\r\nGATEWAY=198.18.0.1\r\nMAC=02:5A:C3:00:00:09\r\nFDNS=";
}

// A window searching on the tool's side of the LAN, in English.
struct Rig {
    ScopedWorkDir dir;
    DialogAnswerer answers{QMessageBox::Ok};
    std::unique_ptr<MainWindow> w;
    QTreeWidget* tree = nullptr;

    bool start()
    {
        writeFile("config.ini", "[upgrade]\nlanguage=English\nmode=Simple\n");
        w.reset(new MainWindow);
        tree = w->findChild<QTreeWidget*>("treeWidget");
        auto* interfaces = w->findChild<QComboBox*>("local_ip_list_comboBox");
        interfaces->setCurrentIndex(interfaces->findText(":" + kTool, Qt::MatchEndsWith));
        w->show();
        click("search_Button");
        return QTest::qWaitFor([&] { return tree->topLevelItemCount() == 2; }, 15000);
    }
    QString clientId() const { return w->findChild<DiscoveryClient*>()->clientId(); }
    template <typename T = QLineEdit> T* child(const QString& name) const { return w->findChild<T*>(name); }
    QString text(const char* name) const
    {
        return child(name) ? child(name)->text() : child<QLabel>(name)->text();
    }
    void click(const char* name) { child<QPushButton>(name)->click(); }
    QStringList row(int index) const
    {
        QStringList cells;
        for (int column = 0; index < tree->topLevelItemCount() && column < 9; ++column)
            cells << tree->topLevelItem(index)->text(column);
        return cells;
    }
    bool choose(int index)
    {
        QApplication::setActiveWindow(w.get());
        tree->setFocus();
        tree->setCurrentItem(tree->topLevelItem(index));
        return QTest::qWaitFor([&] { return tree->hasFocus(); });
    }
    void menu(const QString& entry)
    {
        for (QAction* action : w->findChildren<QAction*>())
            if (action->text() == entry)
                emit w->findChild<QMenu*>()->triggered(action);
    }
    QStringList form() const
    {
        QStringList texts{QString::number(child<QComboBox>("dhcp_comboBox")->currentIndex())};
        for (const QString& name : kForm)
            texts << child(name)->text();
        return texts;
    }
    void fill(const QStringList& texts)
    {
        child<QComboBox>("dhcp_comboBox")->setCurrentIndex(texts[0].toInt());
        for (int i = 0; i < kForm.size(); ++i)
            child(kForm[i])->setText(
                texts.value(i + 1)); // as set, not typed: the validators only govern typing
    }
};
} // namespace

class TestDeviceList : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        if (kTool.isEmpty())
            QSKIP("runs only inside scripts/simlan");
    }

    // One row per camera in address order, one more for a new reply, and the chosen row stays chosen.
    void rowsAndCounter()
    {
        Rig rig;
        QVERIFY(rig.start());
        QTest::qWait(300);
        QCOMPARE(rig.tree->topLevelItemCount(), 2);
        QCOMPARE(rig.text("label_3"), QString("Devices: 2"));
        QStringList first = rig.row(0), second = rig.row(1);
        QCOMPARE(first.mid(0, 5) + first.mid(7), QStringList({"1", "198.18.1.1", "255.254.0.0", "198.18.0.1",
                                                              "02:5A:C3:A1:B2:C3", "198.18.0.53", "false"}));
        QCOMPARE(
            second.mid(0, 5) + second.mid(7),
            QStringList({"2", "198.18.1.2", "255.254.0.0", "198.18.0.1", "02:5A:C3:D4:E5:F6", "", "true"}));
        QVERIFY(rig.choose(1));
        QUdpSocket().writeDatagram(reply(rig.clientId(), QString(32, 'B'), "198.18.1.10").toLatin1(),
                                   QHostAddress(kTool), 8005);
        QTRY_COMPARE(rig.row(2).mid(0, 2), QStringList({"3", "198.18.1.2"}));
        QCOMPARE(rig.row(1).mid(0, 2), QStringList({"2", "198.18.1.10"}));
        QCOMPARE(rig.text("label_3"), QString("Devices: 3"));
        QCOMPARE(rig.tree->currentItem()->text(6), second[6]);
    }

    void configFillsForm()
    {
        Rig rig;
        QVERIFY(rig.start());
        const QStringList expected[] = {
            {"0", "198.18.1.1", "255.254.0.0", "198.18.0.1", "198.18.0.53", "A1", "B2", "C3"},
            {"1", "198.18.1.2", "255.254.0.0", "198.18.0.1", "198.18.0.1", "D4", "E5", "F6"}};
        for (int index = 0; index < 2; ++index) {
            QVERIFY(rig.choose(index));
            rig.menu("Config");
            QCOMPARE(rig.child<QTabWidget>("tabWidget")->currentIndex(), 2);
            QCOMPARE(rig.form(), expected[index]);
            rig.fill({"0"});
            rig.click("reset_net_pushButton");
            QCOMPARE(rig.form(), expected[index]);
        }
        QVERIFY(!rig.child("ip_address_lineEdit")->isEnabled()); // DHCP
    }

    void setButton_data()
    {
        QTest::addColumn<QStringList>("form"); // dhcp index, ip, netmask, gateway, dns, mac4..6
        QTest::addColumn<QString>("outcome");  // the warning, or "sent"
        const QString wrong = "Network information fill in error";
        QTest::newRow("manual") << QStringList{"0",           "198.18.1.1", "255.254.0.0", "198.18.0.1",
                                               "198.18.0.53", "a1",         "B2",          "c3"}
                                << "sent";
        QTest::newRow("DHCP ignores addresses")
            << QStringList{"1", "x", "y", "z", "", "A1", "B2", "C3"} << "sent";
        QTest::newRow("no row chosen") << QStringList{"1", "x", "y", "z", "", "A1", "B2", "C3"}
                                       << "Please select the need to configure the equipment";
        QTest::newRow("gateway outside the subnet")
            << QStringList{"0", "192.168.1.10", "255.255.255.0", "192.168.2.1", "8.8.8.8", "a1", "b2", "c3"}
            << wrong;
        QTest::newRow("manual without DNS")
            << QStringList{"0", "192.168.1.10", "255.255.255.0", "192.168.1.1", "", "a1", "b2", "c3"}
            << wrong;
        QTest::newRow("netmask with a hole")
            << QStringList{"0", "192.168.1.10", "255.0.255.0", "192.168.1.1", "8.8.8.8", "a1", "b2", "c3"}
            << wrong;
        QTest::newRow("broadcast address")
            << QStringList{"0", "192.168.1.255", "255.255.255.0", "192.168.1.1", "8.8.8.8", "a1", "b2", "c3"}
            << wrong;
        QTest::newRow("DHCP, octet not hex")
            << QStringList{"1", "x", "y", "z", "", "a1", "g2", "c3"} << wrong;
        QTest::newRow("no gateway")
            << QStringList{"0", "192.168.1.10", "255.255.255.0", "", "8.8.8.8", "a1", "b2", "c3"}
            << "The network information is incomplete";
    }
    void setButton()
    {
        QFETCH(QStringList, form);
        QFETCH(QString, outcome);
        Rig rig;
        QVERIFY(rig.start());
        if (!QByteArray(QTest::currentDataTag()).startsWith("no row"))
            QVERIFY(rig.choose(0));
        const int before = received("CONFIGNET").size(), searches = received("SEARCH").size();
        rig.fill(form);
        rig.click("set_net_pushButton");
        if (outcome != "sent") {
            QCOMPARE(rig.answers.texts(), QStringList{outcome});
            QTest::qWait(200);
            QCOMPARE(received("CONFIGNET").size(), before);
            return;
        }
        // One box and one new search, though the camera answers twice; the form is emptied.
        QTRY_COMPARE(rig.answers.texts(), QStringList{"Set Success"});
        QCOMPARE(rig.child<QTabWidget>("tabWidget")->currentIndex(), 0);
        QCOMPARE(rig.form().mid(1).join(""), QString());
        QTest::qWait(300);
        QCOMPARE(rig.answers.texts().size(), 1);
        QCOMPARE(received("SEARCH").size(), searches + 1);
        QCOMPARE(received("CONFIGNET").mid(before),
                 QStringList{"CONFIGNET\nDevice ID:" + rig.row(0)[6] + "\nClient ID:" + rig.clientId() +
                             "\ndhcp=" + form[0] + "\nipaddr=" + form[1] + "\nnetmask=" + form[2] +
                             "\ngateway=" + form[3] + "\nfdns=" + form[4] +
                             "\nmacaddr=02:5A:C3:" + form.mid(5).join(':')});
    }

    // Asked "reboot?", the operator answers Ok after the list changed: only the camera asked about reboots.
    void rebootAsked_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("nothing") << "";
        QTest::newRow("a new search") << "search";
        QTest::newRow("another row chosen") << "choose";
    }
    void rebootAsked()
    {
        QFETCH(QString, meanwhile);
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.choose(0));
        const QString asked = rig.tree->currentItem()->text(6);
        rig.answers.whileOpen = [&] {
            meanwhile == "search" ? rig.click("search_Button") : (void)rig.choose(1);
        };
        if (meanwhile.isEmpty())
            rig.answers.whileOpen = nullptr;
        const int before = received("CAMERA_REBOOT").size();
        rig.menu("Reboot");
        QCOMPARE(rig.answers.texts(), QStringList{"Do you really want reboot?"});
        QTest::qWait(300);
        QCOMPARE(received("CAMERA_REBOOT").mid(before),
                 meanwhile.isEmpty()
                     ? QStringList{"CAMERA_REBOOT\nDevice ID:" + asked + "\nClient ID:" + rig.clientId()}
                     : QStringList());
        QTest::qWait(400); // the camera is back
    }

    void changeMac()
    {
        Rig rig;
        QVERIFY(rig.start());
        const QString client = rig.clientId();
        rig.fill({"0", "198.18.1.1", "255.254.0.0", "198.18.0.1", "", "a1", "b2", "c3"});
        rig.tree->setCurrentItem(nullptr);
        QStringList tails;
        for (int i = 0; i < 2; ++i) {
            rig.click("change_mac_pushButton");
            tails << rig.form().mid(5).join("");
            QVERIFY(rig.choose(0));
        }
        rig.click("change_mac_pushButton");
        tails << rig.form().mid(5).join("");
        QCOMPARE(tails[0], QString("a1b2c3")); // no row chosen: nothing changes
        QVERIFY(tails[1] != tails[2] && tails[2].contains(QRegularExpression("^[0-9A-F]{6}$")));
        QCOMPARE(rig.clientId(), client);
        rig.child("gateway_lineEdit")->clear();
        rig.click("change_mac_pushButton");
        QCOMPARE(rig.answers.texts(), QStringList{"The network information is incomplete"});
    }

    // A flood of datagrams to the discovery port: the window keeps painting and its memory stays bounded.
    void floodKeepsWindowResponsive()
    {
        Rig rig;
        QVERIFY(rig.start());
        const QByteArray ours = reply(rig.clientId(), "%1", "198.18.9.9").toLatin1();
        const auto resident = [] {
            QFile statm("/proc/self/statm");
            return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() * 4096
                                                   : 0;
        };
        const qint64 before = resident();
        std::atomic<bool> stop{false};
        std::thread flood([&] {
            QUdpSocket sender;
            // At most 100 000 datagrams a second for 1.5 s, a quarter of them new devices for this window.
            for (int i = 0; i < 150000 && !stop; ++i) {
                const QByteArray id = QByteArray::number(i).rightJustified(32, '0');
                sender.writeDatagram(i % 4 ? QByteArray(900, 'x') : QByteArray(ours).replace("%1", id),
                                     QHostAddress(kTool), 8005);
                if (i % 100 == 99)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        QElapsedTimer clock;
        qint64 longest = 0;
        clock.start();
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { longest = qMax(longest, clock.restart()); });
        tick.start(10);
        QTest::qWait(1500);
        stop = true;
        flood.join();
        QVERIFY2(longest < 100, qPrintable(QString::number(longest)));
        QVERIFY2(resident() - before < (100 << 20), qPrintable(QString::number(resident() - before)));
        QVERIFY(rig.tree->topLevelItemCount() <= 4096);
    }
};

QTEST_MAIN(TestDeviceList)
#include "test_devicelist.moc"
