// inventory and backup --out-dir: every camera's version, or every camera's configuration archive, through
// the core's fleet job.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "addressplan.h"
#include "discoveryclient.h"
#include "fleet.h"
#include "lan.h"
#include "rolloutreport.h"

namespace
{
const QString kLayoutOption = QStringLiteral("layout");
const QString kOutOption = QStringLiteral("out");
const QString kOutDirOption = QStringLiteral("out-dir");

int workType(const Invocation& in)
{
    const QString layout = in.parser.value(kLayoutOption);
    return layout == QLatin1String("1") || layout == QLatin1String("2") ? layout.toInt() : -1;
}

// The cameras a search finds, one per address in address order; the Device ID and MAC only where one camera
// alone answers from its address, since the TCP conversation cannot tell which one it reached.
QVector<fleet::Host> searchedHosts(QVector<Dev_info> devices)
{
    std::stable_sort(devices.begin(), devices.end(), [](const Dev_info& a, const Dev_info& b) {
        return discovery::addressLess(a.ipaddr, b.ipaddr);
    });
    QVector<fleet::Host> hosts;
    for (const Dev_info& device : qAsConst(devices)) {
        if (!hosts.isEmpty() && hosts.last().address == device.ipaddr) {
            hosts.last().deviceId.clear();
            hosts.last().mac.clear();
            continue;
        }
        hosts.append({device.ipaddr, device.device_id, device.macaddr});
    }
    return hosts;
}

// -- inventory

void declareInventory(QCommandLineParser& parser)
{
    fleet::declareHosts(parser);
    lan::declareInterface(parser);
    parser.addOption({QStringLiteral("wait"),
                      QStringLiteral("With --interface, how long to listen for answers (default 3)."),
                      QStringLiteral("SECONDS"), QString::number(lan::DefaultWaitSeconds)});
    parser.addOption({kLayoutOption, QStringLiteral("Record layout: 1 (TYPE1, the default) or 2 (TYPE2)."),
                      QStringLiteral("1|2"), QStringLiteral("1")});
    fleet::declareParallel(parser);
    parser.addOption(
        {kOutOption, QStringLiteral("Keep the CSV inventory in FILE, rewritten after every camera's answer."),
         QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("model"),
                      QStringLiteral("Cameras whose version names another model end as other-model."),
                      QStringLiteral("MODEL")});
}

int runInventory(const Invocation& in)
{
    const int layout = workType(in);
    const int parallel = fleet::parallel(in.parser);
    if (layout < 0)
        return in.usageError(QStringLiteral("--layout must be 1 or 2"));
    if (parallel < 0)
        return in.usageError(QStringLiteral("--parallel takes 1 to %1").arg(Rollout::MaxParallel));
    QVector<fleet::Host> hosts;
    if (in.parser.isSet(QStringLiteral("interface"))) {
        if (!in.parser.positionalArguments().isEmpty() || in.parser.isSet(QStringLiteral("hosts-file")))
            return in.usageError(QStringLiteral("expects HOST..., --hosts-file FILE or --interface ADDR"));
        const QString problem = lan::interfaceProblem(in.parser);
        const int wait = lan::waitMs(in.parser);
        if (!problem.isEmpty())
            return in.usageError(problem);
        if (wait < 0)
            return in.usageError(
                QStringLiteral("--wait must be a number of seconds up to %1").arg(lan::MaxWaitSeconds));
        DiscoveryClient client;
        const int failed = lan::openClient(in, client);
        if (failed >= 0)
            return failed;
        QVector<Dev_info> devices;
        QObject::connect(&client, &DiscoveryClient::deviceFound,
                         [&](const Dev_info& device) { devices.append(device); });
        runEventLoop([&] {
            client.search();
            QTimer::singleShot(wait, [] { QCoreApplication::exit(0); });
        });
        hosts = searchedHosts(devices);
        if (hosts.isEmpty()) {
            const QString reason =
                QStringLiteral("no camera answered on %1").arg(in.parser.value(QStringLiteral("interface")));
            return in.out.result(false, {{QStringLiteral("reason"), reason}}, reason);
        }
    } else {
        const int bad = fleet::readHosts(in, &hosts);
        if (bad >= 0)
            return bad;
    }

    Rollout rollout;
    for (const fleet::Host& host : qAsConst(hosts))
        rollout.addCamera(host.address, host.deviceId, host.mac);
    rollout.setWorkType(layout);
    RolloutOptions options;
    options.job = RolloutJob::Query;
    options.parallel = parallel;
    options.model = in.parser.value(QStringLiteral("model")).trimmed();
    rollout.setOptions(options);

    fleet::Face face;
    face.start = QStringLiteral("asking %1 cameras their version").arg(rollout.cameras().size());
    face.counted = {Rollout::State::Answered, Rollout::State::Failed, Rollout::State::Skipped};
    face.optional = {Rollout::State::OtherModel};
    face.text = [](const Rollout::Camera& camera) {
        return camera.state == Rollout::State::Answered
                   ? QStringLiteral("%1 (%2 partitions)").arg(camera.versionBefore).arg(camera.partitions)
                   : report_reason(camera, RolloutJob::Query);
    };
    face.fields = [](const Rollout::Camera& camera) {
        QJsonObject fields{{QStringLiteral("device_id"), camera.deviceId},
                           {QStringLiteral("mac"), camera.mac},
                           {QStringLiteral("version"), camera.versionBefore},
                           {QStringLiteral("model"), camera.model},
                           {QStringLiteral("reason"), report_reason(camera, RolloutJob::Query)}};
        fields.insert(QStringLiteral("partitions"),
                      camera.partitions < 0 ? QJsonValue() : QJsonValue(camera.partitions));
        return fields;
    };
    const QString out = in.parser.value(kOutOption);
    std::unique_ptr<RolloutJournal> journal;
    if (!out.isEmpty()) {
        journal.reset(new RolloutJournal(rollout, out, inventory_report));
        if (!journal->write())
            return in.usageError(QStringLiteral("cannot write %1: %2").arg(out, journal->error()));
        face.journal = journal.get();
    }
    return fleet::run(in, rollout, face);
}
} // namespace

