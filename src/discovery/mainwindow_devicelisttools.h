#ifndef MAINWINDOW_DEVICELISTTOOLS_H
#define MAINWINDOW_DEVICELISTTOOLS_H

#include <QObject>
#include <QVector>

#include <functional>

#include "devinfo.h"

class DiscoveryClient;
class QAction;
class QTreeWidget;
class QWidget;

// The device list's tools for a whole site: assigning addresses to the selected cameras and exporting the
// list. Their two actions come after the menu's others.
class DeviceListTools : public QObject
{
    Q_OBJECT

public:
    // The cameras of the last search, in the list's order.
    using Listed = std::function<QVector<Dev_info>()>;

    DeviceListTools(QWidget* window, QTreeWidget* list, DiscoveryClient* client, Listed listed);

    QAction* assignAction() const { return m_assign; }
    QAction* exportAction() const { return m_export; }

protected:
    bool event(QEvent* event) override;

private:
    void retranslate();
    void assignSelected();
    void exportList();

    QWidget* m_window;
    QTreeWidget* m_list;
    DiscoveryClient* m_client;
    Listed m_listed;
    QAction* m_assign;
    QAction* m_export;
};

#endif // MAINWINDOW_DEVICELISTTOOLS_H
