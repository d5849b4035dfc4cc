// rollout: one firmware file to many cameras, canaries first, each confirmed by its version after the reboot.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QVector>

#include <cstdio>
#include <unistd.h>

#include "firmwareimage.h"
#include "rollout.h"
#include "rolloutreport.h"
#include "subcommand.h"
#include "validators.h"

namespace
{
// Exit status of a rollout that ended before every camera began.
constexpr int kStoppedStatus = 3;
// Redraws of the live lines at most this often.
constexpr qint64 kRedrawIntervalMs = 100;

void declareRollout(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("hosts"), QStringLiteral("Addresses of the cameras."),
                                 QStringLiteral("[HOST...]"));
    parser.addOptions({
        {QStringLiteral("file"), QStringLiteral("The firmware file."), QStringLiteral("FILE")},
        {QStringLiteral("kind"), QStringLiteral("What it upgrades: soc, arm, soc-arm, mtd or partition:N."),
         QStringLiteral("KIND")},
        {QStringLiteral("layout"), QStringLiteral("Record layout: 1 (TYPE1, the default) or 2 (TYPE2)."),
         QStringLiteral("1|2"), QStringLiteral("1")},
        {QStringLiteral("parallel"), QStringLiteral("Cameras in progress at once, 1 to 32 (default 4)."),
         QStringLiteral("N"), QStringLiteral("4")},
        {QStringLiteral("canary"),
         QStringLiteral(
             "The first N cameras run alone; the rest start only if none of them failed (default 1)."),
         QStringLiteral("N"), QStringLiteral("1")},
        {QStringLiteral("max-failures"),
         QStringLiteral("Once K cameras failed no new camera starts and the rollout stops; 0 never stops "
                        "(default 1)."),
         QStringLiteral("K"), QStringLiteral("1")},
        {QStringLiteral("backup-first"),
         QStringLiteral(
             "Save each camera's configuration to backups/HOST.tar.gz first; a failed backup fails "
             "the camera.")},
        {QStringLiteral("no-confirm"),
         QStringLiteral("Do not wait for the reboot to ask the version again.")},
        {QStringLiteral("confirm-timeout"),
         QStringLiteral("How long a camera may take to answer after its upgrade (default 180)."),
         QStringLiteral("SECONDS"), QStringLiteral("180")},
        {QStringLiteral("report"), QStringLiteral("Write the CSV report to FILE."), QStringLiteral("FILE")},
        {QStringLiteral("hosts-file"), QStringLiteral("One address per line; '#' starts a comment."),
         QStringLiteral("FILE")},
    });
}

// A whole number of at least `minimum` (and at most `maximum` when it is positive), or -1.
int count(const QCommandLineParser& parser, const QString& option, int minimum, int maximum = 0)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    return ok && value >= minimum && (maximum <= 0 || value <= maximum) ? value : -1;
}

bool readHostsFile(const QString& path, QStringList* hosts)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString host =
            QString::fromUtf8(line.left(line.indexOf('#') < 0 ? line.size() : line.indexOf('#'))).trimmed();
        if (!host.isEmpty())
            hosts->append(host);
    }
    return true;
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
        for (const Rollout::Camera& camera : rollout.cameras()) {
            if (camera.startedMs < 0 || Rollout::isFinal(camera.state))
                continue;
            const int percent = camera.bytesTotal > 0 ? int(camera.bytesSent * 100 / camera.bytesTotal) : 0;
            std::fprintf(stdout, "%-15s %-10s %3d%%\n", qPrintable(camera.address),
                         qPrintable(Rollout::stateName(camera.state)), percent);
            ++m_shown;
        }
        std::fflush(stdout);
    }

private:
    bool m_enabled;
    int m_shown = 0;
    QElapsedTimer m_clock;
};

QString resultLine(const Rollout::Camera& camera)
{
    QString text = QStringLiteral("%1 %2").arg(camera.address, -15).arg(Rollout::stateName(camera.state));
    if (camera.state == Rollout::State::Failed)
        text += QStringLiteral(": ") + report_reason(camera);
    else if (!camera.versionAfter.isEmpty())
        text += QStringLiteral(": %1 -> %2").arg(camera.versionBefore, camera.versionAfter);
    return text;
}

