#ifndef DISCOVERYMESSAGES_H
#define DISCOVERYMESSAGES_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "devinfo.h"

// The commands the tool sends to the discovery group.
enum cmdType {
    CMD_SEARCH = 0,
    CMD_CONFIGNET = 1,
    CMD_REBOOT = 2,
    CMD_FLICKER_OPEN = 3,
    CMD_FLICKER_CLOSE = 4,
};

// The kinds of datagram that arrive on the discovery port.
enum msgType : qint8 {
    MSG_SEARCH = 0,
    MSG_REPLY_OK = 1,
    MSG_CONFIGNET = 2,
    MSG_SUCCEED = 3,
    MSG_FAILED = 4,
};

// The text protocol spoken on the discovery group: building commands, cutting replies. No sockets here.
namespace discovery
{

constexpr quint16 Port = 8005;
constexpr const char* GroupAddress = "239.255.255.251";
constexpr int HeadLength = 9;
constexpr int MessageKindCount = 5;
constexpr int DeviceIdLength = 32;

// Heads of the datagram kinds, indexed by msgType.
extern const char* const Heads[MessageKindCount];

// What the network settings form holds when the operator presses Set, taken as typed.
struct NetworkSettings {
    int dhcpIndex = 0;
    QString ipaddr;
    QString netmask;
    QString gateway;
    QString fdns;
    QString mac[6]; // mac1 to mac6
};

QString searchMessage(const QString& clientId);
QString confignetMessage(const QString& deviceId, const QString& clientId, const NetworkSettings& settings);
QString rebootMessage(const QString& deviceId, const QString& clientId);
QString flickerMessage(const QString& deviceId, const QString& clientId, bool open);

// A Device ID a command may carry: the 32 characters a search lists, none of them a blank or line break
// that would end its line of the datagram early.
bool isValidDeviceId(const QString& deviceId);

// The bytes of one command datagram: the text in the local 8-bit encoding, nothing appended.
QByteArray encodeMessage(const QString& text);

// The text of an incoming datagram: UTF-8 up to the first NUL byte.
QString decodeDatagram(const QByteArray& datagram);

msgType classifyMessage(const QString& message);

// Cuts a message of the given kind into a record; missing keys give empty or shifted fields, never an error.
// Replies and both acknowledgements carry the two identifiers; only replies carry the rest.
// dayWord is the translated word placed after the day count of the uptime.
Dev_info parseMessage(const QString& message, msgType kind, const QString& dayWord);

// A received datagram, classified and cut.
struct Reply {
    Dev_info record;
    msgType kind = MSG_SEARCH;
};

// Longest text kept in a field of a parsed reply: a reply without its keys would otherwise store the rest of
// the datagram in several fields.
constexpr int MaxFieldLength = 64;

// decodeDatagram, classifyMessage and parseMessage in one step.
Reply parseDatagram(const QByteArray& datagram, const QString& dayWord);

// "hh:mm:ss", preceded by "<days><dayWord> " from one day on; fills the up_* fields of the record.
void setUptime(Dev_info& record, qint32 seconds, const QString& dayWord);

// The last three octets of an "aa:bb:cc:dd:ee:ff" text; a shorter text gives what is there, the rest empty.
QStringList macTailOctets(const QString& mac);

// The last three octets proposed by a fresh 32-digit identifier, upper case.
QStringList macTailFromId(const QString& id);

// True when the gateway lies in the subnet of ip/netmask, octet by octet.
bool gatewayInSubnet(const QString& ip, const QString& netmask, const QString& gateway);

} // namespace discovery

#endif // DISCOVERYMESSAGES_H
