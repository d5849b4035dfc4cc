// The preview tab against a simulated camera: the refusals, a live picture, disconnecting and closing.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

#include "camsimrun.h"
#include "dialogs.h"
#include "previewaccess.h"
#include "workdir.h"

namespace
{
const char* const kCamera = "127.0.0.81";
const int kPort = 8781;

QPixmap shown(MainWindow& w)
{
    return w.findChild<QLabel*>("labVideo")->pixmap(Qt::ReturnByValue);
}

void clickConnect(MainWindow& w, const QString& address, const QString& port)
{
    w.findChild<QLineEdit*>("txtUrl")->setText(address);
    w.findChild<QLineEdit*>("txtPort")->setText(port);
    w.findChild<QPushButton*>("rtsp_connect_Button")->click();
}

QString buttonText(MainWindow& w)
{
    return w.findChild<QPushButton*>("rtsp_connect_Button")->text();
}
} // namespace

class TestPreviewTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(camera.start({"--address", kCamera, "--no-discovery", "--no-visca", "--rtsp-port",
                              QString::number(kPort), "--rtsp-size", "320x240", "--duration", "240"}));
    }
    void init() { dir.reset(new ScopedWorkDir); }
    void cleanup() { dir.reset(); }

    void refused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("warning");
        QTest::newRow("empty address") << ""
                                       << "554"
                                       << "Network information fill in error";
        QTest::newRow("empty port") << kCamera << ""
                                    << "Network information fill in error";
        QTest::newRow("octet above 255") << "192.168.1.300"
                                         << "554"
                                         << "Network information fill in error";
        QTest::newRow("port of letters") << kCamera << "rtsp"
                                         << "Connection timeout";
        QTest::newRow("nobody listening") << "127.0.0.83"
                                          << "8783"
                                          << "Connection timeout";
    }
    void refused()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, warning);
        MainWindow w;
        DialogAnswerer answerer;
        clickConnect(w, address, port);
        QCOMPARE(answerer.texts(), shownAs(qPrintable(warning)));
        QCOMPARE(answerer.titles(), shownAs("Warning"));
        QVERIFY(!Preview::connected(w));
        QVERIFY(!Preview::decoder(w));
        QVERIFY(!Preview::thread(w));
        QVERIFY(!Preview::osdAddress(w));
        QCOMPARE(buttonText(w), shownAs("Connect").first());
    }

    void failureThenLivePictureThenDisconnect()
    {
        MainWindow w;
        w.resize(1000, 700);
        w.show();
        DialogAnswerer answerer;

        // A host that accepts the connection but never answers the RTSP request.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress("127.0.0.82"), 8782));
        clickConnect(w, "127.0.0.82", "8782");
        QCOMPARE(answerer.texts(), shownAs("Connection failure"));
        QVERIFY(!Preview::connected(w));
        QVERIFY(!Preview::decoder(w));
        QVERIFY(!Preview::thread(w));
        QCOMPARE(buttonText(w), shownAs("Connect").first());
        QCOMPARE(*Preview::osdAddress(w), QHostAddress("127.0.0.82"));

        answerer.clear();
        clickConnect(w, kCamera, QString::number(kPort));
        QCOMPARE(answerer.count(), 0);
        QVERIFY(Preview::connected(w));
        QCOMPARE(buttonText(w), shownAs("Disconnect").first());
        QCOMPARE(*Preview::osdAddress(w), QHostAddress(kCamera));
        QTRY_VERIFY_WITH_TIMEOUT(!shown(w).isNull(), 10000);
        // Scaled to the label with the 4:3 picture's aspect kept.
        const QSize label = w.findChild<QLabel*>("labVideo")->size();
        const QSize expected = QSize(320, 240).scaled(label, Qt::KeepAspectRatio);
        QCOMPARE(shown(w).size(), expected);

        w.findChild<QPushButton*>("rtsp_connect_Button")->click();
        QVERIFY(!Preview::connected(w));
        QVERIFY(!Preview::decoder(w));
        QVERIFY(!Preview::thread(w));
        QCOMPARE(buttonText(w), shownAs("Connect").first());
        QVERIFY(shown(w).isNull());
        QTest::qWait(300);
        QVERIFY(shown(w).isNull());
        Preview::setImage(w, QImage(320, 240, QImage::Format_RGB888));
        QVERIFY(shown(w).isNull());
    }

    void closingStopsThePreview()
    {
        auto* w = new MainWindow;
        DialogAnswerer answerer;
        clickConnect(*w, kCamera, QString::number(kPort));
        QVERIFY(Preview::connected(*w));
        QVERIFY(w->close());
        QVERIFY(!Preview::connected(*w));
        QVERIFY(!Preview::thread(*w));
        delete w;
    }

    void frameSizes_data()
    {
        QTest::addColumn<QSize>("label");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("wide label") << QSize(400, 100) << QSize(320, 240) << QSize(133, 100);
        QTest::newRow("tall label") << QSize(160, 400) << QSize(320, 240) << QSize(160, 120);
        QTest::newRow("zero height ignored") << QSize(400, 300) << QSize(320, 0) << QSize();
    }
    void frameSizes()
    {
        QFETCH(QSize, label);
        QFETCH(QSize, image);
        QFETCH(QSize, expected);
        MainWindow w;
        w.findChild<QLabel*>("labVideo")->resize(label);
        Preview::connected(w) = true;
        Preview::setImage(w, QImage(image, QImage::Format_RGB888));
        Preview::connected(w) = false;
        QCOMPARE(shown(w).size(), expected.isValid() ? expected : QSize(0, 0));
    }

private:
    CamsimRun camera;
    QScopedPointer<ScopedWorkDir> dir;
};

QTEST_MAIN(TestPreviewTab)
#include "test_previewtab.moc"
