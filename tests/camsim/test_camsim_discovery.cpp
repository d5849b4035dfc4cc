// Discovery round trips against camsim on the private LAN of scripts/simlan: reply bytes, configuration,
// blinking and reboot silence. Skips when not started by simlan.
#include "camsimrun.h"

#include <QNetworkInterface>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QUuid>
#include <QtTest>

namespace
{

const QHostAddress kGroup("239.255.255.251");

QString cameraIp(int index)
{
    return QString("198.18.1.%1").arg(index + 1);
}
QString deviceId(int index)
{
    return QString("A%1").arg(index) + QString(30, '0');
}

struct Received {
    QByteArray bytes;
    QHostAddress from;
    bool unicast = false;
};

} // namespace

class TestCamsimDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everyCameraAnswers();
    void searchReply_data();
    void searchReply();
    void configNet_data();
    void configNet();
    void flicker_data();
    void flicker();
    void rebootSilence();
    void moveToNewAddress();

private:
    QList<Received> exchange(const QByteArray& datagram, int waitMs = 600);
    QList<Received> repliesFrom(const QList<Received>& all, int camera) const;
    QByteArray command(const QString& head, int camera, const QString& tail = QString()) const;

    QUdpSocket group;
    QUdpSocket unicast;
    QString clientId;
    QList<Received> firstSearch;
    CamsimRun* camsim = nullptr;
};

