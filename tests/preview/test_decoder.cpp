// The decoder against a simulated camera on loopback: pictures, track order, refusals and stopping.
#include <QtTest>

#include <csignal>
#include <ctime>
#include <memory>

#include "camsimrun.h"
#include "qffmpeg.h"

namespace
{

const char* const kCamera = "127.0.0.71";
const int kPort = 8771;

QString url(const QString& address, int port, const QString& path = QStringLiteral("/1"))
{
    return QStringLiteral("rtsp://%1:%2%3").arg(address).arg(port).arg(path);
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// One decoder playing on a thread of its own, its pictures collected on the test thread.
struct Playback {
    QFFmpeg decoder;
    QList<QImage> images;
    std::unique_ptr<QThread> thread;

    explicit Playback(const QString& url)
    {
        decoder.SetUrl(url);
        QObject::connect(
            &decoder, &QFFmpeg::GetImage, &decoder, [this](QImage image) { images.append(image); },
            Qt::QueuedConnection);
    }
    ~Playback()
    {
        decoder.Stop();
        if (thread)
            thread->wait();
    }
    void play()
    {
        thread.reset(QThread::create([this] { decoder.Play(); }));
        thread->start();
    }
};

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(camera.start({"--address", kCamera, "--no-discovery", "--no-visca", "--rtsp-port",
                              QString::number(kPort), "--rtsp-size", "320x240", "--duration", "240"}));
    }

    void picturesHaveTheStreamSize_data()
    {
        QTest::addColumn<bool>("audioFirst");
        QTest::newRow("video only") << false;
        QTest::newRow("audio track first") << true;
    }
    void picturesHaveTheStreamSize()
    {
        QFETCH(bool, audioFirst);
        CamsimRun audioCamera;
        QString address = kCamera;
        int port = kPort;
        if (audioFirst) {
            address = "127.0.0.72";
            port = 8772;
            QVERIFY(audioCamera.start({"--address", address, "--no-discovery", "--no-visca", "--rtsp-port",
                                       QString::number(port), "--rtsp-size", "176x144", "--rtsp-audio",
                                       "--duration", "60"}));
        }
        Playback playback(url(address, port));
        QVERIFY(playback.decoder.Init());
        playback.play();
        QTRY_VERIFY_WITH_TIMEOUT(playback.images.size() >= 10, 10000);
        const QSize expected = audioFirst ? QSize(176, 144) : QSize(320, 240);
        for (const QImage& image : playback.images) {
            QCOMPARE(image.size(), expected);
            QCOMPARE(image.format(), QImage::Format_RGB888);
        }
        // Each picture is its own copy, so the moving ball makes successive pictures differ.
        QVERIFY(playback.images.first() != playback.images.last());
    }

    void initRefused_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("path other than /1") << url(kCamera, kPort, "/2");
        QTest::newRow("closed port") << url("127.0.0.73", 8773);
    }
    void initRefused()
    {
        QFETCH(QString, url);
        auto decoder = std::make_unique<QFFmpeg>();
        decoder->SetUrl(url);
        QVERIFY(!decoder->Init());
        decoder.reset();
    }

    void stopBeforePlayReturnsAtOnce()
    {
        QFFmpeg decoder;
        decoder.SetUrl(url(kCamera, kPort));
        QVERIFY(decoder.Init());
        decoder.Stop();
        QElapsedTimer clock;
        clock.start();
        decoder.Play();
        QVERIFY(clock.elapsed() < 100);
    }

    void stopEndsAStalledStream()
    {
        CamsimRun stalled;
        QVERIFY(stalled.start({"--address", "127.0.0.74", "--no-discovery", "--no-visca", "--rtsp-port",
                               "8774", "--rtsp-size", "176x144", "--duration", "60"}));
        Playback playback(url("127.0.0.74", 8774));
        QVERIFY(playback.decoder.Init());
        playback.play();
        QTRY_VERIFY_WITH_TIMEOUT(!playback.images.isEmpty(), 10000);

        // A frozen camera keeps its connection open but sends nothing more.
        const qint64 pid = stalled.process.processId();
        ::kill(pid_t(pid), SIGSTOP);
        QTest::qWait(500);
        QElapsedTimer clock;
        clock.start();
        playback.decoder.Stop();
        const bool ended = playback.thread->wait(1000);
        ::kill(pid_t(pid), SIGCONT);
        QVERIFY(ended);
        QVERIFY(clock.elapsed() < 1000);
    }

    void endedStreamDoesNotSpin()
    {
        CamsimRun ending;
        QVERIFY(ending.start({"--address", "127.0.0.75", "--no-discovery", "--no-visca", "--rtsp-port",
                              "8775", "--rtsp-size", "176x144", "--duration", "60"}));
        Playback playback(url("127.0.0.75", 8775));
        QVERIFY(playback.decoder.Init());
        playback.play();
        QTRY_VERIFY_WITH_TIMEOUT(!playback.images.isEmpty(), 10000);
        ending.process.kill();
        ending.process.waitForFinished(3000);
        QTest::qWait(300);

        const double before = processCpuSeconds();
        QTest::qWait(1000);
        const double used = processCpuSeconds() - before;
        QVERIFY2(used < 0.3,
                 qPrintable(QString("%1 s of CPU in one second after the stream ended").arg(used)));
        QVERIFY(playback.thread->isRunning());
    }

private:
    CamsimRun camera;
};

QTEST_GUILESS_MAIN(TestDecoder)
#include "test_decoder.moc"
