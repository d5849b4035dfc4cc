// camsim: simulated network cameras for the maintenance tool's tests and demo.
#include "camera.h"
#include "eventlog.h"
#include "faults.h"
#include "grouplistener.h"
#include "simcamera.h"
#ifdef CAMSIM_HAVE_RTSP
#include "rtspserver.h"
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    (void)!write(signalPipe[1], &byte, 1);
}

int fail(const QString& message)
{
    fprintf(stderr, "camsim: %s\n", qPrintable(message));
    return 2;
}

// The next address for a camera, skipping host parts 0 and 255 that tools refuse.
QHostAddress nextAddress(const QHostAddress& address)
{
    quint32 ip = address.toIPv4Address() + 1;
    while ((ip & 0xff) == 0 || (ip & 0xff) == 0xff)
        ++ip;
    return QHostAddress(ip);
}

bool readCameraFile(const QString& path, QJsonArray* cameras, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QString("cannot read %1").arg(path);
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (doc.isNull()) {
        *error = QString("%1: %2").arg(path, parseError.errorString());
        return false;
    }
    *cameras = doc.isArray() ? doc.array() : doc.object().value("cameras").toArray();
    return true;
}

void raiseFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("camsim");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated network cameras: discovery (UDP 8005), device records (TCP 5555), "
        "RTSP and control datagrams (UDP 1259).");
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {"cameras", "Number of cameras (default: the JSON file's count, else 1).", "N"},
        {"base-ip", "First camera address; the others follow it.", "ADDR"},
        {"address", "A camera address; repeat for several (overrides --base-ip).", "ADDR"},
        {"netmask", "Netmask the generated cameras report (default 255.255.0.0).", "MASK", "255.255.0.0"},
        {"gateway", "Gateway the generated cameras report (default: host part 1 of their address).", "ADDR"},
        {"layout", "Record layout of the generated cameras: TYPE1 or TYPE2.", "LAYOUT", "TYPE1"},
        {"seed", "Seed for the generated cameras.", "N", "1"},
        {"config", "JSON camera file (see README.md).", "FILE"},
        {"demo", "Use the built-in demo camera set (8 cameras)."},
        {"factory",
         "Add N cameras in their factory state, all on --factory-ip, each with its own MAC and Device ID.",
         "N", "0"},
        {"factory-ip", "The factory cameras' address (default 192.168.100.88, netmask 255.255.255.0).",
         "ADDR", "192.168.100.88"},
        {"fault",
         "Fault switch [INDEX:]NAME[=VALUE] for all cameras or camera INDEX; repeatable. Names: " +
             faultNames().join(", "),
         "FAULT"},
        {"reply-mode", "How discovery answers leave: multicast, unicast or both.", "MODE"},
        {"reply-delay-ms", "Each discovery answer waits a random 0..MS.", "MS", "0"},
        {"reboot-seconds", "Silence after a reboot (default 5; 8 with --demo).", "SEC"},
        {"reboot-ms", "Silence after a reboot in milliseconds (wins over --reboot-seconds).", "MS"},
        {"verify-ms", "Delay before the verdict on a received file.", "MS", "200"},
        {"flash-ms", "Delay between 'U' 5 and 'U' 7.", "MS", "1000"},
        {"restore-ms", "Delay between 'R' 4 and 'R' 6.", "MS", "500"},
        {"max-upload", "Largest upload accepted; larger ones are 'disk full'.", "BYTES", "268435456"},
        {"store",
         "Folder that keeps received firmware and archives (default: a temporary one, removed at exit).",
         "DIR"},
        {"events", "Event log file, '-' for standard output.", "FILE", "-"},
        {"duration", "Quit after this many seconds.", "SEC"},
        {"no-discovery", "Do not serve UDP 8005 (required outside a private network namespace)."},
        {"group-interface", "Address whose interface joins the discovery group (default: first camera).",
         "ADDR"},
        {"no-visca", "Do not listen on UDP 1259."},
        {"move-addresses", "A camera given a new static IP adds it to its interface and moves there (needs "
                           "CAP_NET_ADMIN: simlan passes it)."},
        {"no-rtsp", "Do not serve RTSP."},
        {"rtsp-port", "RTSP port.", "PORT", "554"},
        {"rtsp-size", "Video size WIDTHxHEIGHT.", "SIZE", "640x360"},
        {"rtsp-fps", "Video frame rate.", "FPS", "25"},
        {"rtsp-audio", "Announce an audio track before the video track."},
        {"rtsp-shared", "Keep each camera's stream running from start-up; clients join it mid-stream."},
        {"rtsp-udp-only", "Serve RTP over UDP only: a SETUP asking for TCP is answered 461."},
        {"rtsp-stall-after", "Each client's stream stops sending pictures after SEC seconds.", "SEC"},
        {"latency-pattern", "Stamp every picture with its send time and number (see README.md)."},
    };
    parser.addOptions(options);
    parser.process(app);

    // Cameras: addresses, then seed-generated state, then JSON overrides, then command-line faults.
    QJsonArray jsonCameras;
    QString error;
    if (parser.isSet("demo") && !readCameraFile(":/camsim/demo-cameras.json", &jsonCameras, &error))
        return fail(error);
    QString jsonDir = QDir::currentPath();
    if (parser.isSet("config")) {
        if (!readCameraFile(parser.value("config"), &jsonCameras, &error))
            return fail(error);
        jsonDir = QFileInfo(parser.value("config")).absolutePath();
    }
    bool ok = true;
    const int count =
        parser.isSet("cameras") ? parser.value("cameras").toInt(&ok) : qMax(1, int(jsonCameras.size()));
    if (!ok || count < 1 || count > 5000)
        return fail("--cameras must be 1 to 5000");

    QList<QHostAddress> addresses;
    for (const QString& text : parser.values("address"))
        addresses.append(QHostAddress(text));
    if (addresses.isEmpty() && parser.isSet("base-ip")) {
        QHostAddress next(parser.value("base-ip"));
        for (int i = 0; i < count; ++i, next = nextAddress(next))
            addresses.append(next);
    }
    for (int i = addresses.size(); i < count; ++i) {
        const QString fromJson = jsonCameras.at(i).toObject().value("ip").toString();
        if (fromJson.isEmpty())
            return fail(QString("camera %1 has no address: give --base-ip, --address or \"ip\"").arg(i));
        addresses.append(QHostAddress(fromJson));
    }
    const int factoryCount = parser.value("factory").toInt(&ok);
    if (!ok || factoryCount < 0 || count + factoryCount > 5000)
        return fail("--factory must be 0 to 5000 cameras in all");
    const QHostAddress factoryAddress(parser.value("factory-ip"));
    for (int i = 0; i < factoryCount; ++i)
        addresses.append(factoryAddress);
    for (const QHostAddress& address : qAsConst(addresses))
        if (address.protocol() != QAbstractSocket::IPv4Protocol)
            return fail("camera addresses must be IPv4 addresses");

    GenerateDefaults defaults;
    defaults.netmask = parser.value("netmask");
    defaults.gateway = parser.value("gateway");
    if (parser.value("layout") == "TYPE2")
        defaults.layout = Layout::Type2;
    else if (parser.value("layout") != "TYPE1")
        return fail("--layout must be TYPE1 or TYPE2");
    const quint32 seed = parser.value("seed").toUInt();

    // Out of the box: one address for all, a /24 with its gateway at .1, no DHCP.
    GenerateDefaults factoryDefaults = defaults;
    factoryDefaults.netmask = "255.255.255.0";
    factoryDefaults.gateway.clear();
    QList<CameraProfile> profiles;
    for (int i = 0; i < count + factoryCount; ++i) {
        CameraProfile profile = generateCamera(seed, i, addresses[i], i < count ? defaults : factoryDefaults);
        if (i >= count)
            profile.net.dhcp = false;
        if (i < jsonCameras.size()) {
            error = applyCameraJson(profile, jsonCameras.at(i).toObject(), jsonDir);
            if (!error.isEmpty())
                return fail(QString("camera %1: %2").arg(i).arg(error));
        }
        profiles.append(profile);
    }
    QStringList faultSwitches = parser.values("fault");
    if (parser.isSet("reply-mode"))
        faultSwitches.append("reply-mode=" + parser.value("reply-mode"));
    for (const QString& sw : qAsConst(faultSwitches)) {
        QString text = sw;
        int only = -1;
        const int colon = text.indexOf(':');
        if (colon > 0 && text.left(colon).toInt(&ok) >= 0 && ok) {
            only = text.left(colon).toInt();
            text = text.mid(colon + 1);
        }
        const int eq = text.indexOf('=');
        const QString name = eq < 0 ? text : text.left(eq);
        const QString value = eq < 0 ? QString() : text.mid(eq + 1);
        for (int i = 0; i < profiles.size(); ++i) {
            if (only >= 0 && i != only)
                continue;
            error = applyFault(profiles[i].faults, name, value, eq >= 0);
            if (!error.isEmpty())
                return fail(error);
        }
    }

    SimSettings settings;
    settings.replyDelayMs = parser.value("reply-delay-ms").toInt();
    if (parser.isSet("reboot-ms"))
        settings.rebootMs = parser.value("reboot-ms").toInt();
    else if (parser.isSet("reboot-seconds"))
        settings.rebootMs = int(parser.value("reboot-seconds").toDouble() * 1000);
    else
        settings.rebootMs = parser.isSet("demo") ? 8000 : 5000;
    settings.verifyMs = parser.value("verify-ms").toInt();
    settings.flashMs = parser.value("flash-ms").toInt();
    settings.restoreMs = parser.value("restore-ms").toInt();
    settings.maxUpload = parser.value("max-upload").toLongLong();
    settings.discovery = !parser.isSet("no-discovery");
    settings.visca = !parser.isSet("no-visca");
    settings.moveAddresses = parser.isSet("move-addresses");
    settings.rtsp = !parser.isSet("no-rtsp");
