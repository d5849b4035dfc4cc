// rollout: one firmware file to many cameras, canaries first, each confirmed by its version after the reboot.
#include <QFile>
#include <QJsonObject>

#include <memory>

#include "firmwareimage.h"
#include "fleet.h"
#include "rollout.h"
#include "rolloutreport.h"
#include "subcommand.h"

namespace
{
// A whole number of at least `minimum` (and at most `maximum` when it is positive), or -1.
int count(const QCommandLineParser& parser, const QString& option, int minimum, int maximum = 0)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    return ok && value >= minimum && (maximum <= 0 || value <= maximum) ? value : -1;
}

void declareRollout(QCommandLineParser& parser)
{
    fleet::declareHosts(parser);
    parser.addOptions({
        {QStringLiteral("file"), QStringLiteral("The firmware file."), QStringLiteral("FILE")},
        {QStringLiteral("kind"), QStringLiteral("What it upgrades: soc, arm, soc-arm, mtd or partition:N."),
         QStringLiteral("KIND")},
        {QStringLiteral("layout"), QStringLiteral("Record layout: 1 (TYPE1, the default) or 2 (TYPE2)."),
         QStringLiteral("1|2"), QStringLiteral("1")},
        {QStringLiteral("canary"),
         QStringLiteral(
             "The first N cameras run alone; the rest start only if none of them failed (default 1)."),
         QStringLiteral("N"), QStringLiteral("1")},
        {QStringLiteral("max-failures"),
         QStringLiteral("Once K cameras failed no new camera starts and the rollout stops; 0 never stops "
                        "(default 1)."),
         QStringLiteral("K"), QStringLiteral("1")},
        {QStringLiteral("max-unconfirmed"),
         QStringLiteral("Cameras under way at once, those upgraded but not yet confirmed included, 1 to %1 "
                        "(default 4 x --parallel).")
             .arg(Rollout::MaxUnconfirmed),
         QStringLiteral("M")},
        {QStringLiteral("backup-first"),
         QStringLiteral(
             "Save each camera's configuration to backups/HOST.tar.gz first; a failed backup fails "
             "the camera.")},
        {QStringLiteral("no-confirm"),
         QStringLiteral("Do not wait for the reboot to ask the version again.")},
        {QStringLiteral("confirm-timeout"),
         QStringLiteral("How long a camera may take to answer after its upgrade (default 180)."),
         QStringLiteral("SECONDS"), QStringLiteral("180")},
        {QStringLiteral("report"),
         QStringLiteral("Keep the CSV report in FILE, rewritten after every camera's result; checked before "
                        "any camera is touched."),
         QStringLiteral("FILE")},
        {QStringLiteral("resume"),
         QStringLiteral("Leave alone the cameras this earlier report shows confirmed, unchanged or succeeded "
                        "(result done-before)."),
         QStringLiteral("REPORT")},
        {QStringLiteral("skip-version"),
         QStringLiteral("Do not upgrade a camera whose version contains TEXT (result up-to-date)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("model"),
         QStringLiteral("Upgrade only cameras whose version names MODEL (any case); the others are left "
                        "alone before any firmware is sent (result other-model)."),
         QStringLiteral("MODEL")},
    });
    fleet::declareParallel(parser);
    fleet::declareStallTimeout(parser);
}

QString resultWords(const Rollout::Camera& camera)
{
    using State = Rollout::State;
    if (camera.state != State::Confirmed && camera.state != State::Unchanged)
        return report_reason(camera);
    return QStringLiteral("%1 -> %2").arg(camera.versionBefore, camera.versionAfter);
}

int runRollout(const Invocation& in)
{
    const QCommandLineParser& parser = in.parser;
    const QString file = parser.value(QStringLiteral("file"));
    const int fileType = file_type_from_kind(parser.value(QStringLiteral("kind")));
    const QString layout = parser.value(QStringLiteral("layout"));
    const int parallel = fleet::parallel(parser);
    const int canary = count(parser, QStringLiteral("canary"), 0);
    const int maxFailures = count(parser, QStringLiteral("max-failures"), 0);
    const bool unconfirmedSet = parser.isSet(QStringLiteral("max-unconfirmed"));
    const int maxUnconfirmed =
        unconfirmedSet ? count(parser, QStringLiteral("max-unconfirmed"), 1, Rollout::MaxUnconfirmed) : 0;
    const int timeout = count(parser, QStringLiteral("confirm-timeout"), 1, 24 * 3600);
    const int stall = fleet::stallTimeoutMs(parser);
    if (file.isEmpty() || fileType == 0)
        return in.usageError(QStringLiteral("needs --file and --kind soc, arm, soc-arm, mtd or partition:N"));
    if (layout != QLatin1String("1") && layout != QLatin1String("2"))
        return in.usageError(QStringLiteral("--layout must be 1 or 2"));
    if (parallel < 0 || maxUnconfirmed < 0 || canary < 0 || maxFailures < 0 || timeout < 0 || stall < 0)
        return in.usageError(
            QStringLiteral("--parallel takes 1 to %1, --max-unconfirmed 1 to %2, --canary and "
                           "--max-failures 0 or more, --confirm-timeout and --stall-timeout "
                           "whole seconds")
                .arg(Rollout::MaxParallel)
                .arg(Rollout::MaxUnconfirmed));
    if (parser.isSet(QStringLiteral("skip-version")) &&
        parser.value(QStringLiteral("skip-version")).isEmpty())
        return in.usageError(QStringLiteral("--skip-version needs a text"));
    const QString model = parser.value(QStringLiteral("model")).trimmed();
    if (parser.isSet(QStringLiteral("model")) && model.isEmpty())
        return in.usageError(QStringLiteral("--model needs a model name"));
    QVector<fleet::Host> hosts;
    const int bad = fleet::readHosts(in, &hosts);
    if (bad >= 0)
        return bad;
    QVector<Rollout::Camera> earlier;
    if (parser.isSet(QStringLiteral("resume"))) {
        const QString path = parser.value(QStringLiteral("resume"));
        QFile report(path);
        if (!report.open(QIODevice::ReadOnly))
            return in.usageError(QStringLiteral("cannot read %1").arg(path));
        QString error;
        earlier = read_rollout_report(report.readAll(), &error);
        if (!error.isEmpty())
            return in.usageError(QStringLiteral("%1: %2").arg(path, error));
    }

    Rollout rollout;
    for (const fleet::Host& host : qAsConst(hosts))
        rollout.addCamera(host.address, host.deviceId, host.mac);
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
    options.maxUnconfirmed = maxUnconfirmed;
    options.canary = canary;
    options.maxFailures = maxFailures;
    options.backupFirst = parser.isSet(QStringLiteral("backup-first"));
    options.confirm = !parser.isSet(QStringLiteral("no-confirm"));
    options.confirmTimeoutMs = timeout * 1000;
    options.stallTimeoutMs = stall;
    options.skipVersion = parser.value(QStringLiteral("skip-version"));
    options.model = model;
    rollout.setOptions(options);
    rollout.resumeFrom(earlier);

    fleet::Face face;
    face.start = QStringLiteral("rolling out %1 to %2 cameras").arg(file).arg(rollout.cameras().size());
    using State = Rollout::State;
    face.counted = {State::Confirmed, State::Unchanged, State::Succeeded, State::Failed, State::Skipped};
    face.optional = {State::UpToDate, State::DoneBefore, State::OtherModel};
    face.text = resultWords;
    face.fields = [](const Rollout::Camera& camera) {
        return QJsonObject{{QStringLiteral("model"), camera.model},
                           {QStringLiteral("version_before"), camera.versionBefore},
                           {QStringLiteral("version_after"), camera.versionAfter},
                           {QStringLiteral("reason"), report_reason(camera)},
                           {QStringLiteral("bytes"), camera.bytesSent}};
    };
    // The site's record of the work exists before the first camera is touched, or nothing is sent.
    const QString reportPath = parser.value(QStringLiteral("report"));
    std::unique_ptr<RolloutJournal> journal;
    if (!reportPath.isEmpty()) {
        journal.reset(new RolloutJournal(rollout, reportPath, rollout_report));
        if (!journal->write())
            return in.usageError(QStringLiteral("cannot write %1: %2").arg(reportPath, journal->error()));
        face.journal = journal.get();
    }
    return fleet::run(in, rollout, face);
}
} // namespace

extern const Subcommand kRolloutCommand{
    "rollout",
    "--file FILE --kind soc|arm|soc-arm|mtd|partition:N [--layout 1|2] [--parallel N] [--max-unconfirmed M] "
    "[--canary N] [--max-failures K] [--backup-first] [--no-confirm] [--confirm-timeout SECONDS] "
    "[--stall-timeout SECONDS] [--report FILE] [--resume REPORT] [--skip-version TEXT] [--model MODEL] "
    "[--json] (HOST... | --hosts-file FILE)",
    "Upgrades many cameras: canaries first, a failure threshold, each confirmed after its reboot. Exit "
    "status 3: stopped at the threshold, by a failed canary or by Ctrl-C; cameras of another --model count "
    "as neither success nor failure.",
    declareRollout, runRollout};
