#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QColor>
#include <QDebug>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>

#include "addressplan.h"
#include "devicelistcolumns.h"
#include "devicetable.h"

using namespace device_list;

namespace
{

// Sort keys beside the texts: addresses by value, uptimes by duration.
constexpr int SortKeyRole = Qt::UserRole;
// Rows whose camera shares its IP or MAC address with another camera of the search.
const QColor ConflictColour(0xff, 0xe0, 0x8a);

QString conflictTip(const discovery::Conflicts& conflicts)
{
    QStringList reasons;
    if (conflicts.sharedIp > 0)
        reasons << MainWindow::tr("Address shared with %n other camera(s)", nullptr, conflicts.sharedIp);
    if (conflicts.sharedMac > 0)
        reasons << MainWindow::tr("MAC shared with %n other camera(s)", nullptr, conflicts.sharedMac);
    return reasons.join(QLatin1Char('\n'));
}

// A row of the list. Its clash marks are looked up when painted: a burst of replies that share one address
// would otherwise rewrite every row's tooltip on every turn of the event loop.
class DeviceRow : public QTreeWidgetItem
{
public:
    using Conflicts = std::shared_ptr<const QHash<QString, discovery::Conflicts>>;
    explicit DeviceRow(Conflicts conflicts) : m_conflicts(std::move(conflicts)) {}

    QVariant data(int column, int role) const override
    {
        if (role == Qt::ToolTipRole || role == Qt::BackgroundRole) {
            const discovery::Conflicts conflicts = m_conflicts->value(text(ColumnDeviceId));
            if (!conflicts.any())
                return QVariant();
            return role == Qt::ToolTipRole ? QVariant(conflictTip(conflicts))
                                           : QVariant(QBrush(ConflictColour));
        }
        return QTreeWidgetItem::data(column, role);
    }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : ColumnNo;
        const QVariant mine = data(column, SortKeyRole), theirs = other.data(column, SortKeyRole);
        if (mine.isValid() && theirs.isValid())
            return mine.toLongLong() < theirs.toLongLong();
        return QTreeWidgetItem::operator<(other);
    }

private:
    Conflicts m_conflicts;
};

QTreeWidgetItem* deviceRow(const Dev_info& device, int position, DeviceRow::Conflicts conflicts)
{
    auto* item = new DeviceRow(std::move(conflicts));
    // A number, so that the sorted view keeps 1, 2, ... 10 in order.
    item->setData(ColumnNo, Qt::DisplayRole, position);
    const QString fields[] = {device.ipaddr, device.netmask,   device.gateway, device.macaddr,
                              device.uptime, device.device_id, device.fdns};
    for (int column = ColumnIp; column <= ColumnFdns; ++column) {
        if (!fields[column - ColumnIp].isEmpty())
            item->setText(column, fields[column - ColumnIp]);
    }
    item->setText(ColumnDhcp, device.dhcp ? QStringLiteral("true") : QStringLiteral("false"));
    item->setData(ColumnIp, SortKeyRole, qlonglong(discovery::addressSortKey(device.ipaddr)));
    item->setData(ColumnUptime, SortKeyRole, qlonglong(device.uptime_seconds));
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
    // Ascending by address (10.0.0.9 before 10.0.0.10); equal addresses keep their order of arrival.
    const auto position = std::upper_bound(device_list.begin(), device_list.end(), record,
                                           [](const Dev_info& left, const Dev_info& right) {
                                               return discovery::addressLess(left.ipaddr, right.ipaddr);
                                           });
    const int row = int(position - device_list.begin());
    device_list.insert(position, record);

    // One row in now. The positions shown and the view's order follow once per turn of the event loop: a
    // burst of replies adds hundreds of rows per turn, and renumbering and sorting after each would stall.
    ui->treeWidget->setSortingEnabled(false);
    ui->treeWidget->addTopLevelItem(deviceRow(record, row + 1, device_conflicts));
    if (!device_rows_pending) {
        device_rows_pending = true;
        QTimer::singleShot(0, this, &MainWindow::renumber_device_rows);
    }
    ui->label_3->setText(tr("Devices: ") + QString::number(device_list.size()));
}

void MainWindow::renumber_device_rows()
{
    device_rows_pending = false;
    const QVector<discovery::Conflicts> conflicts = discovery::findConflicts(device_list);
    device_conflicts->clear();
    QHash<QString, int> positions;
    for (int index = 0; index < device_list.size(); ++index) {
        positions.insert(device_list.at(index).device_id, index + 1);
        if (conflicts.at(index).any())
            device_conflicts->insert(device_list.at(index).device_id, conflicts.at(index));
    }
    QTreeWidget* view = ui->treeWidget;
    for (int index = 0; index < view->topLevelItemCount(); ++index) {
        QTreeWidgetItem* item = view->topLevelItem(index);
        item->setData(ColumnNo, Qt::DisplayRole, positions.value(item->text(ColumnDeviceId)));
    }
    view->setSortingEnabled(true);
    view->viewport()->update();
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
