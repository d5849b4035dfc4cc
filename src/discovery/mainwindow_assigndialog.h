#ifndef MAINWINDOW_ASSIGNDIALOG_H
#define MAINWINDOW_ASSIGNDIALOG_H

#include <QDialog>
#include <QVector>

#include "addressassignment.h"
#include "devinfo.h"

class DiscoveryClient;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// New static addresses for the cameras selected in the device list: the operator gives the first address,
// netmask, gateway and DNS server, sees which camera gets which address, applies, and watches each
// camera's result arrive. The list is searched again at the end.
class AssignDialog : public QDialog
{
    Q_OBJECT

public:
    AssignDialog(QWidget* parent, DiscoveryClient* client, QVector<Dev_info> selected,
                 QVector<Dev_info> listed);

public slots:
    // While the cameras are being sent their addresses, closing stops after the camera being waited for.
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void updatePlan();
    void showPlan();
    void showResult(int index, AddressAssignment::Result result);
    void showSummary();
    void apply();
    void finished();
    QString planProblem() const;

    DiscoveryClient* m_client;
    QVector<Dev_info> m_selected;
    QVector<Dev_info> m_listed;
    discovery::AssignmentPlan m_plan;
    AddressAssignment* m_assignment;
    bool m_done = false;

    QLabel* m_firstLabel;
    QLabel* m_netmaskLabel;
    QLabel* m_gatewayLabel;
    QLabel* m_dnsLabel;
    QLineEdit* m_first;
    QLineEdit* m_netmask;
    QLineEdit* m_gateway;
    QLineEdit* m_dns;
    QTableWidget* m_table;
    QLabel* m_status;
    QPushButton* m_apply;
    QPushButton* m_close;
};

#endif // MAINWINDOW_ASSIGNDIALOG_H
