// The discovery text protocol: the bytes of every command, the kinds of datagram and the fields of a reply.
#include <QtTest>

#include "discoverymessages.h"
#include "settingsrules.h"
#include "validators.h"

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

    // A field keeps 64 characters and loses the 65th; identifiers are cut at 32.
    void fieldLimits_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("kept");
        QTest::newRow("last kept whole") << 64 << 64;
        QTest::newRow("first cut") << 65 << 64;
    }
    void fieldLimits()
    {
        QFETCH(int, length);
        QFETCH(int, kept);
        const QString value(length, '7');
        const Dev_info r = parseDatagram(reply("Uptime=1\r\nDHCP=0\r\nIP=" + value + "\r\nMASK=" + value +
                                               "\r\nGATEWAY=" + value + "\r\nMAC=x\r\nFDNS=" + value)
                                             .toUtf8(),
                                         "Day")
                               .record;
        QCOMPARE(QList<int>({r.ipaddr.size(), r.netmask.size(), r.gateway.size(), r.fdns.size()}),
                 QList<int>({kept, kept, kept, kept}));
        const Dev_info ids =
            parseDatagram(("SUCCEED *\nClient ID:" + kClient + "X\nDevice ID:" + kDevice + "Y").toUtf8(),
                          "Day")
                .record;
        QCOMPARE(ids.client_id + ids.device_id, kClient + kDevice);
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

    // Each rule at its last accepted and first refused value.
    void textRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        const auto rows = [](const char* rule, const QList<QPair<const char*, bool>>& cases) {
            for (const auto& c : cases)
                QTest::addRow("%s '%s'", rule, qPrintable(QString(c.first).replace('\n', "\\n")))
                    << QString(rule) << QString(c.first) << c.second;
        };
        rows("host", {{"0.1.2.3", true},
                      {"1.2.3.1", true},
                      {"1.2.3.0", false},
                      {"1.2.3.254", true},
                      {"1.2.3.255", false},
                      {"254.2.3.4", true},
                      {"255.2.3.4", false},
                      {"1.2.3.256", false},
                      {"001.2.3.4", true},
                      {"0001.2.3.4", false},
                      {"1.2.3", false},
                      {"1.2.3.4.5", false},
                      {"1.2.3.4 ", false},
                      {"", false}});
        rows("netmask", {{"0.0.0.0", true},
                         {"128.0.0.0", true},
                         {"255.255.255.254", true},
                         {"255.255.255.255", false},
                         {"255.255.255.253", false},
                         {"255.254.0.0", true},
                         {"255.255.0.255", false},
                         {"255.255.255", false}});
        rows("MAC tail", {{"a1:B2:c3", true},
                          {"FF:FF:FF", true},
                          {"A1:B2", false},
                          {"A1-B2-C3", false},
                          {"G1:B2:C3", false},
                          {"A1:B2:C3:", false},
                          {"A1:B2:C34", false}});
        rows("Device ID", {{"ABCDEF0123456789ABCDEF0123456789", true},
                           {"!~ABCDEF0123456789ABCDEF01234567", true},
                           {"ABCDEF0123456789ABCDEF012345678", false},
                           {"ABCDEF0123456789ABCDEF0123456789A", false},
                           {"ABCDEF0123456789 BCDEF0123456789", false},
                           {"ABCDEF0123456789\nBCDEF0123456789", false},
                           {"ABCDEF0123456789\x7f"
                            "BCDEF0123456789",
                            false}});
    }
    void textRules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const bool result = rule == "host"       ? validators::isValidHostIp(text)
                            : rule == "netmask"  ? validators::isValidNetmask(text)
                            : rule == "MAC tail" ? validators::isValidMacTail(text)
                                                 : isValidDeviceId(text);
        QCOMPARE(result, valid);
    }

    // The Set button's rules, shared by the window and the command line: the first rule broken, in order.
    void settingsRules_data()
    {
        QTest::addColumn<QString>("form"); // dhcp ip netmask gateway dns mac4 mac5 mac6, "-" empty
        QTest::addColumn<bool>("openAllowed");
        QTest::addColumn<int>("fault");
        using F = SettingsFault;
        const auto row = [](const char* name, const char* form, F fault, bool open = false) {
            QTest::newRow(name) << QString(form) << open << int(fault);
        };
        row("manual", "0 192.168.1.10 255.255.255.0 192.168.1.1 8.8.8.8 a1 B2 c3", F::None);
        row("every field wrong: address first", "0 192.168.1.0 255.0.255.0 1.1.1.255 x a1 b2 c3", F::Address);
        row("netmask before gateway", "0 192.168.1.10 255.0.255.0 1.1.1.255 x a1 b2 c3", F::Netmask);
        row("gateway before DNS", "0 192.168.1.10 255.255.255.0 192.168.1.255 x a1 b2 c3", F::Gateway);
        row("DNS empty", "0 192.168.1.10 255.255.255.0 192.168.1.1 - a1 b2 c3", F::Dns);
        row("DNS empty, left to the camera", "0 192.168.1.10 255.255.255.0 192.168.1.1 - a1 b2 c3", F::None,
            true);
        row("gateway last inside", "0 10.0.0.5 255.255.255.252 10.0.0.6 8.8.8.8 a1 b2 c3", F::None);
        row("gateway first outside", "0 10.0.0.5 255.255.255.252 10.0.0.8 8.8.8.8 a1 b2 c3",
            F::GatewayOutsideSubnet);
        row("MAC tail not hex", "0 192.168.1.10 255.255.255.0 192.168.1.1 8.8.8.8 a1 g2 c3", F::MacTail);
        row("DHCP ignores addresses", "1 x y z - A1 B2 C3", F::None);
        row("DHCP, tail still checked", "1 x y z - A1 B2 C", F::MacTail);
        row("no gateway", "0 192.168.1.10 255.255.255.0 - 8.8.8.8 a1 b2 c3", F::Incomplete);
        row("tail octet missing", "1 x y z - a1 - c3", F::Incomplete);
        row("tail octet missing, open allowed", "1 x y z - a1 - c3", F::Incomplete, true);
        row("tail left to the camera", "0 192.168.1.10 255.255.255.0 192.168.1.1 - - - -", F::None, true);
        row("DHCP addresses left to the camera", "1 - - - - - - -", F::None, true);
        row("manual address never left open", "0 - - - - - - -", F::Incomplete, true);
    }
    void settingsRules()
    {
        QFETCH(QString, form);
        QFETCH(bool, openAllowed);
        QFETCH(int, fault);
        const QStringList f = form.split(' ');
        const auto value = [&](int i) { return f.at(i) == "-" ? QString() : f.at(i); };
        NetworkSettings settings;
        settings.dhcpIndex = f.at(0).toInt();
        settings.ipaddr = value(1);
        settings.netmask = value(2);
        settings.gateway = value(3);
        settings.fdns = value(4);
        for (int octet = 0; octet < 3; ++octet)
            settings.mac[3 + octet] = value(5 + octet);
        QCOMPARE(int(checkNetworkSettings(settings, openAllowed ? OpenFields::Allowed : OpenFields::Refused)),
                 fault);
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
