// The decoder against simulated cameras on loopback and against picture files: streams, transports, picture
// formats and sizes, a slow receiver, and stopping.
#include <QtTest>

#include <csignal>
#include <memory>

#include "cameralog.h"
#include "qffmpeg.h"

namespace
{

// A YUV4MPEG2 file of 64x48 pictures: the top half red and the bottom half blue, or with `numbered` each
// picture a plain grey of luma 16 + 2 x its number.
QString writeY4m(const QString& path, const QString& chroma, int frames, bool numbered = false)
{
    const int chromaSamples = (chroma.startsWith("444") ? 64 : 32) * (chroma.startsWith("420") ? 24 : 48);
    auto samples = [&](int value, int count) {
        const QByteArray one = chroma.endsWith("p10") ? QByteArray(1, char(value << 2)) + char(value >> 6)
                                                      : QByteArray(1, char(value));
        return one.repeated(count);
    };
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("YUV4MPEG2 W64 H48 F25:1 Ip A1:1 C" + chroma.toLatin1() + "\n");
    for (int f = 0; f < frames; ++f) {
        const int top[] = {81, 90, 240}, bottom[] = {41, 240, 110}, grey[] = {16 + 2 * f, 128, 128};
        file.write("FRAME\n");
        for (int plane = 0; plane < 3; ++plane) {
            const int half = (plane ? chromaSamples : 64 * 48) / 2;
            file.write(samples(numbered ? grey[plane] : top[plane], half) +
                       samples(numbered ? grey[plane] : bottom[plane], half));
        }
    }
    return path;
}

// Two grey pictures of different sizes, white above and black below, read as one stream.
QString writePgms(const QTemporaryDir& dir)
{
    const QSize sizes[] = {{64, 48}, {32, 24}};
    for (int i = 0; i < 2; ++i) {
        QFile file(dir.filePath(QString("grey%1.pgm").arg(i)));
        file.open(QIODevice::WriteOnly);
        file.write(QString("P5 %1 %2 255\n").arg(sizes[i].width()).arg(sizes[i].height()).toLatin1());
        const int half = sizes[i].width() * sizes[i].height() / 2;
        file.write(QByteArray(half, char(255)) + QByteArray(half, char(0)));
    }
    return dir.filePath("grey%d.pgm");
}

// One decoder playing on a thread of its own; its pictures are taken on the test thread, `takeMs` each.
struct Playback {
    QFFmpeg decoder;
    QList<QImage> images;
    int takeMs = 0;
    std::unique_ptr<QThread> thread;

