#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QTcpSocket>
#include <QTextCursor>
#include <QTimer>

namespace {
const char* const kArchive = "data.tar.gz";
const char* const kSpareArchive = "data.tar.gz_bak";
// Streaming keeps this much queued on the socket and refills it as it drains, rather than the whole file.
const qint64 kStreamWindow = 1 << 20;
} // namespace

void MainWindow::unpack(char* record)
{
    handle_record(read_record(kUpgradePack, record), true);
}

void MainWindow::unpack_o(char* record)
{
    handle_record(read_record(kUpgradePackO, record), false);
}

void MainWindow::handle_record(const DeviceRecord& record, bool report_close)
{
    switch (record.type) {
    case 'U':
        handle_upgrade_record(record);
        break;
    case 'E':
        ui->label_4->setText(tr("disconnect"));
        ui->label_6->setText(tr("arm upgrade file not found reboot..."));
        close_connection();
        ui->progressBar->reset();
        end_upgrade();
        break;
    case 'Q':
        handle_version_report(record);
        break;
    case 'B':
        handle_backup_record(record, report_close);
        break;
    case 'R':
        handle_restore_record(record);
        break;
    default:
        break;
    }
}

void MainWindow::end_upgrade()
{
    ui->upgrade_Button->setEnabled(true);
    ui->worktype_comboBox->setEnabled(true);
    ui->textEdit->clear();
    ui->upgrade_Button->setFocus(Qt::OtherFocusReason);
    refill_upgrade_type_list();
}

void MainWindow::handle_upgrade_record(const DeviceRecord& record)
{
    upgrading = true;
    switch (record.status) {
    case 0:
        ui->label_6->setText(tr("transmitting..."));
        start_streaming(file_name, true);
        break;
    case 1:
        ui->label_6->setText(tr("board is not enough disk space"));
        close_connection();
        ui->upgrade_Button->setEnabled(true);
        ui->worktype_comboBox->setEnabled(true);
        ui->progressBar->reset();
        break;
    case 3:
        ui->label_6->setText(tr("receive file finish"));
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(70);
        break;
    case 5:
        upgrade_finish_flag = 1;
        ui->label_6->setText(tr("file verify succeed upgradeing..."));
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(85);
        break;
    case 6:
        ui->label_6->setText(tr("file verify fail reboot..."));
        close_connection();
        ui->label_4->setText(tr("disconnect"));
        ui->progressBar->reset();
        end_upgrade();
        break;
    case 7:
        disconnect(tcpClient, &QAbstractSocket::errorOccurred, this, &MainWindow::displayError);
        close_connection();
        ui->label_4->setText(tr("disconnect"));
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(98);
        end_upgrade();
        start_upgrade_countdown();
        break;
    case 8:
        ui->label_6->setText(tr("upgrade fail reboot..."));
        close_connection();
        ui->label_4->setText(tr("disconnect"));
        end_upgrade();
        break;
    default:
        break;
    }
}

void MainWindow::start_streaming(const QString& path, bool show_progress)
{
    delete local_file;
    local_file = new QFile(path, this);
    if (!local_file->open(QIODevice::ReadOnly)) {
        qDebug() << "open file error!";
        return;
    }
    stream_progress = show_progress;
    bytes_sent = 0;
    total_bytes = local_file->size();
    if (show_progress)
        ui->progressBar->setMaximum(int(total_bytes + (total_bytes / 100) * 5));
    continue_streaming();
}

// Writes 4096-byte pieces while the socket's queue is short; called again each time the socket sends bytes.
void MainWindow::continue_streaming()
{
    if (!local_file || !local_file->isOpen())
        return;
    while (bytes_sent < total_bytes && tcpClient->bytesToWrite() < kStreamWindow) {
        out_block = local_file->read(qMin(total_bytes - bytes_sent, qint64(kStreamChunk)));
        if (out_block.isEmpty()) {
            // The file shrank or cannot be read: the camera would wait for bytes that never come.
            qDebug() << "read error while streaming" << local_file->fileName();
            local_file->close();
            close_connection();
            if (stream_progress) {
                ui->label_6->setText(tr("Open file failed"));
                ui->label_4->setText(tr("disconnect"));
                ui->progressBar->reset();
                end_upgrade();
            } else {
                ui->label_23->setText(tr("Open file failed"));
            }
            return;
        }
        tcpClient->write(out_block);
        bytes_sent += out_block.size();
        out_block.clear();
        if (stream_progress) {
            progress_value += 2048;
            ui->progressBar->setValue(int(progress_value));
        }
    }
    if (bytes_sent == total_bytes) {
        if (stream_progress)
            ui->textEdit->setFocus(Qt::OtherFocusReason);
        progress_value = 0;
        total_bytes = 0;
        bytes_sent = 0;
        local_file->close();
    }
}

