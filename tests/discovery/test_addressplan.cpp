// Planning a batch of addresses, the plan file, and the clashes of one search: pure functions, no network.
#include <QtTest>

#include "addressplan.h"
#include "devicetable.h"

using namespace discovery;

namespace
{
Dev_info camera(const QString& name, const QString& ip, const QString& mac)
{
    Dev_info device;
    device.device_id = name + QString(30, 'A');
    device.ipaddr = ip;
    device.macaddr = mac;
    device.netmask = "255.255.255.0";
    return device;
}

// Two cameras in place and three on their factory address; MACs in the order B F2 A F3 F1.
const QVector<Dev_info> kListed{
    camera("A0", "10.0.0.2", "02:5A:C3:00:00:03"), camera("B0", "10.0.0.3", "02:5A:C3:00:00:01"),
    camera("F1", "192.168.100.88", "02:5A:C3:00:00:05"), camera("F2", "192.168.100.88", "02:5A:C3:00:00:02"),
    camera("F3", "192.168.100.88", "02:5A:C3:00:00:04")};

const char* const kReasons = "uolrn"; // in use, own, listed, reserved, not usable

// "F1=10.0.0.4[10.0.0.1o 10.0.0.2u] F2=..." or the fault and its detail.
QString describe(const AssignmentPlan& plan)
{
    if (!plan.ok())
        return QStringLiteral("fault %1 %2 %3")
            .arg(int(plan.fault))
            .arg(int(plan.settingsFault))
            .arg(plan.detail);
    QStringList cameras;
    for (const PlannedCamera& planned : plan.cameras) {
        QStringList skipped;
        for (const SkippedAddress& address : planned.skipped)
            skipped << address.address + QLatin1Char(kReasons[int(address.reason)]);
        cameras << planned.camera.device_id.left(2) + "=" + planned.settings.ipaddr +
                       (skipped.isEmpty() ? QString() : "[" + skipped.join(' ') + "]");
    }
    return cameras.join(' ');
}

QStringList ids(const QString& names)
{
    QStringList list;
    for (const QString& name : names.split(' '))
        list << (name.at(0).isLower() ? name + QString(30, 'a') : name + QString(30, 'A'));
    return list;
}
} // namespace

