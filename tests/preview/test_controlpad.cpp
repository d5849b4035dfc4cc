// The control pad's datagrams as a simulated camera logs them, for each selector mode and menu state.
#include <QComboBox>
#include <QPushButton>
#include <QUdpSocket>
#include <QtTest>

#include "camsimrun.h"
#include "dialogs.h"
#include "previewaccess.h"
#include "workdir.h"

namespace
{
const char* const kCamera = "127.0.0.91";
// Marks the end of a row's datagrams, so "nothing sent" is checked without waiting on a timer.
const QByteArray kSentinel = QByteArray::fromHex("817fff");

const QString kPtzUp = "81 01 06 01 0A 0A 03 01 FF";
const QString kPtzDown = "81 01 06 01 0A 0A 03 02 FF";
const QString kPtzLeft = "81 01 06 01 0A 0A 01 03 FF";
const QString kPtzRight = "81 01 06 01 0A 0A 02 03 FF";
const QString kPtzStop = "81 01 06 01 03 03 03 03 FF";
const QString kHome = "81 01 06 04 FF";
const QString kMenu = "81 01 06 06 10 FF";
const QString kOsdUp = "81 01 06 01 10 10 03 01 FF";
} // namespace

class TestControlPad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(camera.start({"--address", kCamera, "--no-discovery", "--no-rtsp", "--duration", "120"}));
    }
    void init() { dir.reset(new ScopedWorkDir); }
    void cleanup() { dir.reset(); }

    // Actions: "+name" presses a button, "-name" releases it, "mode:N" picks selector item N, "send:TEXT"
    // sends a command text.
    void datagrams_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<bool>("menuOpen");
        QTest::newRow("PTZ directions")
            << 0 << true << QStringList{"+up", "-up", "+down", "-down", "+left", "-left", "+right", "-right"}
            << QStringList{kPtzUp, kPtzStop, kPtzDown, kPtzStop, kPtzLeft, kPtzStop, kPtzRight, kPtzStop}
            << false;
        QTest::newRow("PTZ menu, back and OK")
            << 0 << true << QStringList{"+menu", "-menu", "+back", "-back", "+ok", "-ok"}
            << QStringList{kHome} << false;
        QTest::newRow("OSD menu then up")
            << 1 << true << QStringList{"+menu", "+up", "-up"} << QStringList{kMenu, kOsdUp} << true;
        QTest::newRow("OSD with the menu closed")
            << 1 << true << QStringList{"+up", "+down", "+left", "+right", "-up", "+ok", "+back"}
            << QStringList{"81 01 06 06 05 FF", "81 01 06 06 04 FF"} << false;
        QTest::newRow("PTZ after an odd number of menu presses")
            << 1 << true << QStringList{"+menu", "mode:0", "+up", "-up", "mode:1", "+menu", "mode:0", "+up"}
            << QStringList{kMenu, kMenu, kPtzUp} << false;
        QTest::newRow("disconnected")
            << 1 << false << QStringList{"+menu", "+up", "+ok", "+back", "mode:0", "+up", "-up", "+ok"}
            << QStringList{} << true;
        QTest::newRow("command texts")
            << 0 << true << QStringList{"send: 81  1 6 4 ff ", "send:181 101 06 04 1FF", "send:81 01 HK FF"}
            << QStringList{kHome, kHome, "format error box"} << false;
    }
    void datagrams()
    {
        QFETCH(int, mode);
        QFETCH(bool, connected);
        QFETCH(QStringList, actions);
        QFETCH(QStringList, sent);
        QFETCH(bool, menuOpen);

        MainWindow w;
        DialogAnswerer answerer;
        auto* selector = w.findChild<QComboBox*>("upgrade_preview_comboBox");
        selector->setCurrentIndex(mode);
        Preview::connected(w) = connected;
        Preview::osdAddress(w) = new QHostAddress(kCamera);
        const int before = camera.events("visca").size();

        for (const QString& action : actions) {
            if (action.startsWith("mode:")) {
                selector->setCurrentIndex(action.mid(5).toInt());
            } else if (action.startsWith("send:")) {
                Preview::send(w, action.mid(5));
            } else {
                auto* button = w.findChild<QPushButton*>("osd_" + action.mid(1) + "_Button");
                QVERIFY(button);
                QVERIFY(QMetaObject::invokeMethod(button, action.startsWith('+') ? "pressed" : "released"));
            }
        }
        QCOMPARE(Preview::menuOpen(w), menuOpen);
        QStringList seen = logged(before);
        for (const QString& text : answerer.texts())
            seen << (text == shownAs("Command format error").first() ? "format error box" : text);
        QCOMPARE(seen, sent);
        Preview::connected(w) = false;
    }

private:
    // The datagrams logged since the first `before` ones, up to the sentinel this sends.
    QStringList logged(int before)
    {
        QUdpSocket probe;
        probe.writeDatagram(kSentinel, QHostAddress(kCamera), 1259);
        const QString sentinel = QString::fromLatin1(kSentinel.toHex(' ').toUpper());
        QStringList hex;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000) {
            const QList<QJsonObject> visca = camera.events("visca");
            for (int i = before; i < visca.size(); ++i) {
                const QString text = visca[i].value("hex").toString();
                if (text == sentinel)
                    return hex;
                hex.append(text);
            }
            hex.clear();
            QTest::qWait(20);
        }
        return {"no sentinel"};
    }

    CamsimRun camera;
    QScopedPointer<ScopedWorkDir> dir;
};

QTEST_MAIN(TestControlPad)
#include "test_controlpad.moc"
