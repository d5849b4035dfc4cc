// The live view against a simulated 1080p25 camera whose stream runs all the time and whose pictures carry
// their send time: CPU per picture against the ffmpeg program doing the same conversion, Connect to the first
// picture against the ffmpeg program's first frame, how long the window stops repainting while it connects,
// and the latency from the camera's send time to the picture reaching the window, with a normal and with a
// slow window.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sys/resource.h>
#include <vector>

#include "camsimrun.h"
#include "previewaccess.h"
#include "qffmpeg.h"

namespace
{

const char* const kCamera = "127.0.0.95";
const int kPort = 8795;
const int kWidth = 1920;
const int kHeight = 1080;
const int kCpuSeconds = 10;
const int kLatencySeconds = 10;
const int kSlowPaintMs = 80;
const int kRuns = 3;

QString streamUrl()
{
    return QStringLiteral("rtsp://%1:%2/1").arg(kCamera).arg(kPort);
}

qint64 wallMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

double processCpu()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double childrenCpu()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double percentile95(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(values.size() * 0.95))];
}

// The send time camsim's latency pattern puts in a picture (low 32 bits of the epoch milliseconds), read from
// packed 24-bit RGB rows; false when the pattern is not there.
bool sendStamp(const uchar* rgb, int width, int bytesPerLine, quint32* ms)
{
    const int block = qMax(4, width / 64) & ~1;
    auto bit = [&](int i) { return rgb[(block / 2) * bytesPerLine + (i * block + block / 2) * 3 + 1] > 128; };
    if (!bit(0) || bit(1))
        return false;
    *ms = 0;
    for (int i = 2; i < 34; ++i)
        *ms = (*ms << 1) | quint32(bit(i));
    return true;
}

bool sendStamp(const QImage& image, quint32* ms)
{
    return image.format() == QImage::Format_RGB888 &&
           sendStamp(image.constBits(), image.width(), image.bytesPerLine(), ms);
}

// Milliseconds from a stamp to now, across the 32-bit wrap.
double msSince(quint32 stamp, qint64 now)
{
    return double(qint32(quint32(now) - stamp));
}

// The wall time of the camera's first PLAY at or after `since`.
qint64 playTime(const CamsimRun& camera, qint64 since)
{
    for (int tries = 0; tries < 100; ++tries) {
        for (const QJsonObject& e : camera.events("rtsp")) {
            const qint64 at = qint64(e.value("wall_ms").toDouble());
            if (e.value("method") == "PLAY" && at >= since)
                return at;
        }
        QTest::qWait(10);
    }
    return -1;
}

struct Throughput {
    int frames = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    std::vector<double> latencies; // send time to the picture leaving the decoder, without a window
    double fps() const { return frames / wallSeconds; }
    double cpuMsPerFrame() const { return frames ? 1000.0 * cpuSeconds / frames : 0; }
};

// Counted from the first picture, so stream set-up is left out.
Throughput decoderThroughput()
{
    Throughput figures;
    QFFmpeg decoder;
    decoder.SetUrl(streamUrl());
    if (!decoder.Init())
        return figures;
    QElapsedTimer clock;
    double cpuStart = 0;
    QObject::connect(&decoder, &QFFmpeg::GetImage, &decoder, [&](const QImage& image) {
        quint32 stamp = 0;
        if (sendStamp(image, &stamp))
            figures.latencies.push_back(msSince(stamp, wallMs()));
        if (figures.frames++ == 0) {
            clock.start();
            cpuStart = processCpu();
        }
    });
    std::unique_ptr<QThread> thread(QThread::create([&] { decoder.Play(); }));
    thread->start();
    if (!QTest::qWaitFor([&] { return figures.frames > 0 && clock.elapsed() >= kCpuSeconds * 1000; }, 30000))
        std::fprintf(stderr, "the decoder delivered no picture\n");
    decoder.Stop();
    thread->wait();
    figures.wallSeconds = clock.elapsed() / 1000.0;
    figures.cpuSeconds = processCpu() - cpuStart;
    figures.frames -= 1;
    return figures;
}

Throughput ffmpegThroughput()
{
    Throughput figures;
    QProcess ffmpeg;
    const double cpuStart = childrenCpu();
    ffmpeg.start("ffmpeg", {"-hide_banner", "-nostdin", "-rtsp_transport", "tcp", "-i", streamUrl(), "-t",
                            QString::number(kCpuSeconds), "-pix_fmt", "rgb24", "-f", "null", "-"});
    if (!ffmpeg.waitForFinished(60000))
        ffmpeg.kill();
    figures.cpuSeconds = childrenCpu() - cpuStart;
    const QString log = QString::fromLocal8Bit(ffmpeg.readAllStandardError());
    double fps = 0;
    for (auto it = QRegularExpression("frame=\\s*(\\d+)\\s+fps=\\s*([\\d.]+)").globalMatch(log);
         it.hasNext();) {
        const auto match = it.next();
        figures.frames = match.captured(1).toInt();
        fps = match.captured(2).toDouble();
    }
    figures.wallSeconds = fps > 0 ? figures.frames / fps : 0;
    return figures;
}

