// The device connection's wire rules: record layouts, requests, the version report and the name checks.
#include <QBuffer>
#include <QCryptographicHash>
#include <QtEndian>
#include <QtTest>

#include "firmwarenames.h"
#include "tcprecord.h"

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void queryRequestBytes_data();
    void queryRequestBytes();
    void upgradeRequestCarriesMd5Text();
    void restoreRequest();
    void nameIsCutToItsField();
    void deviceTextStaysInsideItsField();
    void negativeLengthIsKept();
    void streamingMd5MatchesWholeRead();
    void fileNameRules_data();
    void fileNameRules();
    void mtdNameAgainstDevice_data();
    void mtdNameAgainstDevice();
    void versionReport_data();
    void versionReport();
    void partitionLines();
    void plainArchiveNames_data();
    void plainArchiveNames();
};

void TestRecords::queryRequestBytes_data()
{
    QTest::addColumn<int>("workType");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("dataOffset");
    QTest::newRow("TYPE1") << 1 << 2320 << 272;
    QTest::newRow("TYPE2") << 2 << 2124 << 76;
}

void TestRecords::queryRequestBytes()
{
    QFETCH(int, workType);
    QFETCH(int, size);
    QFETCH(int, dataOffset);
    const RecordLayout* layout = layout_for_work_type(workType);
    QVERIFY(layout);
    const QByteArray record = query_request(*layout, 10);
    QCOMPARE(record.size(), size);
    QCOMPARE(record.left(21), QByteArray("Q\0\0\0\x04\0\0\0\x0a\0\0\0\x01\0\0\0mako\0", 21));
    QCOMPARE(record.mid(dataOffset, 5), QByteArray("mako\0", 5));
    // Everything else is zero.
    QByteArray rest = record;
    rest.replace(0, 21, QByteArray(21, '\0'));
    rest.replace(dataOffset, 4, QByteArray(4, '\0'));
    QCOMPARE(rest, QByteArray(size, '\0'));
    QCOMPARE(layout_for_work_type(3), nullptr);
}

void TestRecords::upgradeRequestCarriesMd5Text()
{
    const QByteArray md5 = QCryptographicHash::hash("firmware", QCryptographicHash::Md5).toHex();
    const QByteArray record = upgrade_request(kUpgradePack, 0x1'0000'0010LL, 4, "IPC_SOC.pkg", md5);
    QCOMPARE(record.at(0), 'U');
    QCOMPARE(qFromLittleEndian<qint32>(record.constData() + 4), 0x10); // low 32 bits of the size
    QCOMPARE(qFromLittleEndian<qint32>(record.constData() + 8), 9);
    QCOMPARE(qFromLittleEndian<qint32>(record.constData() + 12), 4);
    QCOMPARE(record.mid(16, 12), QByteArray("IPC_SOC.pkg\0", 12));
    QCOMPARE(record.mid(272, 33), md5 + '\0');
    QCOMPARE(md5, md5.toLower());
    QCOMPARE(record.mid(305), QByteArray(2320 - 305, '\0'));
}

void TestRecords::restoreRequest()
{
    const QByteArray md5(32, 'a');
    const QByteArray record = restore_request(kUpgradePackO, 5000, md5);
    QCOMPARE(record.size(), 2124);
    QCOMPARE(record.at(0), 'R');
    QCOMPARE(qFromLittleEndian<qint32>(record.constData() + 4), 5000);
    QCOMPARE(qFromLittleEndian<qint32>(record.constData() + 8), 1);
    QCOMPARE(qFromLittleEndian<qint32>(record.constData() + 12), 1);
    QCOMPARE(record.mid(16, 12), QByteArray("data.tar.gz\0", 12));
    QCOMPARE(record.mid(76, 33), md5 + '\0');
}

void TestRecords::nameIsCutToItsField()
{
    const QByteArray longName(300, 'n');
    const QByteArray type1 = fill_record(kUpgradePack, 'U', nullptr, longName, 0, 9, 0, 1);
    QCOMPARE(type1.mid(16, 255), QByteArray(255, 'n'));
    QCOMPARE(type1.at(16 + 255), '\0');
    QCOMPARE(type1.mid(272), QByteArray(2048, '\0'));
    const QByteArray type2 = fill_record(kUpgradePackO, 'U', nullptr, longName, 0, 9, 0, 1);
    QCOMPARE(type2.mid(16, 59), QByteArray(59, 'n'));
    QCOMPARE(type2.at(75), '\0');
    QVERIFY(name_fits(kUpgradePackO, QString(59, 'x')));
    QVERIFY(!name_fits(kUpgradePackO, QString(60, 'x')));
    QVERIFY(name_fits(kUpgradePack, QString(255, 'x')));
    QVERIFY(!name_fits(kUpgradePack, QString(256, 'x')));
}