int runRollout(const Invocation& in)
{
    const QCommandLineParser& parser = in.parser;
    const QString file = parser.value(QStringLiteral("file"));
    const int fileType = file_type_from_kind(parser.value(QStringLiteral("kind")));
    const QString layout = parser.value(QStringLiteral("layout"));
    const int parallel = count(parser, QStringLiteral("parallel"), 1, Rollout::MaxParallel);
    const int canary = count(parser, QStringLiteral("canary"), 0);
    const int maxFailures = count(parser, QStringLiteral("max-failures"), 0);
    const int timeout = count(parser, QStringLiteral("confirm-timeout"), 1, 24 * 3600);
    QStringList hosts = parser.positionalArguments();
    const bool fromFile = parser.isSet(QStringLiteral("hosts-file"));
    if (file.isEmpty() || fileType == 0)
        return in.usageError(QStringLiteral("needs --file and --kind soc, arm, soc-arm, mtd or partition:N"));
    if (layout != QLatin1String("1") && layout != QLatin1String("2"))
        return in.usageError(QStringLiteral("--layout must be 1 or 2"));
    if (parallel < 0 || canary < 0 || maxFailures < 0 || timeout < 0)
        return in.usageError(
            QStringLiteral("--parallel takes 1 to 32, --canary and --max-failures 0 or more, "
                           "--confirm-timeout whole seconds"));
    if (fromFile == !hosts.isEmpty())
        return in.usageError(QStringLiteral("expects HOST... or --hosts-file FILE"));
    const QString hostsFile = parser.value(QStringLiteral("hosts-file"));
    if (fromFile && !readHostsFile(hostsFile, &hosts))
        return in.usageError(QStringLiteral("cannot read %1").arg(hostsFile));
    if (hosts.isEmpty())
        return in.usageError(QStringLiteral("%1 lists no camera").arg(hostsFile));
    for (const QString& host : qAsConst(hosts))
        if (!validators::isValidHostIp(host))
            return in.usageError(QStringLiteral("%1 is not a camera address").arg(host));

    Rollout rollout;
    for (const QString& host : qAsConst(hosts))
        rollout.addCamera(host);
    const Verdict firmware = rollout.setFirmware(file, fileType, layout.toInt());
    if (!firmware.ok()) {
        const QString error = firmware.failure == Failure::RefusedType
                                  ? QStringLiteral("%1 is not a name for --kind %2")
                                        .arg(file, parser.value(QStringLiteral("kind")))
                                  : failure_reason(firmware);
        return in.out.result(false, {{QStringLiteral("reason"), error}}, error);
    }
    RolloutOptions options;
    options.parallel = parallel;
    options.canary = canary;
    options.maxFailures = maxFailures;
    options.backupFirst = parser.isSet(QStringLiteral("backup-first"));
    options.confirm = !parser.isSet(QStringLiteral("no-confirm"));
    options.confirmTimeoutMs = timeout * 1000;
    rollout.setOptions(options);

    LiveLines live(in.out.format() == Output::Format::Text && ::isatty(STDOUT_FILENO));
    QVector<Rollout::State> shown(hosts.size(), Rollout::State::Waiting);
    QObject::connect(&rollout, &Rollout::cameraChanged, [&](int index) {
        const Rollout::Camera& camera = rollout.cameras().at(index);
        if (camera.state == shown[index])
            return;
        shown[index] = camera.state;
        QJsonObject fields{{QStringLiteral("host"), camera.address},
                           {QStringLiteral("state"), Rollout::stateName(camera.state)}};
        if (Rollout::isFinal(camera.state)) {
            fields.insert(QStringLiteral("version_before"), camera.versionBefore);
            fields.insert(QStringLiteral("version_after"), camera.versionAfter);
            fields.insert(QStringLiteral("reason"), report_reason(camera));
            fields.insert(QStringLiteral("bytes"), camera.bytesSent);
            live.clear();
            in.out.event(QStringLiteral("camera"), fields, resultLine(camera));
        } else {
            in.out.event(QStringLiteral("camera"), fields);
        }
        live.draw(rollout, true);
    });
    QObject::connect(&rollout, &Rollout::cameraProgress, [&] { live.draw(rollout, false); });
    QObject::connect(&rollout, &Rollout::finished, [&] {
        live.clear();
        using State = Rollout::State;
        const int failed = rollout.count(State::Failed);
        QJsonObject counts;
        for (State state :
             {State::Confirmed, State::Unchanged, State::Succeeded, State::Failed, State::Skipped})
            counts.insert(Rollout::stateName(state), rollout.count(state));
        counts.insert(QStringLiteral("stopped"), rollout.wasStopped());
        QString summary = QStringLiteral("%1 confirmed, %2 unchanged, %3 succeeded, %4 failed, %5 skipped")
                              .arg(rollout.count(State::Confirmed))
                              .arg(rollout.count(State::Unchanged))
                              .arg(rollout.count(State::Succeeded))
                              .arg(failed)
                              .arg(rollout.count(State::Skipped));
        if (rollout.wasStopped())
            summary += QStringLiteral("; stopped before every camera began");
        in.out.line(summary);
        bool ok = failed == 0;
        QString problem = QStringLiteral("%1 of %2 cameras failed").arg(failed).arg(hosts.size());
        const QString report = parser.value(QStringLiteral("report"));
        QString reportError;
        if (!report.isEmpty()) {
            if (write_rollout_report(rollout, report, &reportError)) {
                counts.insert(QStringLiteral("report"), report);
            } else {
                ok = false;
                problem = QStringLiteral("cannot write %1: %2").arg(report, reportError);
            }
        }
        const int status = in.out.result(ok, counts, problem);
        QCoreApplication::exit(rollout.wasStopped() ? kStoppedStatus : status);
    });
    in.out.line(QStringLiteral("rolling out %1 to %2 cameras").arg(file).arg(hosts.size()));
    return runEventLoop([&] { rollout.start(); });
}
} // namespace

extern const Subcommand kRolloutCommand{
    "rollout",
    "--file FILE --kind soc|arm|soc-arm|mtd|partition:N [--layout 1|2] [--parallel N] [--canary N] "
    "[--max-failures K] [--backup-first] [--no-confirm] [--confirm-timeout SECONDS] [--report FILE] [--json] "
    "(HOST... | --hosts-file FILE)",
    "Upgrades many cameras: canaries first, a failure threshold, each confirmed after its reboot. Exit "
    "status "
    "3: stopped at the threshold or by a failed canary.",
    declareRollout, runRollout};