#ifndef CAMSIM_HAVE_RTSP
    if (settings.rtsp)
        fprintf(stderr, "camsim: built without the RTSP server; the cameras serve no RTSP\n");
    settings.rtsp = false;
#endif
    settings.rtspPort = parser.value("rtsp-port").toInt();
    const QStringList size = parser.value("rtsp-size").split('x');
    settings.rtspWidth = size.value(0).toInt();
    settings.rtspHeight = size.value(1).toInt();
    settings.rtspFps = parser.value("rtsp-fps").toInt();
    settings.rtspAudioFirst = parser.isSet("rtsp-audio");
    if (settings.rtspWidth <= 0 || settings.rtspHeight <= 0 || settings.rtspFps <= 0)
        return fail("bad --rtsp-size or --rtsp-fps");
#ifdef CAMSIM_HAVE_RTSP
    RtspServer::Behaviour rtspBehaviour;
    rtspBehaviour.shared = parser.isSet("rtsp-shared");
    rtspBehaviour.udpOnly = parser.isSet("rtsp-udp-only");
    rtspBehaviour.stallAfterMs = int(parser.value("rtsp-stall-after").toDouble() * 1000);
    rtspBehaviour.latencyPattern = parser.isSet("latency-pattern");
#endif
    // Without --store the received files live only as long as the run.
    QTemporaryDir scratchStore(QDir::temp().filePath("camsim-XXXXXX"));
    settings.storeDir =
        parser.isSet("store") ? QDir(parser.value("store")).absolutePath() : scratchStore.path();
    if (settings.storeDir.isEmpty() || !QDir().mkpath(settings.storeDir))
        return fail("cannot create the store folder " + settings.storeDir);

    EventLog log;
    if (!log.open(parser.value("events"), &error))
        return fail(error);