// One first picture: from the start to the picture, and the same less the wait for the next key frame (from
// the server's PLAY to the send time of the picture, which is that key frame): the wait depends only on when
// in the key frame interval the client asked, so it would otherwise swamp the difference between two clients.
struct FirstPicture {
    double ms = -1;
    double lessKeyFrameWait = -1;
    double freezeMs = -1;
};

void setKeyFrameWait(FirstPicture* result, const CamsimRun& camera, qint64 start, qint64 shown, quint32 stamp)
{
    result->ms = double(shown - start);
    const qint64 play = playTime(camera, start);
    if (play > 0)
        result->lessKeyFrameWait = result->ms + msSince(stamp, play);
}

// Shows the window with the camera's address filled in; its Connect button.
QPushButton* showWindow(MainWindow& w)
{
    w.resize(1000, 700);
    w.show();
    w.findChild<QLineEdit*>("txtUrl")->setText(kCamera);
    w.findChild<QLineEdit*>("txtPort")->setText(QString::number(kPort));
    return w.findChild<QPushButton*>("rtsp_connect_Button");
}

FirstPicture windowFirstPicture(const CamsimRun& camera)
{
    FirstPicture result;
    MainWindow w;
    QPushButton* button = showWindow(w);

    // The event loop's longest pause while connecting, seen by a fast timer.
    QElapsedTimer gap;
    double longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, gap.nsecsElapsed() / 1e6);
        gap.start();
    });
    ticker.start(5);
    QTest::qWait(50);

    qint64 shown = 0;
    quint32 stamp = 0;
    bool stamped = false;
    const qint64 start = wallMs();
    longestGap = 0;
    gap.start();
    button->click();
    QObject::connect(Preview::session(w), &PreviewSession::frame, &w, [&](const QImage& image) {
        if (shown == 0) {
            shown = wallMs();
            stamped = sendStamp(image, &stamp);
        }
    });
    if (!QTest::qWaitFor([&] { return shown != 0; }, 15000))
        std::fprintf(stderr, "the window showed no picture\n");
    ticker.stop();
    result.freezeMs = longestGap;
    if (shown != 0 && stamped)
        setKeyFrameWait(&result, camera, start, shown, stamp);
    if (Preview::connected(w))
        button->click();
    QTest::qWait(500);
    return result;
}

FirstPicture ffmpegFirstPicture(const CamsimRun& camera)
{
    FirstPicture result;
    QProcess ffmpeg;
    const qint64 start = wallMs();
    ffmpeg.start("ffmpeg", {"-hide_banner",
                            "-nostdin",
                            "-loglevel",
                            "error",
                            "-rtsp_transport",
                            "tcp",
                            "-probesize",
                            "32",
                            "-analyzeduration",
                            "0",
                            "-fflags",
                            "nobuffer",
                            "-i",
                            streamUrl(),
                            "-frames:v",
                            "1",
                            "-pix_fmt",
                            "rgb24",
                            "-f",
                            "rawvideo",
                            "-"});
    QByteArray picture;
    const int size = kWidth * kHeight * 3;
    QElapsedTimer clock;
    clock.start();
    while (picture.size() < size && clock.elapsed() < 15000) {
        ffmpeg.waitForReadyRead(20);
        picture += ffmpeg.readAllStandardOutput();
    }
    const qint64 shown = wallMs();
    ffmpeg.waitForFinished(5000);
    quint32 stamp = 0;
    if (picture.size() >= size &&
        sendStamp(reinterpret_cast<const uchar*>(picture.constData()), kWidth, kWidth * 3, &stamp))
        setKeyFrameWait(&result, camera, start, shown, stamp);
    return result;
}

struct Latency {
    double median = -1;
    double p95 = -1;
    int pictures = 0;
};

