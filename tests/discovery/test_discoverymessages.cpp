// The discovery text protocol: the bytes of every command, the kinds of datagram and the fields of a reply.
#include <QtTest>

#include "discoverymessages.h"

using namespace discovery;

namespace
{
const QString kClient = "0123456789abcdef0123456789abcdef";
const QString kDevice = "ABCDEF0123456789ABCDEF0123456789";

QString reply(const QString& body)
{
    return "REPLY OK \r\nClient ID:" + kClient + "\r\nDevice ID:" + kDevice + "\r\n" + body;
}
} // namespace

class TestDiscoveryMessages : public QObject
{
    Q_OBJECT
private slots:
    // The other commands' bytes are checked where camsim receives them (test_discoveryclient,
    // test_devicelist).
    void searchBytes()
    {
        const QByteArray search = encodeMessage(searchMessage(kClient));
        QCOMPARE(search, "SEARCH * UPGRADE\r\nClient ID:" + kClient.toLatin1());
        QCOMPARE(search.size(), 60);
    }

    void kind_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("kind");
        QTest::newRow("own search") << QByteArray("SEARCH * UPGRADE\r\nClient ID:x") << int(MSG_SEARCH);
        QTest::newRow("reply") << reply("Uptime=1").toUtf8() << int(MSG_REPLY_OK);
        QTest::newRow("confignet") << QByteArray("CONFIGNET\nDevice ID:x") << int(MSG_CONFIGNET);
        QTest::newRow("succeed") << QByteArray("SUCCEED *\nClient ID:x") << int(MSG_SUCCEED);
        QTest::newRow("failed") << QByteArray("FAILED * \nClient ID:x") << int(MSG_FAILED);
        QTest::newRow("failed without blank") << QByteArray("FAILED *\nClient") << int(MSG_SEARCH);
        QTest::newRow("lower case") << QByteArray("reply ok \r\n") << int(MSG_SEARCH);
        QTest::newRow("shorter than a head") << QByteArray("REPLY OK") << int(MSG_SEARCH);
        QTest::newRow("leading blank") << QByteArray(" REPLY OK ") << int(MSG_SEARCH);
        QTest::newRow("NUL inside the head") << QByteArray("REPLY\0OK ", 9) << int(MSG_SEARCH);
    }
    void kind()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, kind);
        QCOMPARE(int(parseDatagram(datagram, "Day").kind), kind);
    }

    void fields_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("fields"); // client|device|ip|netmask|gateway|mac|fdns|uptime|dhcp
        const QString ids = kClient + "|" + kDevice + "|";
        const QString body =
            "Uptime=93784\r\nDHCP=0\r\nIP=198.18.1.1\r\nMASK=255.254.0.0\r\nGATEWAY=198.18.0.1"
            "\r\nMAC=02:5A:C3:00:00:01\r\nFDNS=8.8.8.8";
        const QString fields = "198.18.1.1|255.254.0.0|198.18.0.1|02:5A:C3:00:00:01|8.8.8.8|1Day 02:03:04|";
        QTest::newRow("complete") << reply(body).toUtf8() << ids + fields + "0";
        QTest::newRow("DHCP") << reply(QString(body).replace("DHCP=0", "DHCP=1")).toUtf8()
                              << ids + fields + "1";
        QTest::newRow("no uptime") << reply(body.mid(14)).toUtf8()
                                   << ids + QString(fields).replace("1Day 02:03:04", "00:00:00") + "0";
        QTest::newRow("no FDNS") << reply(body.left(body.indexOf("\r\nFDNS"))).toUtf8()
                                 << ids + QString(fields).replace("8.8.8.8", "") + "0";
        QTest::newRow("bytes after a NUL ignored")
            << reply(body).toUtf8() + QByteArray("\0DHCP=1", 7) << ids + fields + "0";
        QTest::newRow("acknowledgement carries the ids only")
            << ("SUCCEED *\nClient ID:" + kClient + "\nDevice ID:" + kDevice + "\nIP=1.2.3.4").toUtf8()
            << ids + "||||||0";
    }
    void fields()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, fields);
        const Dev_info r = parseDatagram(datagram, "Day").record;
        QCOMPARE(QStringList({r.client_id, r.device_id, r.ipaddr, r.netmask, r.gateway, r.macaddr, r.fdns,
                              r.uptime, QString::number(r.dhcp)})
                     .join('|'),
                 fields);
    }

    // A reply without its keys must not store the rest of the datagram in its fields.
    void fieldsStayShort()
    {
        const QByteArray flood(60000, 'x');
        const Dev_info r = parseDatagram("REPLY OK " + flood + "IP=" + flood + "FDNS=" + flood, "Day").record;
        for (const QString& field :
             {r.client_id, r.device_id, r.ipaddr, r.netmask, r.gateway, r.macaddr, r.fdns})
            QVERIFY(field.size() <= 64);
    }

    // The uptime as the list shows it.
    void uptime()
    {
        const QList<QPair<int, QString>> rows{{59, "00:00:59"},
                                              {86399, "23:59:59"},
                                              {90061, "1Day 01:01:01"},
                                              {3 * 86400 + 14706, "3Day 04:05:06"},
                                              {2147483647, "24855Day 03:14:07"}};
        for (const auto& row : rows)
            QCOMPARE(parseDatagram(reply(QString("Uptime=%1\r\nDHCP=0").arg(row.first)).toUtf8(), "Day")
                         .record.uptime,
                     row.second);
    }

    void gatewayInSubnet()
    {
        QVERIFY(discovery::gatewayInSubnet("192.168.1.10", "255.255.255.0", "192.168.1.1"));
        QVERIFY(discovery::gatewayInSubnet("198.18.1.7", "255.254.0.0", "198.19.0.1"));
        QVERIFY(!discovery::gatewayInSubnet("198.18.1.7", "255.254.0.0", "198.20.0.1"));
        QVERIFY(!discovery::gatewayInSubnet("10.0.0.5", "255.255.255.252", "10.0.0.8"));
        QVERIFY(!discovery::gatewayInSubnet("10.0.0.5", "255.0.0.0", "11.0.0.1"));
    }
};

QTEST_APPLESS_MAIN(TestDiscoveryMessages)
#include "test_discoverymessages.moc"
