// camupgrade-cli as a user runs it against camsim: exit status, JSON lines, what the camera stored or did.
#include <QCryptographicHash>
#include <QtTest>

#include "camsimrun.h"

namespace
{
using Values = QMap<QString, QString>;

struct Run {
    int exitCode = -1;
    QByteArray out;
    QList<QJsonObject> lines;
};

QString fill(QString text, const Values& values)
{
    for (auto it = values.begin(); it != values.end(); ++it)
        text.replace(QLatin1Char('{') + it.key() + QLatin1Char('}'), it.value());
    return text;
}

Run cli(const QString& args, const Values& values, const QString& workDir)
{
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.start(CLI_PATH, fill(args, values).split(' ', Qt::SkipEmptyParts));
    Run run;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    for (const QByteArray& line : run.out.split('\n'))
        if (line.startsWith('{'))
            run.lines.append(QJsonDocument::fromJson(line).object());
    return run;
}

// Every key of `expected` (JSON text, placeholders filled) has the same value in `actual`.
bool contains(const QJsonObject& actual, const QString& expected, const Values& values = {})
{
    const QJsonObject wanted = QJsonDocument::fromJson(fill(expected, values).toUtf8()).object();
    for (auto it = wanted.begin(); it != wanted.end(); ++it)
        if (actual.value(it.key()) != it.value())
            return false;
    return true;
}

bool writeText(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}

QString md5Of(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? QString(hash.result().toHex()) : QString();
}

const char* const kDone = R"({"ok":true,"status":7})";
} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void tcpCommands_data();
    void tcpCommands();
    void lanCommands_data();
    void lanCommands();
    void assignCommands_data();
    void assignCommands();
};

