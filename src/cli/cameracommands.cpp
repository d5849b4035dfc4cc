// query, upgrade, backup and restore: one camera over its TCP connection.
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>

#include "cameraupgrade.h"
#include "devicesession.h"
#include "firmwareimage.h"
#include "fleet.h"
#include "subcommand.h"
#include "tcprecord.h"
#include "validators.h"

namespace
{
// Silence that ends an operation: a version report comes at once; archives and restores may be slow.
constexpr int kQueryIdleMs = 10000;
constexpr int kTransferIdleMs = 60000;

const QString kLayoutOption = QStringLiteral("layout");

void declareCamera(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("host"), QStringLiteral("Address of the camera."),
                                 QStringLiteral("HOST"));
    parser.addOption({kLayoutOption, QStringLiteral("Record layout: 1 (TYPE1, the default) or 2 (TYPE2)."),
                      QStringLiteral("1|2"), QStringLiteral("1")});
}

// The camera and record layout of a camera command; `exitStatus` is set when the command line or the address
// check ends the command before it starts.
struct Target {
    QString host;
    int workType = 1;
    int exitStatus = -1;
};

Target target(const Invocation& in)
{
    Target target;
    const QStringList positional = in.parser.positionalArguments();
    const QString layout = in.parser.value(kLayoutOption);
    if (positional.size() != 1)
        target.exitStatus = in.usageError(QStringLiteral("expects one HOST"));
    else if (layout != QLatin1String("1") && layout != QLatin1String("2"))
        target.exitStatus = in.usageError(QStringLiteral("--layout must be 1 or 2"));
    if (target.exitStatus >= 0)
        return target;
    target.host = positional.first();
    target.workType = layout.toInt();
    in.out.setHost(target.host);
    if (!validators::isValidHostIp(target.host))
        target.exitStatus =
            in.out.result(false, {{QStringLiteral("reason"), QStringLiteral("not a camera address")}},
                          QStringLiteral("%1 is not a camera address").arg(target.host));
    return target;
}

void finish(const Invocation& in, bool ok, const QJsonObject& fields, const QString& text)
{
    QCoreApplication::exit(in.out.result(ok, fields, text));
}

void fail(const Invocation& in, const QString& reason)
{
    finish(in, false, {{QStringLiteral("reason"), reason}},
           QStringLiteral("%1: %2").arg(in.out.host(), reason));
}

// A camera of the other record layout never receives a whole request, or answers with records the tool
// cannot read: the question goes unanswered.
QString unansweredReason(const Verdict& verdict, int workType)
{
    return QStringLiteral("%1; a camera of the other record layout stays silent: try --layout %2")
        .arg(failure_reason(verdict))
        .arg(workType == 1 ? 2 : 1);
}

// A session that reports connection failures, broken connections and failed operations as the result.
// `workType` non-zero: silence after the request is worded as unansweredReason().
void connectFailures(const Invocation& in, DeviceSession& session, int workType = 0)
{
    QObject::connect(&session, &DeviceSession::connectFailed,
                     [&in](const Verdict& verdict) { fail(in, failure_reason(verdict)); });
    QObject::connect(&session, &DeviceSession::finished,
                     [&in, workType](DeviceSession::Operation, const Verdict& verdict) {
                         if (verdict.ok())
                             return;
                         fail(in, workType && verdict.failure == Failure::TimedOut
                                      ? unansweredReason(verdict, workType)
                                      : failure_reason(verdict));
                     });
}

QString unquoted(const QString& text)
{
    return text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"'))
               ? text.mid(1, text.size() - 2)
               : text;
}

// -- query

void declareQuery(QCommandLineParser& parser)
{
    declareCamera(parser);
}

int runQuery(const Invocation& in)
{
    const Target camera = target(in);
    if (camera.exitStatus >= 0)
        return camera.exitStatus;
    DeviceSession session;
    session.setWorkType(camera.workType);
    session.setIdleTimeout(kQueryIdleMs);
    connectFailures(in, session, camera.workType);
    QObject::connect(&session, &DeviceSession::connected, [&session] { session.query(true); });
    QObject::connect(&session, &DeviceSession::versionReport, [&in](const VersionReport& report) {
        QJsonArray partitions;
        QString text = report.version + QStringLiteral("\n  #  Device  Size      Erasesize  Name\n");
        for (int i = 0; i < report.partitions.size(); ++i) {
            const PartitionRecord& partition = report.partitions.at(i);
            QString device = partition.device;
            if (device.endsWith(QLatin1Char(':')))
                device.chop(1);
            const QString name = unquoted(partition.name.trimmed());
            partitions.append(QJsonObject{{QStringLiteral("device"), device},
                                          {QStringLiteral("size"), partition.size},
                                          {QStringLiteral("erasesize"), partition.erase_size},
                                          {QStringLiteral("name"), name}});
            text += QStringLiteral("%1  %2  %3  %4  %5\n")
                        .arg(i, 3)
                        .arg(device, -6)
                        .arg(partition.size, -8)
                        .arg(partition.erase_size, -9)
                        .arg(name);
        }
        text += QStringLiteral("Upgrade a partition with --kind partition:#.");
        finish(in, true,
               {{QStringLiteral("version"), report.version}, {QStringLiteral("partitions"), partitions}},
               text);
    });
    return runEventLoop([&] { session.connectToCamera(camera.host); });
}

