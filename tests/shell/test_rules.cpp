// The shell's pure rules: address checks, entry patterns, the pad position and the upgrade type lists.
#include <QRegExpValidator>
#include <QtTest>

#include "padposition.h"
#include "validators.h"

class TestRules : public QObject
{
    Q_OBJECT
private slots:
    void hostIp_data();
    void hostIp();
    void netmask_data();
    void netmask();
    void macTail_data();
    void macTail();
    void entryPatterns_data();
    void entryPatterns();
    void padPosition_data();
    void padPosition();
};

void TestRules::hostIp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ordinary") << "192.168.1.254" << true;
    QTest::newRow("network address") << "192.168.1.0" << false;
    QTest::newRow("ten network") << "10.0.0.0" << false;
    QTest::newRow("broadcast") << "192.168.1.255" << false;
    QTest::newRow("255 inside") << "10.255.2.3" << false;
    QTest::newRow("zero first is allowed") << "0.1.2.3" << true;
    QTest::newRow("leading zeros") << "010.001.002.003" << true;
    QTest::newRow("three parts") << "192.168.1" << false;
    QTest::newRow("out of range") << "192.168.1.256" << false;
    QTest::newRow("trailing dot") << "192.168.1.4." << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("letters") << "a.b.c.d" << false;
}

void TestRules::hostIp()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(validators::isValidHostIp(text), valid);
}

void TestRules::netmask_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("class C") << "255.255.255.0" << true;
    QTest::newRow("all zero") << "0.0.0.0" << true;
    QTest::newRow("longest") << "255.255.255.254" << true;
    QTest::newRow("/9") << "255.128.0.0" << true;
    QTest::newRow("all ones") << "255.255.255.255" << false;
    QTest::newRow("hole") << "255.255.0.255" << false;
    QTest::newRow("not contiguous") << "255.253.0.0" << false;
    QTest::newRow("trailing garbage") << "255.255.255.0x" << false;
}

void TestRules::netmask()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(validators::isValidNetmask(text), valid);
}

void TestRules::macTail_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("mixed case") << "a1:B2:c3" << true;
    QTest::newRow("two octets") << "A1:B2" << false;
    QTest::newRow("dashes") << "A1-B2-C3" << false;
    QTest::newRow("not hex") << "G1:B2:C3" << false;
    QTest::newRow("one digit") << "1:B2:C3" << false;
}

void TestRules::macTail()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(validators::isValidMacTail(text), valid);
}

void TestRules::entryPatterns_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("acceptable");
    const QString ip = validators::kIpEntryPattern;
    const QString port = validators::kPortEntryPattern;
    const QString octet = validators::kOctetEntryPattern;
    QTest::newRow("ip whole") << ip << "192.168.100.88" << true;
    QTest::newRow("ip 256") << ip << "192.168.100.256" << false;
    QTest::newRow("ip leading zero") << ip << "192.168.01.1" << false;
    QTest::newRow("port 0") << port << "0" << true;
    QTest::newRow("port 554") << port << "554" << true;
    QTest::newRow("port 65535") << port << "65535" << true;
    QTest::newRow("port 65536") << port << "65536" << false;
    QTest::newRow("port leading zero") << port << "0554" << false;
    QTest::newRow("octet") << octet << "aF" << true;
    QTest::newRow("octet three digits") << octet << "abc" << false;
    QTest::newRow("octet not hex") << octet << "zz" << false;
}

void TestRules::entryPatterns()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, acceptable);
    QRegExpValidator validator{QRegExp(pattern)};
    int position = 0;
    QCOMPARE(validator.validate(text, position) == QValidator::Acceptable, acceptable);
}

void TestRules::padPosition_data()
{
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("corner") << QSize(700, 400) << QPoint(700 - 346 + 12, 400 - 196 + 10);
    QTest::newRow("the pulled-in position") << QSize(618, 425) << QPoint(234, 184);
    QTest::newRow("small area is made non-negative") << QSize(100, 50) << QPoint(234, 136);
}

void TestRules::padPosition()
{
    QFETCH(QSize, area);
    QFETCH(QPoint, expected);
    QCOMPARE(menu_pad_position(area, QSize(346, 196)), expected);
}

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
