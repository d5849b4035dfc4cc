// search, config, reboot and blink: the cameras of the discovery group behind one local interface.
#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>

#include "discoveryclient.h"
#include "discoverymessages.h"
#include "subcommand.h"
#include "validators.h"

namespace
{
constexpr int kDefaultWaitSeconds = 3;
constexpr double kMaxWaitSeconds = 600;
// A per-camera command first searches for its Device ID, then waits for the acknowledgement, each this long.
constexpr int kLookupMs = 3000;
constexpr int kAcknowledgeMs = 3000;
// The MAC head the window's form keeps fixed; only the tail is the operator's.
const char* const kMacHead[3] = {"02", "5A", "C3"};

const QString kInterfaceOption = QStringLiteral("interface");
const QString kDeviceIdOption = QStringLiteral("device-id");

void declareInterface(QCommandLineParser& parser)
{
    parser.addOption({kInterfaceOption, QStringLiteral("The local IPv4 address on the cameras' LAN."),
                      QStringLiteral("ADDR")});
}

void declareDevice(QCommandLineParser& parser)
{
    declareInterface(parser);
    parser.addOption({kDeviceIdOption, QStringLiteral("The camera's Device ID, as search lists it."),
                      QStringLiteral("ID")});
}

// The command-line problem of a LAN command, empty when there is none.
QString usageProblem(const QCommandLineParser& parser, int positionals, bool needsDevice)
{
    if (parser.positionalArguments().size() != positionals)
        return positionals ? QStringLiteral("expects on or off") : QStringLiteral("takes no arguments");
    QHostAddress address;
    if (!parser.isSet(kInterfaceOption))
        return QStringLiteral("needs --interface ADDR");
    if (!address.setAddress(parser.value(kInterfaceOption)) ||
        address.protocol() != QAbstractSocket::IPv4Protocol)
        return QStringLiteral("--interface must be an IPv4 address");
    if (!needsDevice)
        return QString();
    // Goes into a datagram line as it is: no blanks or line breaks.
    const QString id = parser.value(kDeviceIdOption);
    const bool printable = std::all_of(id.begin(), id.end(), [](QChar c) { return c > ' ' && c <= '~'; });
    if (id.size() != 32 || !printable)
        return QStringLiteral("--device-id must be the 32 characters search lists");
    return QString();
}

// Sets up the discovery sockets: -1 when they are ready, else the exit status after saying why.
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

// -- search

const QStringList kColumns{QStringLiteral("ip"),  QStringLiteral("netmask"), QStringLiteral("gateway"),
                           QStringLiteral("mac"), QStringLiteral("uptime"),  QStringLiteral("device_id"),
                           QStringLiteral("dns"), QStringLiteral("dhcp")};

// One camera in the order of kColumns; the uptime in seconds.
QStringList deviceCells(const Dev_info& device)
{
    return {device.ipaddr,
            device.netmask,
            device.gateway,
            device.macaddr,
            QString::number(device.uptime_seconds),
            device.device_id,
            device.fdns.trimmed(),
            device.dhcp ? QStringLiteral("true") : QStringLiteral("false")};
}

QJsonObject deviceJson(const Dev_info& device)
{
    const QStringList cells = deviceCells(device);
    QJsonObject object;
    for (int i = 0; i < kColumns.size(); ++i)
        object.insert(kColumns.at(i), cells.at(i));
    object.insert(QStringLiteral("uptime"), device.uptime_seconds);
    object.insert(QStringLiteral("dhcp"), device.dhcp);
    return object;
}

QString deviceTable(const QVector<Dev_info>& devices)
{
    QVector<QStringList> rows{{QStringLiteral("IP"), QStringLiteral("Netmask"), QStringLiteral("Gateway"),
                               QStringLiteral("MAC"), QStringLiteral("Uptime"), QStringLiteral("Device ID"),
                               QStringLiteral("DNS"), QStringLiteral("DHCP")}};
    for (const Dev_info& device : devices) {
        QStringList cells = deviceCells(device);
        cells[4] = device.uptime;
        cells[7] = device.dhcp ? QStringLiteral("yes") : QStringLiteral("no");
        rows.append(cells);
    }
    QVector<int> widths(kColumns.size(), 0);
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
    return table;
}

void declareSearch(QCommandLineParser& parser)
{
    declareInterface(parser);
    parser.addOption({QStringLiteral("wait"), QStringLiteral("How long to listen for answers (default 3)."),
                      QStringLiteral("SECONDS"), QString::number(kDefaultWaitSeconds)});
    parser.addOption({QStringLiteral("csv"), QStringLiteral("Comma-separated values with a header row.")});
}

int runSearch(const Invocation& in)
{
    const QString problem = usageProblem(in.parser, 0, false);
    if (!problem.isEmpty())
        return in.usageError(problem);
    if (in.parser.isSet(QStringLiteral("json")) && in.parser.isSet(QStringLiteral("csv")))
        return in.usageError(QStringLiteral("--json and --csv exclude each other"));
    bool number = false;
    const double wait = in.parser.value(QStringLiteral("wait")).toDouble(&number);
    if (!number || wait <= 0 || wait > kMaxWaitSeconds)
        return in.usageError(
            QStringLiteral("--wait must be a number of seconds up to %1").arg(kMaxWaitSeconds));

    DiscoveryClient client;
    const int failed = openClient(in, client);
    if (failed >= 0)
        return failed;
    QVector<Dev_info> devices;
    QObject::connect(&client, &DiscoveryClient::deviceFound, [&](const Dev_info& device) {
        devices.append(device);
        in.out.event(QStringLiteral("device"), deviceJson(device));
    });
    runEventLoop([&] {
        client.search();
        QTimer::singleShot(int(wait * 1000), [] { QCoreApplication::exit(0); });
    });

    std::stable_sort(devices.begin(), devices.end(), [](const Dev_info& a, const Dev_info& b) {
        return QHostAddress(a.ipaddr).toIPv4Address() < QHostAddress(b.ipaddr).toIPv4Address();
    });
    if (in.out.format() == Output::Format::Csv) {
        in.out.csvRow(kColumns);
        for (const Dev_info& device : devices)
            in.out.csvRow(deviceCells(device));
    }
    const QString interface = in.parser.value(kInterfaceOption);
    const QString summary =
        devices.isEmpty() ? QStringLiteral("no camera answered on %1").arg(interface)
        : devices.size() == 1
            ? QStringLiteral("%1one camera answered on %2").arg(deviceTable(devices), interface)
            : QStringLiteral("%1%2 cameras answered on %3")
                  .arg(deviceTable(devices))
                  .arg(devices.size())
                  .arg(interface);
    return in.out.result(true, {{QStringLiteral("count"), devices.size()}}, summary);
}

// -- one camera by Device ID

// What a camera command reports once the camera has acknowledged it.
struct Outcome {
    QJsonObject fields;
    QString text;
};
// Sends the command to the camera the search found; returns why it refuses to instead (nothing sent).
using Send = std::function<QString(DiscoveryClient& client, const Dev_info& camera, Outcome* outcome)>;

void finish(const Invocation& in, bool ok, QJsonObject fields, const QString& text)
{
    fields.insert(QStringLiteral("device_id"), in.parser.value(kDeviceIdOption));
    if (!ok)
        fields.insert(QStringLiteral("reason"), text);
    QCoreApplication::exit(in.out.result(ok, fields, text));
}

int runOnCamera(const Invocation& in, const Send& send)
{
    const QString deviceId = in.parser.value(kDeviceIdOption);
    DiscoveryClient client;
    const int failed = openClient(in, client);
    if (failed >= 0)
        return failed;
    QTimer lookup;
    QTimer acknowledgement;
    lookup.setSingleShot(true);
    acknowledgement.setSingleShot(true);
    QObject::connect(&lookup, &QTimer::timeout, [&] {
        finish(in, false, {},
               QStringLiteral("no camera with Device ID %1 answered on %2")
                   .arg(deviceId, in.parser.value(kInterfaceOption)));
    });
    QObject::connect(&acknowledgement, &QTimer::timeout, [&] {
        finish(in, false, {},
               QStringLiteral("%1 did not acknowledge within %2 s")
                   .arg(in.out.host())
                   .arg(kAcknowledgeMs / 1000));
    });
    Outcome outcome;
    QObject::connect(&client, &DiscoveryClient::deviceFound, [&](const Dev_info& camera) {
        if (!lookup.isActive() || camera.device_id != deviceId)
            return;
        lookup.stop();
        in.out.setHost(camera.ipaddr);
        const QString refusal = send(client, camera, &outcome);
        if (refusal.isEmpty())
            acknowledgement.start(kAcknowledgeMs);
        else
            finish(in, false, {}, refusal);
    });
    QObject::connect(&client, &DiscoveryClient::acknowledged, [&](const QString&, bool succeeded) {
        acknowledgement.stop();
        finish(in, succeeded, outcome.fields,
               succeeded ? outcome.text : QStringLiteral("%1 refused the command").arg(in.out.host()));
    });
    return runEventLoop([&] {
        client.search();
        lookup.start(kLookupMs);
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
    declareDevice(parser);
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

// The Set button's checks on the settings known so far: before the camera is found, an open DNS server or MAC
// tail is not yet a fault. Empty when they pass.
QString settingsProblem(const discovery::NetworkSettings& settings, bool complete)
{
    if (settings.dhcpIndex == 0) {
        if (!validators::isValidHostIp(settings.ipaddr))
            return QStringLiteral("%1 is not a usable address").arg(settings.ipaddr);
        if (!validators::isValidNetmask(settings.netmask))
            return QStringLiteral("%1 is not a netmask").arg(settings.netmask);
        if (!validators::isValidHostIp(settings.gateway))
            return QStringLiteral("gateway %1 is not a usable address").arg(settings.gateway);
        if ((complete || !settings.fdns.isEmpty()) && !validators::isValidHostIp(settings.fdns))
            return QStringLiteral("DNS server %1 is not a usable address").arg(settings.fdns);
        if (!discovery::gatewayInSubnet(settings.ipaddr, settings.netmask, settings.gateway))
            return QStringLiteral("gateway %1 is outside %2/%3")
                .arg(settings.gateway, settings.ipaddr, settings.netmask);
    }
    const QString tail =
        QStringList{settings.mac[3], settings.mac[4], settings.mac[5]}.join(QLatin1Char(':'));
    if ((complete || tail != QLatin1String("::")) && !validators::isValidMacTail(tail.toUpper()))
        return QStringLiteral("MAC tail %1 is not three hexadecimal octets").arg(tail);
    return QString();
}

int runConfig(const Invocation& in)
{
    const QCommandLineParser& parser = in.parser;
    QString problem = usageProblem(parser, 0, true);
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
    problem = settingsProblem(settings, false);
    if (!problem.isEmpty())
        return in.out.result(false, {{QStringLiteral("reason"), problem}}, problem);

    return runOnCamera(in, [&](DiscoveryClient& client, const Dev_info& camera, Outcome* outcome) {
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
        const QString refusal = settingsProblem(settings, true);
        if (!refusal.isEmpty())
            return refusal;
        client.configure(camera.device_id, settings);
        const QString mac =
            QStringList(std::begin(settings.mac), std::end(settings.mac)).join(QLatin1Char(':'));
        outcome->fields = {{QStringLiteral("dhcp"), dhcp},
                           {QStringLiteral("ip"), settings.ipaddr},
                           {QStringLiteral("netmask"), settings.netmask},
                           {QStringLiteral("gateway"), settings.gateway},
                           {QStringLiteral("dns"), settings.fdns},
                           {QStringLiteral("mac"), mac}};
        outcome->text =
            dhcp ? QStringLiteral("%1 accepted: DHCP, MAC %2").arg(camera.ipaddr, mac)
                 : QStringLiteral("%1 accepted: address %2, netmask %3, gateway %4, DNS %5, MAC %6")
                       .arg(camera.ipaddr, settings.ipaddr, settings.netmask, settings.gateway, settings.fdns,
                            mac);
        return QString();
    });
}

// -- reboot and blink

void declareReboot(QCommandLineParser& parser)
{
    declareDevice(parser);
}

int runReboot(const Invocation& in)
{
    const QString problem = usageProblem(in.parser, 0, true);
    if (!problem.isEmpty())
        return in.usageError(problem);
    return runOnCamera(in, [](DiscoveryClient& client, const Dev_info& camera, Outcome* outcome) {
        client.reboot(camera.device_id);
        outcome->text = QStringLiteral("%1 reboots").arg(camera.ipaddr);
        return QString();
    });
}

void declareBlink(QCommandLineParser& parser)
{
    declareDevice(parser);
    parser.addPositionalArgument(QStringLiteral("state"), QStringLiteral("on or off."),
                                 QStringLiteral("on|off"));
}

int runBlink(const Invocation& in)
{
    QString problem = usageProblem(in.parser, 1, true);
    const QString state = in.parser.positionalArguments().value(0);
    if (problem.isEmpty() && state != QLatin1String("on") && state != QLatin1String("off"))
        problem = QStringLiteral("expects on or off");
    if (!problem.isEmpty())
        return in.usageError(problem);
    const bool on = state == QLatin1String("on");
    return runOnCamera(in, [on](DiscoveryClient& client, const Dev_info& camera, Outcome* outcome) {
        client.flicker(camera.device_id, on);
        outcome->fields = {{QStringLiteral("blinking"), on}};
        outcome->text = QStringLiteral("%1 blinking %2").arg(camera.ipaddr, on ? "on" : "off");
        return QString();
    });
}
} // namespace

// Entries of the dispatch table in main.cpp.
extern const Subcommand kSearchCommand{"search", "--interface ADDR [--wait SECONDS] [--json | --csv]",
                                       "Lists the cameras that answer a search on the interface's LAN.",
                                       declareSearch, runSearch};
extern const Subcommand kConfigCommand{
    "config",
    "--interface ADDR --device-id ID (--dhcp | --ip A --mask M --gateway G "
    "[--dns D]) [--mac-tail XX:XX:XX] [--json]",
    "Changes a camera's network settings.", declareConfig, runConfig};
extern const Subcommand kRebootCommand{"reboot", "--interface ADDR --device-id ID [--json]",
                                       "Reboots a camera.", declareReboot, runReboot};
extern const Subcommand kBlinkCommand{"blink", "--interface ADDR --device-id ID on|off [--json]",
                                      "Makes a camera blink, or stop blinking, to find it.", declareBlink,
                                      runBlink};
