#include <QtTest>

#include "discoverymessages.h"

using namespace discovery;

namespace
{

const QString ClientId = QStringLiteral("0123456789abcdef0123456789abcdef");
const QString DeviceId = QStringLiteral("ABCDEF0123456789ABCDEF0123456789");

QString reply(const QString& body)
{
    return QStringLiteral("REPLY OK \r\nClient ID:") + ClientId + QStringLiteral("\r\nDevice ID:") +
           DeviceId + QStringLiteral("\r\n") + body;
}

const QString FullBody = QStringLiteral("Uptime=93784\r\nDHCP=0\r\nIP=198.18.1.1\r\nMASK=255.254.0.0\r\n"
                                        "GATEWAY=198.18.0.1\r\nMAC=02:5A:C3:00:00:01\r\nFDNS=8.8.8.8");

} // namespace

class TestDiscoveryMessages : public QObject
{
    Q_OBJECT

private slots:
    void commandBytes_data();
    void commandBytes();
    void decode_data();
    void decode();
    void classify_data();
    void classify();
    void cutReply_data();
    void cutReply();
    void uptimeText_data();
    void uptimeText();
    void succeedCarriesOnlyIdentifiers();
    void macTail_data();
    void macTail();
    void gatewayInSubnet_data();
    void gatewayInSubnet();
};

void TestDiscoveryMessages::commandBytes_data()
{
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");

    NetworkSettings manual;
    manual.dhcpIndex = 0;
    manual.ipaddr = "198.18.1.7";
    manual.netmask = "255.254.0.0";
    manual.gateway = "198.18.0.1";
    manual.fdns = "8.8.4.4";
    const char* octets[] = {"02", "5A", "C3", "a1", "B2", "c3"};
    for (int octet = 0; octet < 6; ++octet)
        manual.mac[octet] = octets[octet];
    NetworkSettings dhcpNoDns = manual;
    dhcpNoDns.dhcpIndex = 1;
    dhcpNoDns.fdns.clear();
    dhcpNoDns.ipaddr = "junk";

    QTest::newRow("search") << encodeMessage(searchMessage(ClientId))
                            << QByteArray("SEARCH * UPGRADE\r\nClient ID:" + ClientId.toLatin1());
    QTest::newRow("confignet manual")
        << encodeMessage(confignetMessage(DeviceId, ClientId, manual))
        << QByteArray("CONFIGNET\nDevice ID:" + DeviceId.toLatin1() + "\nClient ID:" + ClientId.toLatin1() +
                      "\ndhcp=0\nipaddr=198.18.1.7\nnetmask=255.254.0.0\ngateway=198.18.0.1\nfdns=8.8.4.4"
                      "\nmacaddr=02:5A:C3:a1:B2:c3");
    QTest::newRow("confignet dhcp, empty fdns")
        << encodeMessage(confignetMessage(DeviceId, ClientId, dhcpNoDns))
        << QByteArray("CONFIGNET\nDevice ID:" + DeviceId.toLatin1() + "\nClient ID:" + ClientId.toLatin1() +
                      "\ndhcp=1\nipaddr=junk\nnetmask=255.254.0.0\ngateway=198.18.0.1\nfdns=\nmacaddr=02:5A:"
                      "C3:a1:B2:c3");
    QTest::newRow("reboot") << encodeMessage(rebootMessage(DeviceId, ClientId))
                            << QByteArray("CAMERA_REBOOT\nDevice ID:" + DeviceId.toLatin1() +
                                          "\nClient ID:" + ClientId.toLatin1());
    QTest::newRow("flicker open") << encodeMessage(flickerMessage(DeviceId, ClientId, true))
                                  << QByteArray("CAMERA_FLICKER\nDevice ID:" + DeviceId.toLatin1() +
                                                "\nClient ID:" + ClientId.toLatin1() + "\nstatus=open");
    QTest::newRow("flicker close") << encodeMessage(flickerMessage(DeviceId, ClientId, false))
                                   << QByteArray("CAMERA_FLICKER\nDevice ID:" + DeviceId.toLatin1() +
                                                 "\nClient ID:" + ClientId.toLatin1() + "\nstatus=close");
    QTest::newRow("reboot, empty device id")
        << encodeMessage(rebootMessage(QString(), ClientId))
        << QByteArray("CAMERA_REBOOT\nDevice ID:\nClient ID:" + ClientId.toLatin1());
}

void TestDiscoveryMessages::commandBytes()
{
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual, expected);
    if (actual.startsWith("SEARCH"))
        QCOMPARE(actual.size(), 60);
}