#ifdef CAMSIM_HAVE_RTSP
    rtspBehaviour.onRequest = [&log](const QString& camera, const QJsonObject& request) {
        log.write("rtsp", camera, request);
    };
    RtspServer::setBehaviour(rtspBehaviour);
#endif

    raiseFileLimit();
    if (pipe(signalPipe) != 0)
        return fail("pipe() failed");
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        (void)!read(signalPipe[0], &byte, 1);
        log.write("stop", QString(), {{"reason", "signal"}});
        app.quit();
    });
    struct sigaction action {
    };
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    const QHostAddress groupInterface = parser.isSet("group-interface")
                                            ? QHostAddress(parser.value("group-interface"))
                                            : profiles.first().address;
    // Never on the machine's own interfaces: discovery refuses to run there anyway, just below.
    if (factoryCount > 0 && settings.discovery && !GroupListener::inMachineNamespace()) {
        if (!settings.moveAddresses && !SimCamera::hasAddress(factoryAddress))
            return fail("--factory-ip " + factoryAddress.toString() +
                        " is on no interface: add it, or run with --move-addresses (simlan does)");
        if (!SimCamera::addAddress(factoryAddress, factoryDefaults.netmask, groupInterface, &error))
            return fail(error);
    }
    QList<SimCamera*> cameras;
    for (const CameraProfile& profile : qAsConst(profiles)) {
        auto* camera = new SimCamera(profile, settings, &log, &app);
        if (!camera->start(&error))
            return fail(error);
        cameras.append(camera);
    }
    if (settings.discovery) {
        auto* group = new GroupListener(cameras, &log, &app);
        if (!group->start(groupInterface, &error))
            return fail(error);
    }

    QJsonArray list;
    for (const CameraProfile& profile : qAsConst(profiles))
        list.append(QJsonObject{{"address", profile.address.toString()},
                                {"device_id", profile.deviceId},
                                {"mac", profile.net.mac},
                                {"dhcp", profile.net.dhcp},
                                {"layout", layoutName(profile.layout)},
                                {"version", profile.version},
                                {"archive_size", profile.archive.size()}});
    log.write("ready", QString(),
              {{"cameras", list},
               {"store", settings.storeDir},
               {"discovery", settings.discovery},
               {"rtsp", settings.rtsp ? settings.rtspPort : 0},
               {"pid", QCoreApplication::applicationPid()}});

    if (parser.isSet("duration"))
        QTimer::singleShot(int(parser.value("duration").toDouble() * 1000), &app, [&] {
            log.write("stop", QString(), {{"reason", "duration"}});
            app.quit();
        });
    const int result = app.exec();
    qDeleteAll(cameras);
    return result;
}
