#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "upgradetypes.h"

#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "devicesession.h"
#include "filedigest.h"
#include "rollout/rollouttab.h"

void MainWindow::init_tcp_client()
{
    total_bytes = 0;
    progress_value = 0;
    upgrade_file_type = 1;
    tcpClient = new DeviceSession(this);
    connect(tcpClient, &DeviceSession::socketError, this, &MainWindow::displayError);
    connect(tcpClient, &DeviceSession::upgradeStatus, this, &MainWindow::handle_upgrade_record);
    connect(tcpClient, &DeviceSession::errorRecord, this, &MainWindow::handle_error_record);
    connect(tcpClient, &DeviceSession::versionReport, this, &MainWindow::handle_version_report);
    connect(tcpClient, &DeviceSession::backupHeader, this, &MainWindow::handle_backup_header);
    connect(tcpClient, &DeviceSession::archiveSaved, this, &MainWindow::handle_archive_saved);
    connect(tcpClient, &DeviceSession::backupFailed, this, &MainWindow::fail_backup);
    connect(tcpClient, &DeviceSession::restoreStatus, this, &MainWindow::handle_restore_record);
    connect(tcpClient, &DeviceSession::streamProgress, this, &MainWindow::show_stream_progress);
    connect(tcpClient, &DeviceSession::streamFailed, this, &MainWindow::handle_stream_failure);
}

bool MainWindow::open_device_connection(const QString& address)
{
    tcpClient->setWorkType(work_type);
    tcpClient->connectToCamera(address);
    connect_flag = tcpClient->waitForConnected(DeviceSession::ConnectTimeoutMs);
    return connect_flag;
}

bool MainWindow::connect_device()
{
    connect_flag = false;
    progress_value = 0;
    if (!is_valid_host_ip(ui->upgrade_ip_lineEdit->text())) {
        QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"), QMessageBox::Ok);
        return false;
    }
    ui->label_4->setText(tr("connecting..."));
    ui->query_Button->setEnabled(false);
    if (!open_device_connection(ui->upgrade_ip_lineEdit->text())) {
        ui->query_Button->setEnabled(true);
        ui->label_4->setText(tr("timed out"));
        return false;
    }
    ui->label_4->setText(tr("connected"));
    ui->label_6->setText(tr("waiting upgrade start"));
    ui->upgrade_Button->setEnabled(true);
    ui->worktype_comboBox->setEnabled(true);
    ui->query_Button->setEnabled(true);
    return true;
}

void MainWindow::close_connection()
{
    tcpClient->close();
    connect_flag = false;
}

void MainWindow::displayError(QAbstractSocket::SocketError)
{
    qDebug() << tcpClient->errorString();
    if (upgrade_finish_flag != 1) {
        ui->label_23->setText(tr("disconnect"));
        ui->progressBar->reset();
        ui->label_4->setText(tr("disconnect"));
        ui->label_6->setText(tr("disconnect"));
        ui->upgrade_Button->setEnabled(true);
        ui->worktype_comboBox->setEnabled(true);
        ui->textEdit->clear();
        refill_upgrade_type_list();
        connect_flag = false;
        return;
    }
    // The camera verified the file and dropped the connection to flash it: the upgrade goes on without us.
    qDebug() << "upgrade_finish_flag == 1, displayError";
    close_connection();
    ui->label_4->setText(tr("disconnect"));
    ui->upgrade_Button->setEnabled(true);
    ui->worktype_comboBox->setEnabled(true);
    ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(98);
    ui->textEdit->clear();
    ui->upgrade_Button->setFocus(Qt::OtherFocusReason);
    refill_upgrade_type_list();
    start_upgrade_countdown();
}

