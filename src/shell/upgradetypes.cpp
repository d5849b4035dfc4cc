#include "upgradetypes.h"

QStringList upgrade_types_for_mode(const QString& mode)
{
    if (mode == QLatin1String("Simple"))
        return {QStringLiteral("SOC"), QStringLiteral("ARM"), QStringLiteral("MTD")};
    if (mode == QLatin1String("Full"))
        return {QStringLiteral("SOC"), QStringLiteral("ARM"), QStringLiteral("SOC&ARM"),
                QStringLiteral("MTD")};
    return {};
}

UpgradeTypeChoice upgrade_type_from_setting(const QString& mode, const QString& type)
{
    UpgradeTypeChoice choice;
    if (mode != QLatin1String("Simple") && mode != QLatin1String("Full"))
        return choice;
    choice.valid = true;
    const QStringList types = upgrade_types_for_mode(mode);
    const int index = types.indexOf(type);
    if (index < 0)
        return choice;
    static const QStringList all_kinds = upgrade_types_for_mode(QStringLiteral("Full"));
    choice.index = index;
    choice.file_type = all_kinds.indexOf(type) + 1;
    return choice;
}

int upgrade_type_index(const QString& mode, int file_type)
{
    if (mode == QLatin1String("Full"))
        return file_type > 4 ? 0 : file_type - 1;
    if (mode == QLatin1String("Simple"))
        return file_type == 4 ? 2 : file_type - 1;
    return -1;
}
