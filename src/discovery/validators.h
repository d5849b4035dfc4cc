#ifndef VALIDATORS_H
#define VALIDATORS_H

#include <QString>

// Text rules for the addresses, netmasks, ports and MAC octets the operator types.
namespace validators
{

// Entry patterns: what an edit accepts while typing.
extern const char* const kIpEntryPattern;
extern const char* const kOctetEntryPattern;
extern const char* const kPortEntryPattern;

// A usable device address: dotted decimal, last part not 0, no part 255.
bool isValidHostIp(const QString& text);
// One of the contiguous masks 0.0.0.0 to 255.255.255.254.
bool isValidNetmask(const QString& text);
// Three hexadecimal octets joined by ":".
bool isValidMacTail(const QString& text);

} // namespace validators

#endif // VALIDATORS_H
