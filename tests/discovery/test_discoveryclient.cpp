// DiscoveryClient on the private LAN of scripts/simlan, against camsim: what it lists, what the cameras
// received, and what it reports back. Skips when not started by simlan.
#include <QJsonArray>
#include <QUdpSocket>
#include <QUuid>
#include <QtTest>

#include "camsimrun.h"
#include "devicecommand.h"
#include "discoveryclient.h"

namespace
{
struct Client {
    Client()
    {
        client.setClientId(QUuid::createUuid().toString(QUuid::Id128));
        QObject::connect(&client, &DiscoveryClient::deviceFound, [this](const Dev_info& d) { found << d; });
        QObject::connect(&client, &DiscoveryClient::acknowledged,
                         [this](const QString& id, bool ok) { acks << id + (ok ? " ok" : " failed"); });
    }
    DiscoveryClient client;
    QList<Dev_info> found;
    QStringList acks;
};

const QString kTool = qEnvironmentVariable("SIMLAN_TOOL_IP");

QList<QJsonObject> events(const QString& name)
{
    return CamsimRun(qEnvironmentVariable("SIMLAN_EVENTS")).events(name);
}

QJsonArray cameras()
{
    return events("ready").value(0)["cameras"].toArray();
}

QStringList received(const QString& head)
{
    return CamsimRun(qEnvironmentVariable("SIMLAN_EVENTS")).groupDatagrams(head);
}

// Datagrams that only look like camera answers, unicast to the tool.
void forge(const QStringList& texts)
{
    QUdpSocket sender;
    for (int i = 0; i < texts.size(); ++i) {
        sender.writeDatagram(texts[i].toLatin1(), QHostAddress(kTool), 8005);
        if (i % 50 == 49)
            QTest::qWait(2);
    }
}
} // namespace

class TestDiscoveryClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (kTool.isEmpty())
            QSKIP("runs only inside scripts/simlan");
        QVERIFY(!cameras().isEmpty());
    }

    // Once per camera, whether it answers by multicast, unicast or both; never another client's answers.
    void searchListsEveryCamera()
    {
        Client mine;
        QCOMPARE(mine.client.open(kTool), DiscoveryClient::OpenResult::Ok);
        const int count = cameras().size();
        for (int search = 0; search < 2; ++search) {
            mine.found.clear();
            mine.client.search();
            QTRY_COMPARE_WITH_TIMEOUT(mine.found.size(), count, 15000);
        }
        forge({"REPLY OK \r\nClient ID:" + QString(32, 'f') + "\r\nDevice ID:" + QString(32, 'F')});
        QTest::qWait(300);
        QCOMPARE(mine.found.size(), count);
        QCOMPARE(mine.client.deviceCount(), count);
        QMap<QString, QString> listed, expected;
        for (const Dev_info& d : mine.found) {
            QCOMPARE(d.client_id, mine.client.clientId());
            listed.insert(d.ipaddr,
                          QStringList({d.device_id, d.macaddr, d.dhcp ? "dhcp" : "static"}).join(' '));
        }
        for (const QJsonValue& c : cameras())
            expected.insert(c["address"].toString(), c["device_id"].toString() + " " + c["mac"].toString() +
                                                         (c["dhcp"].toBool() ? " dhcp" : " static"));
        QCOMPARE(listed, expected);
    }

    // The bytes each camera received, and one acknowledgement per command however often it arrives.
    void commandsAcknowledgedOnce()
    {
        Client mine;
        QCOMPARE(mine.client.open(kTool), DiscoveryClient::OpenResult::Ok);
        const QJsonObject camera = cameras().at(0).toObject();
        const QString id = camera["device_id"].toString();
        discovery::NetworkSettings settings;
        settings.ipaddr = camera["address"].toString();
        settings.netmask = "255.254.0.0";
        settings.gateway = "198.18.0.1";
        settings.fdns = "198.18.0.53";
        const char* mac[] = {"02", "5A", "C3", "AB", "CD", "EF"};
        std::copy(std::begin(mac), std::end(mac), settings.mac);
        discovery::NetworkSettings outside = settings;
        outside.gateway = "198.20.0.1";

        // Each camera answers twice here (multicast and unicast); both copies arrive before the next command.
        const auto answered = [&](int count) {
            const bool arrived = QTest::qWaitFor([&] { return mine.acks.size() >= count; });
            QTest::qWait(100);
            return arrived;
        };
        mine.client.flicker(id, true);
        QVERIFY(answered(1));
        mine.client.flicker(id, false);
        QVERIFY(answered(2));
        mine.client.configure(id, settings);
        QVERIFY(answered(3));
        mine.client.configure(id, outside);
        QVERIFY(answered(4));
        mine.client.reboot(id);
        QVERIFY(answered(5));
        forge(QVector<QString>(40, "SUCCEED *\nClient ID:" + mine.client.clientId() + "\nDevice ID:" + id)
                  .toList());
        QTest::qWait(300);
        QCOMPARE(mine.acks, QStringList({id + " ok", id + " ok", id + " ok", id + " failed", id + " ok"}));

        const QString ids = "\nDevice ID:" + id + "\nClient ID:" + mine.client.clientId();
        const QString config =
            "CONFIGNET" + ids + "\ndhcp=0\nipaddr=" + settings.ipaddr +
            "\nnetmask=255.254.0.0\ngateway=%1\nfdns=198.18.0.53\nmacaddr=02:5A:C3:AB:CD:EF";
        QCOMPARE(
            received("CAMERA_FLICKER" + ids) + received("CONFIGNET" + ids) + received("CAMERA_REBOOT" + ids),
            QStringList({"CAMERA_FLICKER" + ids + "\nstatus=open", "CAMERA_FLICKER" + ids + "\nstatus=close",
                         config.arg("198.18.0.1"), config.arg("198.20.0.1"), "CAMERA_REBOOT" + ids}));
    }

    // Replies waiting in the sockets when a new search goes out answered the one before: never listed.
    void staleRepliesNotListed()
    {
        Client mine;
        QCOMPARE(mine.client.open(kTool), DiscoveryClient::OpenResult::Ok);
        const QString stale = QString(32, 'E');
        forge({"REPLY OK \r\nClient ID:" + mine.client.clientId() + "\r\nDevice ID:" + stale +
               "\r\nUptime=1\r\nDHCP=0\r\nIP=198.18.9.9\r\nMASK=255.254.0.0\r\nGATEWAY=198.18.0.1\r\nMAC=x"});
        QThread::msleep(50); // arrived, and not read: no event loop ran
        mine.client.search();
        QTRY_COMPARE_WITH_TIMEOUT(mine.found.size(), cameras().size(), 15000);
        QTest::qWait(300);
        for (const Dev_info& d : qAsConst(mine.found))
            QVERIFY(d.device_id != stale);
    }

    // One command to one camera: how it is found, what goes out, and the outcome reported.
    void deviceCommand_data()
    {
        QTest::addColumn<QString>("how");    // "id", "address" (search first) or "send"
        QTest::addColumn<QString>("target"); // camera index, or the Device ID / address as given
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>(
            "sent"); // head of the command camsim receives; "" when nothing at all goes out
        using A = DeviceCommand::Action;
        using O = DeviceCommand::Outcome;
        QTest::newRow("Device ID in lower case")
            << "id"
            << "lower 0" << int(A::FlickerOn) << int(O::Acknowledged) << "CAMERA_FLICKER";
        QTest::newRow("by address") << "address"
                                    << "2" << int(A::Reboot) << int(O::Acknowledged) << "CAMERA_REBOOT";
        QTest::newRow("refused: another camera's address")
            << "send"
            << "4" << int(A::ConfigNet) << int(O::Refused) << "CONFIGNET";
        QTest::newRow("nobody has it")
            << "id" << QString(32, '0') << int(A::Reboot) << int(O::NotFound) << "SEARCH";
        QTest::newRow("nobody answers")
            << "send" << QString(32, '0') << int(A::FlickerOff) << int(O::NoAnswer) << "CAMERA_FLICKER";
        QTest::newRow("two at one address") << "address"
                                            << "5 twice" << int(A::Reboot) << int(O::Ambiguous) << "SEARCH";
        QTest::newRow("31 characters")
            << "id" << QString(31, 'A') << int(A::Reboot) << int(O::InvalidDeviceId) << "";
        QTest::newRow("33 characters")
            << "send" << QString(33, 'A') << int(A::Reboot) << int(O::InvalidDeviceId) << "";
        QTest::newRow("settings break a rule")
            << "send"
            << "6 bad" << int(A::ConfigNet) << int(O::InvalidSettings) << "";
    }
    void deviceCommand()
    {
        QFETCH(QString, how);
        QFETCH(QString, target);
        QFETCH(int, action);
        QFETCH(int, outcome);
        QFETCH(QString, sent);
        Client mine;
        QCOMPARE(mine.client.open(kTool), DiscoveryClient::OpenResult::Ok);
        const QJsonArray all = cameras();
        const int index = target.size() < 16 ? target.section(' ', 0, 0).toInt() : -1;
        const QJsonObject cam = index >= 0 ? all.at(index).toObject() : QJsonObject();
        Dev_info known;
        known.device_id = index >= 0 ? cam["device_id"].toString() : target;
        known.ipaddr = cam["address"].toString();
        known.macaddr = cam["mac"].toString();
        discovery::NetworkSettings settings;
        settings.ipaddr = all.at(index == 4 ? 5 : 4)["address"].toString();
        settings.netmask = "255.254.0.0";
        settings.gateway = target.endsWith("bad") ? "198.20.0.1" : "198.18.0.1";
        settings.fdns = "198.18.0.1";
        const char* mac[] = {"02", "5A", "C3", "AB", "CD", "EF"};
        std::copy(std::begin(mac), std::end(mac), settings.mac);

        const int before = CamsimRun(qEnvironmentVariable("SIMLAN_EVENTS")).events("udp_in").size();
        DeviceCommand command(&mine.client);
        QList<int> outcomes;
        connect(&command, &DeviceCommand::finished, [&](DeviceCommand::Outcome o) { outcomes << int(o); });
        connect(&command, &DeviceCommand::found, [&](const Dev_info& camera) {
            QCOMPARE(camera.device_id, known.device_id); // the camera's own, whatever case was asked for
            command.send(camera, DeviceCommand::Action(action), settings);
        });
        if (how == "send")
            command.send(known, DeviceCommand::Action(action), settings);
        else if (how == "address")
            command.findByAddress(known.ipaddr);
        else
            command.findByDeviceId(target.startsWith("lower") ? known.device_id.toLower() : known.device_id);
        if (target.endsWith("twice"))
            QTimer::singleShot(100, [&] {
                forge({"REPLY OK \r\nClient ID:" + mine.client.clientId() +
                       "\r\nDevice ID:" + QString(32, 'D') + "\r\nUptime=1\r\nDHCP=0\r\nIP=" + known.ipaddr +
                       "\r\nMASK=255.254.0.0\r\nGATEWAY=x"});
            });
        QTRY_VERIFY_WITH_TIMEOUT(!outcomes.isEmpty(), 10000);
        QTest::qWait(200);
        QCOMPARE(outcomes, QList<int>{outcome});
        QStringList heads;
        for (const QJsonObject& e :
             CamsimRun(qEnvironmentVariable("SIMLAN_EVENTS")).events("udp_in").mid(before))
            if (e["to"] == "group")
                heads << e["text"].toString().section('\n', 0, 0).section('\r', 0, 0);
        heads.removeAll("SEARCH * UPGRADE");
        QCOMPARE(heads.join(' '), sent == "SEARCH" ? QString() : sent);
        if (sent.isEmpty())
            QCOMPARE(CamsimRun(qEnvironmentVariable("SIMLAN_EVENTS")).events("udp_in").size(), before);
        QTest::qWait(400); // a rebooted camera is back
    }

    // Invented Device IDs from any host that saw a search: the list stops at 4096.
    void atMost4096Devices()
    {
        Client mine;
        QCOMPARE(mine.client.open(kTool), DiscoveryClient::OpenResult::Ok);
        mine.client.search();
        QStringList replies;
        for (int i = 0; i < 4200; ++i)
            replies << QString(
                           "REPLY OK \r\nClient ID:%1\r\nDevice ID:F%2\r\nUptime=1\r\nDHCP=0\r\nIP=10.9.%3.%4"
                           "\r\nMASK=255.255.0.0\r\nGATEWAY=10.9.0.1\r\nMAC=02:5A:C3:00:00:01\r\nFDNS=")
                           .arg(mine.client.clientId())
                           .arg(i, 31, 10, QChar('0'))
                           .arg(i / 250)
                           .arg(i % 250 + 1);
        forge(replies);
        QTRY_COMPARE_WITH_TIMEOUT(mine.found.size(), 4096, 15000);
        QTest::qWait(300);
        QCOMPARE(mine.found.size(), 4096);
        QCOMPARE(mine.client.deviceCount(), 4096);
    }

    void setupFailures()
    {
        {
            QUdpSocket holder; // holds the port without sharing it
            QVERIFY(holder.bind(QHostAddress::AnyIPv4, 8005, QUdpSocket::DontShareAddress));
            QCOMPARE(Client().client.open(kTool), DiscoveryClient::OpenResult::InitFailed);
        }
        QCOMPARE(Client().client.open("198.18.0.99"), DiscoveryClient::OpenResult::JoinFailed);
    }
};

QTEST_GUILESS_MAIN(TestDiscoveryClient)
#include "test_discoveryclient.moc"
