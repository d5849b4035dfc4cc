// Sends one 64 MiB firmware file to 8 cameras of one camsim on loopback, first as a rollout with 8 in
// parallel (no canary, no confirmation), then as 8 parallel plain TCP copies of the same bytes to the same
// cameras. Both are timed on the cameras' clock, from the first connection to the last 'U' 3, and the tool's
// peak RSS is taken after its rollout.
//
//   bench_rollout [MiB]      default: 64
#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTcpSocket>

#include <cstdio>
#include <thread>
#include <vector>

#include "benchsupport.h"
#include "camsimrun.h"
#include "rollout.h"
#include "tcprecord.h"

namespace
{
const int kCameras = 8;

QString camera(int index)
{
    return QStringLiteral("127.0.0.%1").arg(240 + index);
}

// Milliseconds on the cameras' clock from the first connection after `fromMs` to the last of the `kCameras`
// 'U' 3 records that follow it; -1 while they are not all sent.
qint64 roundMs(const CamsimRun& camsim, qint64 fromMs)
{
    qint64 first = -1;
    qint64 last = -1;
    int finished = 0;
    for (const QJsonObject& e : camsim.events()) {
        const qint64 ms = e.value("ms").toVariant().toLongLong();
        if (ms < fromMs)
            continue;
        if (first < 0 && e.value("event") == "tcp_open")
            first = ms;
        if (e.value("event") == "record_out" && e.value("type") == "U" && e.value("status").toInt() == 3) {
            ++finished;
            last = ms;
        }
    }
    return finished == kCameras ? last - first : -1;
}

qint64 waitForRound(const CamsimRun& camsim, qint64 fromMs)
{
    qint64 ms = -1;
    waitUntil([&] { return (ms = roundMs(camsim, fromMs)) >= 0; }, 600000);
    return ms;
}

// One blocking plain copy to one camera.
void plainCopyAndWait(const QString& host, const QString& firmware, const QByteArray& md5)
{
    QTcpSocket socket;
    // Held open until the camera has answered, as the tool's connection is.
    if (plainCopy(socket, host, firmware, md5))
        socket.waitForReadyRead(10000);
}
// One rollout of the file to every camera; its time, or -1.
qint64 toolRound(const CamsimRun& camsim, qint64 fromMs, const QString& firmware)
{
    Rollout rollout;
    for (int i = 0; i < kCameras; ++i)
        rollout.addCamera(camera(i));
    if (!rollout.setFirmware(firmware, 1, 1).ok()) {
        std::fprintf(stderr, "bench_rollout: cannot use %s\n", qPrintable(firmware));
        return -1;
    }
    RolloutOptions options;
    options.parallel = kCameras;
    options.canary = 0;
    options.confirm = false;
    rollout.setOptions(options);
    QSignalSpy finished(&rollout, &Rollout::finished);
    rollout.start();
    // Waiting inside the rollout's own event loop: a polling loop here would starve its sockets.
    finished.wait(600000);
    return rollout.count(Rollout::State::Succeeded) == kCameras ? roundMs(camsim, fromMs) : -1;
}

qint64 plainRound(const CamsimRun& camsim, qint64 fromMs, const QString& firmware)
{
    const QByteArray md5 = md5_text_of_file(firmware);
    std::vector<std::thread> copies;
    for (int i = 0; i < kCameras; ++i)
        copies.emplace_back(plainCopyAndWait, camera(i), firmware, md5);
    const qint64 ms = waitForRound(camsim, fromMs);
    for (std::thread& copy : copies)
        copy.join();
    return ms;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 mib = app.arguments().size() > 1 ? app.arguments().at(1).toLongLong() : 64;

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    CamsimRun camsim;
    QStringList args{"--no-discovery",
                     "--no-rtsp",
                     "--no-visca",
                     "--verify-ms",
                     "10",
                     "--flash-ms",
                     "10",
                     "--reboot-ms",
                     "300",
                     "--cameras",
                     QString::number(kCameras),
                     "--max-upload",
                     "1073741824"};
    for (int i = 0; i < kCameras; ++i)
        args << "--address" << camera(i);
    if (!camsim.start(args)) {
        std::fprintf(stderr, "bench_rollout: camsim did not start\n");
        return 1;
    }
    const QString firmware = work.filePath(QStringLiteral("IPC200_SOC_bench.pkg"));
    makeFirmware(firmware, mib);

    // A first rollout warms the page cache and the cameras' store; then the two kinds take turns and the best
    // of each counts. The peak RSS is read before any plain copy runs in this process.
    const int kRounds = 3;
    int ups = 0;
    qint64 fromMs = 0;
    qint64 tool = -1;
    qint64 plain = -1;
    qint64 rss = -1;
    const auto next = [&] {
        QDir(camsim.storePath).removeRecursively();
        ups += kCameras;
        fromMs = waitForCamerasUp(camsim, ups, 60000);
    };
    toolRound(camsim, fromMs, firmware);
    for (int round = 0; round < kRounds && fromMs >= 0; ++round) {
        next();
        const qint64 t = toolRound(camsim, fromMs, firmware);
        if (rss < 0)
            rss = peakRssKiB();
        next();
        const qint64 p = plainRound(camsim, fromMs, firmware);
        std::printf("round %d, %d cameras x %lld MiB: rollout %lld ms, plain copies %lld ms\n", round + 1,
                    kCameras, static_cast<long long>(mib), static_cast<long long>(t),
                    static_cast<long long>(p));
        std::fflush(stdout);
        if (t > 0 && (tool < 0 || t < tool))
            tool = t;
        if (p > 0 && (plain < 0 || p < plain))
            plain = p;
    }
    const double ratio = tool > 0 && plain > 0 ? double(tool) / double(plain) : 0.0;
    std::printf("best: rollout %lld ms, plain copies %lld ms\n", static_cast<long long>(tool),
                static_cast<long long>(plain));
    std::printf("RESULT bench=rollout ratio=%.2f rss_kib=%lld\n", ratio, static_cast<long long>(rss));
    return tool > 0 && plain > 0 ? 0 : 1;
}