void MainWindow::on_open_Button_clicked()
{
    const QString type = ui->upgrade_type_comboBox->currentText();
    const char* filter = "BIN Files(*.bin)";
    if (type == QLatin1String("SOC") || type == QLatin1String("SOC&ARM"))
        filter = "PKG Files(*.pkg)";
    else if (type == QLatin1String("MTD"))
        filter = "IMG Files(*.img)";
    file_name = QFileDialog::getOpenFileName(this, tr("select upgrade pack"), file_name, tr(filter));
    if (!file_name.isEmpty())
        ui->upgrade_filename_lineEdit->setText(file_name);
    else
        file_name = ui->upgrade_filename_lineEdit->text();
}

void MainWindow::on_upgrade_type_comboBox_activated(int index)
{
    if (mode == QLatin1String("Full"))
        upgrade_file_type = index + 1;
    else if (mode == QLatin1String("Simple"))
        upgrade_file_type = index == 2 ? 4 : index + 1;
}

QVector<PartitionRecord> MainWindow::known_partitions() const
{
    QVector<PartitionRecord> partitions;
    for (int i = 0; i < partition_count && i < kMaxPartitions; ++i)
        partitions.append(partition_table[i]);
    return partitions;
}

QByteArray MainWindow::hash_firmware(const QString& path)
{
    // Hashed off the GUI thread: a file of gigabytes would otherwise freeze the window for seconds.
    FileDigest digest;
    QEventLoop wait;
    QByteArray md5;
    ui->label_6->setText(tr("checking file..."));
    connect(&digest, &FileDigest::progress, this, [this](qint64 done, qint64 total) {
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(total > 0 ? int(done * 100 / total) : 100);
    });
    connect(&digest, &FileDigest::finished, &wait, [&](const QByteArray& text) {
        md5 = text;
        wait.quit();
    });
    digest.start(path);
    wait.exec();
    return md5;
}

