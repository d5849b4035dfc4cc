#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QTcpSocket>
#include <QTimer>

bool MainWindow::connect_backup_tab()
{
    const QString address = ui->backup_ip_lineEdit->text();
    if (!is_valid_host_ip(address)) {
        QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"), QMessageBox::Ok);
        return false;
    }
    ui->label_23->setText(tr("connecting..."));
    tcpClient->abort();
    tcpClient->connectToHost(address, kDevicePort, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    if (!tcpClient->waitForConnected(1500)) {
        ui->label_23->setText(tr("timed out"));
        connect_flag = false;
        tcpClient->close();
        return false;
    }
    ui->label_23->setText(tr("connected"));
    connect_flag = true;
    return true;
}

void MainWindow::on_backup_pushButton_clicked()
{
    tcp_op = 3;
    if (!connect_backup_tab())
        return;
    if (const RecordLayout* layout = layout_for_work_type(work_type))
        send_record(backup_request(*layout));
    ui->label_23->setText(tr("start backup"));
}

void MainWindow::on_restore_pushButton_clicked()
{
    tcp_op = 4;
    if (!QFile::exists(QStringLiteral("data.tar.gz"))) {
        QMessageBox::warning(this, tr("Warning"), tr("Not exist backup files"), QMessageBox::Ok);
        return;
    }
    if (!connect_backup_tab())
        return;
    const QByteArray md5 = md5_text_of_file(QStringLiteral("data.tar.gz"));
    qDebug() << md5;
    if (const RecordLayout* layout = layout_for_work_type(work_type))
        send_record(restore_request(*layout, QFileInfo(QStringLiteral("data.tar.gz")).size(), md5));
}

void MainWindow::backup_success()
{
    backup_timer->stop();
    ui->label_23->setText(tr("Restore Success"));
    QMessageBox::information(this, tr("Information"), tr("Restore Success"), QMessageBox::Ok);
}
