// Runs inside scripts/simlan against camsim: the tool side of a private LAN.
#include <QtTest>

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUdpSocket>

#include "dialogs.h"
#include "discoveryaccess.h"
#include "workdir.h"

namespace
{

constexpr int ListTimeoutMs = 15000;

QStringList cameraIps()
{
    return QString::fromLocal8Bit(qgetenv("SIMLAN_CAMERA_IPS")).split(' ', Qt::SkipEmptyParts);
}

// Every datagram camsim received, oldest first.
QStringList receivedByCameras()
{
    QFile log(QString::fromLocal8Bit(qgetenv("SIMLAN_EVENTS")));
    QStringList texts;
    if (!log.open(QIODevice::ReadOnly))
        return texts;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        if (event.value("event").toString() == "udp_in")
            texts << event.value("text").toString();
    }
    return texts;
}

// The window shows its texts in the language of its settings.
QString shown(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QStringList sortedByText(QStringList ips)
{
    std::sort(ips.begin(), ips.end());
    return ips;
}

} // namespace

class TestDiscoveryLan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void searchListsEveryCamera();
    void searchTwiceSetsUpOnce();
    void otherInstanceRepliesIgnored();
    void configRoundTrip();
    void deviceCommandsReachCamera();
    void brokenRepliesListedSafely();
    void setupFailuresWarn();

private:
    bool selectToolAddress(MainWindow& w);
    bool search(MainWindow& w, int expected);
    bool focusRow(MainWindow& w, int row);

    ScopedWorkDir m_dir;
    QString m_toolIp;
};

void TestDiscoveryLan::initTestCase()
{
    m_toolIp = QString::fromLocal8Bit(qgetenv("SIMLAN_TOOL_IP"));
    if (m_toolIp.isEmpty())
        QSKIP("runs only inside scripts/simlan");
    QVERIFY(!cameraIps().isEmpty());
}

bool TestDiscoveryLan::selectToolAddress(MainWindow& w)
{
    auto* combo = w.findChild<QComboBox*>("local_ip_list_comboBox");
    const int index = combo->findText(":" + m_toolIp, Qt::MatchEndsWith);
    combo->setCurrentIndex(index);
    return index >= 0;
}

bool TestDiscoveryLan::search(MainWindow& w, int expected)
{
    w.findChild<QPushButton*>("search_Button")->click();
    return QTest::qWaitFor([&] { return Discovery::devices(w).size() >= expected; }, ListTimeoutMs);
}

bool TestDiscoveryLan::focusRow(MainWindow& w, int row)
{
    auto* tree = w.findChild<QTreeWidget*>("treeWidget");
    w.show();
    const bool focused = QTest::qWaitFor([&] {
        QApplication::setActiveWindow(&w);
        tree->setFocus();
        return tree->hasFocus();
    });
    tree->setCurrentItem(tree->topLevelItem(row));
    return focused && tree->currentItem();
}

void TestDiscoveryLan::searchListsEveryCamera()
{
    MainWindow w;
    QVERIFY(selectToolAddress(w));
    const QStringList ips = cameraIps();
    QVERIFY2(search(w, ips.size()),
             qPrintable(QString("listed %1 of %2").arg(Discovery::devices(w).size()).arg(ips.size())));
    // Copies arriving both ways, or late, must not add rows.
    QTest::qWait(500);

    QStringList listed;
    QSet<QString> ids;
    for (const Dev_info& device : Discovery::devices(w)) {
        listed << device.ipaddr;
        ids.insert(device.device_id);
        QCOMPARE(device.client_id, Discovery::clientId(w));
    }
    QCOMPARE(listed, sortedByText(ips));
    QCOMPARE(ids.size(), ips.size());
    QCOMPARE(w.findChild<QTreeWidget*>("treeWidget")->topLevelItemCount(), ips.size());
    QCOMPARE(w.findChild<QLabel*>("label_3")->text(), shown("Devices: ") + QString::number(ips.size()));
}

void TestDiscoveryLan::searchTwiceSetsUpOnce()
{
    MainWindow w;
    QVERIFY(selectToolAddress(w));
    const int expected = cameraIps().size();
    QVERIFY(search(w, expected));
    const int selected = Discovery::selectedIpIndex(w);
    QCOMPARE(selected, w.findChild<QComboBox*>("local_ip_list_comboBox")->currentIndex());

    w.findChild<QPushButton*>("search_Button")->click();
    QCOMPARE(w.findChild<QLabel*>("label_3")->text(), shown("Devices: "));
    QVERIFY(QTest::qWaitFor([&] { return Discovery::devices(w).size() == expected; }, ListTimeoutMs));
    QCOMPARE(Discovery::selectedIpIndex(w), selected);
}