void MainWindow::on_upgrade_Button_clicked()
{
    if (rollout_tab->refuseBusy(ui->upgrade_ip_lineEdit->text()))
        return;
    if (ui->upgrade_ip_lineEdit->text().isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"), QMessageBox::Ok);
        return;
    }
    if (ui->upgrade_filename_lineEdit->text().isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("Select Upgrade pack"), QMessageBox::Ok);
        return;
    }
    // The edit is where a chosen, dropped or typed file ends up: upgrade that one.
    file_name = ui->upgrade_filename_lineEdit->text();
    const QString type = ui->upgrade_type_comboBox->currentText();
    if (type == QLatin1String("  ")) {
        QMessageBox::warning(this, tr("Warning"), tr("Select Upgrade type"), QMessageBox::Ok);
        return;
    }
    static const QStringList base_kinds{"SOC", "ARM", "SOC&ARM", "MTD"};
    if (upgrade_types_for_mode(mode).contains(type)) {
        upgrade_file_type = base_kinds.indexOf(type) + 1;
    } else if (mode == QLatin1String("Full")) {
        for (int i = 0; i < partition_count && i < kMaxPartitions; ++i) {
            if (partition_table[i].device + partition_table[i].name == type) {
                upgrade_file_type = 5 + i;
                break;
            }
        }
    }

    const QString name = file_name.mid(file_name.lastIndexOf(QLatin1Char('/')) + 1);
    // A name that does not fit the record would reach the camera cut short: refuse it like a wrong name.
    const RecordLayout* layout = layout_for_work_type(work_type);
    if (!file_name_matches_type(upgrade_file_type, name, known_partitions()) ||
        (layout && !name_fits(*layout, name))) {
        QMessageBox::warning(this, tr("Warning"), tr("Upgrade file type does not match"), QMessageBox::Ok);
        ui->upgrade_filename_lineEdit->clear();
        return;
    }

    // Each upgrade starts clean: an earlier one may have ended while the camera was flashing.
    upgrade_finish_flag = 0;
    connect(tcpClient, &DeviceSession::socketError, this, &MainWindow::displayError, Qt::UniqueConnection);

    if (auto_backup) {
        auto_backup_active = true;
        ui->backup_ip_lineEdit->setText(ui->upgrade_ip_lineEdit->text());
        tcp_op = 3;
        if (!is_valid_host_ip(ui->backup_ip_lineEdit->text()))
            QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"),
                                 QMessageBox::Ok);
        ui->label_23->setText(tr("connecting..."));
        ui->label_4->setText(tr("connecting..."));
        if (!open_device_connection(ui->backup_ip_lineEdit->text())) {
            ui->label_23->setText(tr("timed out"));
            ui->label_4->setText(tr("timed out"));
            return;
        }
        ui->label_23->setText(tr("connected"));
        ui->label_4->setText(tr("connected"));
        tcpClient->backup(QString(), QString::fromLatin1(kSpareArchive));
        ui->label_23->setText(tr("start backup"));
        ui->label_6->setText(tr("start backup"));
    }
    delay_ms(1000);

    connect_device();
    tcp_op = 2;
    query_mode = query_mode == 1 ? 2 : 0;
    tcpClient->query(false);
    ui->upgrade_Button->setEnabled(false);
    ui->worktype_comboBox->setEnabled(false);
    delay_ms(200);

    if (upgrade_file_type == 4) {
        if (work_type == 2)
            qDebug() << name;
        if (!mtd_name_matches_device(work_type, name, model_name, soc_version_letter)) {
            bool go_on = false;
            if (!verify) {
                go_on = QMessageBox::warning(
                            this, tr("Warning"),
                            tr("Upgrade file type does not match, whether to continue to Upgrade?"),
                            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton) == QMessageBox::Ok;
            } else {
                QMessageBox::information(this, QStringLiteral("Information"),
                                         tr("Upgrade file type does not match"), QMessageBox::Ok);
            }
            if (!go_on) {
                ui->upgrade_filename_lineEdit->clear();
                ui->upgrade_Button->setEnabled(true);
                ui->worktype_comboBox->setEnabled(true);
                close_connection();
                ui->label_4->setText(tr("disconnect"));
                ui->label_6->setText(tr("disconnect"));
                return;
            }
        }
    }

    QFile firmware(file_name);
    if (!firmware.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(this, tr("Warning"), tr("Open file failed"), QMessageBox::Ok);
        close_connection();
        ui->label_4->setText(tr("disconnect"));
        ui->textEdit->clear();
        return;
    }
    firmware.close();
    const QByteArray md5 = hash_firmware(file_name);
    tcpClient->upgrade(file_name, upgrade_file_type, md5);
    ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(10);
}

void MainWindow::start_upgrade_countdown()
{
    // One count-down at a time: a second 'U' 7 replaces the first instead of adding a timer that never stops.
    delete upgrade_timer;
    upgrade_timer = new QTimer(this);
    upgrade_timer->setInterval(upgrade_file_type == 4 ? 73000 : 20000);
    connect(upgrade_timer, &QTimer::timeout, this, &MainWindow::upgrade_success);
    upgrade_timer->start();
    upgrade_finish_flag = 0;
}

void MainWindow::upgrade_success()
{
    upgrade_timer->stop();
    ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(100);
    QMessageBox::information(this, tr("Information"), tr("Upgrade Success"), QMessageBox::Ok);
    ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(0);
    ui->label_6->setText(tr("disconnect"));
}

void MainWindow::on_query_Button_clicked()
{
    if (rollout_tab->refuseBusy(ui->upgrade_ip_lineEdit->text()))
        return;
    if (connect_flag && tcp_op == 2) {
        qDebug() << "connect_flag == true";
        return;
    }
    if (ui->upgrade_ip_lineEdit->text().isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"), QMessageBox::Ok);
        return;
    }
    if (tcpClient->isOpen()) {
        qDebug() << "已连接";
        return;
    }
    connect_device();
    query_mode = 1;
    tcp_op = 1;
    tcpClient->query(true);
}
