// A rollout to 256 cameras of one camsim, 8 MiB each, a 20 s reboot, 8 uploads in flight and every camera
// confirmed, against its bound: one camera's whole upgrade alone plus 8 parallel plain TCP copies of the file
// to all 256 cameras. Then the same rollout in the window's Rollout tab (offscreen), for the longest gap
// between two paints of its table while the table is asked to repaint every 10 ms. Three rounds, each on a
// fresh camsim; the figures are their medians.
//
// 256 cameras need more than one /24 of loopback, so the benchmark runs itself again inside a user and
// network namespace of its own (unshare), where the whole of 127.0.0.0/8 is private: nothing reaches this
// machine's interfaces.
//
//   bench_rollout_scale [--old-rule] [--rounds N] [--window-only]
//     --old-rule     a camera holds its place until confirmed (max-unconfirmed = parallel), as before
//     --rounds N     3 by default
//     --window-only  only the window's part, for 15 s
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <thread>
#include <vector>

#include "benchsupport.h"
#include "camsimrun.h"
#include "mainwindow.h"
#include "rollout.h"
#include "rollout/rollouttab.h"
#include "tcprecord.h"

namespace
{
const int kCameras = 256;
const int kParallel = 8;
const qint64 kMiB = 8;
const int kRebootMs = 20000;
const char* const kInsideNamespace = "BENCH_ROLLOUT_SCALE_INSIDE";

// As camsim's --base-ip numbers them: host parts .0 and .255 skipped.
QStringList cameraAddresses()
{
    QStringList addresses;
    for (quint32 ip = (127u << 24) | (1u << 8) | 1u; addresses.size() < kCameras; ++ip)
        if ((ip & 0xff) != 0 && (ip & 0xff) != 255)
            addresses << QStringLiteral("%1.%2.%3.%4")
                             .arg(ip >> 24)
                             .arg((ip >> 16) & 0xff)
                             .arg((ip >> 8) & 0xff)
                             .arg(ip & 0xff);
    return addresses;
}

qint64 statusField(const QByteArray& name)
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Peaks of the process while a phase runs: threads and descriptors sampled every 50 ms, RSS by the kernel.
struct Peaks {
    qint64 rssKiB = 0;
    qint64 startKiB = 0; // resident when the phase began
    int threads = 0;
    int fds = 0;
};

class PeakSampler
{
public:
    PeakSampler()
    {
        // Hands back what earlier phases freed (the plain copies' threads keep their malloc arenas) and
        // resets VmHWM, so the peak is this phase's own on top of what is still live.
        malloc_trim(0);
        m_startKiB = statusField("VmRSS:");
        QFile clear("/proc/self/clear_refs");
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
        m_timer.start(50);
    }
    Peaks stop()
    {
        sample();
        m_timer.stop();
        m_peaks.rssKiB = statusField("VmHWM:");
        m_peaks.startKiB = m_startKiB;
        return m_peaks;
    }

private:
    void sample()
    {
        m_peaks.threads = std::max(m_peaks.threads, int(statusField("Threads:")));
        m_peaks.fds =
            std::max(m_peaks.fds, int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size()));
    }
    QTimer m_timer;
    Peaks m_peaks;
    qint64 m_startKiB = 0;
};

bool startCamsim(CamsimRun& camsim)
{
    return camsim.start({"--no-discovery", "--no-rtsp", "--no-visca", "--base-ip", "127.0.1.1", "--cameras",
                         QString::number(kCameras), "--reboot-ms", QString::number(kRebootMs), "--max-upload",
                         "1073741824", "--seed", "7"});
}

RolloutOptions options(bool oldRule)
{
    RolloutOptions options;
    options.parallel = kParallel;
    options.canary = 0;
    options.maxFailures = 1;
    // Every camera may be unconfirmed at once: the uploads of all 256 take less than one reboot.
    options.maxUnconfirmed = oldRule ? kParallel : kCameras;
    return options;
}

