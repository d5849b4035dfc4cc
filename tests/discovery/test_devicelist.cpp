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
    return CamsimRun(qEnvironmentVariable("SIMLAN_EVENTS")).groupDatagrams(head);
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
    void click(const char* name) { child<QPushButton>(name)->click(); }
    // The cells of a row but the uptime, which ticks.
    QString row(int index) const
    {
        QStringList cells;
        for (int column = 0; index < tree->topLevelItemCount() && column < 9; ++column)
            cells << (column == 5 ? "-" : tree->topLevelItem(index)->text(column));
        return cells.join(' ');
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
    QString form() const
    {
        QStringList texts{QString::number(child<QComboBox>("dhcp_comboBox")->currentIndex())};
        for (const QString& name : kForm)
            texts << (child(name)->text().isEmpty() ? "-" : child(name)->text());
        return texts.join(' ');
    }
    // Set, not typed: the validators only govern typing. "-" leaves a field empty.
    void fill(const QString& texts)
    {
        const QStringList values = texts.split(' ');
        child<QComboBox>("dhcp_comboBox")->setCurrentIndex(values[0].toInt());
        for (int i = 0; i < kForm.size(); ++i)
            child(kForm[i])->setText(values.value(i + 1) == "-" ? QString() : values.value(i + 1));
    }
};
} // namespace