class TestAddressPlan : public QObject
{
    Q_OBJECT
private slots:
    void sequential_data()
    {
        QTest::addColumn<QString>("cameras"); // names, or "all"
        QTest::addColumn<QString>("request"); // first mask gateway dns skip, "-" empty
        QTest::addColumn<QString>("expected");
        const QString noRoom = "fault " + QString::number(int(PlanFault::NoRoom)) + " 0 ";
        const QString settings = "fault " + QString::number(int(PlanFault::Settings)) + " ";
        QTest::newRow("held and own addresses passed over")
            << "F1 F2 F3"
            << "10.0.0.1 255.255.255.0 10.0.0.254 - -"
            << "F1=10.0.0.4[10.0.0.1o 10.0.0.2u 10.0.0.3u] F2=10.0.0.5 F3=10.0.0.6";
        QTest::newRow("skip list, gateway and DNS passed over")
            << "F1 F2 F3"
            << "10.0.0.4 255.255.255.0 10.0.0.5 10.0.0.7 10.0.0.6"
            << "F1=10.0.0.4 F2=10.0.0.8[10.0.0.5r 10.0.0.6l 10.0.0.7r] F3=10.0.0.9";
        QTest::newRow("a camera may keep its own address") << "A0 B0"
                                                           << "10.0.0.2 255.255.255.0 10.0.0.254 - -"
                                                           << "A0=10.0.0.2 B0=10.0.0.3";
        QTest::newRow("last address before the broadcast fits") << "F1 F2 F3"
                                                                << "10.0.0.4 255.255.255.248 10.0.0.3 - -"
                                                                << "F1=10.0.0.4 F2=10.0.0.5 F3=10.0.0.6";
        QTest::newRow("one past it does not")
            << "F1 F2 F3"
            << "10.0.0.5 255.255.255.248 10.0.0.3 - -" << noRoom + "10.0.0.7";
        QTest::newRow("octets 255 and 0 passed over")
            << "F1 F2 F3"
            << "10.0.0.254 255.255.254.0 10.0.1.1 - -"
            << "F1=10.0.0.254 F2=10.0.1.2[10.0.0.255n 10.0.1.0n 10.0.1.1r] F3=10.0.1.3";
        QTest::newRow("network address passed over") << "F1"
                                                     << "10.0.0.128 255.255.255.128 10.0.0.129 - -"
                                                     << "F1=10.0.0.130[10.0.0.128n 10.0.0.129r]";
        QTest::newRow("all, by MAC") << "all"
                                     << "10.0.0.10 255.255.255.0 10.0.0.1 - -"
                                     << "B0=10.0.0.10 F2=10.0.0.11 A0=10.0.0.12 F3=10.0.0.13 F1=10.0.0.14";
        QTest::newRow("Device IDs in any case, in the order given") << "f3 a0"
                                                                    << "10.0.0.10 255.255.255.0 10.0.0.1 - -"
                                                                    << "F3=10.0.0.10 A0=10.0.0.11";
        QTest::newRow("unknown Device ID")
            << "F1 ZZ"
            << "10.0.0.10 255.255.255.0 10.0.0.1 - -"
            << "fault " + QString::number(int(PlanFault::UnknownDevice)) + " 0 ZZ" + QString(30, 'A');
        QTest::newRow("named twice") << "F1 f1"
                                     << "10.0.0.10 255.255.255.0 10.0.0.1 - -"
                                     << "fault " + QString::number(int(PlanFault::DuplicateDevice)) +
                                            " 0 f1" + QString(30, 'a');
        QTest::newRow("gateway outside")
            << "F1"
            << "10.0.0.10 255.255.255.0 10.0.1.1 - -"
            << settings + QString::number(int(SettingsFault::GatewayOutsideSubnet)) + " ";
        QTest::newRow("skip entry no address")
            << "F1"
            << "10.0.0.10 255.255.255.0 10.0.0.1 - 10.0.0.300"
            << settings + QString::number(int(SettingsFault::Address)) + " 10.0.0.300";
    }
    void sequential()
    {
        QFETCH(QString, cameras);
        QFETCH(QString, request);
        QFETCH(QString, expected);
        const QStringList r = request.split(' ');
        const auto value = [&](int i) { return r.at(i) == "-" ? QString() : r.at(i); };
        AssignmentRequest asked{value(0), value(1), value(2), value(3), QStringList(), "10.0.0.1"};
        if (!value(4).isEmpty())
            asked.skip = value(4).split(',');
        const AssignmentPlan selection =
            cameras == "all" ? camerasByMac(kListed) : camerasById(ids(cameras), kListed);
        const AssignmentPlan plan = planSequential(selection, kListed, asked);
        QCOMPARE(describe(plan), expected);
        // What goes out: DHCP off, the camera's own MAC tail, the DNS server defaulting to the gateway.
        for (const PlannedCamera& planned : plan.cameras)
            QCOMPARE(
                QStringList({QString::number(planned.settings.dhcpIndex), planned.settings.fdns,
                             QStringList(std::begin(planned.settings.mac), std::end(planned.settings.mac))
                                 .join(':')}),
                QStringList({"0", value(3).isEmpty() ? value(2) : value(3),
                             "02:5A:C3:" + planned.camera.macaddr.mid(9)}));
    }

