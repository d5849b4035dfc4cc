// The firmware name checks and the camera's version report. The records themselves are checked by camsim in
// test_devicesession.
#include <QtTest>

#include "firmwarenames.h"
#include "tcprecord.h"

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void fileNameRules_data()
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

    void fileNameRules()
    {
        QFETCH(int, fileType);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        const QVector<PartitionRecord> partitions{{"mtd0:", "1", "1", "\"boot\""},
                                                  {"mtd1:", "1", "1", "\"kernel\""},
                                                  {"mtd2:", "1", "1", "\"rootfs\""}};
        QCOMPARE(file_name_matches_type(fileType, name, partitions), matches);
    }

    void mtdNameAgainstDevice_data()
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

    void mtdNameAgainstDevice()
    {
        QFETCH(int, workType);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(mtd_name_matches_device(workType, name, "AB12", "D"), matches);
    }

    void versionReport_data()
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

    void versionReport()
    {
        QFETCH(QString, version);
        QFETCH(QString, letter);
        QFETCH(QString, model);
        QCOMPARE(soc_version_letter_of(version), letter);
        QCOMPARE(model_name_of(version, "previous"), model);
    }

    // A name that does not fit the record's name field with its NUL is refused before anything is sent.
    void namesThatFit()
    {
        QVERIFY(name_fits(kUpgradePackO, QString(59, 'x')) && !name_fits(kUpgradePackO, QString(60, 'x')));
        QVERIFY(name_fits(kUpgradePack, QString(255, 'x')) && !name_fits(kUpgradePack, QString(256, 'x')));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