// A rollout of the core to these cameras; its makespan in ms, or -1 unless every camera was confirmed.
qint64 coreRollout(const QStringList& cameras, const QString& firmware, bool oldRule)
{
    Rollout rollout;
    for (const QString& camera : cameras)
        rollout.addCamera(camera);
    if (!rollout.setFirmware(firmware, 1, 1).ok())
        return -1;
    rollout.setOptions(options(oldRule));
    QSignalSpy finished(&rollout, &Rollout::finished);
    QElapsedTimer clock;
    clock.start();
    rollout.start();
    finished.wait(3600000);
    const qint64 ms = clock.elapsed();
    // A camera that had this very file before reports the same version again: unchanged, and done.
    const int done = rollout.count(Rollout::State::Confirmed) + rollout.count(Rollout::State::Unchanged);
    return done == cameras.size() ? ms : -1;
}

// 8 plain copies at a time until every camera has the file: each waits for the camera's 'U' 3.
qint64 plainCopies(const QStringList& cameras, const QString& firmware)
{
    const QByteArray md5 = md5_text_of_file(firmware);
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    QElapsedTimer clock;
    clock.start();
    std::vector<std::thread> workers;
    for (int w = 0; w < kParallel; ++w)
        workers.emplace_back([&] {
            for (int i; (i = next++) < cameras.size();) {
                QTcpSocket socket;
                if (plainCopy(socket, cameras.at(i), firmware, md5) && socket.waitForReadyRead(30000))
                    ++done;
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    const qint64 ms = clock.elapsed();
    return done == cameras.size() ? ms : -1;
}

// The same rollout started from the Rollout tab (its unconfirmed bound is the default: the tab has no field
// for it); the longest gap between two paints of its table while it runs, stopped after `forMs`: the uploads,
// when most rows change, all fall in the first of them.
qint64 windowRollout(const QStringList& cameras, const QString& firmware, qint64 forMs, Peaks* peaks)
{
    PeakSampler sampler;
    MainWindow window;
    window.resize(1200, 850);
    window.show();
    auto* tab = window.findChild<RolloutTab*>();
    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    tabs->setCurrentWidget(tab);
    for (int i = 0; i < cameras.size(); ++i)
        tab->addCamera(cameras.at(i), QStringLiteral("ID%1").arg(i));
    window.findChild<QLineEdit*>("rollout_file_lineEdit")->setText(firmware);
    window.findChild<QSpinBox*>("rollout_parallel_spinBox")->setValue(kParallel);
    window.findChild<QSpinBox*>("rollout_canary_spinBox")->setValue(0);
    window.findChild<QCheckBox*>("rollout_confirm_checkBox")->setChecked(true);
    auto* table = window.findChild<QTableWidget*>("rollout_tableWidget");
    QApplication::processEvents();

    struct PaintWatch : QObject {
        QElapsedTimer clock;
        qint64 last = -1;
        qint64 longest = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) {
                const qint64 now = clock.elapsed();
                if (last >= 0)
                    longest = std::max(longest, now - last);
                last = now;
            }
            return false;
        }
    } watch;
    watch.clock.start();
    table->viewport()->installEventFilter(&watch);
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, [table] { table->viewport()->update(); });
    repaint.start(10);

    // The camsim cameras are of several models: the window asks before sending one file to all, and the
    // benchmark, like the core run, upgrades them all.
    QTimer yes;
    QObject::connect(&yes, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            if (QAbstractButton* button = box->button(QMessageBox::Yes))
                button->click();
    });
    yes.start(50);
    auto* start = window.findChild<QPushButton*>("rollout_start_Button");
    start->click();
    if (start->isEnabled()) {
        QWidget* box = QApplication::activeModalWidget();
        std::fprintf(stderr, "bench_rollout_scale: the window did not start: %s\n",
                     box ? qPrintable(box->findChild<QLabel*>("qt_msgbox_label")->text()) : "no message");
    }
    waitUntil([&] { return start->isEnabled(); }, int(forMs));
    table->viewport()->removeEventFilter(&watch);
    repaint.stop();
    window.findChild<QPushButton*>("rollout_stop_Button")->click();
    tab->abort();
    *peaks = sampler.stop();
    return watch.longest;
}

qint64 median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

