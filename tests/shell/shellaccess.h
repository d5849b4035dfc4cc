#ifndef SHELLACCESS_H
#define SHELLACCESS_H

#include "mainwindow.h"

template <typename Tag> class MainWindowAccess;
struct ShellTag;

// What the shell tests read and set inside the window.
template <> class MainWindowAccess<ShellTag>
{
public:
    static QString& mode(MainWindow& w) { return w.mode; }
    static QString& language(MainWindow& w) { return w.language; }
    static bool& verify(MainWindow& w) { return w.verify; }
    static bool& autoBackup(MainWindow& w) { return w.auto_backup; }
    static bool& modelType(MainWindow& w) { return w.model_type; }
    static int& workType(MainWindow& w) { return w.work_type; }
    static int& upgradeFileType(MainWindow& w) { return w.upgrade_file_type; }
    static bool& upgrading(MainWindow& w) { return w.upgrading; }
    static QString& fileName(MainWindow& w) { return w.file_name; }
    static QString& clientId(MainWindow& w) { return w.client_id; }
    static void refillUpgradeTypes(MainWindow& w) { w.refill_upgrade_type_list(); }
};
using Shell = MainWindowAccess<ShellTag>;

#endif // SHELLACCESS_H
