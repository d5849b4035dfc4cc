#ifndef SETTINGSRULES_H
#define SETTINGSRULES_H

#include "discoverymessages.h"

// The rules a network configuration must pass before it is sent: the Set button's, for every face.
namespace discovery
{

// The first rule a configuration breaks, in the order the rules are checked.
enum class SettingsFault {
    None,
    Incomplete, // address, netmask, gateway or a MAC tail octet empty
    Address,
    Netmask,
    Gateway,
    Dns,
    GatewayOutsideSubnet,
    MacTail,
};

// Whether fields the camera itself will fill may still be empty: its DNS server, its MAC tail and, with
// DHCP, its address fields. A face checks what the operator gave before the camera is found.
enum class OpenFields { Refused, Allowed };

// Address, netmask, gateway and the three MAC tail octets are all given.
bool isComplete(const NetworkSettings& settings);

// Manual mode: the address, netmask, gateway and DNS server are usable and the gateway lies in the address's
// subnet; every mode: the MAC tail is three hexadecimal octets, either case.
SettingsFault checkNetworkSettings(const NetworkSettings& settings, OpenFields open = OpenFields::Refused);

} // namespace discovery

#endif // SETTINGSRULES_H
