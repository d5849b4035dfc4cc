#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>

#include "devicelistcolumns.h"
#include "settingsrules.h"

using namespace device_list;

discovery::NetworkSettings MainWindow::network_form_settings() const
{
    discovery::NetworkSettings settings;
    settings.dhcpIndex = ui->dhcp_comboBox->currentIndex();
    settings.ipaddr = ui->ip_address_lineEdit->text();
    settings.netmask = ui->netmask_lineEdit->text();
    settings.gateway = ui->gateway_lineEdit->text();
    settings.fdns = ui->fdns_lineEdit->text();
    const QLineEdit* octets[] = {ui->mac1_lineEdit, ui->mac2_lineEdit, ui->mac3_lineEdit,
                                 ui->mac4_lineEdit, ui->mac5_lineEdit, ui->mac6_lineEdit};
    for (int octet = 0; octet < 6; ++octet)
        settings.mac[octet] = octets[octet]->text();
    return settings;
}

bool MainWindow::network_form_complete() const
{
    return discovery::isComplete(network_form_settings());
}

void MainWindow::on_set_net_pushButton_clicked()
{
    if (!network_form_complete()) {
        QMessageBox::warning(this, tr("Warning"), tr("The network information is incomplete"),
                             QMessageBox::Ok);
        return;
    }
    if (check_network_info()) {
        qDebug() << "数据填写正确！";
        send(CMD_CONFIGNET);
    } else {
        QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"), QMessageBox::Ok);
    }
}

bool MainWindow::check_network_info()
{
    return discovery::checkNetworkSettings(network_form_settings()) == discovery::SettingsFault::None;
}

void MainWindow::on_reset_net_pushButton_clicked()
{
    if (QTreeWidgetItem* current = ui->treeWidget->currentItem())
        fill_network_form(current);
}

void MainWindow::fill_network_form(QTreeWidgetItem* item)
{
    // The camera's own mode: Set must not turn a DHCP camera static by accident.
    ui->dhcp_comboBox->setCurrentIndex(item->text(ColumnDhcp) == QLatin1String("true") ? 1 : 0);
    ui->ip_address_lineEdit->setText(item->text(ColumnIp));
    ui->netmask_lineEdit->setText(item->text(ColumnNetmask));
    ui->gateway_lineEdit->setText(item->text(ColumnGateway));
    ui->fdns_lineEdit->setText(item->text(ColumnFdns).isEmpty() ? item->text(ColumnGateway)
                                                                : item->text(ColumnFdns));
    const QStringList tail = discovery::macTailOctets(item->text(ColumnMac));
    ui->mac4_lineEdit->setText(tail.at(0));
    ui->mac5_lineEdit->setText(tail.at(1));
    ui->mac6_lineEdit->setText(tail.at(2));
}

void MainWindow::on_change_mac_pushButton_clicked()
{
    if (!ui->treeWidget->currentItem())
        return;
    if (!network_form_complete()) {
        QMessageBox::warning(this, tr("Warning"), tr("The network information is incomplete"),
                             QMessageBox::Ok);
        return;
    }
    generate_client_id();
    const QStringList tail = discovery::macTailFromId(request_id);
    ui->mac4_lineEdit->setText(tail.at(0));
    ui->mac5_lineEdit->setText(tail.at(1));
    ui->mac6_lineEdit->setText(tail.at(2));
}

void MainWindow::on_dhcp_comboBox_currentIndexChanged(int index)
{
    if (index != 0 && index != 1)
        return;
    const bool manual = index == 0;
    ui->ip_address_lineEdit->setEnabled(manual);
    ui->netmask_lineEdit->setEnabled(manual);
    ui->gateway_lineEdit->setEnabled(manual);
    ui->fdns_lineEdit->setEnabled(manual);
}
