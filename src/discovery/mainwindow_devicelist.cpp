#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QDebug>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>

namespace
{

enum Column {
    ColumnNo = 0,
    ColumnIp = 1,
    ColumnNetmask = 2,
    ColumnGateway = 3,
    ColumnMac = 4,
    ColumnUptime = 5,
    ColumnDeviceId = 6,
    ColumnFdns = 7,
    ColumnDhcp = 8,
};

QTreeWidgetItem* deviceRow(const Dev_info& device, int position)
{
    auto* item = new QTreeWidgetItem;
    // A number, so that the sorted view keeps 1, 2, ... 10 in order.
    item->setData(ColumnNo, Qt::DisplayRole, position);
    const QString fields[] = {device.ipaddr, device.netmask,   device.gateway, device.macaddr,
                              device.uptime, device.device_id, device.fdns};
    for (int column = ColumnIp; column <= ColumnFdns; ++column) {
        if (!fields[column - ColumnIp].isEmpty())
            item->setText(column, fields[column - ColumnIp]);
    }
    item->setText(ColumnDhcp, device.dhcp ? QStringLiteral("true") : QStringLiteral("false"));
    return item;
}

} // namespace

void MainWindow::createItemMent()
{
    item_menu = new QMenu(this);
    connect(item_menu, &QMenu::triggered, this, &MainWindow::onGrpMenuTriggered);
    upgrade_action = new QAction(tr("Upgrade"), this);
    config_action = new QAction(tr("Config"), this);
    backup_action = new QAction(tr("Backup"), this);
    preview_action = new QAction(tr("Preview"), this);
    flicker_action = new QAction(tr("Flicker"), this);
    close_flicker_action = new QAction(tr("Close Flicker"), this);
    reboot_action = new QAction(tr("Reboot"), this);
}

void MainWindow::ReceiveThread(QVariant info, qint8 msgType)
{
    QTreeWidgetItem* current = ui->treeWidget->currentItem();
    const Dev_info record = info.value<Dev_info>();
    if (msgType == MSG_REPLY_OK) {
        insertData(record);
        return;
    }
    if (msgType != MSG_SUCCEED || !current || record.client_id != client_id ||
        record.device_id != current->text(ColumnDeviceId))
        return;

    QMessageBox::information(this, tr("Information"), tr("Set Success"), QMessageBox::Ok);
    ui->tabWidget->setCurrentIndex(0);
    ui->ip_address_lineEdit->clear();
    ui->netmask_lineEdit->clear();
    ui->gateway_lineEdit->clear();
    ui->fdns_lineEdit->clear();
    ui->mac4_lineEdit->clear();
    ui->mac5_lineEdit->clear();
    ui->mac6_lineEdit->clear();
    send(CMD_SEARCH);
}

void MainWindow::insertData(Dev_info record)
{
    if (record.client_id != client_id)
        return;
    // Ascending by address text; equal addresses keep their order of arrival.
    const auto position = std::upper_bound(
        device_list.begin(), device_list.end(), record,
        [](const Dev_info& left, const Dev_info& right) { return left.ipaddr < right.ipaddr; });
    const int row = int(position - device_list.begin());
    device_list.insert(position, record);

    // One row in now. The positions shown and the view's order follow once per turn of the event loop: a
    // burst of replies adds hundreds of rows per turn, and renumbering and sorting after each would stall.
    ui->treeWidget->setSortingEnabled(false);
    ui->treeWidget->addTopLevelItem(deviceRow(record, row + 1));
    if (!device_rows_pending) {
        device_rows_pending = true;
        QTimer::singleShot(0, this, &MainWindow::renumber_device_rows);
    }
    ui->label_3->setText(tr("Devices: ") + QString::number(device_list.size()));
}

void MainWindow::renumber_device_rows()
{
    device_rows_pending = false;
    QHash<QString, int> positions;
    for (int index = 0; index < device_list.size(); ++index)
        positions.insert(device_list.at(index).device_id, index + 1);
    QTreeWidget* view = ui->treeWidget;
    for (int index = 0; index < view->topLevelItemCount(); ++index) {
        QTreeWidgetItem* item = view->topLevelItem(index);
        item->setData(ColumnNo, Qt::DisplayRole, positions.value(item->text(ColumnDeviceId)));
    }
    view->setSortingEnabled(true);
}

void MainWindow::onGrpMenuTriggered(QAction* action)
{
    QTreeWidgetItem* current = ui->treeWidget->currentItem();
    if (!current || !ui->treeWidget->hasFocus())
        return;
    const QString address = current->text(ColumnIp);
    if (action == upgrade_action) {
        ui->tabWidget->setCurrentIndex(1);
        ui->upgrade_ip_lineEdit->setText(address);
    } else if (action == config_action) {
        ui->tabWidget->setCurrentIndex(2);
        fill_network_form(current);
    } else if (action == backup_action) {
        ui->tabWidget->setCurrentIndex(3);
        ui->backup_ip_lineEdit->setText(address);
    } else if (action == preview_action) {
        ui->tabWidget->setCurrentIndex(4);
        ui->txtUrl->setText(address);
        ui->txtPort->setText(QStringLiteral("554"));
    } else if (action == flicker_action) {
        send(CMD_FLICKER_OPEN);
    } else if (action == close_flicker_action) {
        send(CMD_FLICKER_CLOSE);
    } else if (action == reboot_action) {
        const QString device_id = current->text(ColumnDeviceId);
        const auto answer =
            QMessageBox::warning(this, tr("Information"), tr("Do you really want reboot?"),
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton);
        // Replies and searches go on while the question is open: reboot only the camera that was asked about.
        const QTreeWidgetItem* still = ui->treeWidget->currentItem();
        if (answer == QMessageBox::Ok && still && still->text(ColumnDeviceId) == device_id &&
            !device_id.isEmpty())
            send(CMD_REBOOT);
    }
}

void MainWindow::on_treeWidget_doubleClicked(QModelIndex)
{
    QTreeWidgetItem* current = ui->treeWidget->currentItem();
    if (!current)
        return;
    ui->tabWidget->setCurrentIndex(1);
    ui->upgrade_ip_lineEdit->setText(current->text(ColumnIp));
}
