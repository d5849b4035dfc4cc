#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QUuid>

#include <iterator>

#include "discoveryclient.h"

void MainWindow::generate_client_id()
{
    const QString text = QUuid::createUuid().toString();
    QString digits;
    for (const QChar c : text) {
        if (c != QLatin1Char('{') && c != QLatin1Char('-') && c != QLatin1Char('}'))
            digits.append(c);
    }
    request_id = digits;
    if (!client_id_fixed)
        client_id = digits;
}

void MainWindow::list_local_interfaces()
{
    local_ip_count = 0;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (address.protocol() != QAbstractSocket::IPv4Protocol || address.isNull() ||
                address == QHostAddress(QHostAddress::LocalHost))
                continue;
            // Further addresses are left out so that combo index n and local_ips[n] stay the same address.
            if (local_ip_count == int(std::size(local_ips)))
                return;
            ui->local_ip_list_comboBox->insertItem(local_ip_count,
                                                   interface.humanReadableName() + ":" + address.toString());
            local_ips[local_ip_count++] = address.toString();
        }
    }
}

void MainWindow::on_search_Button_clicked()
{
    ui->label_3->setText(tr("Devices: "));
    const int index = ui->local_ip_list_comboBox->currentIndex();
    if (index != selected_ip_index) {
        if (!initSocket()) {
            QMessageBox::warning(this, tr("Warning"), tr("Initializes the multicast failure"),
                                 QMessageBox::Ok);
            return;
        }
        if (!addGroup()) {
            QMessageBox::warning(this, tr("Warning"), tr("Join the multicast group fail"), QMessageBox::Ok);
            return;
        }
        discovery->bindUnicast(local_ips[index]);
    }
    send(CMD_SEARCH);
}

bool MainWindow::initSocket()
{
    return discovery->initSocket();
}

bool MainWindow::addGroup()
{
    return discovery->addGroup(local_ips[ui->local_ip_list_comboBox->currentIndex()]);
}

void MainWindow::send(cmdType cmd)
{
    QTreeWidgetItem* current = ui->treeWidget->currentItem();
    const QString device_id = current ? current->text(6) : QString();
    if (cmd == CMD_CONFIGNET && !current) {
        QMessageBox::warning(this, tr("Warning"), tr("Please select the need to configure the equipment"),
                             QMessageBox::Ok);
        ui->tabWidget->setCurrentIndex(1);
        return;
    }
    if (cmd == CMD_SEARCH) {
        ui->treeWidget->clear();
        device_list.clear();
    }

    const int index = ui->local_ip_list_comboBox->currentIndex();
    if (index != selected_ip_index) {
        discovery->bindSender(index >= 0 ? local_ips[index] : QString());
        selected_ip_index = index;
    }

    switch (cmd) {
    case CMD_SEARCH:
        discovery->search();
        break;
    case CMD_CONFIGNET: {
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
        discovery->configure(device_id, settings);
        break;
    }
    case CMD_REBOOT:
        discovery->reboot(device_id);
        break;
    case CMD_FLICKER_OPEN:
    case CMD_FLICKER_CLOSE:
        discovery->flicker(device_id, cmd == CMD_FLICKER_OPEN);
        break;
    }
}
