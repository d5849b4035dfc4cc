// The preview tab against simulated cameras: refusals, clicks and closing while it connects or disconnects,
// connecting without freezing, a live picture and its teardown, and a stream that stalls.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTextEdit>
#include <QtTest>

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

// When the camera received each request of that method.
QList<qint64> requests(const CamsimRun& camera, const QString& method)
{
    QList<qint64> times;
    for (const QJsonObject& e : camera.events("rtsp"))
        if (e.value("method") == method)
            times << qint64(e.value("wall_ms").toDouble());
    return times;
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
        QVERIFY(camera.start({"--address", kCamera, "--no-discovery", "--no-visca", "--rtsp-port", kPort,
                              "--rtsp-size", "320x240", "--duration", "240"}));
    }
    void init() { dir.reset(new ScopedWorkDir); }
    void cleanup() { dir.reset(); }

    // Address, port, and the warning.
    void refused_data()
    {
        QTest::addColumn<QStringList>("row");
        QTest::newRow("empty address") << QStringList{"", "554", "Network information fill in error"};
        QTest::newRow("empty port") << QStringList{kCamera, "", "Network information fill in error"};
        QTest::newRow("octet above 255")
            << QStringList{"192.168.1.300", "554", "Network information fill in error"};
        QTest::newRow("port of letters") << QStringList{kCamera, "rtsp", "Connection timeout"};
        QTest::newRow("nobody listening") << QStringList{"127.0.0.83", "8783", "Connection timeout"};
        QTest::newRow("no RTSP answer") << QStringList{"127.0.0.82", "8782", "Connection failure"};
    }
    void refused()
    {
        QFETCH(QStringList, row);
        DroppingServer dropping;
        MainWindow w;
        DialogAnswerer answerer;
        QElapsedTimer clock;
        clock.start();
        clickConnect(w, row[0], row[1]);
        QVERIFY(clock.elapsed() < 500);
        QTRY_COMPARE(answerer.texts(), shownAs(qPrintable(row[2])));
        QCOMPARE(answerer.titles(), shownAs("Warning"));
        QVERIFY(!Preview::connected(w) && !Preview::decoder(w));
        QCOMPARE(button(w)->text(), shownAs("Connect").first());
    }

    // A second click or the exit question 50 ms into the first action: no crash, hang or thread left.
    void busy_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("close"); // else click Connect or Disconnect
        QTest::newRow("double click on Disconnect") << "disconnecting" << false;
        QTest::newRow("exit confirmed while disconnecting") << "disconnecting" << true;
        QTest::newRow("exit confirmed while connecting") << "connecting" << true;
        QTest::newRow("exit confirmed while connected") << "connected" << true;
        QTest::newRow("Connect right after a failure") << "failing" << false;
    }
    void busy()
    {
        QFETCH(QString, state);
        QFETCH(bool, close);
        DroppingServer dropping;
        auto* w = new MainWindow;
        DialogAnswerer answerer;
        if (state == "disconnecting" || state == "connected") {
            clickConnect(*w, kCamera, kPort);
            QTRY_VERIFY_WITH_TIMEOUT(Preview::connected(*w), 10000);
        }
        QTimer::singleShot(50, w, [&] { close ? void(w->close()) : clickConnect(*w, kCamera, kPort); });
        QElapsedTimer clock;
        clock.start();
        if (state == "disconnecting")
            button(*w)->click();
        else if (state != "connected")
            clickConnect(*w, state == "failing" ? "127.0.0.82" : kCamera,
                         state == "failing" ? "8782" : kPort);
        QVERIFY(clock.elapsed() < 500);
        QTest::qWait(400);
        if (close) {
            QVERIFY(!w->isVisible());
            QTRY_VERIFY(w->findChildren<QThread*>().isEmpty());
        } else {
            // The window still connects, saying so while the stream opens on the decode thread, shows the
            // picture scaled with its aspect kept, and disconnects with a TEARDOWN.
            QTRY_VERIFY(button(*w)->isEnabled() && !Preview::decoder(*w));
            w->resize(1000, 700);
            clickConnect(*w, kCamera, kPort);
            QCOMPARE(w->findChild<QLabel*>("labVideo")->text(), shownAs("connecting...").first());
            QCOMPARE(button(*w)->text(), shownAs("Disconnect").first());
            QTRY_VERIFY_WITH_TIMEOUT(!shown(*w).isNull(), 10000);
            QVERIFY(Preview::connected(*w));
            QCOMPARE(*Preview::osdAddress(*w), QHostAddress(kCamera));
            const QSize label = w->findChild<QLabel*>("labVideo")->size();
            QCOMPARE(shown(*w).size(), QSize(320, 240).scaled(label, Qt::KeepAspectRatio));
            const int teardowns = requests(camera, "TEARDOWN").size();
            button(*w)->click();
            QVERIFY(!Preview::connected(*w) && shown(*w).isNull());
            QCOMPARE(button(*w)->text(), shownAs("Connect").first());
            QTRY_VERIFY_WITH_TIMEOUT(requests(camera, "TEARDOWN").size() > teardowns, 2000);
            Preview::setImage(*w, QImage(320, 240, QImage::Format_RGB888));
            QVERIFY(shown(*w).isNull());
        }
        clock.restart();
        delete w;
        QVERIFY(clock.elapsed() < 2000);
    }

    // A camera that stops sending is reported and opened again; its pictures come back.
    void stalledStreamReconnects()
    {
        CamsimRun stalling;
        QVERIFY(
            stalling.start({"--address", "127.0.0.85", "--no-discovery", "--no-visca", "--rtsp-port", "8785",
                            "--rtsp-size", "176x144", "--rtsp-stall-after", "1", "--duration", "60"}));
        MainWindow w;
        DialogAnswerer answerer;
        clickConnect(w, "127.0.0.85", "8785");
        QTRY_VERIFY_WITH_TIMEOUT(!shown(w).isNull(), 10000);
        const QString report = shownAs("No picture for 5 s, reconnecting...").first();
        auto* log = w.findChild<QTextEdit*>("textEdit");
        QTRY_VERIFY_WITH_TIMEOUT(log->toPlainText().contains(report), 10000);
        w.findChild<QLabel*>("labVideo")->clear();
        QTRY_VERIFY_WITH_TIMEOUT(!shown(w).isNull(), 5000);
        const QList<qint64> times = requests(stalling, "PLAY");
        QCOMPARE(times.size(), 2);
        QVERIFY(times[1] - times[0] >= 5000);
        QCOMPARE(log->toPlainText().count(report), 1);
        QVERIFY(Preview::connected(w));
        QCOMPARE(answerer.count(), 0);
    }

private:
    CamsimRun camera;
    QScopedPointer<ScopedWorkDir> dir;
};

QTEST_MAIN(TestPreviewTab)
#include "test_previewtab.moc"
