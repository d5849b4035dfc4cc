#include "settingsrules.h"

#include "validators.h"

namespace discovery
{

namespace
{
bool macTailOpen(const NetworkSettings& settings)
{
    return settings.mac[3].isEmpty() && settings.mac[4].isEmpty() && settings.mac[5].isEmpty();
}
} // namespace

bool isComplete(const NetworkSettings& settings)
{
    return !settings.ipaddr.isEmpty() && !settings.netmask.isEmpty() && !settings.gateway.isEmpty() &&
           !settings.mac[3].isEmpty() && !settings.mac[4].isEmpty() && !settings.mac[5].isEmpty();
}

SettingsFault checkNetworkSettings(const NetworkSettings& settings, OpenFields open)
{
    const bool allowOpen = open == OpenFields::Allowed;
    const bool manual = settings.dhcpIndex == 0;
    const bool addressesGiven =
        !settings.ipaddr.isEmpty() && !settings.netmask.isEmpty() && !settings.gateway.isEmpty();
    const bool tailGiven =
        !settings.mac[3].isEmpty() && !settings.mac[4].isEmpty() && !settings.mac[5].isEmpty();
    const bool tailOpen = allowOpen && macTailOpen(settings);
    if (!(addressesGiven || (allowOpen && !manual)) || !(tailGiven || tailOpen))
        return SettingsFault::Incomplete;
    if (manual) {
        if (!validators::isValidHostIp(settings.ipaddr))
            return SettingsFault::Address;
        if (!validators::isValidNetmask(settings.netmask))
            return SettingsFault::Netmask;
        if (!validators::isValidHostIp(settings.gateway))
            return SettingsFault::Gateway;
        if (!(allowOpen && settings.fdns.isEmpty()) && !validators::isValidHostIp(settings.fdns))
            return SettingsFault::Dns;
        if (!gatewayInSubnet(settings.ipaddr, settings.netmask, settings.gateway))
            return SettingsFault::GatewayOutsideSubnet;
    }
    if (tailOpen)
        return SettingsFault::None;
    const QString tail = settings.mac[3].toUpper() + QLatin1Char(':') + settings.mac[4].toUpper() +
                         QLatin1Char(':') + settings.mac[5].toUpper();
    return validators::isValidMacTail(tail) ? SettingsFault::None : SettingsFault::MacTail;
}

} // namespace discovery
