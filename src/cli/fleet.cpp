#include "fleet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "rolloutreport.h"
#include "validators.h"

namespace fleet
{
namespace
{
const QString kHostsFileOption = QStringLiteral("hosts-file");
const QString kParallelOption = QStringLiteral("parallel");
const QString kStallOption = QStringLiteral("stall-timeout");
// Redraws of the live lines at most this often.
constexpr qint64 kRedrawIntervalMs = 100;

// A whole number from `minimum` to `maximum`, or -1.
int number(const QCommandLineParser& parser, const QString& option, int minimum, int maximum)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    return ok && value >= minimum && value <= maximum ? value : -1;
}

// The running cameras' lines at the bottom of a terminal, redrawn in place; results scroll above them.
class LiveLines
{
public:
    explicit LiveLines(bool enabled) : m_enabled(enabled) { m_clock.start(); }

    void clear()
    {
        if (m_shown > 0)
            std::fprintf(stdout, "\033[%dA\r\033[J", m_shown);
        m_shown = 0;
        std::fflush(stdout);
    }

    void draw(const Rollout& rollout, bool force)
    {
        if (!m_enabled || (!force && m_clock.elapsed() < kRedrawIntervalMs))
            return;
        m_clock.restart();
        clear();
        // A line for each camera moving bytes; those only waiting (hundreds in a large rollout) are counted.
        QMap<Rollout::State, int> waiting;
        for (const Rollout::Camera& camera : rollout.cameras()) {
            if (camera.startedMs < 0 || Rollout::isFinal(camera.state))
                continue;
            if (camera.state != Rollout::State::Uploading && camera.state != Rollout::State::BackingUp) {
                ++waiting[camera.state];
                continue;
            }
            const int percent = camera.bytesTotal > 0 ? int(camera.bytesSent * 100 / camera.bytesTotal) : 0;
            std::fprintf(stdout, "%-15s %-10s %3d%%\n", qPrintable(camera.address),
                         qPrintable(Rollout::stateName(camera.state)), percent);
            ++m_shown;
        }
        QStringList counts;
        for (auto it = waiting.cbegin(); it != waiting.cend(); ++it)
            counts << QStringLiteral("%1 %2").arg(it.value()).arg(Rollout::stateName(it.key()));
        if (!counts.isEmpty()) {
            std::fprintf(stdout, "%s\n", qPrintable(counts.join(QStringLiteral(", "))));
            ++m_shown;
        }
        std::fflush(stdout);
    }

private:
    bool m_enabled;
    int m_shown = 0;
    QElapsedTimer m_clock;
};

// The self-pipe the signal handler writes to: the only thing it may safely do.
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);
}

const int kSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previous[2];
bool g_installed[2] = {false, false};
} // namespace

void declareHosts(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("hosts"), QStringLiteral("Addresses of the cameras."),
                                 QStringLiteral("[HOST...]"));
    parser.addOption(
        {kHostsFileOption,
         QStringLiteral("The cameras: one address per line ('#' starts a comment), or CSV with an "
                        "ip or address column (search --csv, a report)."),
         QStringLiteral("FILE")});
}

void declareParallel(QCommandLineParser& parser)
{
    parser.addOption({kParallelOption,
                      QStringLiteral("Transfers in flight at once, 1 to %1 (default 4); a camera waiting for "
                                     "its reboot holds none.")
                          .arg(Rollout::MaxParallel),
                      QStringLiteral("N"), QStringLiteral("4")});
}

void declareStallTimeout(QCommandLineParser& parser)
{
    parser.addOption({kStallOption,
                      QStringLiteral("A transfer the camera takes or sends no byte of for this long fails as "
                                     "stalled (default 30)."),
                      QStringLiteral("SECONDS"), QString::number(DefaultStallSeconds)});
}

int parallel(const QCommandLineParser& parser)
{
    return number(parser, kParallelOption, 1, Rollout::MaxParallel);
}

int stallTimeoutMs(const QCommandLineParser& parser)
{
    const int seconds = number(parser, kStallOption, 1, 24 * 3600);
    return seconds < 0 ? -1 : seconds * 1000;
}

bool readHostsFile(const QString& path, QVector<Host>* hosts, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    const QList<QStringList> rows = parse_csv(text);
    const QStringList header = rows.value(0);
    int address = header.indexOf(QStringLiteral("ip"));
    if (address < 0)
        address = header.indexOf(QStringLiteral("address"));
    if (address >= 0) {
        const int deviceId = header.indexOf(QStringLiteral("device_id"));
        const int mac = header.indexOf(QStringLiteral("mac"));
        for (int index = 1; index < rows.size(); ++index) {
            const QStringList& row = rows.at(index);
            if (!row.value(address).trimmed().isEmpty())
                hosts->append(
                    {row.value(address).trimmed(), row.value(deviceId).trimmed(), row.value(mac).trimmed()});
        }
        return true;
    }
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString host = line.left(line.indexOf(QLatin1Char('#'))).trimmed();
        if (!host.isEmpty())
            hosts->append({host, QString(), QString()});
    }
    return true;
}

int readHosts(const Invocation& in, QVector<Host>* hosts)
{
    const QStringList positional = in.parser.positionalArguments();
    const bool fromFile = in.parser.isSet(kHostsFileOption);
    if (fromFile == !positional.isEmpty())
        return in.usageError(QStringLiteral("expects HOST... or --hosts-file FILE"));
    for (const QString& host : positional)
        hosts->append({host, QString(), QString()});
    const QString path = in.parser.value(kHostsFileOption);
    QString error;
    if (fromFile && !readHostsFile(path, hosts, &error))
        return in.usageError(error);
    if (hosts->isEmpty())
        return in.usageError(QStringLiteral("%1 lists no camera").arg(path));
    for (const Host& host : qAsConst(*hosts))
        if (!validators::isValidHostIp(host.address))
            return in.usageError(QStringLiteral("%1 is not a camera address").arg(host.address));
    return -1;
}

