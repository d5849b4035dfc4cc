// What the window adds to the preview session and the camera control: the boxes and texts of each outcome,
// the button and its rest, the pictures scaled into the video label and dropped after a disconnect, what it
// shows while a stream is opened again, closing while busy, and the pad's buttons in both modes.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTextEdit>
#include <QtTest>

#include "cameralog.h"
#include "camsimrun.h"
#include "dialogs.h"
#include "previewaccess.h"
#include "workdir.h"

namespace
{
const char* const kCamera = "127.0.0.81";
const char* const kPort = "8781";

QPixmap shown(MainWindow& w)
{
    return w.findChild<QLabel*>("labVideo")->pixmap(Qt::ReturnByValue);
}

QPushButton* button(MainWindow& w)
{
    return w.findChild<QPushButton*>("rtsp_connect_Button");
}

void clickConnect(MainWindow& w, const QString& address, const QString& port)
{
    w.findChild<QLineEdit*>("txtUrl")->setText(address);
    w.findChild<QLineEdit*>("txtPort")->setText(port);
    button(w)->click();
}

// A host that accepts the connection and drops it before any RTSP answer.
struct DroppingServer : QTcpServer {
    DroppingServer()
    {
        listen(QHostAddress("127.0.0.82"), 8782);
        connect(this, &QTcpServer::newConnection, [this] { delete nextPendingConnection(); });
    }
};
} // namespace

class TestPreviewTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(camera.start({"--address", kCamera, "--no-discovery", "--rtsp-port", kPort, "--rtsp-size",
                              "320x240", "--duration", "240"}));
    }
    void init() { dir.reset(new ScopedWorkDir); }
    void cleanup() { dir.reset(); }

    // Address, port, the warning, and whether the button rests after it.
    void refused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<bool>("rests");
        QTest::newRow("octet above 255") << "192.168.1.300"
                                         << "554"
                                         << "Network information fill in error" << false;
        QTest::newRow("nobody listening") << "127.0.0.83"
                                          << "8783"
                                          << "Connection timeout" << false;
        QTest::newRow("no RTSP answer") << "127.0.0.82"
                                        << "8782"
                                        << "Connection failure" << true;
    }
    void refused()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, warning);
        QFETCH(bool, rests);
        DroppingServer dropping;
        MainWindow w;
        DialogAnswerer answerer;
        bool restedAtBox = false;
        answerer.whileOpen = [&] { restedAtBox = !button(w)->isEnabled(); };
        clickConnect(w, address, port);
        if (warning != "Network information fill in error") {
            QCOMPARE(button(w)->text(), shownAs("Disconnect").first());
            QCOMPARE(w.findChild<QLabel*>("labVideo")->text(), shownAs("connecting...").first());
        }
        QTRY_COMPARE(answerer.texts(), shownAs(qPrintable(warning)));
        QCOMPARE(answerer.titles(), shownAs("Warning"));
        QCOMPARE(restedAtBox, rests);
        QCOMPARE(button(w)->text(), shownAs("Connect").first());
        QVERIFY(w.findChild<QLabel*>("labVideo")->text().isEmpty());
        QTRY_VERIFY(button(w)->isEnabled());
        QVERIFY(!Preview::connected(w) && !Preview::session(w)->isActive());
    }

    // A picture scaled into the label with its aspect kept; a disconnect clears it, the button rests 300 ms,
    // and a picture arriving afterwards is not drawn. A stream reopened is reported in the log pane once.
    void liveView()
    {
        MainWindow w;
        DialogAnswerer answerer;
        w.resize(1000, 700);
        clickConnect(w, kCamera, kPort);
        QTRY_VERIFY_WITH_TIMEOUT(!shown(w).isNull(), 10000);
        QVERIFY(Preview::connected(w));
        QCOMPARE(Preview::osdAddress(w), QHostAddress(kCamera));
        const QSize label = w.findChild<QLabel*>("labVideo")->size();
        QCOMPARE(shown(w).size(), QSize(320, 240).scaled(label, Qt::KeepAspectRatio));

        // While the stream is opened again the last picture stays, and the button still disconnects.
        emit Preview::session(w)->reconnecting();
        const QString report = shownAs("No picture for 5 s, reconnecting...").first();
        QCOMPARE(w.findChild<QTextEdit*>("textEdit")->toPlainText().count(report), 1);
        QVERIFY(!shown(w).isNull() && Preview::connected(w));
        QCOMPARE(button(w)->text(), shownAs("Disconnect").first());

        QElapsedTimer clock;
        clock.start();
        button(w)->click();
        QVERIFY(!Preview::connected(w) && shown(w).isNull());
        QCOMPARE(button(w)->text(), shownAs("Connect").first());
        QVERIFY(!button(w)->isEnabled());
        button(w)->click(); // the double click's second half
        QTRY_VERIFY(button(w)->isEnabled());
        QVERIFY(clock.elapsed() >= 290);
        QVERIFY(!Preview::session(w)->isActive());
        Preview::setImage(w, QImage(320, 240, QImage::Format_RGB888));
        QVERIFY(shown(w).isNull());
        QCOMPARE(answerer.count(), 0);
    }

    // The exit question confirmed 50 ms into connecting, or while connected: no hang, no thread left.
    void closeWhileBusy_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::newRow("connecting") << false;
        QTest::newRow("connected") << true;
    }
    void closeWhileBusy()
    {
        QFETCH(bool, connected);
        auto* w = new MainWindow;
        DialogAnswerer answerer;
        clickConnect(*w, kCamera, kPort);
        if (connected)
            QTRY_VERIFY_WITH_TIMEOUT(Preview::connected(*w), 10000);
        QTest::qWait(50);
        w->close();
        QVERIFY(!w->isVisible() && !Preview::session(*w)->isActive());
        QElapsedTimer clock;
        clock.start();
        delete w;
        QVERIFY(clock.elapsed() < 2000);
    }

    // Each pad button reaches the camera as its own command in the selector's mode; the format error of a
    // command text is an information box.
    void pad_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("sent");
        QTest::newRow("PTZ")
            << 0
            << "81 01 06 01 0A 0A 03 01 FF, 81 01 06 01 03 03 03 03 FF, 81 01 06 01 0A 0A 03 02 FF, "
               "81 01 06 01 03 03 03 03 FF, 81 01 06 01 0A 0A 01 03 FF, 81 01 06 01 03 03 03 03 FF, "
               "81 01 06 01 0A 0A 02 03 FF, 81 01 06 01 03 03 03 03 FF, 81 01 06 04 FF";
        QTest::newRow("OSD") << 1
                             << "81 01 06 06 10 FF, 81 01 06 01 10 10 03 01 FF, 81 01 06 01 10 10 03 02 FF, "
                                "81 01 06 01 10 10 01 03 FF, 81 01 06 01 10 10 02 03 FF, 81 01 06 06 05 FF, "
                                "81 01 06 06 04 FF, 81 01 06 06 10 FF";
    }
    void pad()
    {
        QFETCH(int, mode);
        QFETCH(QString, sent);
        MainWindow w;
        DialogAnswerer answerer;
        clickConnect(w, kCamera, kPort);
        QTRY_VERIFY_WITH_TIMEOUT(Preview::connected(w), 10000);
        w.findChild<QComboBox*>("upgrade_preview_comboBox")->setCurrentIndex(mode);
        const int before = camera.events("visca").size();
        for (const char* name : {"menu", "up", "down", "left", "right", "ok", "back", "menu"}) {
            auto* pad = w.findChild<QPushButton*>(QString("osd_%1_Button").arg(name));
            QVERIFY(QMetaObject::invokeMethod(pad, "pressed") && QMetaObject::invokeMethod(pad, "released"));
        }
        QCOMPARE(viscaSince(camera, kCamera, before).join(", "), sent);
        QCOMPARE(answerer.count(), 0);
        Preview::control(w)->send(QHostAddress(kCamera), 1259, "81 01 HK FF");
        QTRY_COMPARE(answerer.texts(), shownAs("Command format error"));
        QCOMPARE(answerer.titles(), shownAs("Information"));
    }

private:
    CamsimRun camera;
    QScopedPointer<ScopedWorkDir> dir;
};

QTEST_MAIN(TestPreviewTab)
#include "test_previewtab.moc"
