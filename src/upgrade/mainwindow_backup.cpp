#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include "devicesession.h"

bool MainWindow::connect_backup_tab()
{
    const QString address = ui->backup_ip_lineEdit->text();
    if (!is_valid_host_ip(address)) {
        QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"), QMessageBox::Ok);
        return false;
    }
    ui->label_23->setText(tr("connecting..."));
    if (!open_device_connection(address)) {
        ui->label_23->setText(tr("timed out"));
        return false;
    }
    ui->label_23->setText(tr("connected"));
    return true;
}

void MainWindow::on_backup_pushButton_clicked()
{
    tcp_op = 3;
    if (!connect_backup_tab())
        return;
    tcpClient->backup(QString(), QString::fromLatin1(kSpareArchive));
    ui->label_23->setText(tr("start backup"));
}

void MainWindow::on_restore_pushButton_clicked()
{
    tcp_op = 4;
    const QString archive = QString::fromLatin1(kArchive);
    if (!QFile::exists(archive)) {
        QMessageBox::warning(this, tr("Warning"), tr("Not exist backup files"), QMessageBox::Ok);
        return;
    }
    if (!connect_backup_tab())
        return;
    const QByteArray md5 = md5_text_of_file(archive);
    qDebug() << md5;
    tcpClient->restore(archive, md5);
}

void MainWindow::backup_success()
{
    backup_timer->stop();
    ui->label_23->setText(tr("Restore Success"));
    QMessageBox::information(this, tr("Information"), tr("Restore Success"), QMessageBox::Ok);
}