void TestCli::tcpCommands_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("camsimArgs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("result"); // keys of the JSON result; empty: text output
    QTest::addColumn<int>("stored"); // param of the file the camera received; -1 none, -2 not even connected
    const auto row = [](const char* name, const char* args, const char* camsim, int exitCode,
                        const QByteArray& result, int stored) {
        QTest::newRow(name) << QString(args) + (result.isEmpty() ? "" : " --json") << camsim << exitCode
                            << QString(result) << stored;
    };
    const char* const version = R"({"ok":true,"version":"V2.7.5F MODEL: IPC200.R1 2026-08-10"})";
    const auto refused = [](const char* reason) {
        return QString(R"({"ok":false,"status":null,"reason":"%1"})").arg(reason).toUtf8();
    };
    const auto failed = [](const char* reason) {
        return QString(R"({"ok":false,"reason":"%1"})").arg(reason).toUtf8();
    };
    const auto camera = [](int status, const char* reason) {
        return QString(R"({"ok":false,"status":%1,"reason":"%2"})").arg(status).arg(reason).toUtf8();
    };
    row("unknown command", "frob", "", 2, "", -2);
    row("version", "--version", "", 0, "", -2);
    row("layout 3", "query {host} --layout 3", "", 2, "", -2);
    row("partition 10", "upgrade {host} --file a.bin --kind partition:10", "", 2, "", -2);
    row("not an address", "query 127.0.0.255", "", 1, failed("not a camera address"), -2);
    row("no archive", "restore {host} --file none.tgz", "", 1, failed("cannot read the archive"), -2);
    row("nobody listens", "backup 127.0.0.159 --out saved.tgz", "", 1,
        failed("cannot connect: Connection refused"), -2);
    row("query", "query {host}", "", 0, version, -1);
    // A camera of the other layout stays silent; the reason names the layout to try.
    row("query, TYPE2 camera", "query {host}", "--layout TYPE2", 1,
        failed("timed out; a camera of the other record layout stays silent: try --layout 2"), -1);
    row("upgrade, TYPE1 camera", "upgrade {host} --layout 2 --file a_SOC.pkg --kind soc", "", 1,
        refused("timed out; a camera of the other record layout stays silent: try --layout 1"), -1);
    row("soc", "upgrade {host} --file a_SOC.pkg --kind soc", "", 0, kDone, 1);
    row("soc, text", "upgrade {host} --file a_SOC.pkg --kind soc", "", 0, "", 1);
    row("soc-arm TYPE2", "upgrade {host} --layout 2 --file a_SOC_ARM.pkg --kind soc-arm", "--layout TYPE2", 0,
        kDone, 3);
    row("mtd", "upgrade {host} --file fw_IPC200.img --kind mtd", "", 0, kDone, 4);
    row("mtd, other model", "upgrade {host} --file fw_IPC300.img --kind mtd", "", 1,
        refused("fw_IPC300.img does not match this camera's version report (--force skips the check)"), -1);
    row("partition 1", "upgrade {host} --file x_uImage.bin --kind partition:1", "", 0, kDone, 6);
    row("partition 2", "upgrade {host} --file x_rootfs.bin --kind partition:2", "", 0, kDone, 7);
    row("partition 3, other name", "upgrade {host} --file x_rootfs.bin --kind partition:3", "", 1,
        refused("x_rootfs.bin does not match this camera's version report (--force skips the check)"), -1);
    // Refused by name before any connection, one row per kind the name alone decides.
    row("soc refused", "upgrade {host} --file a_soc.pkg --kind soc", "", 1,
        refused("a_soc.pkg is not a name for --kind soc (--force skips the check)"), -2);
    row("arm refused", "upgrade {host} --file a_ARM.pkg --kind arm", "", 1,
        refused("a_ARM.pkg is not a name for --kind arm (--force skips the check)"), -2);
    row("soc-arm refused", "upgrade {host} --file a_SOC.pkg --kind soc-arm", "", 1,
        refused("a_SOC.pkg is not a name for --kind soc-arm (--force skips the check)"), -2);
    row("mtd refused", "upgrade {host} --file fw_IPC200.bin --kind mtd", "", 1,
        refused("fw_IPC200.bin is not a name for --kind mtd (--force skips the check)"), -2);
    row("partition 1 refused", "upgrade {host} --file x_kernel.bin --kind partition:1", "", 1,
        refused("x_kernel.bin is not a name for --kind partition:1 (--force skips the check)"), -2);
    row("forced", "upgrade {host} --file a_soc.pkg --kind soc --force", "", 0, kDone, 1);
    // The record's name field: 59 bytes fit TYPE2, 60 do not; 256 never fit TYPE1, whatever --force says.
    row("name of 59, TYPE2", "upgrade {host} --layout 2 --force --file {name59} --kind soc", "--layout TYPE2",
        0, kDone, 1);
    row("name of 60, TYPE2", "upgrade {host} --layout 2 --force --file {name60} --kind soc", "--layout TYPE2",
        1, failed("file name too long for the record: {name60}"), -2);
    row("name of 256, TYPE1", "upgrade {host} --force --file {name256} --kind soc", "", 1,
        failed("file name too long for the record: {name256}"), -2);
    row("unreadable firmware", "upgrade {host} --file missing_SOC.pkg --kind soc", "", 1,
        failed("cannot read missing_SOC.pkg: No such file or directory"), -2);
    const char* const soc = "upgrade {host} --file a_SOC.pkg --kind soc";
    row("disk full", soc, "--fault disk-full", 1, camera(1, "board is not enough disk space"), -1);
    row("verify fails", soc, "--fault verify-fail", 1, camera(6, "file verify fail"), 1);
    row("flash fails", soc, "--fault upgrade-fail", 1, camera(8, "upgrade fail"), 1);
    row("ARM file missing", soc, "--fault arm-missing", 1,
        R"({"ok":false,"status":"E","reason":"arm upgrade file not found"})", 1);
    row("dropped mid-upload", soc, "--fault drop-upload=1000", 1,
        camera(0, "The remote host closed the connection"), -1);
    row("closes after verifying", soc, "--fault drop-after-verify", 0, R"({"ok":true,"status":5})", 1);
    // The stall limit: whole seconds from 1; a camera that stops taking or sending fails the transfer.
    row("stall limit 0", "upgrade {host} --file a_SOC.pkg --kind soc --stall-timeout 0", "", 2, "", -2);
    row("upload stalls", "upgrade {host} --file a_SOC.pkg --kind soc --stall-timeout 1",
        "--fault stall-upload=0", 1, camera(0, "stalled: no progress for 1 s"), -1);
    row("backup stalls", "backup {host} --out saved.tgz --stall-timeout 1", "--fault stall-backup=2048", 1,
        failed("stalled: no progress for 1 s"), -1);
    row("backup", "backup {host} --out saved.tgz", "", 0, R"({"ok":true,"file":"saved.tgz"})", -1);
    row("backup, camera names ../x", "backup {host}", "--fault backup-name=../x", 0,
        R"({"ok":true,"file":"data.tar.gz"})", -1);
    row("backup fails", "backup {host} --out saved.tgz", "--fault backup-fail", 1,
        failed("camera reported a failed backup"), -1);
    row("backup, wrong MD5", "backup {host} --out saved.tgz", "--fault backup-bad-md5", 1,
        failed("archive MD5 does not match"), -1);
    row("restore", "restore {host} --file old.tgz", "", 0, R"({"ok":true})", 1);
    row("restore fails", "restore {host} --file old.tgz", "--fault restore-fail", 1, failed("restore failed"),
        1);
    row("restore, disk full", "restore {host} --file old.tgz", "--fault disk-full", 1,
        failed("board is not enough disk space"), -1);
}

