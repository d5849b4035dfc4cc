#include "mainwindow_devicelisttools.h"

#include <QAction>
#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QSet>
#include <QTreeWidget>

#include "mainwindow_assigndialog.h"
#include "devicelistcolumns.h"
#include "devicetable.h"

DeviceListTools::DeviceListTools(QWidget* window, QTreeWidget* list, DiscoveryClient* client, Listed listed)
    : QObject(window), m_window(window), m_list(list), m_client(client), m_listed(std::move(listed)),
      m_assign(new QAction(this)), m_export(new QAction(this))
{
    connect(m_assign, &QAction::triggered, this, &DeviceListTools::assignSelected);
    connect(m_export, &QAction::triggered, this, &DeviceListTools::exportList);
    retranslate();
}

bool DeviceListTools::event(QEvent* event)
{
    // The window hands its language change on to its children, this one too.
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    return QObject::event(event);
}

void DeviceListTools::retranslate()
{
    m_assign->setText(tr("Assign addresses..."));
    m_export->setText(tr("Export list..."));
}

void DeviceListTools::assignSelected()
{
    QList<QTreeWidgetItem*> rows = m_list->selectedItems();
    if (rows.isEmpty() && m_list->currentItem())
        rows << m_list->currentItem();
    QSet<QString> chosen;
    for (const QTreeWidgetItem* row : qAsConst(rows))
        chosen.insert(row->text(device_list::ColumnDeviceId));
    const QVector<Dev_info> listed = m_listed();
    QVector<Dev_info> selected;
    for (const Dev_info& camera : listed)
        if (chosen.contains(camera.device_id))
            selected.append(camera);
    if (selected.isEmpty())
        return;
    auto* dialog = new AssignDialog(m_window, m_client, selected, listed);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void DeviceListTools::exportList()
{
    const QString path = QFileDialog::getSaveFileName(m_window, tr("Export list"),
                                                      QStringLiteral("cameras.csv"), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!discovery::saveDeviceList(path, m_listed(), &error))
        QMessageBox::warning(m_window, tr("Warning"), tr("The list could not be saved: %1").arg(error),
                             QMessageBox::Ok);
}