void TestDiscoveryMessages::decode_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("REPLY OK x") << QString("REPLY OK x");
    QTest::newRow("nul inside") << QByteArray("REPLY OK \0IP=1.2.3.4", 20) << QString("REPLY OK ");
    QTest::newRow("nul first") << QByteArray("\0REPLY OK ", 10) << QString();
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("utf-8") << QByteArray("FDNS=\xe4\xb8\xad") << QString::fromUtf8("FDNS=中");
}

void TestDiscoveryMessages::decode()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, text);
    QCOMPARE(decodeDatagram(datagram), text);
}

void TestDiscoveryMessages::classify_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("kind");
    QTest::newRow("own search") << searchMessage(ClientId) << int(MSG_SEARCH);
    QTest::newRow("reply") << reply(FullBody) << int(MSG_REPLY_OK);
    QTest::newRow("confignet") << QString("CONFIGNET\nDevice ID:x") << int(MSG_CONFIGNET);
    QTest::newRow("succeed") << QString("SUCCEED *\nClient ID:x") << int(MSG_SUCCEED);
    QTest::newRow("failed") << QString("FAILED * \nClient ID:x") << int(MSG_FAILED);
    QTest::newRow("failed without blank") << QString("FAILED *\nClient") << int(MSG_SEARCH);
    QTest::newRow("lower case") << QString("reply ok \r\n") << int(MSG_SEARCH);
    QTest::newRow("shorter than a head") << QString("REPLY OK") << int(MSG_SEARCH);
    QTest::newRow("exact head") << QString("SUCCEED *") << int(MSG_SUCCEED);
    QTest::newRow("empty") << QString() << int(MSG_SEARCH);
    QTest::newRow("leading blank") << QString(" REPLY OK ") << int(MSG_SEARCH);
}

void TestDiscoveryMessages::classify()
{
    QFETCH(QString, message);
    QFETCH(int, kind);
    QCOMPARE(int(classifyMessage(message)), kind);
}

void TestDiscoveryMessages::cutReply_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("fields"); // client, device, ip, netmask, gateway, mac, fdns, uptime
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("dhcp");

    const QString cid = ClientId, did = DeviceId;
    QTest::newRow("complete") << reply(FullBody) << QStringList{cid,          did,
                                                                "198.18.1.1", "255.254.0.0",
                                                                "198.18.0.1", "02:5A:C3:00:00:01",
                                                                "8.8.8.8",    "1Day 02:03:04"}
                              << 93784 << false;
    QTest::newRow("no uptime") << reply("DHCP=1\r\nIP=10.0.0.2\r\nMASK=255.0.0.0\r\nGATEWAY=10.0.0.1\r\nMAC="
                                        "aa:bb:cc:dd:ee:ff\r\nFDNS=1.1.1.1")
                               << QStringList{cid,         did,        "10.0.0.2",
                                              "255.0.0.0", "10.0.0.1", "aa:bb:cc:dd:ee:ff",
                                              "1.1.1.1",   "00:00:00"}
                               << 0 << true;
    QTest::newRow("no fdns") << reply("Uptime=59\r\nDHCP=0\r\nIP=10.0.0.2\r\nMASK=255.0.0.0\r\nGATEWAY=10.0."
                                      "0.1\r\nMAC=aa:bb:cc:dd:ee:ff")
                             << QStringList{cid,         did,        "10.0.0.2",
                                            "255.0.0.0", "10.0.0.1", "aa:bb:cc:dd:ee:ff",
                                            "",          "00:00:59"}
                             << 59 << false;
    QTest::newRow("fdns keeps trailing line break")
        << reply(FullBody + "\r\n") << QStringList{cid,           did,
                                                   "198.18.1.1",  "255.254.0.0",
                                                   "198.18.0.1",  "02:5A:C3:00:00:01",
                                                   "8.8.8.8\r\n", "1Day 02:03:04"}
        << 93784 << false;
    QTest::newRow("DHCP=1 elsewhere") << reply(FullBody + "\r\nNOTE=DHCP=1")
                                      << QStringList{cid,
                                                     did,
                                                     "198.18.1.1",
                                                     "255.254.0.0",
                                                     "198.18.0.1",
                                                     "02:5A:C3:00:00:01",
                                                     "8.8.8.8\r\nNOTE=DHCP=1",
                                                     "1Day 02:03:04"}
                                      << 93784 << true;
    QTest::newRow("uptime not a number")
        << reply("Uptime=abc\r\nDHCP=2\r\nIP=1.2.3.4\r\nMASK=m\r\nGATEWAY=g\r\nMAC=short\r\nFDNS=")
        << QStringList{cid, did, "1.2.3.4", "m", "g", "short\r\nFDNS=", "", "00:00:00"} << 0 << false;
}

