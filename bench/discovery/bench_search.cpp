// Search benchmark. Started as it is, it runs itself twice inside the private LAN (it never multicasts here):
//   1000 cameras answering over one second, and 100 cameras answering in one burst.
// Inside the LAN it times the search datagram to the last row listed by the tool, against a plain UDP
// receiver that sends the same search and only counts the replies, in the same run, and samples the tool's
// threads. The last line is machine-readable.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QUuid>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "discoverymessages.h"
#include "mainwindow.h"

template <typename Tag> class MainWindowAccess;
struct BenchTag;
template <> class MainWindowAccess<BenchTag>
{
public:
    static int listed(MainWindow& w) { return w.device_list.size(); }
    static QString clientId(MainWindow& w) { return w.client_id; }
    static void insert(MainWindow& w, const Dev_info& record) { w.insertData(record); }
};

namespace
{

constexpr int Rounds = 3;
constexpr int TimeoutMs = 30000;

long statusValue(const char* key)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Milliseconds until `expected` distinct devices answered this receiver's own search, or -1.
double plainReceiver(const QByteArray& toolIp, int expected)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    const int buffer = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(discovery::Port);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local));
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = inet_addr(discovery::GroupAddress);
    membership.imr_interface.s_addr = inet_addr(toolIp.constData());
    ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof(membership));
    ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &membership.imr_interface, sizeof(in_addr));

    const QString clientId = QUuid::createUuid().toString(QUuid::Id128);
    const QByteArray search = discovery::encodeMessage(discovery::searchMessage(clientId));
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(discovery::Port);
    group.sin_addr.s_addr = inet_addr(discovery::GroupAddress);

    QElapsedTimer clock;
    clock.start();
    ::sendto(fd, search.constData(), size_t(search.size()), 0, reinterpret_cast<sockaddr*>(&group),
             sizeof(group));
    std::set<std::string> devices;
    double last = -1;
    char datagram[2048];
    const QByteArray wanted = "Client ID:" + clientId.toLatin1();
    while (int(devices.size()) < expected && clock.elapsed() < TimeoutMs) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0)
            continue;
        const ssize_t size = ::recv(fd, datagram, sizeof(datagram), 0);
        const QByteArray text = QByteArray::fromRawData(datagram, int(qMax<ssize_t>(size, 0)));
        const int id = text.indexOf("Device ID:");
        if (!text.startsWith("REPLY OK ") || !text.contains(wanted) || id < 0)
            continue;
        devices.insert(text.mid(id + 10, 32).toStdString());
        last = clock.nsecsElapsed() / 1e6;
    }
    ::close(fd);
    return int(devices.size()) == expected ? last : -1;
}

struct ToolRun {
    double ms = -1;
    long peakThreads = 0;
};

ToolRun toolSearch(const QString& toolIp, int expected)
{
    ToolRun run;
    MainWindow w;
    auto* combo = w.findChild<QComboBox*>("local_ip_list_comboBox");
    combo->setCurrentIndex(combo->findText(":" + toolIp, Qt::MatchEndsWith));
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { run.peakThreads = qMax(run.peakThreads, statusValue("Threads:")); });
    sampler.start(2);

    QElapsedTimer clock;
    clock.start();
    w.findChild<QPushButton*>("search_Button")->click();
    while (MainWindowAccess<BenchTag>::listed(w) < expected && clock.elapsed() < TimeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (MainWindowAccess<BenchTag>::listed(w) == expected)
        run.ms = clock.nsecsElapsed() / 1e6;
    return run;
}

