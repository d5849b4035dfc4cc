// Decodes a 1920x1080 25 fps stream with the tool's decoder and with the ffmpeg program on the same camera,
// and times Connect to the first picture on the Preview tab. Prints figures and ratios.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

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
const int kSeconds = 10;

QString streamUrl()
{
    return QStringLiteral("rtsp://%1:%2/1").arg(kCamera).arg(kPort);
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

struct Figures {
    int frames = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double fps() const { return frames / wallSeconds; }
    double cpuMsPerFrame() const { return frames ? 1000.0 * cpuSeconds / frames : 0; }
};

// Both measurements start at the first decoded picture, so stream set-up is left out of both.
Figures measureDecoder()
{
    Figures figures;
    QFFmpeg decoder;
    decoder.SetUrl(streamUrl());
    if (!decoder.Init())
        return figures;
    QElapsedTimer clock;
    double cpuStart = 0;
    QObject::connect(&decoder, &QFFmpeg::GetImage, &decoder, [&](QImage) {
        if (figures.frames++ == 0) {
            clock.start();
            cpuStart = processCpu();
        }
    });
    std::unique_ptr<QThread> thread(QThread::create([&] { decoder.Play(); }));
    thread->start();
    if (!QTest::qWaitFor([&] { return figures.frames > 0 && clock.elapsed() >= kSeconds * 1000; }, 30000))
        std::fprintf(stderr, "the decoder delivered no picture\n");
    decoder.Stop();
    thread->wait();
    figures.wallSeconds = clock.elapsed() / 1000.0;
    figures.cpuSeconds = processCpu() - cpuStart;
    figures.frames -= 1;
    return figures;
}

Figures measureFfmpegProgram()
{
    Figures figures;
    QProcess ffmpeg;
    const double cpuStart = childrenCpu();
    QElapsedTimer clock;
    clock.start();
    ffmpeg.start("ffmpeg", {"-hide_banner", "-nostdin", "-rtsp_transport", "tcp", "-i", streamUrl(), "-t",
                            QString::number(kSeconds), "-f", "null", "-"});
    if (!ffmpeg.waitForFinished(60000))
        ffmpeg.kill();
    figures.wallSeconds = clock.elapsed() / 1000.0;
    figures.cpuSeconds = childrenCpu() - cpuStart;
    const QString log = QString::fromLocal8Bit(ffmpeg.readAllStandardError());
    // The program's own rate counts from its first decoded picture, like measureDecoder() does.
    double reportedFps = 0;
    for (auto it = QRegularExpression("frame=\\s*(\\d+)\\s+fps=\\s*([\\d.]+)").globalMatch(log);
         it.hasNext();) {
        const auto match = it.next();
        figures.frames = match.captured(1).toInt();
        reportedFps = match.captured(2).toDouble();
    }
    if (reportedFps > 0)
        figures.wallSeconds = figures.frames / reportedFps;
    return figures;
}

double connectToFirstPictureMs()
{
    MainWindow w;
    w.resize(1000, 700);
    w.show();
    w.findChild<QLineEdit*>("txtUrl")->setText(kCamera);
    w.findChild<QLineEdit*>("txtPort")->setText(QString::number(kPort));
    auto* label = w.findChild<QLabel*>("labVideo");
    QElapsedTimer clock;
    clock.start();
    w.findChild<QPushButton*>("rtsp_connect_Button")->click();
    const bool shown = QTest::qWaitFor([&] { return !label->pixmap(Qt::ReturnByValue).isNull(); }, 15000);
    const double ms = shown ? clock.nsecsElapsed() / 1e6 : -1;
    if (Preview::connected(w))
        w.findChild<QPushButton*>("rtsp_connect_Button")->click();
    return ms;
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
                       QString::number(kPort), "--rtsp-size", "1920x1080", "--rtsp-fps", "25", "--duration",
                       "300"})) {
        std::fprintf(stderr, "camsim did not start\n");
        return 1;
    }

    const Figures ours = measureDecoder();
    const Figures reference = measureFfmpegProgram();
    std::printf("1920x1080 25 fps H.264 over RTSP/TCP, %d s each\n", kSeconds);
    std::printf("  QFFmpeg:        %5d frames, %6.2f fps, %6.2f ms CPU per frame\n", ours.frames, ours.fps(),
                ours.cpuMsPerFrame());
    std::printf("  ffmpeg program: %5d frames, %6.2f fps, %6.2f ms CPU per frame\n", reference.frames,
                reference.fps(), reference.cpuMsPerFrame());
    if (reference.frames > 0 && ours.frames > 0)
        std::printf("  ratio QFFmpeg/ffmpeg: fps %.2f, CPU per frame %.2f\n", ours.fps() / reference.fps(),
                    ours.cpuMsPerFrame() / reference.cpuMsPerFrame());

    std::vector<double> times;
    for (int i = 0; i < 3; ++i)
        times.push_back(connectToFirstPictureMs());
    std::sort(times.begin(), times.end());
    std::printf("  Connect to first picture shown: median %.0f ms (runs: %.0f, %.0f, %.0f)\n", times[1],
                times[0], times[1], times[2]);
    return 0;
}
