// Command texts and their conversion to the bytes that go on the wire.
#include <QtTest>

#include "viscacommands.h"

class TestVisca : public QObject
{
    Q_OBJECT

private slots:
    void fillSpeed_data()
    {
        QTest::addColumn<QString>("templ");
        QTest::addColumn<int>("pan");
        QTest::addColumn<int>("tilt");
        QTest::addColumn<QString>("expected");
        QTest::newRow("up at 10") << visca::kPtzUp << 10 << 10 << "81 01 06 01 0A 0A 03 01 FF";
        QTest::newRow("right, uneven speeds")
            << visca::kPtzRight << 1 << 0x18 << "81 01 06 01 01 18 02 03 FF";
        QTest::newRow("upper-case digits") << visca::kPtzLeft << 0x1f << 0x0b << "81 01 06 01 1F 0B 01 03 FF";
        QTest::newRow("case-sensitive") << QString("hk vn HK") << 0x12 << 0x34 << "hk vn 12";
    }
    void fillSpeed()
    {
        QFETCH(QString, templ);
        QFETCH(int, pan);
        QFETCH(int, tilt);
        QFETCH(QString, expected);
        QCOMPARE(visca::fillSpeed(templ, qint8(pan), qint8(tilt)), expected);
    }

    void textToBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("home") << "81 01 06 04 FF" << true << QByteArray::fromHex("81010604ff");
        QTest::newRow("empty parts skipped") << " 81  FF " << true << QByteArray::fromHex("81ff");
        QTest::newRow("lower case") << "81 ff" << true << QByteArray::fromHex("81ff");
        QTest::newRow("low 8 bits kept") << "181 1FF" << true << QByteArray::fromHex("81ff");
        QTest::newRow("single digit") << "8 1" << true << QByteArray::fromHex("0801");
        QTest::newRow("empty text") << "" << true << QByteArray();
        QTest::newRow("template letters") << visca::kPtzUp << false << QByteArray();
        QTest::newRow("tab is not a separator") << "81\tFF" << false << QByteArray();
    }
    void textToBytes()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QByteArray, bytes);
        QByteArray out("untouched");
        QCOMPARE(visca::textToBytes(text, &out), ok);
        QCOMPARE(out, ok ? bytes : QByteArray("untouched"));
    }
};

QTEST_APPLESS_MAIN(TestVisca)
#include "test_visca.moc"
