// Uploads a 64 MiB and a 512 MiB firmware to camsim on loopback, three times each through the tool's window
// and as a plain TCP copy of the same bytes, alternating, and prints the time from the 'U' request to 'U' 3
// for both (taken from the camera's own event log, so both are measured at the same place), the ratio of the
// medians and the tool's peak RSS. The last line is machine-readable.
//
//   bench_upgrade [sizes in MiB...]      default: 64 512
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "benchsupport.h"
#include "camsimrun.h"
#include "mainwindow.h"
#include "tcprecord.h"

namespace
{
const char* const kCamera = "127.0.0.250";

// Milliseconds on the camera's clock from the n-th 'U' request it received to the 'U' 3 that followed it.
double uploadMs(const CamsimRun& camsim, int n)
{
    qint64 start = -1;
    int seen = 0;
    for (const QJsonObject& e : camsim.events()) {
        if (e.value("event") == "record_in" && e.value("type") == "U" && ++seen == n)
            start = e.value("ms").toVariant().toLongLong();
        else if (start >= 0 && e.value("event") == "record_out" && e.value("type") == "U" &&
                 e.value("status").toInt() == 3)
            return double(e.value("ms").toVariant().toLongLong() - start);
    }
    return -1;
}

bool waitForUpload(CamsimRun& camsim, int n, int timeoutMs)
{
    return waitUntil([&] { return uploadMs(camsim, n) >= 0; }, timeoutMs);
}

// Closes every message box the window opens, so the upgrade runs unattended.
void answerBoxes()
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(box->standardButtons() & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::Cancel)
                ->click();
    });
    timer->start(50);
}

double toolUpload(CamsimRun& camsim, const QString& firmware, int n)
{
    QFile config("config.ini");
    config.open(QIODevice::WriteOnly);
    config.write(QString("[upgrade]\nlanguage=English\nmode=Simple\nverify=false\nauto_backup=false\n"
                         "model_type=true\ntype=SOC\nipaddr=%1\npath=%2\n")
                     .arg(kCamera, firmware)
                     .toUtf8());
    config.close();
    MainWindow window;
    window.findChild<QPushButton*>("upgrade_Button")->click();
    if (!waitForUpload(camsim, n, 600000))
        return -1;
    return uploadMs(camsim, n);
}

double plainUpload(CamsimRun& camsim, const QString& firmware, int n)
{
    QTcpSocket socket;
    if (!plainCopy(socket, kCamera, firmware, md5_text_of_file(firmware)))
        return -1;
    if (!waitForUpload(camsim, n, 600000))
        return -1;
    return uploadMs(camsim, n);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<qint64> sizes;
    for (const QString& arg : app.arguments().mid(1))
        sizes << arg.toLongLong();
    if (sizes.isEmpty())
        sizes = {64, 512};

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    CamsimRun camsim;
    if (!camsim.start({"--address", kCamera, "--no-discovery", "--no-rtsp", "--no-visca", "--verify-ms", "10",
                       "--flash-ms", "10", "--reboot-ms", "300", "--max-upload", "1073741824"})) {
        std::fprintf(stderr, "bench_upgrade: camsim did not start\n");
        return 1;
    }
    answerBoxes();
    constexpr int kRounds = 3;
    const auto median = [](QVector<double> values) {
        std::sort(values.begin(), values.end());
        return values.at(values.size() / 2);
    };
    std::printf("%-8s %12s %12s %8s %14s\n", "size", "tool ms", "plain ms", "ratio", "tool peak RSS");
    QString result = QStringLiteral("RESULT bench=upload");
    int uploads = 0;
    for (qint64 mib : sizes) {
        const QString firmware = work.filePath(QString("IPC200_SOC_bench%1.pkg").arg(mib));
        makeFirmware(firmware, mib);
        QVector<double> tool, plain;
        for (int round = 0; round < kRounds; ++round) {
            tool << toolUpload(camsim, firmware, ++uploads);
            waitForCamerasUp(camsim, uploads, 30000);
            plain << plainUpload(camsim, firmware, ++uploads);
            waitForCamerasUp(camsim, uploads, 30000);
        }
        const double toolMs = median(tool), plainMs = median(plain);
        const double ratio = plainMs > 0 && toolMs > 0 ? toolMs / plainMs : 0.0;
        std::printf("%4lld MiB %12.0f %12.0f %8.2f %10lld KiB\n", static_cast<long long>(mib), toolMs,
                    plainMs, ratio, static_cast<long long>(peakRssKiB()));
        std::fflush(stdout);
        result += QStringLiteral(" ratio%1=%2").arg(mib).arg(ratio, 0, 'f', 2);
        QFile::remove(firmware);
    }
    std::printf("%s rss_kib=%lld\n", qPrintable(result), static_cast<long long>(peakRssKiB()));
    return 0;
}
