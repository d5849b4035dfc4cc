#ifndef DISCOVERYACCESS_H
#define DISCOVERYACCESS_H

#include "mainwindow.h"

template <typename Tag> class MainWindowAccess;
struct DiscoveryTag;

// The discovery members a test needs to see or to drive directly.
template <> class MainWindowAccess<DiscoveryTag>
{
public:
    static QString& clientId(MainWindow& w) { return w.client_id; }
    static QString& requestId(MainWindow& w) { return w.request_id; }
    static QVector<Dev_info>& devices(MainWindow& w) { return w.device_list; }
    static int& selectedIpIndex(MainWindow& w) { return w.selected_ip_index; }
    static QString* localIps(MainWindow& w) { return w.local_ips; }
    static void insertData(MainWindow& w, const Dev_info& record) { w.insertData(record); }
    static void receiveThread(MainWindow& w, const Dev_info& record, qint8 kind)
    {
        w.ReceiveThread(QVariant::fromValue(record), kind);
    }
    static void menu(MainWindow& w, QAction* MainWindow::*action) { w.onGrpMenuTriggered(w.*action); }
    static QAction* MainWindow::*upgrade() { return &MainWindow::upgrade_action; }
    static QAction* MainWindow::*config() { return &MainWindow::config_action; }
    static QAction* MainWindow::*backup() { return &MainWindow::backup_action; }
    static QAction* MainWindow::*preview() { return &MainWindow::preview_action; }
    static QAction* MainWindow::*flicker() { return &MainWindow::flicker_action; }
    static QAction* MainWindow::*closeFlicker() { return &MainWindow::close_flicker_action; }
    static QAction* MainWindow::*reboot() { return &MainWindow::reboot_action; }
};

using Discovery = MainWindowAccess<DiscoveryTag>;

#endif // DISCOVERYACCESS_H
