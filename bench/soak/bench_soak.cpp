// Cycles of an upgrade, a backup and a restore through the core, as the faces drive them, against the cameras
// of one camsim on loopback; each operation goes to another camera, so none waits for a reboot. Resident
// memory and open descriptors are taken after a warm-up and at the end.
//
//   bench_soak [CYCLES]      default: 500
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cstdio>

#include "benchsupport.h"
#include "cameraupgrade.h"
#include "camsimrun.h"
#include "devicesession.h"
#include "tcprecord.h"

namespace
{
const int kCameras = 9;
const int kWarmUpCycles = 50;
const qint64 kAllowedGrowthKiB = 2048;
// A camera that is rebooting refuses connections for a moment: tried again this often, this many times.
const int kRetryMs = 50;
const int kTries = 100;

QString camera(int index)
{
    return QStringLiteral("127.0.0.%1").arg(240 + index);
}

qint64 residentKiB()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

bool upgrade(const QString& host, const QString& firmware)
{
    for (int tries = 0; tries < kTries; ++tries) {
        CameraUpgrade::Plan plan;
        plan.host = host;
        plan.image = FirmwareImage(firmware, 1);
        CameraUpgrade run(plan);
        Verdict verdict = Verdict::failed(Failure::TimedOut);
        bool done = false;
        QObject::connect(&run, &CameraUpgrade::finished, [&](const Verdict& v, UpgradeStep) {
            verdict = v;
            done = true;
        });
        run.start();
        waitUntil([&] { return done; }, 10000);
        if (verdict.ok())
            return true;
        if (verdict.failure != Failure::ConnectFailed)
            return false;
        waitUntil([] { return false; }, kRetryMs);
    }
    return false;
}

// A backup into `archive`, or a restore of it.
bool transfer(const QString& host, bool backup, const QString& archive)
{
    const QByteArray md5 = backup ? QByteArray() : md5_text_of_file(archive);
    for (int tries = 0; tries < kTries; ++tries) {
        DeviceSession session;
        session.setIdleTimeout(10000);
        Verdict verdict = Verdict::failed(Failure::TimedOut);
        bool done = false;
        QObject::connect(&session, &DeviceSession::connected, [&] {
            if (backup)
                session.backup(archive);
            else
                session.restore(archive, md5);
        });
        QObject::connect(&session, &DeviceSession::connectFailed, [&](const Verdict& v) {
            verdict = v;
            done = true;
        });
        QObject::connect(&session, &DeviceSession::finished, [&](DeviceSession::Operation, const Verdict& v) {
            verdict = v;
            done = true;
        });
        session.connectToCamera(host);
        waitUntil([&] { return done; }, 10000);
        if (verdict.ok())
            return true;
        if (verdict.failure != Failure::ConnectFailed)
            return false;
        waitUntil([] { return false; }, kRetryMs);
    }
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const int cycles = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 500;

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    CamsimRun camsim;
    QStringList args{"--no-discovery",
                     "--no-rtsp",
                     "--no-visca",
                     "--verify-ms",
                     "1",
                     "--flash-ms",
                     "1",
                     "--restore-ms",
                     "1",
                     "--reboot-ms",
                     "0",
                     "--cameras",
                     QString::number(kCameras)};
    for (int i = 0; i < kCameras; ++i)
        args << "--address" << camera(i);
    if (!camsim.start(args)) {
        std::fprintf(stderr, "bench_soak: camsim did not start\n");
        return 1;
    }
    const QString firmware = work.filePath(QStringLiteral("IPC200_SOC_soak.pkg"));
    makeFirmware(firmware, 1);
    const QString archive = work.filePath(QStringLiteral("soak.tar.gz"));

    qint64 rssAfterWarmUp = -1;
    int fdsAfterWarmUp = -1;
    int failures = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const int first = (3 * cycle) % kCameras;
        const bool ok = upgrade(camera(first), firmware) &&
                        transfer(camera((first + 1) % kCameras), true, archive) &&
                        transfer(camera((first + 2) % kCameras), false, archive);
        failures += !ok;
        // Stores of received files would fill the disk, not this process.
        if (cycle % 50 == 0)
            QDir(camsim.storePath).removeRecursively();
        if (cycle + 1 == kWarmUpCycles) {
            rssAfterWarmUp = residentKiB();
            fdsAfterWarmUp = openDescriptors();
        }
        if ((cycle + 1) % 50 == 0) {
            std::printf("cycle %d: resident %lld KiB, %d descriptors, %d failed cycles\n", cycle + 1,
                        static_cast<long long>(residentKiB()), openDescriptors(), failures);
            std::fflush(stdout);
        }
    }
    const qint64 growth = rssAfterWarmUp >= 0 ? residentKiB() - rssAfterWarmUp : -1;
    const int fdGrowth = fdsAfterWarmUp >= 0 ? openDescriptors() - fdsAfterWarmUp : -1;
    std::printf("RESULT bench=soak cycles=%d rss_growth_kib=%lld fd_growth=%d\n", cycles,
                static_cast<long long>(growth), fdGrowth);
    return failures == 0 && growth >= 0 && growth <= kAllowedGrowthKiB && fdGrowth == 0 ? 0 : 1;
}
