#include "camera.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>

namespace
{

QString hexOctet(quint32 value)
{
    return QString("%1").arg(value & 0xff, 2, 16, QChar('0')).toUpper();
}

QString defaultGateway(const QHostAddress& address)
{
    const quint32 ip = address.toIPv4Address();
    return QHostAddress((ip & 0xffffff00u) | 1u).toString();
}

bool isDottedQuad(const QString& text)
{
    const QStringList parts = text.split('.');
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0 || value > 255 || part.isEmpty() || part.size() > 3)
            return false;
    }
    return true;
}

} // namespace

QString layoutName(Layout layout)
{
    return layout == Layout::Type1 ? "TYPE1" : "TYPE2";
}

CameraProfile generateCamera(quint32 seed, int index, const QHostAddress& address,
                             const GenerateDefaults& defaults)
{
    QRandomGenerator gen(seed * 2654435761u + quint32(index) * 40503u + 17u);
    CameraProfile cam;
    cam.address = address;

    static const char hexDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < 32; ++i)
        cam.deviceId.append(QChar(hexDigits[gen.bounded(16)]));

    cam.net.ip = address.toString();
    cam.net.netmask = defaults.netmask;
    cam.net.gateway = defaults.gateway.isEmpty() ? defaultGateway(address) : defaults.gateway;
    cam.net.fdns = cam.net.gateway;
    cam.net.mac = QString("02:5A:C3:%1:%2:%3")
                      .arg(hexOctet(gen.generate()), hexOctet(gen.generate()), hexOctet(gen.generate()));
    cam.net.dhcp = gen.bounded(4) == 0;
    cam.uptime = gen.bounded(10 * 86400);

    static const char* const models[] = {"IPC200", "IPC310", "NVC8", "HX4"};
    const char letter = char('A' + gen.bounded(6));
    cam.version = QString("V2.7.%1%2 MODEL: %3.R%4 2026-0%5-1%6")
                      .arg(gen.bounded(10))
                      .arg(QChar(letter))
                      .arg(models[gen.bounded(4)])
                      .arg(gen.bounded(1, 10))
                      .arg(gen.bounded(1, 10))
                      .arg(gen.bounded(10));
    cam.partitions = "mtd0: 00040000 00010000 \"boot\"\n"
                     "mtd1: 00300000 00010000 \"kernel\"\n"
                     "mtd2: 00a00000 00010000 \"rootfs\"\n"
                     "mtd3: 00300000 00010000 \"app\"\n"
                     "mtd4: 00040000 00010000 \"config\"\n";
    cam.layout = defaults.layout;

    // Opaque bytes with a gzip magic; the size makes the last chunk a partial one.
    const int archiveSize = 4096 + gen.bounded(4096) + 1;
    cam.archive.resize(archiveSize);
    for (int i = 0; i < archiveSize; ++i)
        cam.archive[i] = char(gen.bounded(256));
    cam.archive[0] = char(0x1f);
    cam.archive[1] = char(0x8b);
    return cam;
}

QString applyCameraJson(CameraProfile& cam, const QJsonObject& object, const QString& baseDir)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        const QJsonValue value = it.value();
        if (key == "device_id") {
            cam.deviceId = value.toString();
        } else if (key == "ip") {
            // Read by main() as the bind address when the command line names none.
        } else if (key == "netmask") {
            cam.net.netmask = value.toString();
        } else if (key == "gateway") {
            cam.net.gateway = value.toString();
        } else if (key == "mac") {
            cam.net.mac = value.toString();
        } else if (key == "fdns") {
            cam.net.fdns = value.toString();
        } else if (key == "dhcp") {
            cam.net.dhcp = value.toBool();
        } else if (key == "uptime") {
            cam.uptime = qint64(value.toDouble());
        } else if (key == "version") {
            cam.version = value.toString();
        } else if (key == "partitions") {
            cam.partitions = value.isArray() ? QString() : value.toString();
            for (const QJsonValue& line : value.toArray())
                cam.partitions += line.toString() + "\n";
        } else if (key == "layout") {
            if (value.toString() == "TYPE1")
                cam.layout = Layout::Type1;
            else if (value.toString() == "TYPE2")
                cam.layout = Layout::Type2;
            else
                return QString("layout must be \"TYPE1\" or \"TYPE2\"");
        } else if (key == "archive_file") {
            QFile file(QDir(baseDir).absoluteFilePath(value.toString()));
            if (!file.open(QIODevice::ReadOnly))
                return QString("cannot read archive file %1").arg(file.fileName());
            cam.archive = file.readAll();
        } else if (key == "archive_text") {
            cam.archive = value.toString().toUtf8();
        } else if (key == "archive_size") {
            const int size = value.toInt(-1);
            if (size < 0)
                return QString("archive_size must be a non-negative number");
            const QByteArray old = cam.archive;
            cam.archive.resize(size);
            for (int i = old.size(); i < size; ++i)
                cam.archive[i] = char((i * 131 + 7) & 0xff);
        } else if (key == "faults") {
            const QJsonObject faults = value.toObject();
            for (auto f = faults.begin(); f != faults.end(); ++f) {
                QString text;
                if (f.value().isBool())
                    text = f.value().toBool() ? "true" : "false";
                else if (f.value().isDouble())
                    text = QString::number(qint64(f.value().toDouble()));
                else
                    text = f.value().toString();
                const QString error = applyFault(cam.faults, f.key(), text, true);
                if (!error.isEmpty())
                    return error;
            }
        } else if (key == "comment") {
        } else {
            return QString("unknown camera key \"%1\"").arg(key);
        }
    }
    if (cam.deviceId.size() != 32)
        return QString("device_id must be 32 characters: \"%1\"").arg(cam.deviceId);
    for (const QString* field : {&cam.net.netmask, &cam.net.gateway})
        if (!isDottedQuad(*field))
            return QString("not an IPv4 address: \"%1\"").arg(*field);
    return QString();
}
