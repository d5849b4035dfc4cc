// query, upgrade, backup and restore: one camera over its TCP connection.
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>

#include "cameraupgrade.h"
#include "devicesession.h"
#include "firmwareimage.h"
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

// A session that reports connection failures, broken connections and failed operations as the result.
void connectFailures(const Invocation& in, DeviceSession& session)
{
    QObject::connect(&session, &DeviceSession::connectFailed, [&in](const QString& reason) {
        fail(in, QStringLiteral("cannot connect: %1").arg(reason));
    });
    QObject::connect(&session, &DeviceSession::finished,
                     [&in](DeviceSession::Operation, bool ok, const QString& reason) {
                         if (!ok)
                             fail(in, reason);
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
    connectFailures(in, session);
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
}

QString stageText(CameraUpgrade::Stage stage, const FirmwareImage& image)
{
    switch (stage) {
    case CameraUpgrade::Stage::Connecting:
        break;
    case CameraUpgrade::Stage::Querying:
        return QStringLiteral("connected; asking for the version");
    case CameraUpgrade::Stage::Uploading:
        return QStringLiteral("uploading %1 (%2)").arg(image.name, Output::mebibytes(image.size));
    case CameraUpgrade::Stage::Verifying:
        return QStringLiteral("the camera verifies the file");
    case CameraUpgrade::Stage::Flashing:
        return QStringLiteral("file verified; the camera flashes it");
    }
    return QString();
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
    const Target camera = target(in);
    if (camera.exitStatus >= 0)
        return camera.exitStatus;
    FirmwareImage image;
    QString error;
    if (!image.load(file, fileType, camera.workType, &error))
        return in.out.result(false, {{QStringLiteral("reason"), error}}, error);

    CameraUpgrade upgrade(camera.host, image, camera.workType);
    upgrade.setForce(in.parser.isSet(QStringLiteral("force")));
    bool versionSeen = false;
    QObject::connect(&upgrade, &CameraUpgrade::stageChanged, [&](CameraUpgrade::Stage stage) {
        static const char* const names[] = {"connecting", "querying", "uploading", "verifying", "flashing"};
        if (stage == CameraUpgrade::Stage::Uploading)
            in.out.beginTransfer(QStringLiteral("sent"));
        in.out.event(QStringLiteral("stage"), {{QStringLiteral("stage"), QLatin1String(names[int(stage)])}},
                     stageText(stage, image));
    });
    QObject::connect(&upgrade, &CameraUpgrade::versionReported, [&](const VersionReport& report) {
        versionSeen = true;
        in.out.event(QStringLiteral("version"), {{QStringLiteral("version"), report.version}},
                     QStringLiteral("camera version: %1").arg(report.version));
    });
    QObject::connect(&upgrade, &CameraUpgrade::progress,
                     [&](qint64 sent, qint64 total) { in.out.progress(sent, total); });
    QObject::connect(&upgrade, &CameraUpgrade::finished, [&](bool ok, int status, QString reason) {
        if (ok)
            reason = status == 7
                         ? QStringLiteral("upgrade finished; the camera reboots")
                         : QStringLiteral("file verified; the camera closed the connection to flash it");
        else if (reason == QLatin1String("refused name") && versionSeen)
            reason =
                QStringLiteral("%1 does not match this camera's version report (--force skips the check)")
                    .arg(image.name);
        else if (reason == QLatin1String("refused name"))
            reason = QStringLiteral("%1 is not a name for --kind %2 (--force skips the check)")
                         .arg(image.name, kind);
        const QJsonValue statusValue = status < 0      ? QJsonValue()
                                       : status == 'E' ? QJsonValue(QStringLiteral("E"))
                                                       : QJsonValue(status);
        finish(in, ok, {{QStringLiteral("status"), statusValue}, {QStringLiteral("reason"), reason}},
               ok ? reason : QStringLiteral("%1: %2").arg(camera.host, reason));
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
}

int runBackup(const Invocation& in)
{
    const Target camera = target(in);
    if (camera.exitStatus >= 0)
        return camera.exitStatus;
    const QString out = in.parser.value(kOutOption);
    if (out.isEmpty())
        return in.usageError(QStringLiteral("--out needs a file name"));
    DeviceSession session;
    session.setWorkType(camera.workType);
    session.setIdleTimeout(kTransferIdleMs);
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
}

int runRestore(const Invocation& in)
{
    const QString file = in.parser.value(kFileOption);
    if (file.isEmpty())
        return in.usageError(QStringLiteral("needs --file"));
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
    connectFailures(in, session);
    QObject::connect(&session, &DeviceSession::connected, [&] { session.restore(file, md5); });
    QObject::connect(&session, &DeviceSession::restoreStatus, [&in](int status) {
        if (status == 3) {
            in.out.beginTransfer(QStringLiteral("sent"));
            in.out.event(QStringLiteral("stage"), {{QStringLiteral("stage"), QStringLiteral("uploading")}},
                         QStringLiteral("sending the archive"));
        } else if (status == 4) {
            in.out.event(QStringLiteral("stage"), {{QStringLiteral("stage"), QStringLiteral("restoring")}},
                         QStringLiteral("the camera restores its configuration"));
        } else if (status == 6) {
            finish(in, true, {}, QStringLiteral("configuration restored; the camera reboots"));
        }
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
    "upgrade", "HOST --file FILE --kind soc|arm|soc-arm|mtd|partition:N [--layout 1|2] [--force] [--json]",
    "Upgrades the camera's firmware; the file name must suit the kind and the camera.", declareUpgrade,
    runUpgrade};
extern const Subcommand kBackupCommand{"backup", "HOST [--out FILE] [--layout 1|2] [--json]",
                                       "Saves the camera's configuration archive (default data.tar.gz).",
                                       declareBackup, runBackup};
extern const Subcommand kRestoreCommand{"restore", "HOST --file FILE [--layout 1|2] [--json]",
                                        "Sends a configuration archive back to the camera.", declareRestore,
                                        runRestore};
