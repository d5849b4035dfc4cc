// assign: new static addresses for many cameras of the discovery group at once.
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include "addressassignment.h"
#include "addressplan.h"
#include "discoveryclient.h"
#include "lan.h"

namespace
{
const QString kFromOption = QStringLiteral("from");
const QString kMaskOption = QStringLiteral("mask");
const QString kGatewayOption = QStringLiteral("gateway");
const QString kDnsOption = QStringLiteral("dns");
const QString kSkipOption = QStringLiteral("skip");
const QString kPlanOption = QStringLiteral("plan");
const QString kAllOption = QStringLiteral("all");
const QString kDeviceIdOption = QStringLiteral("device-id");
const QString kDryRunOption = QStringLiteral("dry-run");

void declareAssign(QCommandLineParser& parser)
{
    lan::declareInterface(parser);
    parser.addOptions({
        {kFromOption, QStringLiteral("The first address to give; the next cameras count up from it."),
         QStringLiteral("FIRST")},
        {kMaskOption, QStringLiteral("Netmask; every address must lie in the subnet of FIRST."),
         QStringLiteral("M")},
        {kGatewayOption, QStringLiteral("Gateway, inside the subnet."), QStringLiteral("G")},
        {kDnsOption, QStringLiteral("First DNS server (default: the gateway)."), QStringLiteral("D")},
        {kSkipOption, QStringLiteral("Addresses not to give, separated by commas."),
         QStringLiteral("A,B,...")},
        {kAllOption, QStringLiteral("Every camera the search finds, in ascending order of MAC address.")},
        {kDeviceIdOption,
         QStringLiteral("A camera to address, in the order given; repeatable, or followed by "
                        "more Device IDs."),
         QStringLiteral("ID")},
        {kPlanOption,
         QStringLiteral("A CSV file with the header device_id,ip,mask,gateway,dns giving each "
                        "camera its own address."),
         QStringLiteral("FILE")},
        {kDryRunOption, QStringLiteral("Print the plan and send nothing.")},
        {QStringLiteral("wait"),
         QStringLiteral(
             "How long to listen for the cameras, and for them at their new addresses (default 3)."),
         QStringLiteral("S"), QString::number(lan::DefaultWaitSeconds)},
    });
    parser.addPositionalArgument(QStringLiteral("ID"), QStringLiteral("More Device IDs after --device-id."),
                                 QStringLiteral("[ID...]"));
}

QString reasonName(discovery::SkipReason reason)
{
    switch (reason) {
    case discovery::SkipReason::InUse:
        return QStringLiteral("in use");
    case discovery::SkipReason::OwnAddress:
        return QStringLiteral("this computer");
    case discovery::SkipReason::Listed:
        return QStringLiteral("listed");
    case discovery::SkipReason::Reserved:
        return QStringLiteral("gateway or DNS");
    case discovery::SkipReason::NotUsable:
        return QStringLiteral("not usable");
    }
    return QString();
}

QString resultName(AddressAssignment::Result result)
{
    switch (result) {
    case AddressAssignment::Result::Confirmed:
        return QStringLiteral("confirmed");
    case AddressAssignment::Result::Acknowledged:
        return QStringLiteral("acknowledged");
    case AddressAssignment::Result::Failed:
        return QStringLiteral("failed");
    case AddressAssignment::Result::NoAnswer:
        return QStringLiteral("no answer");
    case AddressAssignment::Result::Skipped:
        return QStringLiteral("skipped");
    case AddressAssignment::Result::Waiting:
    case AddressAssignment::Result::Sending:
        break;
    }
    return QString();
}

// One camera of the plan: a JSON object, and its line of text.
QJsonObject cameraJson(const discovery::PlannedCamera& planned)
{
    QJsonArray skipped;
    for (const discovery::SkippedAddress& address : planned.skipped)
        skipped.append(QJsonObject{{QStringLiteral("ip"), address.address},
                                   {QStringLiteral("reason"), reasonName(address.reason)}});
    return {{QStringLiteral("device_id"), planned.camera.device_id},
            {QStringLiteral("mac"), planned.camera.macaddr},
            {QStringLiteral("from"), planned.camera.ipaddr},
            {QStringLiteral("ip"), planned.settings.ipaddr},
            {QStringLiteral("skipped"), skipped}};
}

QString cameraLine(const discovery::PlannedCamera& planned, const QString& result)
{
    QStringList skipped;
    for (const discovery::SkippedAddress& address : planned.skipped)
        skipped << QStringLiteral("%1 (%2)").arg(address.address, reasonName(address.reason));
    QString line =
        QStringLiteral("%1  %2  %3 -> %4")
            .arg(planned.camera.device_id, planned.camera.macaddr, planned.camera.ipaddr.leftJustified(15),
                 planned.settings.ipaddr.isEmpty() ? QStringLiteral("(none left)")
                                                   : planned.settings.ipaddr.leftJustified(15));
    if (!result.isEmpty())
        line += QStringLiteral("  ") + result;
    if (!skipped.isEmpty())
        line += QStringLiteral("  skips ") + skipped.join(QStringLiteral(", "));
    return line.trimmed();
}

// Why the plan cannot go out, and the exit status for it: 2 for what the options ask, 1 for what the LAN
// refuses.
QPair<int, QString> planFailure(const discovery::AssignmentPlan& plan,
                                const discovery::AssignmentRequest& request)
{
    using discovery::PlanFault;
    switch (plan.fault) {
    case PlanFault::None:
        break;
    case PlanFault::Settings: {
        if (plan.settingsFault == discovery::SettingsFault::MacTail)
            return {1, QStringLiteral("camera %1 reports no usable MAC address").arg(plan.detail)};
        if (!plan.detail.isEmpty() && plan.settingsFault == discovery::SettingsFault::Address &&
            request.skip.contains(plan.detail))
            return {2, QStringLiteral("--skip %1 is not an address").arg(plan.detail)};
        discovery::NetworkSettings settings = discovery::assignmentSettings(
            Dev_info(), request.first, request.netmask, request.gateway, request.dns);
        QString text = lan::settingsFaultText(plan.settingsFault, settings);
        if (!plan.detail.isEmpty())
            text = QStringLiteral("camera %1: %2").arg(plan.detail, text);
        return {2, text};
    }
    case PlanFault::NoRoom:
        return {2, QStringLiteral("the range does not fit: the subnet ends at %1").arg(plan.detail)};
    case PlanFault::UnknownDevice:
        return {1, QStringLiteral("no camera with Device ID %1 answered").arg(plan.detail)};
    case PlanFault::DuplicateDevice:
        return {2, QStringLiteral("Device ID %1 is named twice").arg(plan.detail)};
    case PlanFault::DuplicateAddress:
        return {2, QStringLiteral("%1 is given to two cameras").arg(plan.detail)};
    case PlanFault::AddressInUse:
        return {1, QStringLiteral("%1 is held by another camera or this computer").arg(plan.detail)};
    case PlanFault::NoCameras:
        return {1, QStringLiteral("no camera answered")};
    }
    return {0, QString()};
}

int runAssign(const Invocation& in)
{
    const QCommandLineParser& parser = in.parser;
    const bool planFile = parser.isSet(kPlanOption);
    const bool all = parser.isSet(kAllOption);
    const bool byId = parser.isSet(kDeviceIdOption);
    QStringList ids = parser.values(kDeviceIdOption) + parser.positionalArguments();
    QString problem = lan::interfaceProblem(parser);
    const bool sequentialOptions = parser.isSet(kFromOption) || parser.isSet(kMaskOption) ||
                                   parser.isSet(kGatewayOption) || parser.isSet(kDnsOption) ||
                                   parser.isSet(kSkipOption);
    if (problem.isEmpty() && planFile && (sequentialOptions || all || byId))
        problem =
            QStringLiteral("--plan takes no --from, --mask, --gateway, --dns, --skip, --all or --device-id");
    if (problem.isEmpty() && !planFile &&
        !(parser.isSet(kFromOption) && parser.isSet(kMaskOption) && parser.isSet(kGatewayOption)))
        problem = QStringLiteral("needs --from, --mask and --gateway, or --plan FILE");
    if (problem.isEmpty() && !planFile && all == byId)
        problem = QStringLiteral("needs --all or --device-id ID...");
    if (problem.isEmpty() && !parser.positionalArguments().isEmpty() && !byId)
        problem = QStringLiteral("Device IDs follow --device-id");
    // The parser keeps no order between options and the words after them.
    if (problem.isEmpty() && !parser.positionalArguments().isEmpty() &&
        parser.values(kDeviceIdOption).size() > 1)
        problem =
            QStringLiteral("give the Device IDs after one --device-id, or repeat --device-id, not both");
    for (const QString& id : qAsConst(ids))
        if (problem.isEmpty() && !discovery::isValidDeviceId(id))
            problem = QStringLiteral("%1 is not a Device ID: 32 characters, as search lists them").arg(id);
    const int wait = lan::waitMs(parser);
    if (problem.isEmpty() && wait < 0)
        problem = QStringLiteral("--wait must be a number of seconds up to %1").arg(lan::MaxWaitSeconds);

    discovery::AssignmentRequest request;
    request.first = parser.value(kFromOption);
    request.netmask = parser.value(kMaskOption);
    request.gateway = parser.value(kGatewayOption);
    request.dns = parser.value(kDnsOption);
    if (parser.isSet(kSkipOption))
        request.skip = parser.value(kSkipOption).split(QLatin1Char(','), Qt::SkipEmptyParts);
    request.ownAddress = parser.value(QStringLiteral("interface"));
    QVector<discovery::PlanFileRow> rows;
    if (problem.isEmpty() && planFile) {
        QFile file(parser.value(kPlanOption));
        const auto parsed = file.open(QIODevice::ReadOnly)
                                ? discovery::parsePlanFile(file.readAll(), &problem)
                                : std::nullopt;
        if (!file.isOpen())
            problem = QStringLiteral("cannot read %1").arg(file.fileName());
        else if (parsed)
            rows = *parsed;
        else
            problem = QStringLiteral("%1: %2").arg(file.fileName(), problem);
    }
    if (problem.isEmpty() && !planFile) {
        // The options alone must make a valid configuration before anything goes out, the search included.
        const discovery::AssignmentPlan check = discovery::checkRequest(request);
        if (!check.ok())
            problem = planFailure(check, request).second;
    }
    if (!problem.isEmpty())
        return in.usageError(problem);

    DiscoveryClient client;
    const int failed = lan::openClient(in, client);
    if (failed >= 0)
        return failed;
    QVector<Dev_info> listed;
    const QMetaObject::Connection listing = QObject::connect(
        &client, &DiscoveryClient::deviceFound, [&](const Dev_info& device) { listed.append(device); });
    runEventLoop([&] {
        client.search();
        QTimer::singleShot(wait, [] { QCoreApplication::exit(0); });
    });
    QObject::disconnect(listing);

    discovery::AssignmentPlan plan;
    if (planFile)
        plan = discovery::planFromRows(rows, listed, request.ownAddress);
    else
        plan = discovery::planSequential(
            all ? discovery::camerasByMac(listed) : discovery::camerasById(ids, listed), listed, request);
    const bool dryRun = parser.isSet(kDryRunOption);
    if (dryRun || plan.fault == discovery::PlanFault::NoRoom)
        for (const discovery::PlannedCamera& planned : qAsConst(plan.cameras))
            in.out.event(QStringLiteral("plan"), cameraJson(planned), cameraLine(planned, QString()));
    if (!plan.ok()) {
        const auto [status, reason] = planFailure(plan, request);
        in.out.result(false, {{QStringLiteral("reason"), reason}}, reason);
        return status;
    }
    if (dryRun)
        return in.out.result(
            true, {{QStringLiteral("dry_run"), true}, {QStringLiteral("count"), plan.cameras.size()}},
            QStringLiteral("dry run: %1 %2, nothing sent")
                .arg(plan.cameras.size())
                .arg(plan.cameras.size() == 1 ? "camera" : "cameras"));

    AddressAssignment assignment(&client);
    const auto report = [&](int index) {
        const discovery::PlannedCamera& planned = plan.cameras.at(index);
        const QString result = resultName(assignment.result(index));
        QJsonObject fields = cameraJson(planned);
        fields.insert(QStringLiteral("result"), result);
        if (!assignment.foundAt(index).isEmpty())
            fields.insert(QStringLiteral("found_at"), assignment.foundAt(index));
        in.out.event(QStringLiteral("camera"), fields, cameraLine(planned, result));
    };
    // A camera that failed is told at once; the others once the confirming search is over, in plan order.
    QObject::connect(&assignment, &AddressAssignment::cameraFinished,
                     [&](int index, AddressAssignment::Result result) {
                         if (result != AddressAssignment::Result::Confirmed &&
                             result != AddressAssignment::Result::Acknowledged)
                             report(index);
                     });
    QObject::connect(&assignment, &AddressAssignment::finished, [&] {
        for (int index = 0; index < plan.cameras.size(); ++index)
            if (assignment.result(index) == AddressAssignment::Result::Confirmed ||
                assignment.result(index) == AddressAssignment::Result::Acknowledged)
                report(index);
        QJsonObject counts;
        QStringList parts;
        bool allConfirmed = true;
        for (const auto result : {AddressAssignment::Result::Confirmed,
                                  AddressAssignment::Result::Acknowledged, AddressAssignment::Result::Failed,
                                  AddressAssignment::Result::NoAnswer, AddressAssignment::Result::Skipped}) {
            int count = 0;
            for (int index = 0; index < plan.cameras.size(); ++index)
                count += assignment.result(index) == result;
            QString name = resultName(result);
            counts.insert(name.replace(QLatin1Char(' '), QLatin1Char('_')), count);
            if (count > 0)
                parts << QStringLiteral("%1 %2").arg(count).arg(resultName(result));
            allConfirmed = allConfirmed && (result == AddressAssignment::Result::Confirmed || count == 0);
        }
        const QString summary = QStringLiteral("%1 %2: %3")
                                    .arg(plan.cameras.size())
                                    .arg(plan.cameras.size() == 1 ? "camera" : "cameras", parts.join(", "));
        if (!allConfirmed)
            counts.insert(QStringLiteral("reason"),
                          QStringLiteral("not every camera was confirmed at its new address"));
        QCoreApplication::exit(in.out.result(allConfirmed, counts, summary));
    });
    return runEventLoop([&] { assignment.start(plan, wait); });
}
} // namespace

// An entry of the dispatch table in main.cpp.
extern const Subcommand kAssignCommand{
    "assign",
    "--interface ADDR (--from FIRST --mask M --gateway G [--dns D] [--skip A,B,...] (--all | --device-id "
    "ID...) | --plan FILE) [--dry-run] [--wait S] [--json]",
    "Gives many cameras new static addresses at once, counting up from a first address or from a plan file.",
    declareAssign, runAssign};