void TestCli::tcpCommands()
{
    QFETCH(QString, args);
    QFETCH(QString, camsimArgs);
    QFETCH(int, exitCode);
    QFETCH(QString, result);
    QFETCH(int, stored);
    QTemporaryDir dir;
    const Values values{{"host", "127.0.0.151"},
                        {"name59", QString(51, 'n') + "_SOC.pkg"},
                        {"name60", QString(52, 'n') + "_SOC.pkg"},
                        {"name256", QString(248, 'n') + "_SOC.pkg"}};
    CamsimRun camsim;
    QVERIFY(camsim.start(
        ("--address 127.0.0.151 --no-discovery --no-rtsp --no-visca --verify-ms 10 --flash-ms 50 "
         "--restore-ms 50 --duration 60 " +
         camsimArgs)
            .split(' ', Qt::SkipEmptyParts)));
    const QStringList words = fill(args, values).split(' ');
    const QString file =
        words.contains("--file") ? dir.filePath(words.at(words.indexOf("--file") + 1)) : QString();
    // Any file of some size will do: this program. A name longer than a file system allows stays a name.
    QVERIFY(file.isEmpty() || file.endsWith("none.tgz") || file.contains("missing") ||
            QFileInfo(file).fileName().size() > 255 ||
            QFile::copy(QCoreApplication::applicationFilePath(), file));

    const Run run = cli(args, values, dir.path());
    QCOMPARE(run.exitCode, exitCode);
    const QJsonObject last = run.lines.value(run.lines.size() - 1);
    QVERIFY2(result.isEmpty() || (contains(last, R"({"event":"result"})") && contains(last, result, values)),
             run.out.constData());
    QVERIFY(!result.isEmpty() || exitCode != 0 || (!run.out.isEmpty() && !run.out.contains('\r')));
    if (last.contains("file")) {
        QCOMPARE(md5Of(dir.filePath(last.value("file").toString())), last.value("md5").toString());
        QCOMPARE(last.value("bytes"), camsim.events("ready").value(0).value("cameras")[0]["archive_size"]);
    }
    QVERIFY(exitCode == 0 || !QFile::exists(dir.filePath("saved.tgz")));
    const QList<QJsonObject> received = camsim.events("file_received");
    QCOMPARE(received.size(), stored < 0 ? 0 : 1);
    QVERIFY(stored < 0 ||
            contains(received.first(), QString(R"({"md5":"%1","param":%2})").arg(md5Of(file)).arg(stored)));
    QCOMPARE(camsim.events("tcp_open").isEmpty(), stored == -2);
}