    void planFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected"); // the plan, or the parse error
        const QByteArray header = "device_id,ip,mask,gateway,dns\r\n";
        const QByteArray f1 = "F1" + QByteArray(30, 'A'), a0 = "A0" + QByteArray(30, 'A');
        QTest::newRow("spreadsheet file")
            << "\xef\xbb\xbf"
               "Device_ID,IP,Mask,Gateway,DNS\r\n\"" +
                   f1.toLower() + "\",10.0.0.20 ,255.255.255.0,10.0.0.1,\r\n\r\n" + a0 +
                   ",10.0.0.2,255.255.255.0,10.0.0.1,10.0.0.53\r\n"
            << "F1=10.0.0.20 A0=10.0.0.2";
        QTest::newRow("no header") << f1 + ",10.0.0.20,255.255.255.0,10.0.0.1,\n"
                                   << "line 1: the header must be device_id,ip,mask,gateway,dns";
        QTest::newRow("a field short") << header + f1 + ",10.0.0.20,255.255.255.0,10.0.0.1\n"
                                       << "line 2: 4 fields, expected 5";
        QTest::newRow("header alone") << header << "no cameras in the plan";
        const auto fault = [](PlanFault f, int s, const QString& detail) {
            return QStringLiteral("fault %1 %2 %3").arg(int(f)).arg(s).arg(detail);
        };
        QTest::newRow("one address twice") << header + f1 + ",10.0.0.20,255.255.255.0,10.0.0.1,\n" + a0 +
                                                  ",10.0.0.20,255.255.255.0,10.0.0.1,\n"
                                           << fault(PlanFault::DuplicateAddress, 0, "10.0.0.20");
        QTest::newRow("another camera's address") << header + f1 + ",10.0.0.3,255.255.255.0,10.0.0.1,\n"
                                                  << fault(PlanFault::AddressInUse, 0, "10.0.0.3");
        QTest::newRow("this computer's address") << header + f1 + ",10.0.0.1,255.255.255.0,10.0.0.9,\n"
                                                 << fault(PlanFault::AddressInUse, 0, "10.0.0.1");
        QTest::newRow("a rule broken")
            << header + f1 + ",10.0.0.20,255.255.255.0,10.0.1.1,\n"
            << fault(PlanFault::Settings, int(SettingsFault::GatewayOutsideSubnet), f1);
        QTest::newRow("unknown camera")
            << header + "ZZ" + QByteArray(30, 'A') + ",10.0.0.20,255.255.255.0,10.0.0.1,\n"
            << fault(PlanFault::UnknownDevice, 0, "ZZ" + QString(30, 'A'));
    }
    void planFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        QString error;
        const auto rows = parsePlanFile(file, &error);
        QCOMPARE(rows ? describe(planFromRows(*rows, kListed, "10.0.0.1")) : error, expected);
    }

    void conflictsAndCsv()
    {
        QVector<Dev_info> devices = kListed;
        devices << camera("X0", "010.0.0.2", "02:5a:c3:00:00:03") << camera("Y0", "", "");
        devices[0].fdns = "8.8.8.8\r\n";
        devices[1].gateway = "a,\"b\"";
        QStringList shared;
        for (const Conflicts& c : findConflicts(devices))
            shared << QStringLiteral("%1/%2").arg(c.sharedIp).arg(c.sharedMac);
        QCOMPARE(shared, QStringList({"1/1", "0/0", "2/0", "2/0", "2/0", "1/1", "0/0"}));
        const QList<QByteArray> lines = deviceListCsv(devices.mid(0, 2)).split('\n');
        QCOMPARE(lines.value(0), QByteArray("ip,netmask,gateway,mac,uptime,device_id,dns,dhcp,conflicts\r"));
        QCOMPARE(lines.value(1), "10.0.0.2,255.255.255.0,,02:5A:C3:00:00:03,0,A0" + QByteArray(30, 'A') +
                                     ",8.8.8.8,false,\r");
        QCOMPARE(lines.value(2), "10.0.0.3,255.255.255.0,\"a,\"\"b\"\"\",02:5A:C3:00:00:01,0,B0" +
                                     QByteArray(30, 'A') + ",,false,\r");
        QCOMPARE(deviceCsvCells(devices.at(0), findConflicts(devices).at(0)).last(), QString("ip mac"));

        // Saved whole over an older list, or not at all.
        QTemporaryDir dir;
        QString error;
        QVERIFY(!saveDeviceList(dir.filePath("missing/list.csv"), devices, &error) && !error.isEmpty());
        QFile old(dir.filePath("list.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(100000, 'x')) == 100000);
        old.close();
        QVERIFY(saveDeviceList(dir.filePath("list.csv"), devices.mid(0, 2), &error));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), deviceListCsv(devices.mid(0, 2)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"list.csv"});
    }

    void addressOrder()
    {
        QVERIFY(addressLess("10.0.0.9", "10.0.0.10"));
        QVERIFY(!addressLess("10.0.0.10", "10.0.0.9"));
        QVERIFY(addressLess("9.255.255.255", "10.0.0.0"));
        QVERIFY(addressLess("255.255.255.255", "1.2.3"));
        QVERIFY(!addressLess("1.2.3", "0.0.0.0"));
        QVERIFY(addressLess("1.2.3", "1.2.4"));
        QVERIFY(!addressLess("10.0.0.1", "010.0.0.1"));
    }
};

QTEST_APPLESS_MAIN(TestAddressPlan)
#include "test_addressplan.moc"