void TestRecords::deviceTextStaysInsideItsField()
{
    // A camera that fills name and data without any NUL.
    QByteArray raw(2124, 'A');
    raw[0] = 'Q';
    raw.replace(16, 60, QByteArray(60, 'v'));
    const DeviceRecord record = read_record(kUpgradePackO, raw.constData());
    QCOMPARE(record.name, QByteArray(60, 'v'));
    QCOMPARE(record.dataText(), QByteArray(2048, 'A'));

    QByteArray terminated(2320, '\0');
    terminated[0] = 'Q';
    terminated.replace(16, 6, QByteArray("V2.7\0x", 6));
    terminated.replace(272, 9, QByteArray("mtd0: a\0z", 9));
    const DeviceRecord report = read_record(kUpgradePack, terminated.constData());
    QCOMPARE(report.name, QByteArray("V2.7"));
    QCOMPARE(report.dataText(), QByteArray("mtd0: a"));
}

void TestRecords::negativeLengthIsKept()
{
    QByteArray raw(2320, '\0');
    raw[0] = 'B';
    qToLittleEndian<qint32>(-5, raw.data() + 4);
    qToLittleEndian<qint32>(2, raw.data() + 8);
    const DeviceRecord record = read_record(kUpgradePack, raw.constData());
    QCOMPARE(record.type, 'B');
    QCOMPARE(record.length, -5);
    QCOMPARE(record.status, 2);
}

void TestRecords::streamingMd5MatchesWholeRead()
{
    QByteArray content;
    for (int i = 0; i < 100000; ++i)
        content.append(char(i * 7));
    QBuffer buffer(&content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QCOMPARE(md5_text(&buffer), QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex());
    QCOMPARE(md5_text_of_file("/nonexistent/file"), QByteArray());
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
    QTest::newRow("SOC&ARM needs both") << 3 << "SOC_only.pkg" << false;
    QTest::newRow("SOC&ARM") << 3 << "SOC_ARM.pkg" << true;
    QTest::newRow("MTD") << 4 << "any.img" << true;
    QTest::newRow("MTD wrong suffix") << 4 << "any.bin" << false;
    QTest::newRow("second partition is the kernel") << 6 << "uImage-3.bin" << true;
    QTest::newRow("second partition without uImage") << 6 << "kernel.bin" << false;
    QTest::newRow("first partition by name") << 5 << "boot_v2.bin" << true;
    QTest::newRow("third partition by name") << 7 << "rootfs.bin" << true;
    QTest::newRow("partition name wrong suffix") << 7 << "rootfs.img" << false;
    QTest::newRow("partition past the table") << 9 << "x.bin" << false;
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
    QTest::newRow("ordinary") << "V2.7.3D MODEL: IPC200.R2 2026-05-17" << "D" << "IPC200";
    QTest::newRow("no MODEL keeps the old one") << "V2.7.3D build 5" << "D" << "previous";
    QTest::newRow("model X1") << "V1.0.0A MODEL: X1." << "A" << "X1";
    QTest::newRow("no dot after the model") << "V1.0.0A MODEL: X9 rev" << "A" << "X9 rev";
    QTest::newRow("dot right after") << "V1.0.0A MODEL: .R2" << "A" << "previous";
    QTest::newRow("short text") << "MODEL" << "" << "previous";
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
        parse_partitions("mtd0: 00040000 00010000 \"boot\"\nmtd1: 00200000 00010000 \"kernel\"\n"
                         "mtd2: 00800000 00010000 \"rootfs\"");
    QCOMPARE(three.size(), 3);
    QCOMPARE(three.at(0).device, QString("mtd0:"));
    QCOMPARE(three.at(0).size, QString("00040000"));
    QCOMPARE(three.at(0).erase_size, QString("00010000"));
    QCOMPARE(three.at(0).name, QString("\"boot\""));
    QCOMPARE(three.at(2).name, QString("\"rootfs\""));

    QString many;
    for (int i = 0; i < 14; ++i)
        many += QString("mtd%1: 1 2 \"p%1\"\n").arg(i);
    QCOMPARE(parse_partitions(many).size(), 10);
    QVERIFY(parse_partitions(QString()).isEmpty());
    const QVector<PartitionRecord> ragged = parse_partitions("mtd0: 1");
    QCOMPARE(ragged.size(), 1);
    QCOMPARE(ragged.at(0).size, QString("1"));
    QVERIFY(ragged.at(0).name.isEmpty());
}

void TestRecords::plainArchiveNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("archive") << "data.tar.gz" << true;
    QTest::newRow("parent") << "../x" << false;
    QTest::newRow("absolute") << "/etc/x" << false;
    QTest::newRow("backslash") << "..\\x" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("empty") << "" << false;
}

void TestRecords::plainArchiveNames()
{
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(is_plain_file_name(name), plain);
}

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