void TestCli::lanCommands_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("result"); // keys of JSON lines printed, one per line
    QTest::addColumn<QString>("state");  // keys of a camsim "state" event the command caused
    const auto row = [](const char* name, const char* args, int exitCode, const char* result,
                        const char* state) {
        const QString command = args;
        QTest::newRow(name) << QString(command).insert(command.indexOf(' '), " --interface {tool}")
                            << exitCode << QString(result) << QString(state);
    };
    const QString device =
        "\n"
        R"({"event":"device","ip":"{address%1}","device_id":"{device_id%1}","mac":"{mac%1}",)"
        R"("netmask":"255.254.0.0","gateway":"198.18.0.1","dns":"198.18.0.1"})";
    row("search", "search --wait 1 --json", 0,
        qPrintable(
            R"({"event":"result","ok":true,"count":4})" + device.arg(0) + device.arg(1) +
            "\n"
            R"({"event":"device","device_id":"{device_id2}","ip":"192.168.100.88","conflicts":["ip"]})"),
        "");
    row("blink on", "blink --device-id {device_id0} on --json", 0, R"({"ok":true,"host":"{address0}"})",
        R"({"what":"blink","blinking":true,"cam":"{address0}"})");
    row("blink off by address", "blink --host {address0} off --json", 0,
        R"({"ok":true,"device_id":"{device_id0}","outcome":"acknowledged"})",
        R"({"what":"blink","blinking":false,"cam":"{address0}"})");
    row("two cameras at the address", "blink --host 192.168.100.88 on --json", 1,
        R"({"ok":false,"outcome":"ambiguous","reason":"several cameras answer at 192.168.100.88; name one with )"
        R"(--device-id"})",
        "");
    row("refused",
        "config --device-id {device_id0} --ip {address1} --mask 255.254.0.0 --gateway 198.18.0.1 --json", 1,
        R"({"ok":false,"outcome":"refused","reason":"{address0} refused the command","device_id":"{device_id0}"})",
        R"({"what":"config_refused","cam":"{address0}"})");
    row("DHCP, new MAC tail", "config --device-id {lower_id1} --dhcp --mac-tail ab:cd:ef --json", 0,
        R"({"ok":true,"dhcp":true,"ip":"{address1}","mac":"02:5A:C3:ab:cd:ef","device_id":"{device_id1}"})",
        R"({"what":"config","cam":"{address1}"})");
    row("reboot", "reboot --device-id {device_id1} --json", 0, R"({"ok":true,"host":"{address1}"})",
        R"({"what":"rebooting","cam":"{address1}"})");
    row("gateway outside",
        "config --device-id {device_id0} --ip 198.18.1.60 --mask 255.255.0.0 --gateway 198.19.0.1 --json", 1,
        R"({"ok":false,"outcome":"invalid settings","reason":"gateway 198.19.0.1 is outside 198.18.1.60/255.255.0.0"})",
        "");
    row("static, own MAC and DNS",
        "config --device-id {device_id0} --ip 198.18.1.60 --mask 255.254.0.0 --gateway 198.18.0.2 --json", 0,
        R"({"ok":true,"host":"{address0}"})",
        R"({"what":"config","net":{"ip":"198.18.1.60","netmask":"255.254.0.0","gateway":"198.18.0.2",)"
        R"("mac":"{mac0}","fdns":"198.18.0.1","dhcp":false}})");
    row("unknown camera", "reboot --device-id 0123456789abcdef0123456789abcdef --json", 1,
        R"({"ok":false,"outcome":"not found","reason":"no camera with Device ID 0123456789abcdef0123456789abcdef )"
        R"(answered on 198.18.0.1"})",
        "");
    row("Device ID one short", "reboot --device-id 0123456789abcdef0123456789abcde --json", 2, "", "");
    row("Device ID and address", "reboot --device-id {device_id1} --host {address1}", 2, "", "");
    row("json and csv", "search --json --csv", 2, "", "");
    row("blink maybe", "blink --device-id {device_id0} maybe", 2, "", "");
}