Interrupts::Interrupts(std::function<void(int)> handler) : m_notifier(nullptr), m_handler(std::move(handler))
{
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        const ssize_t n = ::read(g_signalPipe[0], bytes, sizeof bytes);
        for (ssize_t i = 0; i < n; ++i)
            m_handler(++m_count);
    });
    for (int i = 0; i < 2; ++i) {
        struct sigaction action {
        };
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        if (::sigaction(kSignals[i], nullptr, &g_previous[i]) == 0 && g_previous[i].sa_handler != SIG_IGN)
            g_installed[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

Interrupts::~Interrupts()
{
    for (int i = 0; i < 2; ++i)
        if (g_installed[i])
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
}

int run(const Invocation& in, Rollout& rollout, const Face& face)
{
    LiveLines live(in.out.format() == Output::Format::Text && ::isatty(STDOUT_FILENO));
    QVector<Rollout::State> shown(rollout.cameras().size(), Rollout::State::Waiting);
    const auto show = [&](int index) {
        const Rollout::Camera& camera = rollout.cameras().at(index);
        if (camera.state == shown[index])
            return;
        shown[index] = camera.state;
        QJsonObject fields{{QStringLiteral("host"), camera.address},
                           {QStringLiteral("state"), Rollout::stateName(camera.state)}};
        live.clear();
        if (Rollout::isFinal(camera.state)) {
            const QJsonObject more = face.fields(camera);
            for (auto it = more.begin(); it != more.end(); ++it)
                fields.insert(it.key(), it.value());
            const bool skipped = camera.state == Rollout::State::Skipped;
            const QString words = skipped ? stop_words(rollout) : face.text(camera);
            if (skipped)
                fields.insert(QStringLiteral("reason"), words);
            in.out.event(
                QStringLiteral("camera"), fields,
                QStringLiteral("%1 %2").arg(camera.address, -15).arg(Rollout::stateName(camera.state)) +
                    (words.isEmpty() ? QString() : QStringLiteral(": ") + words));
        } else {
            in.out.event(QStringLiteral("camera"), fields);
        }
        live.draw(rollout, true);
    };
    // Unhooked when this returns: the lambdas hold its locals.
    QObject context;
    QObject::connect(&rollout, &Rollout::cameraChanged, &context, show);
    QObject::connect(&rollout, &Rollout::cameraProgress, &context, [&] { live.draw(rollout, false); });
    Interrupts interrupts([&](int count) {
        live.clear();
        if (count == 1) {
            in.out.event(QStringLiteral("interrupt"), {{QStringLiteral("count"), 1}},
                         QStringLiteral("interrupted: no new camera starts and transfers under way finish; "
                                        "interrupt again to end them"));
            rollout.interrupt();
        } else if (count == 2) {
            in.out.event(QStringLiteral("interrupt"), {{QStringLiteral("count"), 2}},
                         QStringLiteral("interrupted again: ending the transfers under way"));
            rollout.abort();
        }
        live.draw(rollout, true);
    });
    QObject::connect(&rollout, &Rollout::finished, &context, [&] {
        live.clear();
        const int failed = rollout.count(Rollout::State::Failed);
        QJsonObject counts;
        QStringList parts;
        for (Rollout::State state : face.counted + face.optional) {
            const int n = rollout.count(state);
            counts.insert(Rollout::stateName(state), n);
            if (n > 0 || face.counted.contains(state))
                parts << QStringLiteral("%1 %2").arg(n).arg(Rollout::stateName(state));
        }
        counts.insert(QStringLiteral("stopped"), rollout.wasStopped());
        counts.insert(QStringLiteral("interrupted"), rollout.wasInterrupted());
        const QString stopped = stop_words(rollout);
        counts.insert(QStringLiteral("stop_reason"), stop_reason_name(rollout.stopReason()));
        if (rollout.stopReason() == Rollout::StopReason::FailureThreshold)
            counts.insert(QStringLiteral("stop_failures"), rollout.failuresAtStop());
        QString summary = parts.join(QStringLiteral(", "));
        if (!stopped.isEmpty())
            summary += QStringLiteral("; ") + stopped;
        in.out.line(summary);
        bool ok = failed == 0 && !rollout.wasInterrupted();
        QString problem =
            failed == 0 && rollout.wasInterrupted()
                ? QStringLiteral("interrupted")
                : QStringLiteral("%1 of %2 cameras failed").arg(failed).arg(rollout.cameras().size());
        if (failed > 0 && !stopped.isEmpty())
            problem += QStringLiteral("; ") + stopped;
        if (face.journal && face.journal->error().isEmpty()) {
            counts.insert(QStringLiteral("report"), face.journal->path());
        } else if (face.journal) {
            ok = false;
            problem = QStringLiteral("cannot write %1: %2").arg(face.journal->path(), face.journal->error());
        }
        const int status = in.out.result(ok, counts, problem);
        QCoreApplication::exit(rollout.wasStopped() || rollout.wasInterrupted() ? StoppedStatus : status);
    });
    in.out.line(face.start);
    // Cameras left alone from the start have their result already.
    for (int index = 0; index < rollout.cameras().size(); ++index)
        show(index);
    return runEventLoop([&] { rollout.start(); });
}
} // namespace fleet
