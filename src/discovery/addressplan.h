#ifndef ADDRESSPLAN_H
#define ADDRESSPLAN_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

#include "devinfo.h"
#include "discoverymessages.h"
#include "settingsrules.h"

// Which camera gets which address when many are configured at once: pure planning, nothing sent.
namespace discovery
{

// Four decimal numbers 0 to 255 joined by dots, nothing else.
std::optional<quint32> parseIPv4(const QString& text);
QString formatIPv4(quint32 address);
// Addresses by value (10.0.0.9 before 10.0.0.10); text that is no address sorts after every address.
qulonglong addressSortKey(const QString& text);
bool addressLess(const QString& left, const QString& right);

// Why an address of the range is passed over.
enum class SkipReason {
    InUse,      // another camera of the search holds it
    OwnAddress, // this computer's interface
    Listed,     // the operator's skip list
    Reserved,   // the gateway or the DNS server
    NotUsable,  // the subnet's network address, or an octet the address rules refuse (0 last, 255)
};

struct SkippedAddress {
    QString address;
    SkipReason reason = SkipReason::InUse;
};

// One camera of a plan and the configuration it is sent.
struct PlannedCamera {
    Dev_info camera;                 // as the search listed it
    NetworkSettings settings;        // ipaddr empty: no address was left for it
    QVector<SkippedAddress> skipped; // passed over just before its address
};

// Why a plan cannot be sent; detail names the address or Device ID concerned.
enum class PlanFault {
    None,
    Settings,         // settingsFault says which rule
    NoRoom,           // the range runs past the subnet's last address
    UnknownDevice,    // the search found no camera with this Device ID
    DuplicateDevice,  // one camera named twice
    DuplicateAddress, // one address given to two cameras
    AddressInUse,     // the address is held by another camera, or is this computer's
    NoCameras,
};

struct AssignmentPlan {
    QVector<PlannedCamera> cameras;
    PlanFault fault = PlanFault::None;
    SettingsFault settingsFault = SettingsFault::None;
    QString detail;
    bool ok() const { return fault == PlanFault::None; }
};

// What the operator asks of a sequential assignment.
struct AssignmentRequest {
    QString first;
    QString netmask;
    QString gateway;
    QString dns; // empty: the gateway
    QStringList skip;
    QString ownAddress; // this computer's address on the cameras' LAN
};

// The configuration a camera is sent for a new static address: DHCP off, its own MAC tail after the fixed
// head.
NetworkSettings assignmentSettings(const Dev_info& camera, const QString& ip, const QString& netmask,
                                   const QString& gateway, const QString& dns);

// The cameras a plan assigns, none with an address yet: those with the Device IDs named (any case), in the
// order given, failing with UnknownDevice or DuplicateDevice; or all of them, ascending by MAC address.
AssignmentPlan camerasById(const QStringList& deviceIds, const QVector<Dev_info>& listed);
AssignmentPlan camerasByMac(QVector<Dev_info> cameras);

// The request alone, before any camera is known: its addresses follow the Set button's rules and the skip
// list holds addresses. Fails with Settings (detail: the skip entry that is no address).
AssignmentPlan checkRequest(const AssignmentRequest& request);

// Each of `plan`'s cameras, in order, gets the next free address counting up from request.first: not held
// by another camera of `listed`, not ownAddress, not in the skip list, not the gateway or DNS server, and
// usable in the subnet. Every camera must get one inside the subnet, or the plan fails with NoRoom.
AssignmentPlan planSequential(AssignmentPlan plan, const QVector<Dev_info>& listed,
                              const AssignmentRequest& request);

// A plan file: the header device_id,ip,mask,gateway,dns, then one camera per row (dns may be empty: the
// gateway). Fails with Settings, DuplicateDevice, DuplicateAddress, UnknownDevice or AddressInUse.
struct PlanFileRow {
    QString deviceId, ip, netmask, gateway, dns;
};
// The rows, or an error text naming the line.
std::optional<QVector<PlanFileRow>> parsePlanFile(const QByteArray& content, QString* error);
AssignmentPlan planFromRows(const QVector<PlanFileRow>& rows, const QVector<Dev_info>& listed,
                            const QString& ownAddress);

// One line of comma-separated values (RFC 4180 quoting).
QStringList splitCsvLine(const QString& line);

} // namespace discovery

#endif // ADDRESSPLAN_H