void TestCamsimDiscovery::initTestCase()
{
    const QString toolIp = qEnvironmentVariable("SIMLAN_TOOL_IP");
    if (toolIp.isEmpty())
        QSKIP("needs the private LAN: run through scripts/simlan");
    camsim = new CamsimRun(qEnvironmentVariable("SIMLAN_EVENTS"));
    clientId = QUuid::createUuid().toString(QUuid::Id128);

    // The same three-socket shape as the tool: group receiver, unicast receiver and sender on port 8005.
    QVERIFY(group.bind(QHostAddress::AnyIPv4, 8005, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
    QVERIFY(group.joinMulticastGroup(
        kGroup, QNetworkInterface::interfaceFromName(qEnvironmentVariable("SIMLAN_TOOL_IF"))));
    QVERIFY(
        unicast.bind(QHostAddress(toolIp), 8005, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
    // Large LANs spread their answers over a second (--reply-delay-ms) so a default socket buffer keeps up.
    const bool large = qEnvironmentVariable("SIMLAN_CAMERA_IPS").count(' ') >= 100;
    firstSearch = exchange("SEARCH * UPGRADE\r\nClient ID:" + clientId.toLatin1(), large ? 1600 : 600);
}

// Also run alone on a LAN of 1000 generated cameras.
void TestCamsimDiscovery::everyCameraAnswers()
{
    QSet<QString> answered;
    for (const Received& r : qAsConst(firstSearch))
        if (r.bytes.startsWith("REPLY OK ") && r.bytes.contains(clientId.toLatin1()))
            answered.insert(r.from.toString());
    const QStringList cameras = qEnvironmentVariable("SIMLAN_CAMERA_IPS").split(' ');
    QCOMPARE(answered.size(), cameras.size());
    for (const QString& ip : cameras)
        QVERIFY2(answered.contains(ip), qPrintable(ip));
}

QList<Received> TestCamsimDiscovery::exchange(const QByteArray& datagram, int waitMs)
{
    unicast.writeDatagram(datagram, kGroup, 8005);
    QList<Received> all;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < waitMs) {
        QTest::qWait(20);
        for (QUdpSocket* socket : {&group, &unicast}) {
            while (socket->hasPendingDatagrams()) {
                Received r;
                r.bytes.resize(int(socket->pendingDatagramSize()));
                socket->readDatagram(r.bytes.data(), r.bytes.size(), &r.from);
                r.unicast = socket == &unicast;
                if (!r.bytes.startsWith("SEARCH") && !r.bytes.startsWith("CONFIGNET") &&
                    !r.bytes.startsWith("CAMERA_"))
                    all.append(r);
            }
        }
    }
    return all;
}

QList<Received> TestCamsimDiscovery::repliesFrom(const QList<Received>& all, int camera) const
{
    QList<Received> mine;
    for (const Received& r : all)
        if (r.from == QHostAddress(cameraIp(camera)))
            mine.append(r);
    return mine;
}

QByteArray TestCamsimDiscovery::command(const QString& head, int camera, const QString& tail) const
{
    return QString("%1\nDevice ID:%2\nClient ID:%3%4").arg(head, deviceId(camera), clientId, tail).toLatin1();
}

void TestCamsimDiscovery::searchReply_data()
{
    QTest::addColumn<int>("camera");
    QTest::addColumn<QByteArray>("expected"); // %C: Client ID, %U: uptime digits
    QTest::addColumn<int>("multicastCopies");
    QTest::addColumn<int>("unicastCopies");
    QTest::addColumn<int>("minUptime");
    const QByteArray head = "REPLY OK \r\nClient ID:%C\r\nDevice ID:";
    QTest::newRow("plain")
        << 0
        << head + "A0000000000000000000000000000000\r\nUptime=%U\r\nDHCP=0\r\nIP=198.18.1.1\r\n"
                  "MASK=255.254.0.0\r\nGATEWAY=198.18.0.1\r\nMAC=02:5A:C3:00:00:10\r\n"
                  "FDNS=198.18.0.1"
        << 1 << 0 << 90061;
    QTest::newRow("DHCP, multicast and unicast")
        << 1
        << head + "A1000000000000000000000000000000\r\nUptime=%U\r\nDHCP=1\r\nIP=198.18.1.2\r\nMASK=255.254."
                  "0.0\r\n"
                  "GATEWAY=198.18.0.1\r\nMAC=02:5A:C3:00:00:11\r\nFDNS=198.18.0.1"
        << 1 << 1 << 59;
    QTest::newRow("unicast only") << 2
                                  << head + "A2000000000000000000000000000000\r\nUptime=%U\r\nDHCP=0\r\nIP="
                                            "198.18.1.3\r\nMASK=255.254.0.0\r\n"
                                            "GATEWAY=198.18.0.1\r\nMAC=02:5A:C3:00:00:12\r\nFDNS=198.18.0.1"
                                  << 0 << 1 << 59;
    QTest::newRow("truncated") << 3
                               << head + "A3000000000000000000000000000000\r\nUptime=%U\r\nDHCP=0\r\n"
                                         "IP=198.18.1.4\r\nMAS"
                               << 1 << 0 << 59;
    static const char withNul[] =
        "A4000000000000000000000000000000\r\nUptime=%U\r\nDHCP=0\r\n\0IP=198.18.1.5\r\n"
        "MASK=255.254.0.0\r\nGATEWAY=198.18.0.1\r\nMAC=02:5A:C3:00:00:14\r\nFDNS=198.18.0.1";
    QTest::newRow("NUL inside") << 4 << head + QByteArray(withNul, sizeof withNul - 1) << 1 << 0 << 59;
    QTest::newRow("missing keys") << 5
                                  << head + "A5000000000000000000000000000000\r\nDHCP=0\r\nIP=198.18.1.6\r\n"
                                            "MASK=255.254.0.0\r\nMAC=02:5A:C3:00:00:15"
                                  << 1 << 0 << -1;
    QTest::newRow("short MAC") << 6
                               << head + "A6000000000000000000000000000000\r\nUptime=%U\r\nDHCP=0\r\n"
                                         "IP=198.18.1.7\r\nMASK=255.254.0.0\r\nGATEWAY=198.18.0.1\r\n"
                                         "MAC=02:5A:C3:0\r\nFDNS=198.18.0.1"
                               << 1 << 0 << 59;
}

void TestCamsimDiscovery::searchReply()
{
    QFETCH(int, camera);
    QFETCH(QByteArray, expected);
    QFETCH(int, multicastCopies);
    QFETCH(int, unicastCopies);
    QFETCH(int, minUptime);
    const QList<Received> replies = repliesFrom(firstSearch, camera);
    int multicast = 0;
    for (const Received& r : replies)
        multicast += r.unicast ? 0 : 1;
    QCOMPARE(multicast, multicastCopies);
    QCOMPARE(replies.size() - multicast, unicastCopies);

    expected.replace("%C", clientId.toLatin1());
    const int uptimeAt = expected.indexOf("%U");
    const QByteArray before = uptimeAt < 0 ? expected : expected.left(uptimeAt);
    const QByteArray after = uptimeAt < 0 ? QByteArray() : expected.mid(uptimeAt + 2);
    for (const Received& r : replies) {
        QVERIFY2(r.bytes.startsWith(before) && r.bytes.endsWith(after), r.bytes.toHex(' ').constData());
        const QByteArray uptime = r.bytes.mid(before.size(), r.bytes.size() - before.size() - after.size());
        if (uptimeAt < 0) {
            QVERIFY(uptime.isEmpty());
            continue;
        }
        bool digits = false;
        const int seconds = uptime.toInt(&digits);
        QVERIFY2(digits, uptime.constData());
        QVERIFY(seconds >= minUptime && seconds < minUptime + 60);
    }
}

void TestCamsimDiscovery::configNet_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QByteArray>("answerHead"); // empty: no answer at all
    QTest::addColumn<QByteArray>("replyTail");  // end of the next search reply, empty: not checked
    QTest::newRow("static") << 7
                            << "dhcp=0\nipaddr=198.18.1.8\nnetmask=255.254.0.0\ngateway=198.18.0.1\n"
                               "fdns=198.18.0.53\nmacaddr=02:5A:C3:AB:CD:EF"
                            << QByteArray("SUCCEED *")
                            << QByteArray(
                                   "DHCP=0\r\nIP=198.18.1.8\r\nMASK=255.254.0.0\r\nGATEWAY=198.18.0.1\r\n"
                                   "MAC=02:5A:C3:AB:CD:EF\r\nFDNS=198.18.0.53");
    QTest::newRow("empty DNS")
        << 7
        << "dhcp=0\nipaddr=198.18.1.8\nnetmask=255.254.0.0\ngateway=198.18.0.1\nfdns=\n"
           "macaddr=02:5A:C3:AB:CD:EE"
        << QByteArray("SUCCEED *") << QByteArray("MAC=02:5A:C3:AB:CD:EE\r\nFDNS=");
    QTest::newRow("DHCP ignores the address fields")
        << 7 << "dhcp=1\nipaddr=x\nnetmask=\ngateway=\nfdns=\nmacaddr=02:5A:C3:AB:CD:ED"
        << QByteArray("SUCCEED *")
        << QByteArray("DHCP=1\r\nIP=198.18.1.8\r\nMASK=255.254.0.0\r\nGATEWAY=198.18.0.1\r\nMAC=02:5A:C3:AB:"
                      "CD:ED\r\n"
                      "FDNS=");
    QTest::newRow("netmask with holes")
        << 7
        << "dhcp=0\nipaddr=198.18.1.8\nnetmask=255.0.255.0\ngateway=198.18.0.1\n"
           "fdns=\nmacaddr=02:5A:C3:AB:CD:EF"
        << QByteArray("FAILED * ") << QByteArray("MAC=02:5A:C3:AB:CD:ED\r\nFDNS=");
    QTest::newRow("gateway outside the network") << 7
                                                 << "dhcp=0\nipaddr=198.18.1.8\nnetmask=255.254.0.0\ngateway="
                                                    "198.20.0.1\nfdns=\nmacaddr=02:5A:C3:AB:CD:EF"
                                                 << QByteArray("FAILED * ") << QByteArray();
    QTest::newRow("short MAC")
        << 7
        << "dhcp=0\nipaddr=198.18.1.8\nnetmask=255.254.0.0\ngateway=198.18.0.1\nfdns=\n"
           "macaddr=02:5A:C3:AB:CD"
        << QByteArray("FAILED * ") << QByteArray();
    QTest::newRow("dhcp=2") << 7 << "dhcp=2\nipaddr=\nnetmask=\ngateway=\nfdns=\nmacaddr=02:5A:C3:AB:CD:EF"
                            << QByteArray("FAILED * ") << QByteArray();
    QTest::newRow("unknown device") << 9
                                    << "dhcp=0\nipaddr=198.18.1.8\nnetmask=255.254.0.0\ngateway=198.18.0.1\n"
                                       "fdns=\nmacaddr=02:5A:C3:AB:CD:EF"
                                    << QByteArray() << QByteArray();
}

void TestCamsimDiscovery::configNet()
{
    QFETCH(int, target);
    QFETCH(QString, settings);
    QFETCH(QByteArray, answerHead);
    QFETCH(QByteArray, replyTail);
    const QList<Received> answers = exchange(command("CONFIGNET", target, "\n" + settings), 400);
    if (answerHead.isEmpty()) {
        QVERIFY(answers.isEmpty());
        return;
    }
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers[0].from, QHostAddress(cameraIp(target)));
    QCOMPARE(answers[0].bytes, answerHead + "\nClient ID:" + clientId.toLatin1() +
                                   "\nDevice ID:" + deviceId(target).toLatin1());
    if (replyTail.isEmpty())
        return;
    const QList<Received> search =
        repliesFrom(exchange("SEARCH * UPGRADE\r\nClient ID:" + clientId.toLatin1()), target);
    QCOMPARE(search.size(), 1);
    QVERIFY2(search[0].bytes.endsWith(replyTail), search[0].bytes.constData());
}

void TestCamsimDiscovery::flicker_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QByteArray>("answerHead");
    QTest::addColumn<int>("blinkEvents");
    QTest::addColumn<bool>("blinking");
    QTest::newRow("open") << "open" << QByteArray("SUCCEED *") << 1 << true;
    QTest::newRow("close") << "close" << QByteArray("SUCCEED *") << 2 << false;
    QTest::newRow("unknown status") << "blink" << QByteArray("FAILED * ") << 2 << false;
}

