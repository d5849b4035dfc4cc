// The device connection's wire rules: record bytes, the name checks and the camera's version report.
#include <QtEndian>
#include <QtTest>

#include "firmwarenames.h"
#include "tcprecord.h"

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void requestBytes_data();
    void requestBytes();
    void textStaysInsideItsField();
    void fileNameRules_data();
    void fileNameRules();
    void mtdNameAgainstDevice_data();
    void mtdNameAgainstDevice();
    void versionReport_data();
    void versionReport();
    void partitionLines();
    void archiveNames_data();
    void archiveNames();
};

void TestRecords::requestBytes_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("head"); // bytes 0..15
    QTest::addColumn<int>("dataOffset");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("data");
    const QByteArray md5(32, 'a');
    QTest::newRow("query TYPE1") << query_request(kUpgradePack, 10)
                                 << QByteArray("Q\0\0\0\4\0\0\0\12\0\0\0\1\0\0\0", 16) << 272
                                 << QByteArray("mako") << QByteArray("mako");
    QTest::newRow("query TYPE2") << query_request(kUpgradePackO, 9)
                                 << QByteArray("Q\0\0\0\4\0\0\0\11\0\0\0\1\0\0\0", 16) << 76
                                 << QByteArray("mako") << QByteArray("mako");
    QTest::newRow("backup") << backup_request(kUpgradePackO)
                            << QByteArray("B\0\0\0\4\0\0\0\1\0\0\0\1\0\0\0", 16) << 76 << QByteArray("mako")
                            << QByteArray("mako");
    // Sizes travel as their low 32 bits.
    QTest::newRow("upgrade 4 GiB + 16") << upgrade_request(kUpgradePack, 0x100000010LL, 7, "rootfs.bin", md5)
                                        << QByteArray("U\0\0\0\x10\0\0\0\11\0\0\0\7\0\0\0", 16) << 272
                                        << QByteArray("rootfs.bin") << md5 + '\0';
    QTest::newRow("restore") << restore_request(kUpgradePackO, 5000, md5)
                             << QByteArray("R\0\0\0\x88\x13\0\0\1\0\0\0\1\0\0\0", 16) << 76
                             << QByteArray("data.tar.gz") << md5 + '\0';
    QTest::newRow("name cut to its field")
        << fill_record(kUpgradePackO, 'U', nullptr, QByteArray(300, 'n'), 0, 9, 0, 1)
        << QByteArray("U\0\0\0\0\0\0\0\11\0\0\0\1\0\0\0", 16) << 76 << QByteArray(59, 'n') << QByteArray();
}

void TestRecords::requestBytes()
{
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, head);
    QFETCH(int, dataOffset);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, data);
    QByteArray expected(dataOffset == 76 ? 2124 : 2320, '\0');
    expected.replace(0, 16, head);
    expected.replace(16, name.size(), name);
    expected.replace(dataOffset, data.size(), data);
    QCOMPARE(record, expected);
    QVERIFY(name_fits(kUpgradePackO, QString(59, 'x')) && !name_fits(kUpgradePackO, QString(60, 'x')));
    QVERIFY(name_fits(kUpgradePack, QString(255, 'x')) && !name_fits(kUpgradePack, QString(256, 'x')));
}

void TestRecords::textStaysInsideItsField()
{
    // A camera that fills name and data without any NUL.
    QByteArray raw(2124, 'A');
    raw.replace(16, 60, QByteArray(60, 'v'));
    const DeviceRecord record = read_record(kUpgradePackO, raw.constData());
    QCOMPARE(record.name, QByteArray(60, 'v'));
    QCOMPARE(record.dataText(), QByteArray(2048, 'A'));
    raw = QByteArray(2320, '\0');
    raw.replace(16, 6, QByteArray("V2.7\0x", 6));
    raw.replace(272, 9, QByteArray("mtd0: a\0z", 9));
    qToLittleEndian<qint32>(-5, raw.data() + 4);
    const DeviceRecord report = read_record(kUpgradePack, raw.constData());
    QCOMPARE(report.name, QByteArray("V2.7"));
    QCOMPARE(report.dataText(), QByteArray("mtd0: a"));
    QCOMPARE(report.length, -5);
}

