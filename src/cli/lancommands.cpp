// search, config, reboot and blink: the cameras of the discovery group behind one local interface.
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>

#include "addressplan.h"
#include "devicecommand.h"
#include "devicetable.h"
#include "discoveryclient.h"
#include "lan.h"

namespace lan
{
namespace
{
const QString kInterfaceOption = QStringLiteral("interface");
} // namespace

void declareInterface(QCommandLineParser& parser)
{
    parser.addOption({kInterfaceOption, QStringLiteral("The local IPv4 address on the cameras' LAN."),
                      QStringLiteral("ADDR")});
}

QString interfaceProblem(const QCommandLineParser& parser)
{
    if (!parser.isSet(kInterfaceOption))
        return QStringLiteral("needs --interface ADDR");
    if (!discovery::parseIPv4(parser.value(kInterfaceOption)))
        return QStringLiteral("--interface must be an IPv4 address");
    return QString();
}

int waitMs(const QCommandLineParser& parser)
{
    bool number = false;
    const double wait = parser.value(QStringLiteral("wait")).toDouble(&number);
    return number && wait > 0 && wait <= MaxWaitSeconds ? int(wait * 1000) : -1;
}

int openClient(const Invocation& in, DiscoveryClient& client)
{
    const QString address = in.parser.value(kInterfaceOption);
    switch (client.open(address)) {
    case DiscoveryClient::OpenResult::Ok:
        return -1;
    case DiscoveryClient::OpenResult::InitFailed:
        return in.out.result(false,
                             {{QStringLiteral("reason"), QStringLiteral("cannot open the discovery port")}},
                             QStringLiteral("cannot open UDP port %1").arg(discovery::Port));
    case DiscoveryClient::OpenResult::JoinFailed:
        break;
    }
    return in.out.result(
        false, {{QStringLiteral("reason"), QStringLiteral("cannot join the discovery group")}},
        QStringLiteral("cannot join %1 on %2").arg(QLatin1String(discovery::GroupAddress), address));
}

QString settingsFaultText(discovery::SettingsFault fault, const discovery::NetworkSettings& settings)
{
    using discovery::SettingsFault;
    switch (fault) {
    case SettingsFault::None:
        return QString();
    case SettingsFault::Incomplete:
        return QStringLiteral("the address, netmask, gateway and MAC tail must all be given");
    case SettingsFault::Address:
        return QStringLiteral("%1 is not a usable address").arg(settings.ipaddr);
    case SettingsFault::Netmask:
        return QStringLiteral("%1 is not a netmask").arg(settings.netmask);
    case SettingsFault::Gateway:
        return QStringLiteral("gateway %1 is not a usable address").arg(settings.gateway);
    case SettingsFault::Dns:
        return QStringLiteral("DNS server %1 is not a usable address").arg(settings.fdns);
    case SettingsFault::GatewayOutsideSubnet:
        return QStringLiteral("gateway %1 is outside %2/%3")
            .arg(settings.gateway, settings.ipaddr, settings.netmask);
    case SettingsFault::MacTail:
        return QStringLiteral("MAC tail %1 is not three hexadecimal octets")
            .arg(QStringList{settings.mac[3], settings.mac[4], settings.mac[5]}.join(QLatin1Char(':')));
    }
    return QString();
}
} // namespace lan