void MainWindow::handle_version_report(const DeviceRecord& record)
{
    const QString version = QString::fromLatin1(record.name);
    const QString partitions = QString::fromLatin1(record.dataText());
    ui->textEdit->clear();
    ui->textEdit->append(QStringLiteral("VERSION INFO"));
    ui->textEdit->append(version);
    soc_version_letter = soc_version_letter_of(version);
    model_name = model_name_of(version, model_name);
    ui->textEdit->append(QStringLiteral("\nMTD INFO"));
    ui->textEdit->append(QStringLiteral(" Dev\tSize   Erasesize Name"));
    ui->textEdit->append(partitions);

    if (query_mode == 2) {
        ui->textEdit->moveCursor(QTextCursor::Start);
        return;
    }
    if (mode == QLatin1String("Full"))
        parse_partition_table(partitions);
    else
        ui->textEdit->moveCursor(QTextCursor::Start);
    if (query_mode != 0) {
        close_connection();
        ui->label_4->setText(tr("disconnect"));
        ui->label_6->setText(tr("disconnect"));
    }
}

void MainWindow::parse_partition_table(const QString& text)
{
    for (int i = 0; i < partition_count && i < kMaxPartitions; ++i)
        partition_table[i] = PartitionRecord();
    const QVector<PartitionRecord> records = parse_partitions(text);
    partition_count = qint8(records.size());
    for (int i = 0; i < records.size(); ++i)
        partition_table[i] = records.at(i);
    refill_upgrade_type_list();
    for (const PartitionRecord& record : records)
        ui->upgrade_type_comboBox->addItem(record.device + record.name);
    ui->textEdit->moveCursor(QTextCursor::Start);
}

void MainWindow::handle_backup_record(const DeviceRecord& record, bool report_close)
{
    if (!backup_started) {
        backup_file_info.setFile(kArchive);
        if (!backup_file_info.isFile()) {
            qDebug() << "file not exists";
        } else {
            qDebug() << "file exists start backup file";
            QFile::remove(kSpareArchive);
            QFile::copy(kArchive, kSpareArchive);
        }
        backup_started = true;
    }

    switch (record.status) {
    case 1: {
        const QString name = QString::fromLatin1(record.name);
        // The camera names the file; only a plain name in the working directory is acceptable.
        if (!is_plain_file_name(name) || record.length < 0) {
            fail_backup();
            return;
        }
        backup_md5 = QString::fromLatin1(record.dataText());
        backup_name = name;
        backup_size = record.length;
        backup_received = 0;
        delete backup_file;
        backup_file = new QFile(backup_name, this);
        if (!backup_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            qDebug() << "open file error!";
            return;
        }
        ui->label_23->setText(tr("start receive"));
        if (auto_backup_active)
            ui->label_6->setText(tr("start receive"));
        break;
    }
    case 2:
        if (record.length < 0 || record.length > kRecordDataSize) {
            fail_backup();
            return;
        }
        if (!backup_file || !backup_file->isOpen())
            return;
        backup_file->write(record.data.constData(), record.length);
        backup_received += record.length;
        if (backup_received == backup_size) {
            qDebug() << "goto RECV_FINISH";
            finish_archive(report_close);
        }
        break;
    case 3:
        finish_archive(report_close);
        break;
    case 4:
        fail_backup();
        break;
    default:
        break;
    }
}

void MainWindow::finish_archive(bool report_close)
{
    if (!backup_file)
        return;
    backup_file->close();
    const QString md5 = QString::fromLatin1(md5_text_of_file(backup_name));
    qDebug() << "backupfileMD5: " << md5;
    if (md5 != backup_md5) {
        fail_backup();
        return;
    }
    if (!auto_backup_active) {
        QMessageBox::information(this, tr("Information"), tr("Backup Success"), QMessageBox::Ok);
    } else {
        ui->label_4->setText(QStringLiteral("disconnect"));
        ui->label_6->setText(tr("Backup Success"));
    }
    ui->label_21->setText(tr("exist"));
    close_connection();
    if (report_close)
        qDebug() << "tcpClient->close()";
    backup_started = false;
    auto_backup_active = false;
}

void MainWindow::fail_backup()
{
    if (backup_file && backup_file->isOpen())
        backup_file->close();
    ui->label_23->setText(tr("backup failed"));
    if (auto_backup_active)
        ui->label_6->setText(tr("backup failed"));
    close_connection();
    backup_started = false;
    auto_backup_active = false;
    restore_spare_copy();
}

void MainWindow::restore_spare_copy()
{
    QFile spare(kSpareArchive);
    if (!spare.open(QIODevice::ReadWrite))
        return;
    const QByteArray content = spare.readAll();
    spare.close();
    QFile archive(kArchive);
    if (archive.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        archive.write(content);
        archive.close();
        QFile::remove(kSpareArchive);
        qDebug() << "Restore the backup successful";
    }
}

void MainWindow::handle_restore_record(const DeviceRecord& record)
{
    switch (record.status) {
    case 2:
        ui->label_23->setText(tr("board is not enough disk space"));
        close_connection();
        break;
    case 3:
        ui->label_23->setText(tr("transmitting..."));
        start_streaming(kArchive, false);
        break;
    case 4:
        ui->label_23->setText(tr("restoring..."));
        break;
    case 5:
        ui->label_23->setText(tr("Restore failed reboot..."));
        close_connection();
        break;
    case 6:
        close_connection();
        backup_timer = new QTimer(this);
        backup_timer->setInterval(20000);
        connect(backup_timer, &QTimer::timeout, this, &MainWindow::backup_success);
        backup_timer->start();
        break;
    default:
        break;
    }
}
