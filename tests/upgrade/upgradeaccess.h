#ifndef UPGRADEACCESS_H
#define UPGRADEACCESS_H

#include <QTimer>

#include "mainwindow.h"

template <typename Tag> class MainWindowAccess;
struct UpgradeTag;

// What the device connection tests read and set inside the window.
template <> class MainWindowAccess<UpgradeTag>
{
public:
    static QString& mode(MainWindow& w) { return w.mode; }
    static bool& verify(MainWindow& w) { return w.verify; }
    static bool& autoBackup(MainWindow& w) { return w.auto_backup; }
    static int& workType(MainWindow& w) { return w.work_type; }
    static int& upgradeFileType(MainWindow& w) { return w.upgrade_file_type; }
    static QString& modelName(MainWindow& w) { return w.model_name; }
    static QString& socVersionLetter(MainWindow& w) { return w.soc_version_letter; }
    static qint8 partitionCount(MainWindow& w) { return w.partition_count; }
    static bool connected(MainWindow& w) { return w.connect_flag; }
    static bool upgrading(MainWindow& w) { return w.upgrading; }
    static int countdown(MainWindow& w) { return w.upgrade_timer && w.upgrade_timer->isActive() ? w.upgrade_timer->interval() : 0; }
    static int restoreCountdown(MainWindow& w) { return w.backup_timer && w.backup_timer->isActive() ? w.backup_timer->interval() : 0; }
    static void finishCountdown(MainWindow& w) { w.upgrade_success(); }
};
using Upgrade = MainWindowAccess<UpgradeTag>;

#endif // UPGRADEACCESS_H
