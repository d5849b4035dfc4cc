// The Rollout tab's rows: one per camera, keyed by its Device ID where known and following it to the address
// the latest search found it at; the models they span.
#include "rollouttab.h"
#include "ui_rollouttab.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHash>
#include <QMainWindow>
#include <QMap>
#include <QMessageBox>
#include <QTabWidget>
#include <QTreeWidget>

#include <algorithm>

#include "devicelistcolumns.h"

namespace
{
// The address a row had when it was added, kept once the camera moved.
constexpr int kFirstAddressRole = Qt::UserRole;
} // namespace

void RolloutTab::addSelectedDevices()
{
    QList<QTreeWidgetItem*> rows = m_devices->selectedItems();
    if (rows.isEmpty() && m_devices->currentItem())
        rows << m_devices->currentItem();
    if (m_rollout && m_rollout->isRunning()) {
        warn(tr("Cameras can be added when the running rollout is done."));
        return;
    }
    // In the list's order on screen, so the first selected row is the canary.
    std::sort(rows.begin(), rows.end(), [this](QTreeWidgetItem* left, QTreeWidgetItem* right) {
        return m_devices->indexOfTopLevelItem(left) < m_devices->indexOfTopLevelItem(right);
    });
    for (QTreeWidgetItem* row : qAsConst(rows))
        addCamera(row->text(device_list::ColumnIp), row->text(device_list::ColumnDeviceId));
    m_tabs->setCurrentWidget(this);
}

void RolloutTab::addCamera(const QString& address, const QString& deviceId)
{
    QTableWidget* table = ui->rollout_tableWidget;
    if (address.isEmpty() || (m_rollout && m_rollout->isRunning()))
        return;
    const int known = rowOf(deviceId, address);
    if (known >= 0) {
        // The same camera found again, perhaps at another address.
        if (table->item(known, ColumnAddress)->text() != address && !listed(address))
            moveRow(known, address);
        return;
    }
    if (listed(address))
        return;
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, ColumnAddress, new QTableWidgetItem(address));
    table->setItem(row, ColumnDeviceId, new QTableWidgetItem(deviceId));
    for (int column : {ColumnModel, ColumnState, ColumnProgress, ColumnVersion, ColumnReason})
        table->setItem(row, column, new QTableWidgetItem);
    showCamera(row);
}

QString RolloutTab::movedText(int row) const
{
    const QTableWidgetItem* address = ui->rollout_tableWidget->item(row, ColumnAddress);
    const QString first = address->data(kFirstAddressRole).toString();
    return first.isEmpty() ? QString() : tr("now at %1 (was %2)").arg(address->text(), first);
}

int RolloutTab::rowOf(const QString& deviceId, const QString& address) const
{
    const QTableWidget* table = ui->rollout_tableWidget;
    for (int row = 0; !deviceId.isEmpty() && row < table->rowCount(); ++row)
        if (table->item(row, ColumnDeviceId)->text().compare(deviceId, Qt::CaseInsensitive) == 0)
            return row;
    for (int row = 0; row < table->rowCount(); ++row)
        if (table->item(row, ColumnAddress)->text() == address)
            return row;
    return -1;
}

void RolloutTab::moveRow(int row, const QString& address)
{
    QTableWidgetItem* item = ui->rollout_tableWidget->item(row, ColumnAddress);
    if (item->data(kFirstAddressRole).toString().isEmpty())
        item->setData(kFirstAddressRole, item->text());
    item->setText(address);
    item->setToolTip(movedText(row));
    showCamera(row);
}

bool RolloutTab::followCameras()
{
    // Device ID to the address the latest search found it at (empty when at two), and address to Device ID.
    QHash<QString, QString> found;
    QHash<QString, QString> idAt;
    for (int index = 0; index < m_devices->topLevelItemCount(); ++index) {
        const QTreeWidgetItem* device = m_devices->topLevelItem(index);
        const QString id = device->text(device_list::ColumnDeviceId).toUpper();
        const QString address = device->text(device_list::ColumnIp);
        if (id.isEmpty())
            continue;
        found.insert(id, found.contains(id) && found.value(id) != address ? QString() : address);
        idAt.insert(address, device->text(device_list::ColumnDeviceId));
    }
    QTableWidget* table = ui->rollout_tableWidget;
    QStringList addresses;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem* idItem = table->item(row, ColumnDeviceId);
        const QString id = idItem->text().toUpper();
        const QString address = table->item(row, ColumnAddress)->text();
        const QString other = idAt.value(address);
        // A row that never knew its camera's Device ID learns it from the search, for the report.
        if (id.isEmpty() && !other.isEmpty())
            idItem->setText(other);
        // Never send to an address that now holds another camera.
        if (!id.isEmpty() && !found.contains(id) && !other.isEmpty() && other.toUpper() != id) {
            warn(tr("The latest search found another camera (%1) at %2 and %3 nowhere. Remove its row or "
                    "search again.")
                     .arg(other, address, idItem->text()));
            return false;
        }
        const QString now = found.value(id);
        addresses << (now.isEmpty() ? address : now);
    }
    for (const QString& address : qAsConst(addresses))
        if (addresses.count(address) > 1) {
            warn(tr("Two rows would both go to %1: the latest search found a camera there. Remove one of "
                    "them or search again.")
                     .arg(address));
            return false;
        }
    for (int row = 0; row < table->rowCount(); ++row)
        if (table->item(row, ColumnAddress)->text() != addresses.at(row))
            moveRow(row, addresses.at(row));
    return true;
}

bool RolloutTab::modelsToAsk() const
{
    if (!ui->rollout_model_comboBox->currentData().toString().isEmpty())
        return false;
    for (int row = 0; row < ui->rollout_tableWidget->rowCount(); ++row)
        if (ui->rollout_tableWidget->item(row, ColumnModel)->text().isEmpty())
            return true;
    return false;
}

bool RolloutTab::acceptModels()
{
    if (!ui->rollout_model_comboBox->currentData().toString().isEmpty())
        return true;
    QMap<QString, int> models;
    int unknown = 0;
    for (int row = 0; row < ui->rollout_tableWidget->rowCount(); ++row) {
        const QString model = ui->rollout_tableWidget->item(row, ColumnModel)->text();
        if (model.isEmpty())
            ++unknown;
        else
            ++models[model];
    }
    if (models.size() < 2)
        return true;
    QStringList counts;
    for (auto it = models.cbegin(); it != models.cend(); ++it)
        counts << tr("%1: %2").arg(it.key()).arg(it.value());
    if (unknown > 0)
        counts << tr("not known: %1").arg(unknown);
    const QString file = QFileInfo(ui->rollout_file_lineEdit->text().trimmed()).fileName();
    return QMessageBox::question(m_window, tr("Warning"),
                                 tr("These cameras are of several models (%1). Send %2 to every one of "
                                    "them? To upgrade one model only, choose it under Model.")
                                     .arg(counts.join(tr(", ")), file),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void RolloutTab::fillModels()
{
    QComboBox* choice = ui->rollout_model_comboBox;
    const QString current = choice->currentData().toString();
    QStringList models;
    for (int row = 0; row < ui->rollout_tableWidget->rowCount(); ++row)
        models << ui->rollout_tableWidget->item(row, ColumnModel)->text();
    if (!current.isEmpty())
        models << current;
    models.removeAll(QString());
    models.removeDuplicates();
    models.sort();
    choice->clear();
    choice->addItem(tr("any model"), QString());
    for (const QString& model : qAsConst(models))
        choice->addItem(model, model);
    choice->setCurrentIndex(qMax(0, choice->findData(current)));
}
