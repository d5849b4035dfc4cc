#include "addressplan.h"

#include <QHash>
#include <QSet>

#include <algorithm>

#include "validators.h"

namespace discovery
{

namespace
{
// The head every configuration carries; the form keeps it fixed.
const char* const MacHead[3] = {"02", "5A", "C3"};
const QStringList PlanHeader{QStringLiteral("device_id"), QStringLiteral("ip"), QStringLiteral("mask"),
                             QStringLiteral("gateway"), QStringLiteral("dns")};

AssignmentPlan failed(PlanFault fault, const QString& detail,
                      SettingsFault settingsFault = SettingsFault::None)
{
    AssignmentPlan plan;
    plan.fault = fault;
    plan.detail = detail;
    plan.settingsFault = settingsFault;
    return plan;
}

// Device ID (upper case) to camera, for lookups in any case.
QHash<QString, Dev_info> byDeviceId(const QVector<Dev_info>& listed)
{
    QHash<QString, Dev_info> cameras;
    for (const Dev_info& camera : listed)
        cameras.insert(camera.device_id.toUpper(), camera);
    return cameras;
}

// Address to the Device IDs of the cameras that hold it.
QHash<quint32, QStringList> holders(const QVector<Dev_info>& listed)
{
    QHash<quint32, QStringList> held;
    for (const Dev_info& camera : listed)
        if (const auto address = parseIPv4(camera.ipaddr))
            held[*address].append(camera.device_id);
    return held;
}

bool heldByOther(const QHash<quint32, QStringList>& held, quint32 address, const QString& deviceId)
{
    const QStringList ids = held.value(address);
    return std::any_of(ids.begin(), ids.end(), [&](const QString& id) { return id != deviceId; });
}
} // namespace

std::optional<quint32> parseIPv4(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QString& part : parts) {
        bool number = false;
        const uint octet = part.toUInt(&number, 10);
        if (!number || part.isEmpty() || part.size() > 3 || !part.at(0).isDigit() || octet > 255)
            return std::nullopt;
        address = (address << 8) | octet;
    }
    return address;
}

QString formatIPv4(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xff)
        .arg((address >> 8) & 0xff)
        .arg(address & 0xff);
}

qulonglong addressSortKey(const QString& text)
{
    const auto address = parseIPv4(text);
    return address ? *address : Q_UINT64_C(1) << 32;
}

bool addressLess(const QString& left, const QString& right)
{
    const qulonglong leftKey = addressSortKey(left), rightKey = addressSortKey(right);
    return leftKey != rightKey ? leftKey < rightKey : leftKey > 0xffffffffu && left < right;
}

NetworkSettings assignmentSettings(const Dev_info& camera, const QString& ip, const QString& netmask,
                                   const QString& gateway, const QString& dns)
{
    NetworkSettings settings;
    settings.dhcpIndex = 0;
    settings.ipaddr = ip;
    settings.netmask = netmask;
    settings.gateway = gateway;
    settings.fdns = dns.isEmpty() ? gateway : dns;
    const QStringList tail = macTailOctets(camera.macaddr);
    for (int octet = 0; octet < 3; ++octet) {
        settings.mac[octet] = QLatin1String(MacHead[octet]);
        settings.mac[3 + octet] = tail.value(octet);
    }
    return settings;
}

AssignmentPlan camerasById(const QStringList& deviceIds, const QVector<Dev_info>& listed)
{
    const QHash<QString, Dev_info> cameras = byDeviceId(listed);
    AssignmentPlan plan;
    QSet<QString> named;
    for (const QString& id : deviceIds) {
        const QString key = id.toUpper();
        if (!cameras.contains(key))
            return failed(PlanFault::UnknownDevice, id);
        if (named.contains(key))
            return failed(PlanFault::DuplicateDevice, id);
        named.insert(key);
        plan.cameras.append({cameras.value(key), {}, {}});
    }
    if (plan.cameras.isEmpty())
        return failed(PlanFault::NoCameras, QString());
    return plan;
}

AssignmentPlan camerasByMac(QVector<Dev_info> cameras)
{
    std::stable_sort(cameras.begin(), cameras.end(), [](const Dev_info& left, const Dev_info& right) {
        return left.macaddr.toUpper() < right.macaddr.toUpper();
    });
    AssignmentPlan plan;
    for (const Dev_info& camera : qAsConst(cameras))
        plan.cameras.append({camera, {}, {}});
    if (plan.cameras.isEmpty())
        return failed(PlanFault::NoCameras, QString());
    return plan;
}

AssignmentPlan checkRequest(const AssignmentRequest& request)
{
    const NetworkSettings given =
        assignmentSettings(Dev_info(), request.first, request.netmask, request.gateway, request.dns);
    const SettingsFault fault = checkNetworkSettings(given, OpenFields::Allowed);
    if (fault != SettingsFault::None)
        return failed(PlanFault::Settings, QString(), fault);
    for (const QString& text : request.skip)
        if (!parseIPv4(text))
            return failed(PlanFault::Settings, text, SettingsFault::Address);
    return AssignmentPlan();
}

