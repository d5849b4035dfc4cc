// The control pad's datagrams as a simulated camera logs them, for each mode and menu state, while previewing
// that camera and after the preview stopped.
#include <QtTest>

#include "cameracontrol.h"
#include "cameralog.h"
#include "camsimrun.h"
#include "previewsession.h"

namespace
{
const char* const kCamera = "127.0.0.17";

const QString kPtzUp = "81 01 06 01 0A 0A 03 01 FF";
const QString kPtzDown = "81 01 06 01 0A 0A 03 02 FF";
const QString kPtzLeft = "81 01 06 01 0A 0A 01 03 FF";
const QString kPtzRight = "81 01 06 01 0A 0A 02 03 FF";
const QString kPtzStop = "81 01 06 01 03 03 03 03 FF";
const QString kHome = "81 01 06 04 FF";
const QString kMenu = "81 01 06 06 10 FF";
const QString kOsdUp = "81 01 06 01 10 10 03 01 FF";
const QString kOsdOk = "81 01 06 06 05 FF";
const QString kOsdBack = "81 01 06 06 04 FF";

const QMap<QString, CameraControl::Button> kButtons{
    {"up", CameraControl::Button::Up},     {"down", CameraControl::Button::Down},
    {"left", CameraControl::Button::Left}, {"right", CameraControl::Button::Right},
    {"ok", CameraControl::Button::Ok},     {"back", CameraControl::Button::Back},
    {"menu", CameraControl::Button::Menu}};
} // namespace

class TestCameraControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(camera.start({"--address", kCamera, "--no-discovery", "--rtsp-port", "8717", "--rtsp-size",
                              "176x144", "--rtsp-fps", "5", "--duration", "120"}));
        QVERIFY(playing.start(kCamera, "8717"));
        QTRY_VERIFY_WITH_TIMEOUT(playing.isPlaying(), 10000);
    }

    // Actions: "+name" presses a button, "-name" releases it, "ptz"/"osd" switches the mode, "cmd:N" sends
    // menu command N, "send:TEXT" a command text. A stopped preview has played the camera before.
    void datagrams_data()
    {
        QTest::addColumn<bool>("previewing");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<bool>("menuOpen");
        QTest::newRow("PTZ directions")
            << true
            << QStringList{"ptz", "+up", "-up", "+down", "-down", "+left", "-left", "+right", "-right"}
            << QStringList{kPtzUp, kPtzStop, kPtzDown, kPtzStop, kPtzLeft, kPtzStop, kPtzRight, kPtzStop}
            << false;
        QTest::newRow("PTZ menu, back and OK")
            << true << QStringList{"ptz", "+menu", "-menu", "+back", "-back", "+ok", "-ok"}
            << QStringList{kHome} << false;
        QTest::newRow("OSD menu then up") << true << QStringList{"osd", "+menu", "-menu", "+up", "-up"}
                                          << QStringList{kMenu, kOsdUp} << true;
        QTest::newRow("OSD with the menu closed")
            << true << QStringList{"osd", "+up", "+down", "+left", "+right", "-up", "+ok", "-ok", "+back"}
            << QStringList{kOsdOk, kOsdBack} << false;
        QTest::newRow("PTZ after an odd number of menu presses")
            << true
            << QStringList{"osd", "+menu", "ptz", "+up", "-up", "+ok", "osd", "+menu", "ptz", "+up", "-up"}
            << QStringList{kMenu, kHome, kMenu, kPtzUp, kPtzStop} << false;
        QTest::newRow("menu commands by number")
            << true << QStringList{"cmd:0", "cmd:1", "cmd:2", "cmd:3", "cmd:4",
                                   "cmd:5", "cmd:6", "cmd:7", "cmd:8", "cmd:9"}
            << QStringList{kOsdOk,
                           kOsdUp,
                           "81 01 06 01 10 10 03 02 FF",
                           "81 01 06 01 10 10 01 03 FF",
                           "81 01 06 01 10 10 02 03 FF",
                           kOsdBack,
                           kMenu,
                           "81 01 06 06 06 FF"}
            << false;
        QTest::newRow("preview stopped")
            << false
            << QStringList{"osd", "+menu", "+up", "+ok", "+back", "cmd:1", "ptz", "+up", "-up", "+ok"}
            << QStringList{} << true;
        QTest::newRow("command texts")
            << true << QStringList{"send: 81  1 6 4 ff ", "send:181 101 06 04 1FF", "send:81 01 HK FF"}
            << QStringList{kHome, kHome, "format error"} << false;
    }
    void datagrams()
    {
        QFETCH(bool, previewing);
        QFETCH(QStringList, actions);
        QFETCH(QStringList, sent);
        QFETCH(bool, menuOpen);

        PreviewSession stopped;
        if (!previewing) {
            QVERIFY(stopped.start(kCamera, "8717"));
            QTRY_VERIFY_WITH_TIMEOUT(stopped.isPlaying(), 10000);
            stopped.stop();
        }
        CameraControl control(previewing ? &playing : &stopped);
        QStringList errors;
        connect(&control, &CameraControl::formatError, [&] { errors << "format error"; });
        CameraControl::Mode mode = CameraControl::Mode::Ptz;
        const int before = camera.events("visca").size();
        for (const QString& action : actions) {
            if (action == "ptz" || action == "osd")
                mode = action == "osd" ? CameraControl::Mode::Osd : CameraControl::Mode::Ptz;
            else if (action.startsWith("cmd:"))
                control.sendMenuCommand(action.mid(4).toInt());
            else if (action.startsWith("send:"))
                control.send(QHostAddress(kCamera), 1259, action.mid(5));
            else if (action.startsWith('+'))
                control.press(kButtons.value(action.mid(1)), mode);
            else
                control.release(kButtons.value(action.mid(1)), mode);
        }
        QCOMPARE(control.menuOpen(), menuOpen);
        QCOMPARE(viscaSince(camera, kCamera, before) + errors, sent);
    }

private:
    CamsimRun camera;
    PreviewSession playing;
};

QTEST_GUILESS_MAIN(TestCameraControl)
#include "test_cameracontrol.moc"