class TestDeviceList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
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
        QCOMPARE(rig.child<QLabel>("label_3")->text(), QString("Devices: 2"));
        const QString id = rig.tree->topLevelItem(1)->text(6);
        QCOMPARE(rig.row(0), "1 198.18.1.1 255.254.0.0 198.18.0.1 02:5A:C3:A1:B2:C3 - " +
                                 rig.tree->topLevelItem(0)->text(6) + " 198.18.0.53 false");
        QCOMPARE(rig.row(1), "2 198.18.1.2 255.254.0.0 198.18.0.1 02:5A:C3:D4:E5:F6 - " + id + "  true");
        QVERIFY(rig.choose(1));
        QUdpSocket().writeDatagram(reply(rig.clientId(), QString(32, 'B'), "198.18.1.10").toLatin1(),
                                   QHostAddress(kTool), 8005);
        QTRY_VERIFY(rig.row(2).startsWith("3 198.18.1.2 "));
        QVERIFY(rig.row(1).startsWith("2 198.18.1.10 "));
        QCOMPARE(rig.child<QLabel>("label_3")->text(), QString("Devices: 3"));
        QCOMPARE(rig.tree->currentItem()->text(6), id);
    }

    void configFillsForm()
    {
        Rig rig;
        QVERIFY(rig.start());
        const QString expected[] = {"0 198.18.1.1 255.254.0.0 198.18.0.1 198.18.0.53 A1 B2 C3",
                                    "1 198.18.1.2 255.254.0.0 198.18.0.1 198.18.0.1 D4 E5 F6"};
        for (int index = 0; index < 2; ++index) {
            QVERIFY(rig.choose(index));
            rig.menu("Config");
            QCOMPARE(rig.child<QTabWidget>("tabWidget")->currentIndex(), 2);
            QCOMPARE(rig.form(), expected[index]);
            rig.fill("0");
            rig.click("reset_net_pushButton");
            QCOMPARE(rig.form(), expected[index]);
        }
        QVERIFY(!rig.child("ip_address_lineEdit")->isEnabled()); // DHCP
    }

    void setButton_data()
    {
        QTest::addColumn<QString>("form");    // dhcp index, ip, netmask, gateway, dns, mac4..6
        QTest::addColumn<QString>("outcome"); // the warning, or "sent"
        const QString wrong = "Network information fill in error";
        QTest::newRow("manual") << "0 198.18.1.1 255.254.0.0 198.18.0.1 198.18.0.53 a1 B2 c3"
                                << "sent";
        QTest::newRow("DHCP ignores addresses") << "1 x y z - A1 B2 C3"
                                                << "sent";
        QTest::newRow("no row chosen") << "1 x y z - A1 B2 C3"
                                       << "Please select the need to configure the equipment";
        QTest::newRow("gateway outside")
            << "0 192.168.1.10 255.255.255.0 192.168.2.1 8.8.8.8 a1 b2 c3" << wrong;
        QTest::newRow("manual without DNS") << "0 192.168.1.10 255.255.255.0 192.168.1.1 - a1 b2 c3" << wrong;
        QTest::newRow("netmask with a hole")
            << "0 192.168.1.10 255.0.255.0 192.168.1.1 8.8.8.8 a1 b2 c3" << wrong;
        QTest::newRow("broadcast") << "0 192.168.1.255 255.255.255.0 192.168.1.1 8.8.8.8 a1 b2 c3" << wrong;
        QTest::newRow("DHCP, octet not hex") << "1 x y z - a1 g2 c3" << wrong;
        QTest::newRow("no gateway") << "0 192.168.1.10 255.255.255.0 - 8.8.8.8 a1 b2 c3"
                                    << "The network information is incomplete";
    }
    void setButton()
    {
        QFETCH(QString, form);
        QFETCH(QString, outcome);
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(QByteArray(QTest::currentDataTag()).startsWith("no row") || rig.choose(0));
        const QString id = rig.tree->currentItem() ? rig.tree->currentItem()->text(6) : QString();
        const int before = received("CONFIGNET").size(), searches = received("SEARCH").size();
        rig.fill(form);
        rig.click("set_net_pushButton");
        QTRY_COMPARE(rig.answers.texts(), QStringList{outcome == "sent" ? "Set Success" : outcome});
        QTest::qWait(300);
        QCOMPARE(rig.answers.texts().size(), 1); // though the camera answers twice
        if (outcome != "sent") {
            QCOMPARE(received("CONFIGNET").size(), before);
            return;
        }
        QCOMPARE(rig.child<QTabWidget>("tabWidget")->currentIndex(), 0);
        QCOMPARE(rig.form().mid(2), QString("- - - - - - -"));
        QCOMPARE(received("SEARCH").size(), searches + 1);
        const QStringList f = form.replace('-', "").split(' ');
        QCOMPARE(received("CONFIGNET").mid(before),
                 QStringList{"CONFIGNET\nDevice ID:" + id + "\nClient ID:" + rig.clientId() + "\ndhcp=" +
                             f[0] + "\nipaddr=" + f[1] + "\nnetmask=" + f[2] + "\ngateway=" + f[3] +
                             "\nfdns=" + f[4] + "\nmacaddr=02:5A:C3:" + f.mid(5).join(':')});
    }

    // Asked "reboot?", the operator answers Ok after the list changed: only the camera asked about reboots.
    void rebootAsked()
    {
        for (const QString& meanwhile : QStringList{"nothing", "a new search", "another row chosen"}) {
            Rig rig;
            QVERIFY(rig.start() && rig.choose(0));
            const QString asked = rig.tree->currentItem()->text(6);
            if (meanwhile != "nothing")
                rig.answers.whileOpen = [&] {
                    meanwhile == "a new search" ? rig.click("search_Button") : (void)rig.choose(1);
                };
            const int before = received("CAMERA_REBOOT").size();
            rig.menu("Reboot");
            QCOMPARE(rig.answers.texts(), QStringList{"Do you really want reboot?"});
            QTest::qWait(300);
            QCOMPARE(received("CAMERA_REBOOT").mid(before).join(""),
                     meanwhile == "nothing"
                         ? "CAMERA_REBOOT\nDevice ID:" + asked + "\nClient ID:" + rig.clientId()
                         : "");
            QTest::qWait(400); // the camera is back
        }
    }

    // A fresh MAC tail for the chosen row each time; nothing without a row, a warning with the form
    // incomplete.
    void changeMac()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.fill("0 198.18.1.1 255.254.0.0 198.18.0.1 - a1 b2 c3");
        QStringList tails;
        for (int i = 0; i < 3; ++i) {
            rig.click("change_mac_pushButton");
            tails << rig.form().section(' ', 5);
            QVERIFY(rig.choose(0));
        }
        QCOMPARE(tails[0], QString("a1 b2 c3"));
        QVERIFY(tails[1] != tails[2] &&
                QRegularExpression("^([0-9A-F]{2} ?){3}$").match(tails[2]).hasMatch());
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
            return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() << 12
                                                   : 0;
        };
        const qint64 before = resident();
        QElapsedTimer clock;
        qint64 longest = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { longest = qMax(longest, clock.restart()); });
        clock.start();
        tick.start(10);
        QTest::qWait(500);
        const qint64 late = longest; // how late a tick is on this machine without a flood
        longest = 0;
        std::atomic<bool> stop{false};
        std::thread flood([&] {
            QUdpSocket sender;
            // Bursts of 250 new devices every 20 ms for 1.5 s: the list fills up, then the rest is dropped.
            for (int i = 0; i < 20000 && !stop; ++i) {
                const QByteArray id = QByteArray::number(i).rightJustified(32, '0');
                sender.writeDatagram(QByteArray(ours).replace("%1", id), QHostAddress(kTool), 8005);
                if (i % 250 == 249)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        QTest::qWait(1500);
        stop = true;
        flood.join();
        QVERIFY2(longest < 100 + late,
                 qPrintable(QString("%1 ms, %2 ms without the flood").arg(longest).arg(late)));
        QVERIFY2(resident() - before < (100 << 20), qPrintable(QString::number(resident() - before)));
        QVERIFY(rig.tree->topLevelItemCount() <= 4096);
    }
};

QTEST_MAIN(TestDeviceList)
#include "test_devicelist.moc"