AssignmentPlan planSequential(AssignmentPlan plan, const QVector<Dev_info>& listed,
                              const AssignmentRequest& request)
{
    if (!plan.ok())
        return plan;
    const AssignmentPlan requestCheck = checkRequest(request);
    if (!requestCheck.ok())
        return requestCheck;
    const NetworkSettings given =
        assignmentSettings(Dev_info(), request.first, request.netmask, request.gateway, request.dns);

    const quint32 mask = *parseIPv4(request.netmask);
    const quint32 network = *parseIPv4(request.first) & mask;
    const quint32 broadcast = network | ~mask;
    QSet<quint32> reserved{*parseIPv4(given.gateway), *parseIPv4(given.fdns)};
    QSet<quint32> listedSkips;
    for (const QString& text : request.skip)
        listedSkips.insert(*parseIPv4(text));
    const std::optional<quint32> own = parseIPv4(request.ownAddress);
    const QHash<quint32, QStringList> held = holders(listed);

    // 64 bits, so that counting past 255.255.255.255 ends the range instead of wrapping round.
    quint64 next = *parseIPv4(request.first);
    for (PlannedCamera& planned : plan.cameras) {
        planned.settings =
            assignmentSettings(planned.camera, QString(), request.netmask, request.gateway, request.dns);
        for (; next < broadcast; ++next) {
            const quint32 candidate = quint32(next);
            const QString text = formatIPv4(candidate);
            std::optional<SkipReason> reason;
            if (candidate == network || !validators::isValidHostIp(text))
                reason = SkipReason::NotUsable;
            else if (own && candidate == *own)
                reason = SkipReason::OwnAddress;
            else if (listedSkips.contains(candidate))
                reason = SkipReason::Listed;
            else if (reserved.contains(candidate))
                reason = SkipReason::Reserved;
            else if (heldByOther(held, candidate, planned.camera.device_id))
                reason = SkipReason::InUse;
            if (!reason) {
                planned.settings.ipaddr = text;
                ++next;
                break;
            }
            planned.skipped.append({text, *reason});
        }
        if (planned.settings.ipaddr.isEmpty()) {
            if (plan.ok()) {
                plan.fault = PlanFault::NoRoom;
                plan.detail = formatIPv4(broadcast);
            }
            continue;
        }
        const SettingsFault cameraFault = checkNetworkSettings(planned.settings);
        if (cameraFault != SettingsFault::None && plan.ok()) {
            plan.fault = PlanFault::Settings;
            plan.settingsFault = cameraFault;
            plan.detail = planned.camera.device_id;
        }
    }
    return plan;
}

QStringList splitCsvLine(const QString& line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == QLatin1Char('"') && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
            field += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

std::optional<QVector<PlanFileRow>> parsePlanFile(const QByteArray& content, QString* error)
{
    QVector<PlanFileRow> rows;
    QString text = QString::fromUtf8(content);
    if (text.startsWith(QChar(0xfeff))) // the byte order mark spreadsheets write
        text.remove(0, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    bool header = true;
    for (int index = 0; index < lines.size(); ++index) {
        const QString line = lines.at(index).trimmed();
        if (line.isEmpty())
            continue;
        QStringList fields = splitCsvLine(line);
        for (QString& field : fields)
            field = field.trimmed();
        if (header) {
            header = false;
            if (fields.join(QLatin1Char(',')).toLower() == PlanHeader.join(QLatin1Char(',')))
                continue;
            *error =
                QStringLiteral("line %1: the header must be %2").arg(index + 1).arg(PlanHeader.join(','));
            return std::nullopt;
        }
        if (fields.size() != PlanHeader.size()) {
            *error = QStringLiteral("line %1: %2 fields, expected %3")
                         .arg(index + 1)
                         .arg(fields.size())
                         .arg(PlanHeader.size());
            return std::nullopt;
        }
        rows.append({fields.at(0), fields.at(1), fields.at(2), fields.at(3), fields.at(4)});
    }
    if (rows.isEmpty()) {
        *error = QStringLiteral("no cameras in the plan");
        return std::nullopt;
    }
    return rows;
}

AssignmentPlan planFromRows(const QVector<PlanFileRow>& rows, const QVector<Dev_info>& listed,
                            const QString& ownAddress)
{
    QStringList ids;
    for (const PlanFileRow& row : rows)
        ids << row.deviceId;
    AssignmentPlan plan = camerasById(ids, listed);
    if (!plan.ok())
        return plan;
    const QHash<quint32, QStringList> held = holders(listed);
    const std::optional<quint32> own = parseIPv4(ownAddress);
    QSet<quint32> given;
    for (int index = 0; index < rows.size(); ++index) {
        const PlanFileRow& row = rows.at(index);
        PlannedCamera& planned = plan.cameras[index];
        planned.settings = assignmentSettings(planned.camera, row.ip, row.netmask, row.gateway, row.dns);
        const SettingsFault fault = checkNetworkSettings(planned.settings);
        if (fault != SettingsFault::None)
            return failed(PlanFault::Settings, row.deviceId, fault);
        const quint32 address = *parseIPv4(row.ip);
        if (given.contains(address))
            return failed(PlanFault::DuplicateAddress, row.ip);
        given.insert(address);
        if ((own && address == *own) || heldByOther(held, address, planned.camera.device_id))
            return failed(PlanFault::AddressInUse, row.ip);
    }
    return plan;
}

} // namespace discovery