// Send time to the moment each picture reaches the window; a slow window spends `paintMs` on each one.
Latency windowLatency(int paintMs)
{
    MainWindow w;
    QPushButton* button = showWindow(w);
    button->click();
    std::vector<double> samples;
    bool measuring = false;
    QObject::connect(Preview::session(w), &PreviewSession::frame, &w, [&](const QImage& image) {
        quint32 stamp = 0;
        if (measuring && sendStamp(image, &stamp))
            samples.push_back(msSince(stamp, wallMs()));
        if (paintMs > 0)
            QThread::msleep(paintMs);
    });
    // The first second (the first key frame and what queued behind it) is left out.
    QTest::qWait(1500);
    measuring = true;
    QTest::qWait(kLatencySeconds * 1000);
    measuring = false;
    if (Preview::connected(w))
        button->click();
    QTest::qWait(500);
    Latency result;
    result.median = median(samples);
    result.p95 = percentile95(samples);
    result.pictures = int(samples.size());
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    QApplication app(argc, argv);

    CamsimRun camera;
    if (!camera.start({"--address", kCamera, "--no-discovery", "--no-visca", "--rtsp-port",
                       QString::number(kPort), "--rtsp-size",
                       QStringLiteral("%1x%2").arg(kWidth).arg(kHeight), "--rtsp-fps", "25", "--rtsp-shared",
                       "--latency-pattern", "--duration", "600"})) {
        std::fprintf(stderr, "camsim did not start\n");
        return 1;
    }
    QTest::qWait(1000);

    const Throughput ours = decoderThroughput();
    const Throughput reference = ffmpegThroughput();
    const double cpuRatio =
        reference.cpuMsPerFrame() > 0 ? ours.cpuMsPerFrame() / reference.cpuMsPerFrame() : -1;
    std::printf("%dx%d 25 fps H.264 over RTSP/TCP to RGB24, %d s each\n", kWidth, kHeight, kCpuSeconds);
    std::printf("  QFFmpeg:        %5d frames, %6.2f fps, %6.2f ms CPU per frame\n", ours.frames, ours.fps(),
                ours.cpuMsPerFrame());
    std::printf("  ffmpeg program: %5d frames, %6.2f fps, %6.2f ms CPU per frame\n", reference.frames,
                reference.fps(), reference.cpuMsPerFrame());
    std::printf("  CPU per frame, QFFmpeg / ffmpeg: %.2f\n", cpuRatio);
    std::printf("  latency, send time to the decoder's picture (no window): median %.0f ms, p95 %.0f ms\n",
                median(ours.latencies), percentile95(ours.latencies));

    std::vector<double> toolMs, toolAdjusted, ffmpegMs, ffmpegAdjusted, freezes;
    for (int run = 0; run < kRuns; ++run) {
        const FirstPicture reference = ffmpegFirstPicture(camera);
        const FirstPicture tool = windowFirstPicture(camera);
        std::printf("  first picture, run %d: window %.0f ms (%.0f ms less the key frame wait, longest pause "
                    "%.0f ms), ffmpeg %.0f ms (%.0f ms)\n",
                    run + 1, tool.ms, tool.lessKeyFrameWait, tool.freezeMs, reference.ms,
                    reference.lessKeyFrameWait);
        toolMs.push_back(tool.ms);
        toolAdjusted.push_back(tool.lessKeyFrameWait);
        ffmpegMs.push_back(reference.ms);
        ffmpegAdjusted.push_back(reference.lessKeyFrameWait);
        freezes.push_back(tool.freezeMs);
    }
    const double extraMs = median(toolAdjusted) - median(ffmpegAdjusted);
    std::printf(
        "  Connect to first picture: median %.0f ms (ffmpeg %.0f ms); less the key frame wait %.0f ms "
        "(ffmpeg %.0f ms), extra %.0f ms\n",
        median(toolMs), median(ffmpegMs), median(toolAdjusted), median(ffmpegAdjusted), extraMs);
    std::printf("  longest pause of the window while connecting: median %.0f ms\n", median(freezes));

    const Latency normal = windowLatency(0);
    const Latency slow = windowLatency(kSlowPaintMs);
    std::printf("  latency, send time to the window: median %.0f ms, p95 %.0f ms (%d pictures)\n",
                normal.median, normal.p95, normal.pictures);
    std::printf(
        "  latency with a window painting %d ms per picture: median %.0f ms, p95 %.0f ms (%d pictures)\n",
        kSlowPaintMs, slow.median, slow.p95, slow.pictures);

    std::printf(
        "RESULT bench=preview cpu_ratio=%.2f first_picture_ms=%.0f first_picture_extra_ms=%.0f "
        "connect_freeze_ms=%.0f latency_median_ms=%.0f latency_p95_ms=%.0f slow_window_latency_p95_ms=%.0f\n",
        cpuRatio, median(toolMs), extraMs, median(freezes), normal.median, normal.p95, slow.p95);
    return 0;
}
