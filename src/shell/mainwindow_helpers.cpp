#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "upgradetypes.h"
#include "validators.h"

#include <QCoreApplication>
#include <QRegExpValidator>
#include <QTime>

void MainWindow::install_validators()
{
    const QRegExp ip_entry(QString::fromLatin1(validators::kIpEntryPattern));
    const QRegExp octet_entry(QString::fromLatin1(validators::kOctetEntryPattern));
    const QRegExp port_entry(QString::fromLatin1(validators::kPortEntryPattern));

    for (QLineEdit* edit : {ui->upgrade_ip_lineEdit, ui->ip_address_lineEdit, ui->netmask_lineEdit,
                            ui->gateway_lineEdit, ui->fdns_lineEdit, ui->backup_ip_lineEdit, ui->txtUrl})
        edit->setValidator(new QRegExpValidator(ip_entry, this));
    ui->txtPort->setValidator(new QRegExpValidator(port_entry, this));
    for (QLineEdit* edit : {ui->mac4_lineEdit, ui->mac5_lineEdit, ui->mac6_lineEdit})
        edit->setValidator(new QRegExpValidator(octet_entry, this));
}

void MainWindow::adjust_label_sizes()
{
    for (QLabel* label :
         {ui->label_4, ui->label_5, ui->label_6, ui->label_7, ui->label_8, ui->label_9, ui->label_10,
          ui->label_11, ui->label_12, ui->label_13, ui->label_20, ui->label_21, ui->label_22, ui->label_23})
        label->adjustSize();
}

bool MainWindow::is_valid_host_ip(const QString& text)
{
    return validators::isValidHostIp(text);
}

bool MainWindow::is_valid_netmask(const QString& text)
{
    return validators::isValidNetmask(text);
}

bool MainWindow::is_valid_mac_tail(const QString& text)
{
    return validators::isValidMacTail(text);
}

void MainWindow::delay_ms(int msecs)
{
    // Compared as times of day: a wait across midnight ends at once.
    const QTime deadline = QTime::currentTime().addMSecs(msecs);
    while (QTime::currentTime() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
}

void MainWindow::refill_upgrade_type_list()
{
    const QStringList types = upgrade_types_for_mode(mode);
    if (!types.isEmpty()) {
        ui->upgrade_type_comboBox->clear();
        ui->upgrade_type_comboBox->addItems(types);
        // A device partition has no entry of its own in the rebuilt list.
        if (mode == QLatin1String("Full") && upgrade_file_type > 4)
            ui->upgrade_filename_lineEdit->clear();
        ui->upgrade_type_comboBox->setCurrentIndex(upgrade_type_index(mode, upgrade_file_type));
    }
    upgrading = false;
}