void TestDiscoveryLan::otherInstanceRepliesIgnored()
{
    MainWindow mine;
    MainWindow other;
    QVERIFY(Discovery::clientId(mine) != Discovery::clientId(other));
    QVERIFY(selectToolAddress(mine));
    QVERIFY(selectToolAddress(other));
    const int expected = cameraIps().size();
    QVERIFY(search(mine, expected));
    Discovery::devices(mine).clear();

    QVERIFY(search(other, expected));
    QTest::qWait(500);
    QVERIFY(Discovery::devices(mine).isEmpty());
}

void TestDiscoveryLan::configRoundTrip()
{
    MainWindow w;
    DialogAnswerer answerer(QMessageBox::Ok);
    QVERIFY(selectToolAddress(w));
    QVERIFY(search(w, cameraIps().size()));
    QVERIFY(focusRow(w, 0));
    auto* tree = w.findChild<QTreeWidget*>("treeWidget");
    const QString deviceId = tree->currentItem()->text(6);
    Discovery::menu(w, Discovery::config());
    auto* ip = w.findChild<QLineEdit*>("ip_address_lineEdit");
    QCOMPARE(ip->text(), tree->currentItem()->text(1));

    const QString newIp = "198.18.3.77";
    ip->setText(newIp);
    w.findChild<QLineEdit*>("fdns_lineEdit")->setText("198.18.0.53");
    w.findChild<QLineEdit*>("mac6_lineEdit")->setText("7e");
    w.findChild<QPushButton*>("set_net_pushButton")->click();

    QVERIFY(QTest::qWaitFor([&] { return answerer.texts().contains(shown("Set Success")); }, ListTimeoutMs));
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const Dev_info& device : Discovery::devices(w)) {
                if (device.device_id == deviceId)
                    return device.ipaddr == newIp;
            }
            return false;
        },
        ListTimeoutMs));
    for (const Dev_info& device : Discovery::devices(w)) {
        if (device.device_id == deviceId) {
            QCOMPARE(device.fdns, QString("198.18.0.53"));
            QVERIFY(device.macaddr.endsWith(":7E", Qt::CaseInsensitive));
        }
    }
    QCOMPARE(w.findChild<QTabWidget*>("tabWidget")->currentIndex(), 0);
    QVERIFY(ip->text().isEmpty());
}

void TestDiscoveryLan::deviceCommandsReachCamera()
{
    MainWindow w;
    DialogAnswerer answerer(QMessageBox::Cancel);
    QVERIFY(selectToolAddress(w));
    QVERIFY(search(w, cameraIps().size()));
    QVERIFY(focusRow(w, 0));
    const QString deviceId = w.findChild<QTreeWidget*>("treeWidget")->currentItem()->text(6);
    const QString tail = "\nDevice ID:" + deviceId + "\nClient ID:" + Discovery::clientId(w);

    // Each acknowledgement for the current row reads "Set Success" and searches again, which drops the
    // current row: choose it again before the next command.
    const int devices = Discovery::devices(w).size();
    const auto acknowledged = [&](int successes) {
        return QTest::qWaitFor(
            [&] {
                return answerer.texts().count(shown("Set Success")) == successes &&
                       Discovery::devices(w).size() == devices;
            },
            ListTimeoutMs);
    };
    Discovery::menu(w, Discovery::flicker());
    QVERIFY(acknowledged(1));
    QVERIFY(focusRow(w, 0));
    Discovery::menu(w, Discovery::closeFlicker());
    QVERIFY(acknowledged(2));
    QVERIFY(focusRow(w, 0));
    answerer.clear();
    Discovery::menu(w, Discovery::reboot()); // answered Cancel: nothing may leave
    QCOMPARE(answerer.texts(), QStringList{shown("Do you really want reboot?")});
    QVERIFY(focusRow(w, 0));
    answerer.setAnswer(QMessageBox::Ok);
    Discovery::menu(w, Discovery::reboot());

    const QStringList expected{"CAMERA_FLICKER" + tail + "\nstatus=open",
                               "CAMERA_FLICKER" + tail + "\nstatus=close", "CAMERA_REBOOT" + tail};
    QVERIFY(QTest::qWaitFor(
        [&] {
            const QStringList seen = receivedByCameras();
            return seen.count(expected.last()) == 1;
        },
        ListTimeoutMs));
    QStringList commands;
    for (const QString& text : receivedByCameras()) {
        if (text.startsWith("CAMERA_"))
            commands << text;
    }
    QCOMPARE(commands, expected);
}