// -- upgrade

const QString kFileOption = QStringLiteral("file");
const QString kKindOption = QStringLiteral("kind");

void declareUpgrade(QCommandLineParser& parser)
{
    declareCamera(parser);
    parser.addOption({kFileOption, QStringLiteral("The firmware file."), QStringLiteral("FILE")});
    parser.addOption({kKindOption,
                      QStringLiteral("What it upgrades: soc, arm, soc-arm, mtd or partition:N (N as "
                                     "query lists it)."),
                      QStringLiteral("KIND")});
    parser.addOption({QStringLiteral("force"),
                      QStringLiteral("Skip the checks of the file name against the kind and the camera.")});
    fleet::declareStallTimeout(parser);
}

// The stages a person or a script follows, by their JSON names; the others pass unannounced.
QString stageName(UpgradeStep step)
{
    switch (step) {
    case UpgradeStep::Querying:
        return QStringLiteral("querying");
    case UpgradeStep::Uploading:
        return QStringLiteral("uploading");
    case UpgradeStep::Verifying:
        return QStringLiteral("verifying");
    case UpgradeStep::Flashing:
        return QStringLiteral("flashing");
    case UpgradeStep::Checking:
    case UpgradeStep::Hashing:
    case UpgradeStep::BackupConnecting:
    case UpgradeStep::BackingUp:
    case UpgradeStep::Connecting:
    case UpgradeStep::Requesting:
        break;
    }
    return QString();
}

QString stageText(UpgradeStep step, const FirmwareImage& image)
{
    switch (step) {
    case UpgradeStep::Querying:
        return QStringLiteral("connected; asking for the version");
    case UpgradeStep::Uploading:
        return QStringLiteral("uploading %1 (%2)").arg(image.name, Output::mebibytes(image.size));
    case UpgradeStep::Verifying:
        return QStringLiteral("the camera verifies the file");
    case UpgradeStep::Flashing:
        return QStringLiteral("file verified; the camera flashes it");
    default:
        return QString();
    }
}

// The result's "status": the camera's last word on the upgrade as its record numbers it, null when the
// camera said nothing about it.
QJsonValue cameraStatus(const Verdict& verdict, UpgradeStep step)
{
    switch (verdict.outcome) {
    case Outcome::Done:
        return 7;
    case Outcome::Flashing:
        return 5;
    case Outcome::UpToDate:
        return QJsonValue();
    case Outcome::Failed:
        break;
    }
    switch (verdict.failure) {
    case Failure::DiskFull:
        return 1;
    case Failure::VerifyFailed:
        return 6;
    case Failure::UpgradeFailed:
        return 8;
    case Failure::ArmMissing:
        return QStringLiteral("E");
    default:
        break;
    }
    switch (step) {
    case UpgradeStep::Uploading:
        return 0;
    case UpgradeStep::Verifying:
        return 3;
    case UpgradeStep::Flashing:
        return 5;
    default:
        return QJsonValue();
    }
}

