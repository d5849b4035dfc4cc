#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QDebug>
#include <QMenu>
#include <QMessageBox>

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

bool byAddress(const Dev_info& left, const Dev_info& right)
{
    return left.ipaddr < right.ipaddr;
}

// A device's row. Its number is its position in the device list, looked up when shown or sorted: a device
// inserted above moves every later number by one, and nothing has to be rewritten for it.
class DeviceRow : public QTreeWidgetItem
{
public:
    DeviceRow(const Dev_info& device, const QVector<Dev_info>* devices) : m_device(device), m_devices(devices)
    {
        const QString fields[] = {device.ipaddr, device.netmask,   device.gateway, device.macaddr,
                                  device.uptime, device.device_id, device.fdns};
        for (int column = ColumnIp; column <= ColumnFdns; ++column) {
            if (!fields[column - ColumnIp].isEmpty())
                setText(column, fields[column - ColumnIp]);
        }
        setText(ColumnDhcp, device.dhcp ? QStringLiteral("true") : QStringLiteral("false"));
    }

    QVariant data(int column, int role) const override
    {
        if (column != ColumnNo || role != Qt::DisplayRole)
            return QTreeWidgetItem::data(column, role);
        // Devices with the same address sit together, in their order of arrival.
        auto entry = std::lower_bound(m_devices->begin(), m_devices->end(), m_device, byAddress);
        while (entry != m_devices->end() && entry->ipaddr == m_device.ipaddr) {
            if (entry->device_id == m_device.device_id)
                return int(entry - m_devices->begin()) + 1;
            ++entry;
        }
        return QVariant();
    }

private:
    const Dev_info m_device;
    const QVector<Dev_info>* m_devices;
};

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
    const auto position = std::upper_bound(device_list.begin(), device_list.end(), record, byAddress);
    device_list.insert(position, record);
    // One row in, sorted into place; the rows below show their new numbers when next painted.
    ui->treeWidget->addTopLevelItem(new DeviceRow(record, &device_list));
    ui->treeWidget->viewport()->update();
    ui->label_3->setText(tr("Devices: ") + QString::number(device_list.size()));
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