void TestDiscoveryMessages::cutReply()
{
    QFETCH(QString, message);
    QFETCH(QStringList, fields);
    QFETCH(int, seconds);
    QFETCH(bool, dhcp);

    const Dev_info record = parseMessage(message, MSG_REPLY_OK, "Day");
    QCOMPARE(record.client_id, fields.at(0));
    QCOMPARE(record.device_id, fields.at(1));
    QCOMPARE(record.ipaddr, fields.at(2));
    QCOMPARE(record.netmask, fields.at(3));
    QCOMPARE(record.gateway, fields.at(4));
    QCOMPARE(record.macaddr, fields.at(5));
    QCOMPARE(record.fdns, fields.at(6));
    QCOMPARE(record.uptime, fields.at(7));
    QCOMPARE(record.uptime_seconds, seconds);
    QCOMPARE(record.dhcp, dhcp);
}

void TestDiscoveryMessages::uptimeText_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("parts");
    QTest::newRow("zero") << 0 << "00:00:00" << QList<int>{0, 0, 0, 0};
    QTest::newRow("59 s") << 59 << "00:00:59" << QList<int>{0, 0, 0, 59};
    QTest::newRow("just under a day") << 86399 << "23:59:59" << QList<int>{0, 23, 59, 59};
    QTest::newRow("1d 1h 1m 1s") << 90061 << "1Day 01:01:01" << QList<int>{1, 1, 1, 1};
    QTest::newRow("3 days") << 3 * 86400 + 4 * 3600 + 5 * 60 + 6 << "3Day 04:05:06" << QList<int>{3, 4, 5, 6};
    QTest::newRow("max") << 2147483647 << "24855Day 03:14:07" << QList<int>{24855, 3, 14, 7};
}

void TestDiscoveryMessages::uptimeText()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QFETCH(QList<int>, parts);
    const Dev_info record =
        parseMessage(reply(QString("Uptime=%1\r\nDHCP=0\r\n").arg(seconds)), MSG_REPLY_OK, "Day");
    QCOMPARE(record.uptime_seconds, seconds);
    QCOMPARE(record.uptime, text);
    QCOMPARE((QList<int>{record.up_days, record.up_hours, record.up_minutes, record.up_secs}), parts);
}

void TestDiscoveryMessages::succeedCarriesOnlyIdentifiers()
{
    const QString message = "SUCCEED *\nClient ID:" + ClientId + "\nDevice ID:" + DeviceId + "\nIP=1.2.3.4";
    const Dev_info record = parseMessage(message, classifyMessage(message), "Day");
    QCOMPARE(record.client_id, ClientId);
    QCOMPARE(record.device_id, DeviceId);
    QVERIFY(record.ipaddr.isEmpty());
    QVERIFY(record.uptime.isEmpty());
}

void TestDiscoveryMessages::macTail_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QStringList>("octets");
    QTest::newRow("full") << "02:5A:C3:1d:2E:3f" << QStringList{"1d", "2E", "3f"};
    QTest::newRow("one short") << "02:5A:C3:1d:2E:3" << QStringList{"1d", "2E", "3"};
    QTest::newRow("ten characters") << "02:5A:C3:1" << QStringList{"1", "", ""};
    QTest::newRow("empty") << "" << QStringList{"", "", ""};
}

void TestDiscoveryMessages::macTail()
{
    QFETCH(QString, mac);
    QFETCH(QStringList, octets);
    QCOMPARE(macTailOctets(mac), octets);
}

void TestDiscoveryMessages::gatewayInSubnet_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("netmask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<bool>("inside");
    QTest::newRow("same /24") << "192.168.1.10"
                              << "255.255.255.0"
                              << "192.168.1.1" << true;
    QTest::newRow("other /24") << "192.168.1.10"
                               << "255.255.255.0"
                               << "192.168.2.1" << false;
    QTest::newRow("/15 across third octet") << "198.18.1.7"
                                            << "255.254.0.0"
                                            << "198.19.0.1" << true;
    QTest::newRow("/15 outside") << "198.18.1.7"
                                 << "255.254.0.0"
                                 << "198.20.0.1" << false;
    QTest::newRow("/30 edge") << "10.0.0.5"
                              << "255.255.255.252"
                              << "10.0.0.8" << false;
    QTest::newRow("mask 0") << "10.0.0.5"
                            << "0.0.0.0"
                            << "172.16.0.1" << true;
}

void TestDiscoveryMessages::gatewayInSubnet()
{
    QFETCH(QString, ip);
    QFETCH(QString, netmask);
    QFETCH(QString, gateway);
    QFETCH(bool, inside);
    QCOMPARE(discovery::gatewayInSubnet(ip, netmask, gateway), inside);
}

QTEST_APPLESS_MAIN(TestDiscoveryMessages)
#include "test_discoverymessages.moc"