    explicit Playback(const QString& url)
    {
        decoder.SetUrl(url);
        QObject::connect(&decoder, &QFFmpeg::GetImage, &decoder, [this](QImage image) {
            images.append(image);
            QThread::msleep(ulong(takeMs));
        });
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
    // Each stream is opened, played (unless stopped before Play()) and stopped; or its opening fails, the
    // camera having refused the transport or not.
    void streams_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("transport");
        QTest::addColumn<QString>("stop");   // or how the opening fails
        QTest::addColumn<QString>("setups"); // transports camsim was asked for
        QTest::newRow("video only") << QStringList{} << "/1"
                                    << "tcp"
                                    << "playing"
                                    << "TCP";
        QTest::newRow("audio track first") << QStringList{"--rtsp-audio"} << "/1"
                                           << "tcp"
                                           << "playing"
                                           << "TCP TCP";
        QTest::newRow("UDP only, asked for TCP") << QStringList{"--rtsp-udp-only"} << "/1"
                                                 << "tcp"
                                                 << "refused"
                                                 << "TCP";
        QTest::newRow("UDP only, asked for UDP") << QStringList{"--rtsp-udp-only"} << "/1"
                                                 << "udp"
                                                 << "playing"
                                                 << "UDP";
        QTest::newRow("stopped before Play") << QStringList{} << "/1"
                                             << "tcp"
                                             << "before Play"
                                             << "TCP";
        QTest::newRow("camera frozen") << QStringList{} << "/1"
                                       << "tcp"
                                       << "frozen"
                                       << "TCP";
        QTest::newRow("path other than /1") << QStringList{} << "/2"
                                            << "tcp"
                                            << "failed"
                                            << "";
    }
    void streams()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, path);
        QFETCH(QString, transport);
        QFETCH(QString, stop);
        QFETCH(QString, setups);
        CamsimRun camera;
        QVERIFY(camera.start(QStringList{"--address", "127.0.0.71", "--no-discovery", "--no-visca",
                                         "--rtsp-port", "8771", "--rtsp-size", "320x240"} +
                             args));
        Playback playback("rtsp://127.0.0.71:8771" + path);
        playback.decoder.SetTransport(transport);
        const bool fails = stop == "refused" || stop == "failed";
        QCOMPARE(playback.decoder.Init(), !fails);
        QCOMPARE(playback.decoder.TransportRefused(), stop == "refused");
        // camsim may log a SETUP just after answering it.
        QTRY_COMPARE_WITH_TIMEOUT(setupTransports(camera), setups, 2000);
        if (fails)
            return;
        if (stop != "before Play") {
            playback.play();
            QTRY_VERIFY_WITH_TIMEOUT(playback.images.size() >= 10, 10000);
            for (const QImage& image : playback.images)
                QVERIFY(image.size() == QSize(320, 240) && image.format() == QImage::Format_RGB888);
            // Each picture keeps its own pixels, so the moving ball makes them differ.
            QVERIFY(playback.images.first() != playback.images.last());
        }
        const pid_t pid = pid_t(camera.process.processId());
        if (stop == "frozen")
            ::kill(pid, SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        playback.decoder.Stop();
        if (playback.thread)
            QVERIFY(playback.thread->wait(2000));
        else
            playback.decoder.Play();
        QVERIFY(clock.elapsed() < 2000);
        if (stop == "frozen")
            ::kill(pid, SIGCONT);
        else
            QTRY_VERIFY_WITH_TIMEOUT(camera.events("rtsp").last().value("method") == "TEARDOWN", 2000);
    }

    // The colours of the top and bottom halves, in every format and size the decoder may hand out.
    void formats_data()
    {
        QTest::addColumn<QString>("chroma");
        QTest::newRow("4:2:0") << "420jpeg";
        QTest::newRow("4:2:2") << "422";
        QTest::newRow("4:4:4") << "444";
        QTest::newRow("4:2:0 10-bit") << "420p10";
        QTest::newRow("grey, size changes") << "pgm";
    }
    void formats()
    {
        QFETCH(QString, chroma);
        QTemporaryDir dir;
        const bool grey = chroma == "pgm";
        Playback playback(grey ? writePgms(dir) : writeY4m(dir.filePath("a.y4m"), chroma, 1));
        QVERIFY(playback.decoder.Init());
        playback.play();
        // Decoded at once, so only the newest picture, the second for the grey pair, is handed out.
        QTRY_VERIFY(!playback.images.isEmpty());
        const QImage image = playback.images.first();
        QCOMPARE(image.size(), grey ? QSize(32, 24) : QSize(64, 48));
        auto near = [&](int y, QColor c) {
            const QColor p = image.pixelColor(image.width() / 2, y);
            return qAbs(p.red() - c.red()) + qAbs(p.green() - c.green()) + qAbs(p.blue() - c.blue()) < 100;
        };
        QVERIFY(near(image.height() / 4, grey ? Qt::white : Qt::red));
        QVERIFY(near(3 * image.height() / 4, grey ? Qt::black : Qt::blue));
    }

    // 100 pictures decoded at once, taken at 80 ms each: the one after the first is already the newest.
    void slowReceiverGetsTheNewestPicture()
    {
        QTemporaryDir dir;
        Playback playback(writeY4m(dir.filePath("n.y4m"), "420jpeg", 100, true));
        playback.takeMs = 80;
        QVERIFY(playback.decoder.Init());
        playback.play();
        QTest::qWait(600);
        QVERIFY2(playback.images.size() <= 3, qPrintable(QString::number(playback.images.size())));
        // Luma 16 + 2n shows as grey 2n x 255 / 219.
        QCOMPARE(qRound(qGray(playback.images.last().pixel(0, 0)) * 219 / 255.0 / 2), 99);
    }
};

QTEST_GUILESS_MAIN(TestDecoder)
#include "test_decoder.moc"