// Cameras 0 to 3 send a truncated reply, one with a NUL before "IP=", one without Uptime, GATEWAY and FDNS,
// and one with a 10-character MAC; their identifiers are intact, so each is listed with what could be cut.
void TestDiscoveryLan::brokenRepliesListedSafely()
{
    MainWindow w;
    QVERIFY(selectToolAddress(w));
    const QStringList ips = cameraIps();
    QVERIFY(search(w, ips.size()));
    QTest::qWait(300);
    QCOMPARE(Discovery::devices(w).size(), ips.size());

    const auto listedAt = [&](const QString& ip) -> Dev_info {
        for (const Dev_info& device : Discovery::devices(w)) {
            if (device.ipaddr.startsWith(ip))
                return device;
        }
        return Dev_info();
    };
    QCOMPARE(listedAt(ips.at(0)).ipaddr, ips.at(0) + "\r\nMAS");
    const Dev_info noUptime = listedAt(ips.at(2));
    QCOMPARE(noUptime.uptime, QString("00:00:00"));
    QVERIFY(noUptime.fdns.isEmpty());
    // A short MAC is followed by the next line: the 17 characters cut take it along.
    const Dev_info shortMac = listedAt(ips.at(3));
    QCOMPARE(shortMac.ipaddr, ips.at(3));
    QVERIFY(shortMac.macaddr.endsWith("\r\nFDNS="));

    auto* tree = w.findChild<QTreeWidget*>("treeWidget");
    int row = 0;
    while (row < tree->topLevelItemCount() && tree->topLevelItem(row)->text(1) != ips.at(3))
        ++row;
    QVERIFY(focusRow(w, row));
    Discovery::menu(w, Discovery::config());
    const QString mac = tree->currentItem()->text(4);
    QCOMPARE(w.findChild<QLineEdit*>("mac4_lineEdit")->text(), mac.mid(9, 2));
    QCOMPARE(w.findChild<QLineEdit*>("mac6_lineEdit")->text(), QString("S="));
}

void TestDiscoveryLan::setupFailuresWarn()
{
    DialogAnswerer answerer(QMessageBox::Ok);
    const int searchesBefore = receivedByCameras().filter("SEARCH * UPGRADE").size();
    {
        // Someone holds the port without sharing it: the multicast socket cannot be bound.
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 8005, QUdpSocket::DontShareAddress));
        MainWindow w;
        QVERIFY(selectToolAddress(w));
        w.findChild<QPushButton*>("search_Button")->click();
        QCOMPARE(answerer.texts(), QStringList{shown("Initializes the multicast failure")});
        QCOMPARE(Discovery::selectedIpIndex(w), -1);
        QCOMPARE(w.findChild<QLabel*>("label_3")->text(), shown("Devices: "));
    }

    answerer.clear();
    MainWindow w;
    QVERIFY(selectToolAddress(w));
    QVERIFY(search(w, cameraIps().size()));
    const int searches = receivedByCameras().filter("SEARCH * UPGRADE").size();
    QCOMPARE(searches, searchesBefore + 1);
    // An address no interface holds cannot join the group; the list keeps its rows.
    const int index = w.findChild<QComboBox*>("local_ip_list_comboBox")->currentIndex();
    Discovery::selectedIpIndex(w) = -1;
    Discovery::localIps(w)[index] = "198.18.0.99";
    w.findChild<QPushButton*>("search_Button")->click();
    QCOMPARE(answerer.texts(), QStringList{shown("Join the multicast group fail")});
    QCOMPARE(Discovery::selectedIpIndex(w), -1);
    QCOMPARE(Discovery::devices(w).size(), cameraIps().size());
    QCOMPARE(w.findChild<QLabel*>("label_3")->text(), shown("Devices: "));
    QTest::qWait(200);
    QCOMPARE(receivedByCameras().filter("SEARCH * UPGRADE").size(), searches);
}

QTEST_MAIN(TestDiscoveryLan)
#include "test_discoverylan.moc"