int runUpgrade(const Invocation& in)
{
    const QString file = in.parser.value(kFileOption);
    const QString kind = in.parser.value(kKindOption);
    const int fileType = file_type_from_kind(kind);
    if (file.isEmpty() || kind.isEmpty())
        return in.usageError(QStringLiteral("needs --file and --kind"));
    if (fileType == 0)
        return in.usageError(
            QStringLiteral("--kind must be soc, arm, soc-arm, mtd or partition:N (N from 0 to 9)"));
    const int stall = fleet::stallTimeoutMs(in.parser);
    if (stall < 0)
        return in.usageError(QStringLiteral("--stall-timeout takes whole seconds"));
    const Target camera = target(in);
    if (camera.exitStatus >= 0)
        return camera.exitStatus;
    CameraUpgrade::Plan plan;
    const Verdict loaded = plan.image.load(file, fileType, camera.workType);
    if (!loaded.ok()) {
        const QString reason = failure_reason(loaded);
        return in.out.result(false, {{QStringLiteral("reason"), reason}}, reason);
    }
    plan.host = camera.host;
    plan.workType = camera.workType;
    plan.force = in.parser.isSet(QStringLiteral("force"));
    const FirmwareImage& image = plan.image;

    CameraUpgrade upgrade(plan);
    upgrade.setStallTimeout(stall);
    QObject::connect(&upgrade, &CameraUpgrade::stepChanged, [&](UpgradeStep step) {
        const QString name = stageName(step);
        if (name.isEmpty())
            return;
        if (step == UpgradeStep::Uploading)
            in.out.beginTransfer(QStringLiteral("sent"));
        in.out.event(QStringLiteral("stage"), {{QStringLiteral("stage"), name}}, stageText(step, image));
    });
    QObject::connect(&upgrade, &CameraUpgrade::versionReported, [&](const VersionReport& report) {
        in.out.event(QStringLiteral("version"), {{QStringLiteral("version"), report.version}},
                     QStringLiteral("camera version: %1").arg(report.version));
    });
    QObject::connect(&upgrade, &CameraUpgrade::progress,
                     [&](qint64 sent, qint64 total) { in.out.progress(sent, total); });
    QObject::connect(&upgrade, &CameraUpgrade::finished, [&](const Verdict& verdict, UpgradeStep step) {
        QString reason;
        if (verdict.outcome == Outcome::Done)
            reason = QStringLiteral("upgrade finished; the camera reboots");
        else if (verdict.outcome == Outcome::Flashing)
            reason = QStringLiteral("file verified; the camera closed the connection to flash it");
        else if (verdict.failure == Failure::RefusedModel)
            reason =
                QStringLiteral("%1 does not match this camera's version report (--force skips the check)")
                    .arg(image.name);
        else if (verdict.failure == Failure::RefusedType)
            reason = QStringLiteral("%1 is not a name for --kind %2 (--force skips the check)")
                         .arg(image.name, kind);
        else if (verdict.failure == Failure::NoAnswer)
            reason = unansweredReason(verdict, camera.workType);
        else
            reason = failure_reason(verdict);
        finish(in, verdict.ok(),
               {{QStringLiteral("status"), cameraStatus(verdict, step)}, {QStringLiteral("reason"), reason}},
               verdict.ok() ? reason : QStringLiteral("%1: %2").arg(camera.host, reason));
    });
    return runEventLoop([&upgrade] { upgrade.start(); });
}

// -- backup

const QString kOutOption = QStringLiteral("out");

void declareBackup(QCommandLineParser& parser)
{
    declareCamera(parser);
    parser.addOption({kOutOption, QStringLiteral("Where the configuration archive goes."),
                      QStringLiteral("FILE"), QStringLiteral("data.tar.gz")});
    fleet::declareStallTimeout(parser);
    parser.addOption(
        {QStringLiteral("out-dir"),
         QStringLiteral("Back up every camera named into DIR/ADDRESS.tar.gz, each kept only when its MD5 "
                        "matches."),
         QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("hosts-file"),
                      QStringLiteral("With --out-dir: the cameras, one address per line or CSV with an ip "
                                     "or address column."),
                      QStringLiteral("FILE")});
    fleet::declareParallel(parser);
}

int runBackup(const Invocation& in)
{
    if (in.parser.isSet(QStringLiteral("out-dir")))
        return fleet::runBackups(in);
    if (in.parser.isSet(QStringLiteral("hosts-file")) || in.parser.isSet(QStringLiteral("parallel")))
        return in.usageError(QStringLiteral("--hosts-file and --parallel go with --out-dir"));
    const int stall = fleet::stallTimeoutMs(in.parser);
    if (stall < 0)
        return in.usageError(QStringLiteral("--stall-timeout takes whole seconds"));
    const Target camera = target(in);
    if (camera.exitStatus >= 0)
        return camera.exitStatus;
    const QString out = in.parser.value(kOutOption);
    if (out.isEmpty())
        return in.usageError(QStringLiteral("--out needs a file name"));
    DeviceSession session;
    session.setWorkType(camera.workType);
    session.setIdleTimeout(kTransferIdleMs);
    session.setStallTimeout(stall);
    connectFailures(in, session);
    QObject::connect(&session, &DeviceSession::connected, [&] { session.backup(out); });
    QObject::connect(&session, &DeviceSession::backupHeader, [&in](const QString&, qint64 size) {
        in.out.beginTransfer(QStringLiteral("received"));
        in.out.event(QStringLiteral("archive"), {{QStringLiteral("total"), size}},
                     QStringLiteral("receiving the configuration archive (%1)").arg(Output::mebibytes(size)));
    });
    QObject::connect(&session, &DeviceSession::archiveProgress,
                     [&in](qint64 received, qint64 total) { in.out.progress(received, total); });
    QObject::connect(&session, &DeviceSession::archiveSaved,
                     [&in](const QString& path, const QByteArray& md5, qint64 bytes) {
                         finish(in, true,
                                {{QStringLiteral("file"), path},
                                 {QStringLiteral("md5"), QString::fromLatin1(md5)},
                                 {QStringLiteral("bytes"), bytes}},
                                QStringLiteral("saved %1 (%2 bytes, MD5 %3)")
                                    .arg(path)
                                    .arg(bytes)
                                    .arg(QString::fromLatin1(md5)));
                     });
    return runEventLoop([&] { session.connectToCamera(camera.host); });
}