namespace fleet
{
int runBackups(const Invocation& in)
{
    const int layout = workType(in);
    const int parallel = fleet::parallel(in.parser);
    const int stall = fleet::stallTimeoutMs(in.parser);
    const QString dir = in.parser.value(kOutDirOption);
    if (in.parser.isSet(kOutOption))
        return in.usageError(QStringLiteral("--out names one camera's file; --out-dir a folder for many"));
    if (dir.isEmpty())
        return in.usageError(QStringLiteral("--out-dir needs a folder"));
    if (layout < 0)
        return in.usageError(QStringLiteral("--layout must be 1 or 2"));
    if (parallel < 0 || stall < 0)
        return in.usageError(QStringLiteral("--parallel takes 1 to %1, --stall-timeout whole seconds")
                                 .arg(Rollout::MaxParallel));
    QVector<fleet::Host> hosts;
    const int bad = fleet::readHosts(in, &hosts);
    if (bad >= 0)
        return bad;
    // A folder the archives cannot go to is known before any camera is asked for one.
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isWritable())
        return in.usageError(QStringLiteral("cannot write into %1").arg(dir));

    Rollout rollout;
    for (const fleet::Host& host : qAsConst(hosts))
        rollout.addCamera(host.address, host.deviceId, host.mac);
    rollout.setWorkType(layout);
    RolloutOptions options;
    options.job = RolloutJob::Backup;
    options.parallel = parallel;
    options.backupDir = dir;
    options.stallTimeoutMs = stall;
    rollout.setOptions(options);

    fleet::Face face;
    face.start = QStringLiteral("backing up %1 cameras into %2").arg(rollout.cameras().size()).arg(dir);
    face.counted = {Rollout::State::Saved, Rollout::State::Failed, Rollout::State::Skipped};
    face.text = [](const Rollout::Camera& camera) {
        return camera.state == Rollout::State::Saved ? QStringLiteral("%1 (%2 bytes, MD5 %3)")
                                                           .arg(camera.archive)
                                                           .arg(camera.bytesSent)
                                                           .arg(QString::fromLatin1(camera.archiveMd5))
                                                     : report_reason(camera, RolloutJob::Backup);
    };
    face.fields = [](const Rollout::Camera& camera) {
        if (camera.state != Rollout::State::Saved)
            return QJsonObject{{QStringLiteral("reason"), report_reason(camera, RolloutJob::Backup)}};
        return QJsonObject{{QStringLiteral("file"), camera.archive},
                           {QStringLiteral("md5"), QString::fromLatin1(camera.archiveMd5)},
                           {QStringLiteral("bytes"), camera.bytesSent}};
    };
    return fleet::run(in, rollout, face);
}
} // namespace fleet

extern const Subcommand kInventoryCommand{
    "inventory",
    "(HOST... | --hosts-file FILE | --interface ADDR [--wait S]) [--layout 1|2] [--parallel N] [--out FILE] "
    "[--model MODEL] [--json]",
    "Asks every camera its version and partition table, nothing changed; --out keeps them as CSV.",
    declareInventory, runInventory};
