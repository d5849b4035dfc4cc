#include "validators.h"

#include <QRegExp>
#include <QStringList>

namespace validators
{

const char* const kIpEntryPattern = "((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])[\\.]){3}"
                                    "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])";
const char* const kOctetEntryPattern = "([0-9a-fA-F]{2})";
const char* const kPortEntryPattern =
    "((6553[0-5])|655[0-2][0-9]|65[0-4][0-9]{2}|6[0-4][0-9]{3}|[1-5][0-9]{4}|"
    "[1-9][0-9]{3}|[1-9][0-9]{2}|[1-9][0-9]|[0-9])";

namespace
{
const char* const kHostAddressPattern = "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}"
                                        "(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b";
const char* const kNetmaskPattern = "^(254|252|248|240|224|192|128|0)\\.0\\.0\\.0|"
                                    "255\\.(254|252|248|240|224|192|128|0)\\.0\\.0|"
                                    "255\\.255\\.(254|252|248|240|224|192|128|0)\\.0|"
                                    "255\\.255\\.255\\.(254|252|248|240|224|192|128|0)";
const char* const kMacTailPattern = "[A-Fa-f0-9]{2}:[A-Fa-f0-9]{2}:[A-Fa-f0-9]{2}";

bool exactMatch(const char* pattern, const QString& text)
{
    QRegExp expression(QString::fromLatin1(pattern), Qt::CaseSensitive, QRegExp::RegExp);
    return expression.exactMatch(text);
}
} // namespace

bool isValidHostIp(const QString& text)
{
    if (!exactMatch(kHostAddressPattern, text))
        return false;
    const QStringList parts = text.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.value(3).toInt(nullptr, 10) == 0)
        return false;
    for (const QString& part : parts) {
        if (part.toInt(nullptr, 10) == 255)
            return false;
    }
    return true;
}

bool isValidNetmask(const QString& text)
{
    return exactMatch(kNetmaskPattern, text);
}

bool isValidMacTail(const QString& text)
{
    return exactMatch(kMacTailPattern, text);
}

} // namespace validators