// -- restore

void declareRestore(QCommandLineParser& parser)
{
    declareCamera(parser);
    parser.addOption(
        {kFileOption, QStringLiteral("The configuration archive to send."), QStringLiteral("FILE")});
    fleet::declareStallTimeout(parser);
}

int runRestore(const Invocation& in)
{
    const QString file = in.parser.value(kFileOption);
    if (file.isEmpty())
        return in.usageError(QStringLiteral("needs --file"));
    const int stall = fleet::stallTimeoutMs(in.parser);
    if (stall < 0)
        return in.usageError(QStringLiteral("--stall-timeout takes whole seconds"));
    const Target camera = target(in);
    if (camera.exitStatus >= 0)
        return camera.exitStatus;
    const QByteArray md5 = QFileInfo(file).isFile() ? md5_text_of_file(file) : QByteArray();
    if (md5.isEmpty())
        return in.out.result(false, {{QStringLiteral("reason"), QStringLiteral("cannot read the archive")}},
                             QStringLiteral("cannot read %1").arg(file));
    DeviceSession session;
    session.setWorkType(camera.workType);
    session.setIdleTimeout(kTransferIdleMs);
    session.setStallTimeout(stall);
    connectFailures(in, session);
    QObject::connect(&session, &DeviceSession::connected, [&] { session.restore(file, md5); });
    QObject::connect(&session, &DeviceSession::restoreStep, [&in](RestoreStep step) {
        switch (step) {
        case RestoreStep::Uploading:
            in.out.beginTransfer(QStringLiteral("sent"));
            in.out.event(QStringLiteral("stage"), {{QStringLiteral("stage"), QStringLiteral("uploading")}},
                         QStringLiteral("sending the archive"));
            break;
        case RestoreStep::Restoring:
            in.out.event(QStringLiteral("stage"), {{QStringLiteral("stage"), QStringLiteral("restoring")}},
                         QStringLiteral("the camera restores its configuration"));
            break;
        }
    });
    QObject::connect(
        &session, &DeviceSession::finished, [&in](DeviceSession::Operation, const Verdict& verdict) {
            if (verdict.ok())
                finish(in, true, {}, QStringLiteral("configuration restored; the camera reboots"));
        });
    QObject::connect(&session, &DeviceSession::streamProgress,
                     [&in](qint64 sent, qint64 total) { in.out.progress(sent, total); });
    return runEventLoop([&] { session.connectToCamera(camera.host); });
}
} // namespace

// Entries of the dispatch table in main.cpp.
extern const Subcommand kQueryCommand{"query", "HOST [--layout 1|2] [--json]",
                                      "Shows the camera's version report and partition table.", declareQuery,
                                      runQuery};
extern const Subcommand kUpgradeCommand{
    "upgrade",
    "HOST --file FILE --kind soc|arm|soc-arm|mtd|partition:N [--layout 1|2] [--force] [--stall-timeout "
    "SECONDS] "
    "[--json]",
    "Upgrades the camera's firmware; the file name must suit the kind and the camera.", declareUpgrade,
    runUpgrade};
extern const Subcommand kBackupCommand{
    "backup",
    "HOST [--out FILE] [--layout 1|2] [--stall-timeout SECONDS] [--json] | (HOST... | --hosts-file FILE) "
    "--out-dir DIR [--parallel N] [--layout 1|2] [--stall-timeout SECONDS] [--json]",
    "Saves the camera's configuration archive (default data.tar.gz), or every camera's into a folder.",
    declareBackup, runBackup};
extern const Subcommand kRestoreCommand{
    "restore", "HOST --file FILE [--layout 1|2] [--stall-timeout SECONDS] [--json]",
    "Sends a configuration archive back to the camera.", declareRestore, runRestore};
