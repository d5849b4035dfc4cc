#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>

bool MainWindow::network_form_complete() const
{
    return !ui->ip_address_lineEdit->text().isEmpty() && !ui->netmask_lineEdit->text().isEmpty() &&
           !ui->gateway_lineEdit->text().isEmpty() && !ui->mac4_lineEdit->text().isEmpty() &&
           !ui->mac5_lineEdit->text().isEmpty() && !ui->mac6_lineEdit->text().isEmpty();
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
    if (ui->dhcp_comboBox->currentIndex() == 0) {
        const QString ip = ui->ip_address_lineEdit->text();
        const QString netmask = ui->netmask_lineEdit->text();
        const QString gateway = ui->gateway_lineEdit->text();
        if (!is_valid_host_ip(ip) || !is_valid_netmask(netmask) || !is_valid_host_ip(gateway) ||
            !is_valid_host_ip(ui->fdns_lineEdit->text()) || !discovery::gatewayInSubnet(ip, netmask, gateway))
            return false;
    }
    const QString tail = ui->mac4_lineEdit->text().toUpper() + ":" + ui->mac5_lineEdit->text().toUpper() +
                         ":" + ui->mac6_lineEdit->text().toUpper();
    return is_valid_mac_tail(tail);
}

void MainWindow::on_reset_net_pushButton_clicked()
{
    if (QTreeWidgetItem* current = ui->treeWidget->currentItem())
        fill_network_form(current);
}

void MainWindow::fill_network_form(QTreeWidgetItem* item)
{
    // The camera's own mode: Set must not turn a DHCP camera static by accident.
    ui->dhcp_comboBox->setCurrentIndex(item->text(8) == QLatin1String("true") ? 1 : 0);
    ui->ip_address_lineEdit->setText(item->text(1));
    ui->netmask_lineEdit->setText(item->text(2));
    ui->gateway_lineEdit->setText(item->text(3));
    ui->fdns_lineEdit->setText(item->text(7).isEmpty() ? item->text(3) : item->text(7));
    const QStringList tail = discovery::macTailOctets(item->text(4));
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
