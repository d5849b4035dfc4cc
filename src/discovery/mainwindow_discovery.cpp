#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QUuid>

#include <iterator>

#include "devicelistcolumns.h"
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
    if (cmd == CMD_CONFIGNET && !current) {
        QMessageBox::warning(this, tr("Warning"), tr("Please select the need to configure the equipment"),
                             QMessageBox::Ok);
        ui->tabWidget->setCurrentIndex(1);
        return;
    }
    if (cmd == CMD_SEARCH) {
        ui->treeWidget->clear();
        device_list.clear();
        device_conflicts->clear();
    }

    const int index = ui->local_ip_list_comboBox->currentIndex();
    if (index != selected_ip_index) {
        discovery->bindSender(index >= 0 ? local_ips[index] : QString());
        selected_ip_index = index;
    }

    if (cmd == CMD_SEARCH) {
        discovery->search();
        return;
    }
    if (!current)
        return;
    Dev_info camera;
    camera.device_id = current->text(device_list::ColumnDeviceId);
    camera.ipaddr = current->text(device_list::ColumnIp);
    auto* command = new DeviceCommand(discovery, this);
    connect(command, &DeviceCommand::finished, this,
            [this, command](DeviceCommand::Outcome outcome) { device_command_finished(command, outcome); });
    switch (cmd) {
    case CMD_CONFIGNET:
        command->send(camera, DeviceCommand::Action::ConfigNet, network_form_settings());
        break;
    case CMD_REBOOT:
        command->send(camera, DeviceCommand::Action::Reboot);
        break;
    case CMD_FLICKER_OPEN:
    case CMD_FLICKER_CLOSE:
        command->send(camera, cmd == CMD_FLICKER_OPEN ? DeviceCommand::Action::FlickerOn
                                                      : DeviceCommand::Action::FlickerOff);
        break;
    case CMD_SEARCH:
        break;
    }
}

void MainWindow::device_command_finished(DeviceCommand* command, DeviceCommand::Outcome outcome)
{
    command->deleteLater();
    const Dev_info camera = command->camera();
    switch (outcome) {
    case DeviceCommand::Outcome::Acknowledged: {
        // Whatever it answers: the current row's "Set Success" and a new search.
        Dev_info acknowledgement;
        acknowledgement.client_id = client_id;
        acknowledgement.device_id = camera.device_id;
        ReceiveThread(QVariant::fromValue(acknowledgement), MSG_SUCCEED);
        break;
    }
    case DeviceCommand::Outcome::Refused:
        if (command->action() == DeviceCommand::Action::ConfigNet)
            QMessageBox::warning(this, tr("Warning"),
                                 tr("The camera refused the settings") +
                                     QStringLiteral("\n%1  (%2)").arg(camera.ipaddr, camera.device_id),
                                 QMessageBox::Ok);
        break;
    default:
        qDebug() << "camera" << camera.device_id << "command" << command->action() << outcome;
        break;
    }
}
