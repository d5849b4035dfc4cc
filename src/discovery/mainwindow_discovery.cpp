#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QUuid>

#include <iterator>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include "mythread.h"

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
        unicast_socket->close();
        unicast_socket->bind(QHostAddress(local_ips[index]), discovery::Port,
                             QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    }
    send(CMD_SEARCH);
}

bool MainWindow::initSocket()
{
    reuse_flag = 1;
    local_addr = {};
    local_addr.sin_family = AF_INET;
    local_addr.sin_addr.s_addr = htonl(INADDR_ANY);
    local_addr.sin_port = htons(discovery::Port);

    raw_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (raw_socket < 0) {
        qDebug() << "socket created failed";
        return false;
    }
    if (::setsockopt(raw_socket, SOL_SOCKET, SO_REUSEADDR, &reuse_flag, sizeof(reuse_flag)) < 0) {
        qDebug() << "setsockopt:SO_REUSEADDR error";
        ::close(raw_socket);
        return false;
    }
    if (::bind(raw_socket, reinterpret_cast<sockaddr*>(&local_addr), sizeof(local_addr)) < 0) {
        qDebug() << "bind error";
        ::close(raw_socket);
        return false;
    }
    return true;
}

bool MainWindow::addGroup()
{
    const QByteArray local_ip = local_ips[ui->local_ip_list_comboBox->currentIndex()].toLatin1();
    group_request.imr_multiaddr.s_addr = inet_addr(discovery::GroupAddress);
    group_request.imr_interface.s_addr = inet_addr(local_ip.constData());
    const auto fail = [this](const char* line) {
        qDebug() << line;
        ::close(raw_socket);
        return false;
    };
    if (::setsockopt(raw_socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group_request, sizeof(group_request)) < 0)
        return fail("setsocketopt: IP_ADD_MEMBERSHIP error");
    const int ttl = 10;
    if (::setsockopt(raw_socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof(ttl)) < 0)
        return fail("Set IP_MULTICAST_TTL failed");
    const int loop = 0;
    if (::setsockopt(raw_socket, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof(loop)) < 0)
        return fail("Set IP_MULTICAST_LOOP failed");
    in_addr interface_addr{};
    interface_addr.s_addr = group_request.imr_interface.s_addr;
    if (::setsockopt(raw_socket, IPPROTO_IP, IP_MULTICAST_IF, &interface_addr, sizeof(interface_addr)) < 0)
        return fail("Set IP_MULTICAST_IF failed");
    multicast_socket->setSocketDescriptor(raw_socket, QUdpSocket::ConnectedState, QIODevice::ReadWrite);
    return true;
}

void MainWindow::send(cmdType cmd)
{
    QTreeWidgetItem* current = ui->treeWidget->currentItem();
    const QString device_id = current ? current->text(6) : QString();
    QString text;
    switch (cmd) {
    case CMD_SEARCH:
        ui->treeWidget->clear();
        device_list.clear();
        text = discovery::searchMessage(client_id);
        break;
    case CMD_CONFIGNET: {
        if (!current) {
            QMessageBox::warning(this, tr("Warning"), tr("Please select the need to configure the equipment"),
                                 QMessageBox::Ok);
            ui->tabWidget->setCurrentIndex(1);
            return;
        }
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
        text = discovery::confignetMessage(device_id, client_id, settings);
        break;
    }
    case CMD_REBOOT:
        qDebug() << "Reboot Camera";
        text = discovery::rebootMessage(device_id, client_id);
        break;
    case CMD_FLICKER_OPEN:
    case CMD_FLICKER_CLOSE:
        text = discovery::flickerMessage(device_id, client_id, cmd == CMD_FLICKER_OPEN);
        break;
    }
    const QByteArray datagram = discovery::encodeMessage(text);

    const int index = ui->local_ip_list_comboBox->currentIndex();
    if (index != selected_ip_index) {
        send_socket->close();
        send_socket->bind(QHostAddress(local_ips[index]), discovery::Port,
                          QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
        // Linux hands unicast datagrams for the shared address to the socket bound last: this one.
        connect(send_socket, &QUdpSocket::readyRead, this, &MainWindow::receive_unicast,
                Qt::UniqueConnection);
        selected_ip_index = index;
    }
    send_socket->writeDatagram(datagram, *group_address, discovery::Port);
}

void MainWindow::receive()
{
    read_datagrams(multicast_socket);
}

void MainWindow::receive_unicast()
{
    read_datagrams(unicast_socket);
    read_datagrams(send_socket);
}

void MainWindow::read_datagrams(QUdpSocket* socket)
{
    if (!socket->isValid())
        return;
    while (socket->hasPendingDatagrams()) {
        const qint64 size = socket->pendingDatagramSize();
        QByteArray datagram(static_cast<int>(qMax<qint64>(size, 0)), Qt::Uninitialized);
        socket->readDatagram(datagram.data(), datagram.size());
        auto* parser = new MyThread(datagram);
        connect(parser, &MyThread::Result, this, &MainWindow::ReceiveThread);
        // Nothing else holds the thread; its result is already queued when finished arrives.
        connect(parser, &QThread::finished, parser, &QObject::deleteLater);
        parser->start();
    }
}