// Runs one command line against the LAN's camsim and checks its exit status, the JSON lines it printed
// (keys of each expected line, one per line) and what it sent: the CONFIGNET datagrams, or nothing but
// searches when it failed before sending.
void checkLanRun(const QString& args, int exitCode, const QString& result, const QString& state, int configs,
                 Values values)
{
    CamsimRun camsim(qEnvironmentVariable("SIMLAN_EVENTS"));
    const QJsonValue cameras = camsim.events("ready").value(0).value("cameras");
    values["tool"] = qEnvironmentVariable("SIMLAN_TOOL_IP");
    for (int i = 0; cameras[i].isObject(); ++i) {
        for (const char* key : {"device_id", "address", "mac"})
            values[key + QString::number(i)] = cameras[i][key].toString();
        values["lower_id" + QString::number(i)] = cameras[i]["device_id"].toString().toLower();
    }
    const int before = camsim.events().size();
    const Run run = cli(args, values, QString());
    QCOMPARE(run.exitCode, exitCode);
    for (const QString& expected : result.split('\n', Qt::SkipEmptyParts))
        QVERIFY2(std::any_of(run.lines.begin(), run.lines.end(),
                             [&](auto& e) { return contains(e, expected, values); }),
                 qPrintable(expected + "\nnot in\n" + run.out));
    const QList<QJsonObject> after = camsim.events().mid(before);
    QVERIFY(state.isEmpty() ||
            std::any_of(after.begin(), after.end(), [&](auto& e) { return contains(e, state, values); }));
    const auto commands = std::count_if(after.begin(), after.end(), [](auto& e) {
        return e.value("event") == "udp_in" && !e.value("text").toString().startsWith("SEARCH");
    });
    QCOMPARE(int(commands), configs >= 0 ? configs : exitCode == 0 || !state.isEmpty() ? int(commands) : 0);
}

void TestCli::lanCommands()
{
    if (qEnvironmentVariableIsEmpty("SIMLAN_TOOL_IP"))
        QSKIP("multicasts: runs only inside scripts/simlan");
    QFETCH(QString, args);
    QFETCH(int, exitCode);
    QFETCH(QString, result);
    QFETCH(QString, state);
    checkLanRun(args, exitCode, result, state, -1, {});
}