void TestRecords::fileNameRules_data()
{
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("SOC") << 1 << "x_SOC_1.pkg" << true;
    QTest::newRow("SOC lower case") << 1 << "x_soc_1.pkg" << false;
    QTest::newRow("SOC as bin") << 1 << "x_SOC_1.bin" << false;
    QTest::newRow("ARM") << 2 << "ARM_v1.bin" << true;
    QTest::newRow("ARM as pkg") << 2 << "ARM_v1.pkg" << false;
    QTest::newRow("SOC&ARM needs both") << 3 << "SOC_only.pkg" << false;
    QTest::newRow("SOC&ARM") << 3 << "SOC_ARM.pkg" << true;
    QTest::newRow("MTD") << 4 << "any.img" << true;
    QTest::newRow("MTD wrong suffix") << 4 << "any.bin" << false;
    QTest::newRow("second partition is the kernel") << 6 << "uImage-3.bin" << true;
    QTest::newRow("second partition without uImage") << 6 << "kernel.bin" << false;
    QTest::newRow("first partition by name") << 5 << "boot_v2.bin" << true;
    QTest::newRow("first partition, other name") << 5 << "rootfs.bin" << false;
    QTest::newRow("third partition by name") << 7 << "rootfs.bin" << true;
    QTest::newRow("partition name wrong suffix") << 7 << "rootfs.img" << false;
    QTest::newRow("partition past the table") << 8 << "x.bin" << false;
}

void TestRecords::fileNameRules()
{
    QFETCH(int, fileType);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    const QVector<PartitionRecord> partitions{{"mtd0:", "1", "1", "\"boot\""},
                                              {"mtd1:", "1", "1", "\"kernel\""},
                                              {"mtd2:", "1", "1", "\"rootfs\""}};
    QCOMPARE(file_name_matches_type(fileType, name, partitions), matches);
}

void TestRecords::mtdNameAgainstDevice_data()
{
    QTest::addColumn<int>("workType");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("model matches") << 1 << "fw_AB12.img" << true;
    QTest::newRow("other model") << 1 << "fw_AB13.img" << false;
    QTest::newRow("no underscore") << 1 << "fwAB12.img" << false;
    QTest::newRow("no dot after underscore") << 1 << "fw.x_AB12" << false;
    QTest::newRow("letter matches") << 2 << "aVbVcVD.img" << true;
    QTest::newRow("other letter") << 2 << "aVbVcVE.img" << false;
    QTest::newRow("letter after the second V") << 2 << "aVbVDcVE.img" << false;
    QTest::newRow("two V only") << 2 << "aVbVD.img" << false;
    QTest::newRow("third V last") << 2 << "aVbVcV" << false;
}

void TestRecords::mtdNameAgainstDevice()
{
    QFETCH(int, workType);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(mtd_name_matches_device(workType, name, "AB12", "D"), matches);
}

void TestRecords::versionReport_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QString>("model");
    QTest::newRow("ordinary") << "V2.7.3D MODEL: IPC200.R2 2026-05-17"
                              << "D"
                              << "IPC200";
    QTest::newRow("no MODEL keeps the old one") << "V2.7.3D build 5"
                                                << "D"
                                                << "previous";
    QTest::newRow("model X1") << "V1.0.0A MODEL: X1."
                              << "A"
                              << "X1";
    QTest::newRow("no dot after the model") << "V1.0.0A MODEL: X9 rev"
                                            << "A"
                                            << "X9 rev";
    QTest::newRow("dot right after") << "V1.0.0A MODEL: .R2"
                                     << "A"
                                     << "previous";
    QTest::newRow("short text") << "MODEL"
                                << ""
                                << "previous";
}

void TestRecords::versionReport()
{
    QFETCH(QString, version);
    QFETCH(QString, letter);
    QFETCH(QString, model);
    QCOMPARE(soc_version_letter_of(version), letter);
    QCOMPARE(model_name_of(version, "previous"), model);
}

void TestRecords::partitionLines()
{
    const QVector<PartitionRecord> three =
        parse_partitions("mtd0: 00040000 00010000 \"boot\"\nmtd1: 00200000 00010000 \"kernel\"\nmtd2: "
                         "00800000 00010000 \"rootfs\"");
    QCOMPARE(three.size(), 3);
    const PartitionRecord& first = three.at(0);
    QCOMPARE(QStringList({first.device, first.size, first.erase_size, first.name}),
             QStringList({"mtd0:", "00040000", "00010000", "\"boot\""}));
    QCOMPARE(three.at(2).name, QString("\"rootfs\""));
    QString many;
    for (int i = 0; i < 14; ++i)
        many += QString("mtd%1: 1 2 \"p%1\"\n").arg(i);
    QCOMPARE(parse_partitions(many).size(), 10);
    QVERIFY(parse_partitions(QString()).isEmpty());
}

void TestRecords::archiveNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("archive") << "data.tar.gz" << true;
    QTest::newRow("every allowed character") << "Az09._-" << true;
    QTest::newRow("64 characters") << QString(64, 'a') << true;
    QTest::newRow("65 characters") << QString(65, 'a') << false;
    for (const char* name :
         {"../x", "/etc/x", "..\\x", "a b", "ä", ".", "..", "", "config.ini", "logo.png", "data.tar.gz_bak"})
        QTest::addRow("%s", name) << QString::fromUtf8(name) << false;
}

void TestRecords::archiveNames()
{
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(is_plain_file_name(name), plain);
}

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
