// The shell's pure rules: address checks, entry patterns, the pad position and the upgrade type lists.
#include <QRegExpValidator>
#include <QtTest>

#include "padposition.h"
#include "upgradetypes.h"
#include "validators.h"

class TestRules : public QObject
{
    Q_OBJECT
private slots:
    void text_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        const auto rows = [](const char* rule, const QStringList& valid, const QStringList& invalid) {
            for (const QString& text : valid)
                QTest::addRow("%s %s", rule, qPrintable(text)) << rule << text << true;
            for (const QString& text : invalid)
                QTest::addRow("%s %s", rule, qPrintable(text)) << rule << text << false;
        };
        rows("host", {"192.168.1.254", "0.1.2.3", "010.001.002.003"},
             {"192.168.1.0", "192.168.1.255", "10.255.2.3", "192.168.1", "192.168.1.256", "192.168.1.4.", "",
              "a.b.c.d"});
        rows("netmask", {"255.255.255.0", "0.0.0.0", "255.255.255.254", "255.128.0.0"},
             {"255.255.255.255", "255.255.0.255", "255.253.0.0", "255.255.255.0x"});
        rows("mac tail", {"a1:B2:c3"}, {"A1:B2", "A1-B2-C3", "G1:B2:C3", "1:B2:C3"});
        rows("ip entry", {"192.168.100.88"}, {"192.168.100.256", "192.168.01.1"});
        rows("port entry", {"0", "554", "65535"}, {"65536", "0554"});
        rows("octet entry", {"aF"}, {"abc", "zz"});
    }
    void text()
    {
        QFETCH(QString, rule);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const QMap<QString, const char*> patterns{{"ip entry", validators::kIpEntryPattern},
                                                  {"port entry", validators::kPortEntryPattern},
                                                  {"octet entry", validators::kOctetEntryPattern}};
        int position = 0;
        QRegExpValidator entry{QRegExp(patterns.value(rule))};
        const bool accepted = rule == "host"       ? validators::isValidHostIp(text)
                              : rule == "netmask"  ? validators::isValidNetmask(text)
                              : rule == "mac tail" ? validators::isValidMacTail(text)
                                                   : entry.validate(text, position) == QValidator::Acceptable;
        QCOMPARE(accepted, valid);
    }

    void padPosition()
    {
        QCOMPARE(menu_pad_position(QSize(700, 400), QSize(346, 196)), QPoint(700 - 346 + 12, 400 - 196 + 10));
        QCOMPARE(menu_pad_position(QSize(618, 425), QSize(346, 196)), QPoint(234, 184));
        QCOMPARE(menu_pad_position(QSize(100, 50), QSize(346, 196)), QPoint(234, 136));
    }

    // The remembered type selects an entry of the mode's list; the list shows a file type again after a
    // refill.
    void upgradeTypes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("fileType");
        QTest::newRow("Simple SOC&ARM falls back to SOC") << "Simple"
                                                          << "SOC&ARM" << 0 << 1;
        QTest::newRow("Simple MTD") << "Simple"
                                    << "MTD" << 2 << 4;
        QTest::newRow("Full MTD") << "Full"
                                  << "MTD" << 3 << 4;
        QTest::newRow("Full SOC&ARM") << "Full"
                                      << "SOC&ARM" << 2 << 3;
        QTest::newRow("Full ARM") << "Full"
                                  << "ARM" << 1 << 2;
    }
    void upgradeTypes()
    {
        QFETCH(QString, mode);
        QFETCH(QString, type);
        QFETCH(int, index);
        QFETCH(int, fileType);
        const UpgradeTypeChoice choice = upgrade_type_from_setting(mode, type);
        QVERIFY(choice.valid);
        QCOMPARE(choice.index, index);
        QCOMPARE(choice.file_type, fileType);
        QCOMPARE(upgrade_type_index(mode, fileType), index == 0 ? fileType - 1 : index);
        QCOMPARE(upgrade_types_for_mode(mode).size(), mode == "Full" ? 4 : 3);
        QVERIFY(!upgrade_type_from_setting("Expert", type).valid &&
                upgrade_types_for_mode("Expert").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
