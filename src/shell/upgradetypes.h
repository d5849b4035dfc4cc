#ifndef UPGRADETYPES_H
#define UPGRADETYPES_H

#include <QString>
#include <QStringList>

// The upgrade kinds a work mode offers, and how a remembered kind maps onto that list.

// "Simple": SOC, ARM, MTD; "Full": SOC, ARM, SOC&ARM, MTD; any other mode offers nothing.
QStringList upgrade_types_for_mode(const QString& mode);

struct UpgradeTypeChoice {
    bool valid = false; // false: leave the list's selection and the file type alone
    int index = 0;      // entry of the list to select
    int file_type = 1;  // 1 SOC, 2 ARM, 3 SOC&ARM, 4 MTD
};

// The selection for the "type" setting: unknown texts fall back to SOC.
UpgradeTypeChoice upgrade_type_from_setting(const QString& mode, const QString& type);

// The list index that shows a file type after the list was rebuilt; -1 selects nothing.
int upgrade_type_index(const QString& mode, int file_type);

#endif // UPGRADETYPES_H