void TestCamsimDiscovery::flicker()
{
    QFETCH(QString, status);
    QFETCH(QByteArray, answerHead);
    QFETCH(int, blinkEvents);
    QFETCH(bool, blinking);
    const QList<Received> answers = exchange(command("CAMERA_FLICKER", 0, "\nstatus=" + status), 400);
    QCOMPARE(answers.size(), 1);
    QVERIFY(answers[0].bytes.startsWith(answerHead + "\nClient ID:" + clientId.toLatin1()));
    QList<QJsonObject> blinks;
    for (const QJsonObject& e : camsim->events("state"))
        if (e.value("what") == "blink")
            blinks.append(e);
    QCOMPARE(blinks.size(), blinkEvents);
    QCOMPARE(blinks.last().value("blinking").toBool(), blinking);
    QCOMPARE(blinks.last().value("cam").toString(), cameraIp(0));
}

void TestCamsimDiscovery::rebootSilence()
{
    const QByteArray search = "SEARCH * UPGRADE\r\nClient ID:" + clientId.toLatin1();
    const QList<Received> answers = exchange(command("CAMERA_REBOOT", 7), 100);
    QCOMPARE(answers.size(), 1);
    QVERIFY(answers[0].bytes.startsWith("SUCCEED *\nClient ID:"));
    QVERIFY(repliesFrom(exchange(search, 300), 7).isEmpty());
    QVERIFY(!repliesFrom(exchange(search, 300), 0).isEmpty());
    QVERIFY(camsim->waitFor([](const QJsonObject& e) { return e.value("what") == "up"; }, 3000));
    const QList<Received> after = repliesFrom(exchange(search, 300), 7);
    QCOMPARE(after.size(), 1);
    QVERIFY2(after[0].bytes.contains("\r\nUptime=0\r\n") || after[0].bytes.contains("\r\nUptime=1\r\n"),
             after[0].bytes.constData());
    QVERIFY(camsim->waitFor(
        [&](const QJsonObject& e) {
            return e.value("event") == "udp_in" && e.value("to") == "group" &&
                   e.value("text").toString() == search;
        },
        1000));
}