// Twelve cameras on one factory address (camsim 2 to 13; 12 acknowledges a configuration without applying it,
// 13 refuses it) beside two that share a MAC address. The rows run in order, each on what the ones before
// left.
void TestCli::assignCommands_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("configs"); // CONFIGNET datagrams sent
    const auto row = [](const char* name, const char* args, int exitCode, const char* result, int configs) {
        const QString command = args;
        QTest::newRow(name) << QString(command).insert(command.indexOf(' '), " --interface {tool} --wait 1")
                            << exitCode << QString(result) << configs;
    };
    row("clashes in the search", "search --json", 0,
        R"({"event":"device","device_id":"{device_id2}","ip":"192.168.100.88","conflicts":["ip"]})"
        "\n"
        R"({"event":"device","device_id":"{device_id0}","conflicts":["mac"]})",
        0);
    const char* const sequence =
        "assign --from 198.18.1.2 --mask 255.254.0.0 --gateway 198.18.0.1 --skip 198.18.1.4 "
        "--device-id {device_id2} {lower_id3} {device_id4} --json";
    row("dry run", (sequence + QByteArray(" --dry-run")).constData(), 0,
        R"({"event":"plan","device_id":"{device_id2}","from":"192.168.100.88","ip":"198.18.1.3",)"
        R"("skipped":[{"ip":"198.18.1.2","reason":"in use"}]})"
        "\n"
        R"({"event":"result","ok":true,"dry_run":true,"count":3})",
        0);
    row("range past the subnet",
        "assign --from 198.18.0.251 --mask 255.255.255.0 --gateway 198.18.0.1 --all --json", 2,
        R"({"event":"result","ok":false,"reason":"the range does not fit: the subnet ends at 198.18.0.255"})",
        0);
    row("settings refused before the search",
        "assign --from 198.18.1.2 --mask 255.254.0.0 --gateway 198.20.0.1 --all", 2, "", 0);
    row("sequential, skipping a held address and a listed one", sequence, 0,
        R"({"event":"camera","device_id":"{device_id2}","ip":"198.18.1.3","result":"confirmed"})"
        "\n"
        R"({"event":"camera","device_id":"{device_id3}","ip":"198.18.1.5","result":"confirmed",)"
        R"("skipped":[{"ip":"198.18.1.4","reason":"listed"}]})"
        "\n"
        R"({"event":"camera","device_id":"{device_id4}","ip":"198.18.1.6","result":"confirmed"})"
        "\n"
        R"({"event":"result","ok":true,"confirmed":3,"acknowledged":0,"failed":0,"no_answer":0,"skipped":0})",
        3);
    row("plan file", "assign --plan {plan} --json", 0,
        R"({"event":"camera","device_id":"{device_id5}","ip":"198.18.3.1","result":"confirmed"})"
        "\n"
        R"({"event":"camera","device_id":"{device_id6}","ip":"198.18.3.2","result":"confirmed"})",
        2);
    row("a plan giving a held address", "assign --plan {held} --json", 1,
        R"({"event":"result","ok":false,"reason":"198.18.1.3 is held by another camera or this computer"})",
        0);
    row("a camera refuses",
        "assign --from 198.18.4.1 --mask 255.254.0.0 --gateway 198.18.0.1 "
        "--device-id {device_id13} {device_id7} --json",
        1,
        R"({"event":"camera","device_id":"{device_id13}","ip":"198.18.4.1","result":"failed"})"
        "\n"
        R"({"event":"camera","device_id":"{device_id7}","ip":"198.18.4.2","result":"confirmed"})"
        "\n"
        R"({"event":"result","ok":false,"confirmed":1,"failed":1})",
        2);
    row("a camera acknowledges and stays",
        "assign --from 198.18.4.10 --mask 255.254.0.0 --gateway 198.18.0.1 --device-id {device_id12} --json",
        1,
        R"({"event":"camera","device_id":"{device_id12}","result":"acknowledged","found_at":"192.168.100.88"})"
        "\n"
        R"({"event":"result","ok":false,"acknowledged":1,"confirmed":0})",
        1);
    row("unknown camera",
        "assign --from 198.18.4.1 --mask 255.254.0.0 --gateway 198.18.0.1 "
        "--device-id 0123456789ABCDEF0123456789ABCDEF --json",
        1,
        R"({"event":"result","ok":false,"reason":"no camera with Device ID 0123456789ABCDEF0123456789ABCDEF answered"})",
        0);
}

void TestCli::assignCommands()
{
    if (qEnvironmentVariableIsEmpty("SIMLAN_TOOL_IP"))
        QSKIP("multicasts: runs only inside scripts/simlan");
    QFETCH(QString, args);
    QFETCH(int, exitCode);
    QFETCH(QString, result);
    QFETCH(int, configs);
    QTemporaryDir dir;
    const QJsonValue cameras =
        CamsimRun(qEnvironmentVariable("SIMLAN_EVENTS")).events("ready").value(0).value("cameras");
    const QString plan = dir.filePath("plan.csv"), held = dir.filePath("held.csv");
    QVERIFY(writeText(plan, "device_id,ip,mask,gateway,dns\n" + cameras[5]["device_id"].toString() +
                                ",198.18.3.1,255.254.0.0,198.18.0.1,\n" + cameras[6]["device_id"].toString() +
                                ",198.18.3.2,255.254.0.0,198.18.0.1,198.18.0.53\n"));
    QVERIFY(writeText(held, "device_id,ip,mask,gateway,dns\n" + cameras[8]["device_id"].toString() +
                                ",198.18.1.3,255.254.0.0,198.18.0.1,\n"));
    checkLanRun(args, exitCode, result, QString(), configs, {{"plan", plan}, {"held", held}});
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