namespace
{
// The MAC head the window's form keeps fixed; only the tail is the operator's.
const char* const kMacHead[3] = {"02", "5A", "C3"};

const QString kDeviceIdOption = QStringLiteral("device-id");
const QString kHostOption = QStringLiteral("host");

// -- search

QJsonObject deviceJson(const Dev_info& device, const discovery::Conflicts& conflicts)
{
    const QStringList header = discovery::deviceCsvHeader();
    const QStringList cells = discovery::deviceCsvCells(device, conflicts);
    QJsonObject object;
    for (int i = 0; i < header.size(); ++i)
        object.insert(header.at(i), cells.at(i));
    object.insert(QStringLiteral("uptime"), device.uptime_seconds);
    object.insert(QStringLiteral("dhcp"), device.dhcp);
    object.remove(QStringLiteral("conflicts"));
    if (conflicts.any())
        object.insert(QStringLiteral("conflicts"), QJsonArray::fromStringList(conflicts.names()));
    return object;
}

QString deviceTable(const QVector<Dev_info>& devices, const QVector<discovery::Conflicts>& conflicts)
{
    const bool anyConflict = std::any_of(conflicts.begin(), conflicts.end(),
                                         [](const discovery::Conflicts& c) { return c.any(); });
    QVector<QStringList> rows{{QStringLiteral("IP"), QStringLiteral("Netmask"), QStringLiteral("Gateway"),
                               QStringLiteral("MAC"), QStringLiteral("Uptime"), QStringLiteral("Device ID"),
                               QStringLiteral("DNS"), QStringLiteral("DHCP"), QStringLiteral("Conflicts")}};
    for (int index = 0; index < devices.size(); ++index) {
        const Dev_info& device = devices.at(index);
        QStringList cells = discovery::deviceCsvCells(device, conflicts.at(index));
        cells[4] = device.uptime;
        cells[7] = device.dhcp ? QStringLiteral("yes") : QStringLiteral("no");
        // A clash is marked where the eye starts reading.
        if (conflicts.at(index).any())
            cells[0] = QStringLiteral("!") + cells[0];
        rows.append(cells);
    }
    if (!anyConflict)
        for (QStringList& row : rows)
            row.removeLast();
    QVector<int> widths(rows.first().size(), 0);
    for (const QStringList& row : rows)
        for (int i = 0; i < row.size(); ++i)
            widths[i] = qMax(widths[i], row.at(i).size());
    QString table;
    for (const QStringList& row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += row.at(i).leftJustified(widths[i] + 2);
        table += line.trimmed() + QLatin1Char('\n');
    }
    if (anyConflict)
        table += QStringLiteral("! shares its IP or MAC address with another camera\n");
    return table;
}

void declareSearch(QCommandLineParser& parser)
{
    lan::declareInterface(parser);
    parser.addOption({QStringLiteral("wait"), QStringLiteral("How long to listen for answers (default 3)."),
                      QStringLiteral("SECONDS"), QString::number(lan::DefaultWaitSeconds)});
    parser.addOption({QStringLiteral("csv"), QStringLiteral("Comma-separated values with a header row.")});
}

int runSearch(const Invocation& in)
{
    if (!in.parser.positionalArguments().isEmpty())
        return in.usageError(QStringLiteral("takes no arguments"));
    const QString problem = lan::interfaceProblem(in.parser);
    if (!problem.isEmpty())
        return in.usageError(problem);
    if (in.parser.isSet(QStringLiteral("json")) && in.parser.isSet(QStringLiteral("csv")))
        return in.usageError(QStringLiteral("--json and --csv exclude each other"));
    const int wait = lan::waitMs(in.parser);
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

    // Clashes are known once everyone has answered, so the cameras are printed then, in address order.
    std::stable_sort(devices.begin(), devices.end(), [](const Dev_info& a, const Dev_info& b) {
        return discovery::addressLess(a.ipaddr, b.ipaddr);
    });
    const QVector<discovery::Conflicts> conflicts = discovery::findConflicts(devices);
    for (int index = 0; index < devices.size(); ++index)
        in.out.event(QStringLiteral("device"), deviceJson(devices.at(index), conflicts.at(index)));
    if (in.out.format() == Output::Format::Csv) {
        in.out.csvRow(discovery::deviceCsvHeader());
        for (int index = 0; index < devices.size(); ++index)
            in.out.csvRow(discovery::deviceCsvCells(devices.at(index), conflicts.at(index)));
    }
    const QString interface = in.parser.value(QStringLiteral("interface"));
    const QString summary =
        devices.isEmpty() ? QStringLiteral("no camera answered on %1").arg(interface)
        : devices.size() == 1
            ? QStringLiteral("%1one camera answered on %2").arg(deviceTable(devices, conflicts), interface)
            : QStringLiteral("%1%2 cameras answered on %3")
                  .arg(deviceTable(devices, conflicts))
                  .arg(devices.size())
                  .arg(interface);
    return in.out.result(true, {{QStringLiteral("count"), devices.size()}}, summary);
}

// -- one camera, by Device ID or address

void declareCamera(QCommandLineParser& parser)
{
    lan::declareInterface(parser);
    parser.addOption({kDeviceIdOption,
                      QStringLiteral("The camera's Device ID, as search lists it (any case)."),
                      QStringLiteral("ID")});
    parser.addOption(
        {kHostOption, QStringLiteral("The camera's address, as search lists it."), QStringLiteral("ADDR")});
}

// The command-line problem of a command to one camera, empty when there is none.
QString cameraProblem(const QCommandLineParser& parser, int positionals)
{
    if (parser.positionalArguments().size() != positionals)
        return positionals ? QStringLiteral("expects on or off") : QStringLiteral("takes no arguments");
    const QString problem = lan::interfaceProblem(parser);
    if (!problem.isEmpty())
        return problem;
    if (parser.isSet(kDeviceIdOption) == parser.isSet(kHostOption))
        return QStringLiteral("needs --device-id ID or --host ADDR");
    if (parser.isSet(kDeviceIdOption) && !discovery::isValidDeviceId(parser.value(kDeviceIdOption)))
        return QStringLiteral("--device-id must be the 32 characters search lists");
    if (parser.isSet(kHostOption) && !discovery::parseIPv4(parser.value(kHostOption)))
        return QStringLiteral("--host must be an IPv4 address");
    return QString();
}

QString outcomeName(DeviceCommand::Outcome outcome)
{
    switch (outcome) {
    case DeviceCommand::Outcome::Acknowledged:
        return QStringLiteral("acknowledged");
    case DeviceCommand::Outcome::Refused:
        return QStringLiteral("refused");
    case DeviceCommand::Outcome::NoAnswer:
        return QStringLiteral("no answer");
    case DeviceCommand::Outcome::NotFound:
        return QStringLiteral("not found");
    case DeviceCommand::Outcome::Ambiguous:
        return QStringLiteral("ambiguous");
    case DeviceCommand::Outcome::InvalidDeviceId:
        return QStringLiteral("invalid device id");
    case DeviceCommand::Outcome::InvalidSettings:
        return QStringLiteral("invalid settings");
    }
    return QString();
}

// What a camera command reports once the camera has acknowledged it.
struct Success {
    QJsonObject fields;
    QString text;
};
// Sends the command to the camera the search found, by command.send().
using Send = std::function<void(DeviceCommand& command, const Dev_info& camera, Success* success)>;

int runOnCamera(const Invocation& in, const Send& send, const discovery::NetworkSettings* settings = nullptr)
{
    const QString deviceId = in.parser.value(kDeviceIdOption);
    const QString host = in.parser.value(kHostOption);
    const QString interface = in.parser.value(QStringLiteral("interface"));
    DiscoveryClient client;
    const int failed = lan::openClient(in, client);
    if (failed >= 0)
        return failed;
    DeviceCommand command(&client);
    Success success;
    QObject::connect(&command, &DeviceCommand::found, [&](const Dev_info& camera) {
        in.out.setHost(camera.ipaddr);
        send(command, camera, &success);
    });
    QObject::connect(&command, &DeviceCommand::finished, [&](DeviceCommand::Outcome outcome) {
        const QString camera = in.out.host();
        QString text;
        switch (outcome) {
        case DeviceCommand::Outcome::Acknowledged:
            text = success.text;
            break;
        case DeviceCommand::Outcome::Refused:
            text = QStringLiteral("%1 refused the command").arg(camera);
            break;
        case DeviceCommand::Outcome::NoAnswer:
            text = QStringLiteral("%1 did not acknowledge within %2 s")
                       .arg(camera)
                       .arg(DeviceCommand::AcknowledgeMs / 1000);
            break;
        case DeviceCommand::Outcome::NotFound:
            text = host.isEmpty()
                       ? QStringLiteral("no camera with Device ID %1 answered on %2").arg(deviceId, interface)
                       : QStringLiteral("no camera at %1 answered on %2").arg(host, interface);
            break;
        case DeviceCommand::Outcome::Ambiguous:
            text = QStringLiteral("several cameras answer at %1; name one with --device-id").arg(host);
            break;
        case DeviceCommand::Outcome::InvalidDeviceId:
            text = QStringLiteral("%1 is not a Device ID").arg(command.camera().device_id);
            break;
        case DeviceCommand::Outcome::InvalidSettings:
            text = lan::settingsFaultText(command.settingsFault(),
                                          settings ? *settings : discovery::NetworkSettings());
            break;
        }
        const bool ok = outcome == DeviceCommand::Outcome::Acknowledged;
        QJsonObject fields = ok ? success.fields : QJsonObject();
        const QString foundId = command.camera().device_id;
        fields.insert(QStringLiteral("device_id"), foundId.isEmpty() ? deviceId : foundId);
        fields.insert(QStringLiteral("outcome"), outcomeName(outcome));
        if (!ok)
            fields.insert(QStringLiteral("reason"), text);
        QCoreApplication::exit(in.out.result(ok, fields, text));
    });
    return runEventLoop([&] {
        if (host.isEmpty())
            command.findByDeviceId(deviceId);
        else
            command.findByAddress(host);
    });
}

// -- config

const QString kIpOption = QStringLiteral("ip");
const QString kMaskOption = QStringLiteral("mask");
const QString kGatewayOption = QStringLiteral("gateway");
const QString kDnsOption = QStringLiteral("dns");
const QString kMacTailOption = QStringLiteral("mac-tail");

void declareConfig(QCommandLineParser& parser)
{
    declareCamera(parser);
    parser.addOption({QStringLiteral("dhcp"), QStringLiteral("Let the camera take its address by DHCP.")});
    parser.addOption({kIpOption, QStringLiteral("Static address."), QStringLiteral("A")});
    parser.addOption({kMaskOption, QStringLiteral("Netmask."), QStringLiteral("M")});
    parser.addOption(
        {kGatewayOption, QStringLiteral("Gateway, inside the address's subnet."), QStringLiteral("G")});
    parser.addOption({kDnsOption,
                      QStringLiteral("First DNS server (default: the camera's, else the gateway)."),
                      QStringLiteral("D")});
    parser.addOption({kMacTailOption,
                      QStringLiteral("Last three MAC octets (default: the camera's own); the first three are "
                                     "02:5A:C3."),
                      QStringLiteral("XX:XX:XX")});
}

int runConfig(const Invocation& in)
{
    const QCommandLineParser& parser = in.parser;
    QString problem = cameraProblem(parser, 0);
    const bool dhcp = parser.isSet(QStringLiteral("dhcp"));
    const bool anyAddress = parser.isSet(kIpOption) || parser.isSet(kMaskOption) ||
                            parser.isSet(kGatewayOption) || parser.isSet(kDnsOption);
    if (problem.isEmpty() && dhcp && anyAddress)
        problem = QStringLiteral("--dhcp takes no --ip, --mask, --gateway or --dns");
    if (problem.isEmpty() && !dhcp &&
        !(parser.isSet(kIpOption) && parser.isSet(kMaskOption) && parser.isSet(kGatewayOption)))
        problem = QStringLiteral("needs --dhcp, or --ip, --mask and --gateway");
    if (!problem.isEmpty())
        return in.usageError(problem);

    discovery::NetworkSettings settings;
    settings.dhcpIndex = dhcp ? 1 : 0;
    settings.ipaddr = parser.value(kIpOption);
    settings.netmask = parser.value(kMaskOption);
    settings.gateway = parser.value(kGatewayOption);
    settings.fdns = parser.value(kDnsOption);
    for (int i = 0; i < 3; ++i)
        settings.mac[i] = QLatin1String(kMacHead[i]);
    const bool ownTail = parser.isSet(kMacTailOption);
    if (ownTail) {
        const QStringList octets = parser.value(kMacTailOption).split(QLatin1Char(':'));
        // Anything but three parts is left whole, so the check refuses it.
        for (int i = 0; i < 3; ++i)
            settings.mac[3 + i] = octets.size() == 3 ? octets.at(i)
                                  : i == 0           ? parser.value(kMacTailOption)
                                                     : QString();
    }
    // What the operator gave is checked before anything is sent; the rest comes from the camera.
    problem = lan::settingsFaultText(
        discovery::checkNetworkSettings(settings, discovery::OpenFields::Allowed), settings);
    if (!problem.isEmpty())
        return in.out.result(
            false,
            {{QStringLiteral("reason"), problem},
             {QStringLiteral("outcome"), outcomeName(DeviceCommand::Outcome::InvalidSettings)}},
            problem);

    const auto send = [&](DeviceCommand& command, const Dev_info& camera, Success* success) {
        // Like the window's form filled from the camera's row: what the options leave open stays as it is.
        const QString cameraDns = camera.fdns.trimmed();
        if (dhcp) {
            settings.ipaddr = camera.ipaddr;
            settings.netmask = camera.netmask;
            settings.gateway = camera.gateway;
            settings.fdns = cameraDns;
        } else if (settings.fdns.isEmpty()) {
            settings.fdns = cameraDns.isEmpty() ? settings.gateway : cameraDns;
        }
        if (!ownTail) {
            const QStringList tail = discovery::macTailOctets(camera.macaddr);
            for (int i = 0; i < 3; ++i)
                settings.mac[3 + i] = tail.value(i);
        }
        const QString mac =
            QStringList(std::begin(settings.mac), std::end(settings.mac)).join(QLatin1Char(':'));
        success->fields = {{QStringLiteral("dhcp"), dhcp},
                           {QStringLiteral("ip"), settings.ipaddr},
                           {QStringLiteral("netmask"), settings.netmask},
                           {QStringLiteral("gateway"), settings.gateway},
                           {QStringLiteral("dns"), settings.fdns},
                           {QStringLiteral("mac"), mac}};
        success->text =
            dhcp ? QStringLiteral("%1 accepted: DHCP, MAC %2").arg(camera.ipaddr, mac)
                 : QStringLiteral("%1 accepted: address %2, netmask %3, gateway %4, DNS %5, MAC %6")
                       .arg(camera.ipaddr, settings.ipaddr, settings.netmask, settings.gateway, settings.fdns,
                            mac);
        command.send(camera, DeviceCommand::Action::ConfigNet, settings);
    };
    return runOnCamera(in, send, &settings);
}

// -- reboot and blink

int runReboot(const Invocation& in)
{
    const QString problem = cameraProblem(in.parser, 0);
    if (!problem.isEmpty())
        return in.usageError(problem);
    return runOnCamera(in, [](DeviceCommand& command, const Dev_info& camera, Success* success) {
        success->text = QStringLiteral("%1 reboots").arg(camera.ipaddr);
        command.send(camera, DeviceCommand::Action::Reboot);
    });
}

void declareBlink(QCommandLineParser& parser)
{
    declareCamera(parser);
    parser.addPositionalArgument(QStringLiteral("state"), QStringLiteral("on or off."),
                                 QStringLiteral("on|off"));
}

int runBlink(const Invocation& in)
{
    QString problem = cameraProblem(in.parser, 1);
    const QString state = in.parser.positionalArguments().value(0);
    if (problem.isEmpty() && state != QLatin1String("on") && state != QLatin1String("off"))
        problem = QStringLiteral("expects on or off");
    if (!problem.isEmpty())
        return in.usageError(problem);
    const bool on = state == QLatin1String("on");
    return runOnCamera(in, [on](DeviceCommand& command, const Dev_info& camera, Success* success) {
        success->fields = {{QStringLiteral("blinking"), on}};
        success->text = QStringLiteral("%1 blinking %2").arg(camera.ipaddr, on ? "on" : "off");
        command.send(camera, on ? DeviceCommand::Action::FlickerOn : DeviceCommand::Action::FlickerOff);
    });
}
} // namespace

// Entries of the dispatch table in main.cpp.
extern const Subcommand kSearchCommand{"search", "--interface ADDR [--wait SECONDS] [--json | --csv]",
                                       "Lists the cameras that answer a search on the interface's LAN.",
                                       declareSearch, runSearch};
extern const Subcommand kConfigCommand{
    "config",
    "--interface ADDR (--device-id ID | --host ADDR) (--dhcp | --ip A --mask M --gateway G "
    "[--dns D]) [--mac-tail XX:XX:XX] [--json]",
    "Changes a camera's network settings.", declareConfig, runConfig};
extern const Subcommand kRebootCommand{"reboot", "--interface ADDR (--device-id ID | --host ADDR) [--json]",
                                       "Reboots a camera.", declareCamera, runReboot};
extern const Subcommand kBlinkCommand{
    "blink", "--interface ADDR (--device-id ID | --host ADDR) on|off [--json]",
    "Makes a camera blink, or stop blinking, to find it.", declareBlink, runBlink};