// simlan lets cameras take a new static address; one already in use is refused.
void TestCamsimDiscovery::moveToNewAddress()
{
    const QString settings = "\ndhcp=0\nipaddr=%1\nnetmask=255.254.0.0\ngateway=198.18.0.1\nfdns=\n"
                             "macaddr=02:5A:C3:AB:CD:EF";
    const QList<Received> refused = exchange(command("CONFIGNET", 6, settings.arg(cameraIp(0))), 300);
    QCOMPARE(refused.size(), 1);
    QVERIFY(refused[0].bytes.startsWith("FAILED * "));

    const QList<Received> accepted = exchange(command("CONFIGNET", 7, settings.arg("198.18.1.108")), 300);
    QCOMPARE(accepted.size(), 1);
    QVERIFY(accepted[0].bytes.startsWith("SUCCEED *"));
    QVERIFY(camsim->waitFor([](const QJsonObject& e) { return e.value("what") == "moved"; }, 2000));
    const QList<Received> replies = exchange("SEARCH * UPGRADE\r\nClient ID:" + clientId.toLatin1());
    QList<Received> moved;
    for (const Received& r : replies)
        if (r.from == QHostAddress("198.18.1.108"))
            moved.append(r);
    QCOMPARE(moved.size(), 1);
    QVERIFY(moved[0].bytes.contains("\r\nIP=198.18.1.108\r\n"));
    QVERIFY(repliesFrom(replies, 7).isEmpty());

    QTcpSocket atNew;
    atNew.connectToHost("198.18.1.108", 5555);
    QVERIFY(atNew.waitForConnected(2000));
    QTcpSocket atOld;
    atOld.connectToHost(cameraIp(7), 5555);
    QVERIFY(!atOld.waitForConnected(1000));
}

QTEST_GUILESS_MAIN(TestCamsimDiscovery)
#include "test_camsim_discovery.moc"