// The list alone: the worst single insertion is what the operator could notice as a stall.
void listOnly(int count)
{
    MainWindow w;
    const QString clientId = MainWindowAccess<BenchTag>::clientId(w);
    QElapsedTimer total, one;
    double worst = 0;
    total.start();
    for (int i = 0; i < count; ++i) {
        Dev_info record;
        record.client_id = clientId;
        record.device_id = QString::number(i).rightJustified(32, QLatin1Char('0'));
        record.ipaddr = QStringLiteral("198.18.%1.%2").arg((i * 7919) % 250 + 1).arg(i % 250 + 1);
        record.netmask = QStringLiteral("255.254.0.0");
        record.gateway = QStringLiteral("198.18.0.1");
        record.macaddr = QStringLiteral("02:5A:C3:00:00:01");
        record.uptime = QStringLiteral("00:00:01");
        one.start();
        MainWindowAccess<BenchTag>::insert(w, record);
        worst = qMax(worst, one.nsecsElapsed() / 1e6);
    }
    std::printf("list alone: %d rows in %.1f ms, worst insertion %.2f ms\n", count,
                total.nsecsElapsed() / 1e6, worst);
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

// Runs this program inside a fresh private LAN and returns its last line.
QString insideLan(const QString& cameras, const QString& camsimArgs)
{
    QProcess lan;
    lan.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    lan.start(QStringLiteral(SIMLAN_PATH),
              {"--cameras", cameras, "--camsim", QStringLiteral(CAMSIM_PATH), "--camsim-args", camsimArgs,
               "--", QCoreApplication::applicationFilePath()});
    lan.waitForFinished(600000);
    const QStringList lines =
        QString::fromLocal8Bit(lan.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        std::printf("  %s\n", qPrintable(line));
    return lines.value(lines.size() - 1);
}

QString figure(const QString& line, const QString& key)
{
    const QRegularExpressionMatch match = QRegularExpression(key + QStringLiteral("=(\\S+)")).match(line);
    return match.hasMatch() ? match.captured(1) : QStringLiteral("-1");
}

int runBoth()
{
    std::printf("1000 cameras answering over one second:\n");
    const QString spread = insideLan("1000", "--no-rtsp --no-visca --reply-delay-ms 1000");
    std::printf("100 cameras answering at once:\n");
    const QString burst = insideLan("100", "--no-rtsp --no-visca");
    const int threads = qMax(figure(spread, "peak_threads").toInt(), figure(burst, "peak_threads").toInt());
    std::printf("RESULT bench=search ratio1000=%s ratio_burst100=%s peak_threads=%d\n",
                qPrintable(figure(spread, "ratio")), qPrintable(figure(burst, "ratio")), threads);
    return figure(spread, "ratio").toDouble() > 0 && figure(burst, "ratio").toDouble() > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString toolIp = qEnvironmentVariable("SIMLAN_TOOL_IP");
    const int cameras = qEnvironmentVariable("SIMLAN_CAMERA_IPS").split(' ', Qt::SkipEmptyParts).size();
    if (toolIp.isEmpty() || cameras == 0)
        return runBoth();
    QtMessageHandler quiet = [](QtMsgType, const QMessageLogContext&, const QString&) {};
    qInstallMessageHandler(quiet);

    QVector<double> plain, tool;
    long peakThreads = 0;
    for (int round = 0; round < Rounds; ++round) {
        plain << plainReceiver(toolIp.toLatin1(), cameras);
        const ToolRun run = toolSearch(toolIp, cameras);
        tool << run.ms;
        peakThreads = qMax(peakThreads, run.peakThreads);
    }
    const double plainMs = median(plain), toolMs = median(tool);
    const double ratio = plainMs > 0 && toolMs > 0 ? toolMs / plainMs : -1.0;
    listOnly(cameras);
    std::printf(
        "cameras %d, rounds %d (median): plain receiver %.1f ms to the last reply, tool %.1f ms to the last "
        "row listed\n",
        cameras, Rounds, plainMs, toolMs);
    std::printf("cameras=%d ratio=%.2f peak_threads=%ld peak_rss_kib=%ld\n", cameras, ratio, peakThreads,
                statusValue("VmHWM:"));
    return ratio > 0 ? 0 : 1;
}