// Runs this program again in a user and network namespace of its own, loopback up.
int runInsideNamespace(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const QString self = QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath();
    const QString script = QStringLiteral("ip link set lo up && exec \"$0\" \"$@\"");
    QProcess inner;
    inner.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kInsideNamespace, "1");
    inner.setProcessEnvironment(env);
    inner.start("unshare",
                QStringList{"--user", "--map-root-user", "--net", "--", "sh", "-c", script, self} + args);
    if (!inner.waitForStarted(5000)) {
        std::fprintf(stderr, "bench_rollout_scale: cannot run unshare\n");
        return 1;
    }
    inner.waitForFinished(-1);
    return inner.exitStatus() == QProcess::NormalExit ? inner.exitCode() : 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet(kInsideNamespace))
        return runInsideNamespace(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const bool oldRule = arguments.contains("--old-rule");
    const int roundsAt = arguments.indexOf("--rounds");
    const int rounds = roundsAt > 0 ? qMax(1, arguments.value(roundsAt + 1).toInt()) : 3;
    const bool windowOnly = arguments.contains("--window-only");

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    const QString firmware = work.filePath(QStringLiteral("IPC200_SOC_bench.pkg"));
    makeFirmware(firmware, kMiB);
    const QStringList cameras = cameraAddresses();

    std::vector<qint64> makespans, bounds, rss, threads, fds, gaps;
    std::vector<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        CamsimRun camsim;
        if (!startCamsim(camsim)) {
            std::fprintf(stderr, "bench_rollout_scale: camsim did not start\n");
            return 1;
        }
        // (b) The link's share; the cameras then reboot, as after any upload.
        if (windowOnly) {
            Peaks window;
            const qint64 gap = windowRollout(cameras, firmware, 15000, &window);
            std::printf("window: rss %lld KiB, threads %d, fds %d, longest repaint gap %lld ms\n",
                        static_cast<long long>(window.rssKiB), window.threads, window.fds,
                        static_cast<long long>(gap));
            std::fflush(stdout);
            continue;
        }
        const qint64 plain = plainCopies(cameras, firmware);
        QDir(camsim.storePath).removeRecursively();
        waitForCamerasUp(camsim, kCameras, kRebootMs + 60000);
        // (a) One camera's whole upgrade alone.
        const qint64 alone = coreRollout(cameras.mid(0, 1), firmware, oldRule);
        QDir(camsim.storePath).removeRecursively();
        PeakSampler sampler;
        const qint64 makespan = coreRollout(cameras, firmware, oldRule);
        const Peaks core = sampler.stop();
        QDir(camsim.storePath).removeRecursively();
        Peaks window;
        const qint64 gap = windowRollout(cameras, firmware, qBound<qint64>(30000, makespan, 60000), &window);
        camsim.stop();

        const qint64 bound = alone + plain;
        const double ratio = makespan > 0 && bound > 0 ? double(makespan) / double(bound) : 0.0;
        std::printf(
            "round %d: alone %lld ms, plain copies %lld ms, bound %lld ms, makespan %lld ms, ratio %.2f; "
            "core: rss %lld KiB (from %lld), threads %d, fds %d; window: rss %lld KiB (from %lld), threads "
            "%d, "
            "fds %d, longest repaint gap %lld ms\n",
            round, static_cast<long long>(alone), static_cast<long long>(plain),
            static_cast<long long>(bound), static_cast<long long>(makespan), ratio,
            static_cast<long long>(core.rssKiB), static_cast<long long>(core.startKiB), core.threads,
            core.fds, static_cast<long long>(window.rssKiB), static_cast<long long>(window.startKiB),
            window.threads, window.fds, static_cast<long long>(gap));
        std::fflush(stdout);
        if (alone < 0 || plain < 0 || makespan < 0)
            return 1;
        makespans.push_back(makespan);
        bounds.push_back(bound);
        ratios.push_back(ratio);
        rss.push_back(std::max(core.rssKiB, window.rssKiB));
        threads.push_back(std::max(core.threads, window.threads));
        fds.push_back(std::max(core.fds, window.fds));
        gaps.push_back(gap);
    }
    if (windowOnly)
        return 0;
    std::sort(ratios.begin(), ratios.end());
    std::printf(
        "RESULT bench=rollout_scale cameras=%d makespan_ms=%lld bound_ms=%lld ratio=%.2f rss_kib=%lld "
        "peak_threads=%lld peak_fds=%lld repaint_gap_ms=%lld\n",
        kCameras, static_cast<long long>(median(makespans)), static_cast<long long>(median(bounds)),
        ratios[ratios.size() / 2], static_cast<long long>(median(rss)),
        static_cast<long long>(median(threads)), static_cast<long long>(median(fds)),
        static_cast<long long>(median(gaps)));
    return 0;
}
