// Fuzz target for the discovery reply parser: any datagram must classify and cut without reading outside
// the text, and every value cut must be a piece of the message.
#include <cstdint>

#include "discoverymessages.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    const QString message = discovery::decodeDatagram(datagram);
    const discovery::Reply reply = discovery::parseDatagram(datagram, QStringLiteral("Day"));
    const msgType kind = reply.kind;
    const Dev_info& record = reply.record;
    require(kind >= MSG_SEARCH && kind <= MSG_FAILED);

    require(record.client_id.size() <= 32 && record.device_id.size() <= 32 && record.macaddr.size() <= 17);
    for (const QString& value : {record.ipaddr, record.netmask, record.gateway, record.fdns})
        require(value.size() <= discovery::MaxFieldLength);
    for (const QString& value : {record.client_id, record.device_id, record.ipaddr, record.netmask,
                                 record.gateway, record.macaddr, record.fdns})
        require(value.isEmpty() || message.contains(value));
    if (kind != MSG_REPLY_OK) {
        require(record.ipaddr.isEmpty() && record.uptime.isEmpty() && !record.dhcp);
        if (kind != MSG_SUCCEED && kind != MSG_FAILED)
            require(record.client_id.isEmpty() && record.device_id.isEmpty());
    } else {
        require(!record.uptime.isEmpty());
        require(record.dhcp == message.contains(QLatin1String("DHCP=1")));
    }
    return 0;
}
