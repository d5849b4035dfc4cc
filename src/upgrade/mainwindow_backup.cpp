#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include "cameraupgrade.h"
#include "devicesession.h"

// Starts connecting for the backup tab; the request follows when the connection is up (device_connected()).
bool MainWindow::connect_backup_tab()
{
    const QString address = ui->backup_ip_lineEdit->text();
    if (!is_valid_host_ip(address)) {
        QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"), QMessageBox::Ok);
        return false;
    }
    // One connection: this one replaces whatever the upgrade tab was doing.
    cancel_upgrade();
    clear_failure_marks();
    ui->label_23->setText(tr("connecting..."));
    tcpClient->setWorkType(work_type);
    tcpClient->setIdleTimeout(CameraUpgrade::DefaultIdleTimeoutMs);
    tcpClient->connectToCamera(address);
    return true;
}

void MainWindow::on_backup_pushButton_clicked()
{
    tcp_op = 3;
    connect_backup_tab();
}

void MainWindow::on_restore_pushButton_clicked()
{
    tcp_op = 4;
    if (!QFile::exists(QString::fromLatin1(kArchive))) {
        QMessageBox::warning(this, tr("Warning"), tr("Not exist backup files"), QMessageBox::Ok);
        return;
    }
    connect_backup_tab();
}

void MainWindow::start_restore_countdown()
{
    // One count-down per restore: an earlier one still running is replaced, not left repeating.
    delete backup_timer;
    backup_timer = new QTimer(this);
    backup_timer->setInterval(20000);
    connect(backup_timer, &QTimer::timeout, this, &MainWindow::backup_success);
    backup_timer->start();
}

void MainWindow::backup_success()
{
    backup_timer->stop();
    ui->label_23->setText(tr("Restore Success"));
    QMessageBox::information(this, tr("Information"), tr("Restore Success"), QMessageBox::Ok);
}
