#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>
#include <QTextCursor>
#include <QTimer>

#include <limits>

#include "devicesession.h"

namespace
{
// The bar's maximum and value are ints: a file of more than about 2 GB is shown in coarser units.
qint64 bar_unit(qint64 maximum)
{
    return maximum / std::numeric_limits<int>::max() + 1;
}
} // namespace

void MainWindow::end_upgrade()
{
    ui->upgrade_Button->setEnabled(true);
    ui->worktype_comboBox->setEnabled(true);
    ui->textEdit->clear();
    ui->upgrade_Button->setFocus(Qt::OtherFocusReason);
    refill_upgrade_type_list();
}

// The session has already closed the connection for every final status.
void MainWindow::handle_upgrade_record(int status)
{
    upgrading = true;
    switch (status) {
    case 0:
        ui->label_6->setText(tr("transmitting..."));
        break;
    case 1:
        ui->label_6->setText(tr("board is not enough disk space"));
        connect_flag = false;
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
        upgrade_finish_flag = 0;
        ui->label_6->setText(tr("file verify fail reboot..."));
        connect_flag = false;
        ui->label_4->setText(tr("disconnect"));
        ui->progressBar->reset();
        end_upgrade();
        break;
    case 7:
        disconnect(tcpClient, &DeviceSession::socketError, this, &MainWindow::displayError);
        connect_flag = false;
        ui->label_4->setText(tr("disconnect"));
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(98);
        end_upgrade();
        start_upgrade_countdown();
        break;
    case 8:
        upgrade_finish_flag = 0;
        ui->label_6->setText(tr("upgrade fail reboot..."));
        connect_flag = false;
        ui->label_4->setText(tr("disconnect"));
        end_upgrade();
        break;
    default:
        break;
    }
}

void MainWindow::handle_error_record()
{
    upgrade_finish_flag = 0;
    ui->label_4->setText(tr("disconnect"));
    ui->label_6->setText(tr("arm upgrade file not found reboot..."));
    connect_flag = false;
    ui->progressBar->reset();
    end_upgrade();
}

void MainWindow::show_stream_progress(qint64 sent, qint64 total)
{
    if (tcp_op == 4)
        return;
    // The camera counts 2048 for every piece of 4096 bytes, so the bar ends the transfer near half-way.
    total_bytes = total;
    progress_value = (sent + kStreamChunk - 1) / kStreamChunk * 2048;
    const qint64 maximum = total + (total / 100) * 5;
    const qint64 unit = bar_unit(maximum);
    ui->progressBar->setMaximum(int(maximum / unit));
    ui->progressBar->setValue(int(qMin(progress_value / unit, qint64(std::numeric_limits<int>::max()))));
    if (sent == total) {
        ui->textEdit->setFocus(Qt::OtherFocusReason);
        progress_value = 0;
        total_bytes = 0;
    }
}

void MainWindow::handle_stream_failure()
{
    connect_flag = false;
    if (tcp_op == 4) {
        ui->label_23->setText(tr("Open file failed"));
        return;
    }
    ui->label_6->setText(tr("Open file failed"));
    ui->label_4->setText(tr("disconnect"));
    ui->progressBar->reset();
    end_upgrade();
}

void MainWindow::append_camera_text(const QString& text)
{
    // Shown as it is: markup from a camera must neither render nor load anything.
    QTextCursor cursor(ui->textEdit->document());
    cursor.movePosition(QTextCursor::End);
    if (!ui->textEdit->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(text);
}

void MainWindow::handle_version_report(const VersionReport& report)
{
    ui->textEdit->clear();
    append_camera_text(QStringLiteral("VERSION INFO"));
    append_camera_text(report.version);
    soc_version_letter = soc_version_letter_of(report.version);
    model_name = model_name_of(report.version, model_name);
    append_camera_text(QStringLiteral("\nMTD INFO"));
    append_camera_text(QStringLiteral(" Dev\tSize   Erasesize Name"));
    append_camera_text(report.partitionText);

    if (query_mode == 2) {
        ui->textEdit->moveCursor(QTextCursor::Start);
        return;
    }
    if (mode == QLatin1String("Full"))
        parse_partition_table(report.partitions);
    else
        ui->textEdit->moveCursor(QTextCursor::Start);
    if (query_mode != 0) {
        connect_flag = false;
        ui->label_4->setText(tr("disconnect"));
        ui->label_6->setText(tr("disconnect"));
    }
}

void MainWindow::parse_partition_table(const QVector<PartitionRecord>& records)
{
    for (int i = 0; i < partition_count && i < kMaxPartitions; ++i)
        partition_table[i] = PartitionRecord();
    partition_count = qint8(records.size());
    for (int i = 0; i < records.size(); ++i)
        partition_table[i] = records.at(i);
    refill_upgrade_type_list();
    for (const PartitionRecord& record : records)
        ui->upgrade_type_comboBox->addItem(record.device + record.name);
    ui->textEdit->moveCursor(QTextCursor::Start);
}

void MainWindow::handle_backup_header()
{
    ui->label_23->setText(tr("start receive"));
    if (auto_backup_active)
        ui->label_6->setText(tr("start receive"));
}

void MainWindow::handle_archive_saved()
{
    // The session closed the connection before reporting: a camera cannot keep sending while the box is open.
    connect_flag = false;
    backup_started = false;
    const bool automatic = auto_backup_active;
    auto_backup_active = false;
    if (work_type == 1)
        qDebug() << "tcpClient->close()";
    if (!automatic) {
        QMessageBox::information(this, tr("Information"), tr("Backup Success"), QMessageBox::Ok);
    } else {
        ui->label_4->setText(QStringLiteral("disconnect"));
        ui->label_6->setText(tr("Backup Success"));
    }
    ui->label_21->setText(tr("exist"));
}

void MainWindow::fail_backup()
{
    ui->label_23->setText(tr("backup failed"));
    if (auto_backup_active)
        ui->label_6->setText(tr("backup failed"));
    connect_flag = false;
    backup_started = false;
    auto_backup_active = false;
}

void MainWindow::handle_restore_record(int status)
{
    switch (status) {
    case 2:
        ui->label_23->setText(tr("board is not enough disk space"));
        connect_flag = false;
        break;
    case 3:
        ui->label_23->setText(tr("transmitting..."));
        break;
    case 4:
        ui->label_23->setText(tr("restoring..."));
        break;
    case 5:
        ui->label_23->setText(tr("Restore failed reboot..."));
        connect_flag = false;
        break;
    case 6:
        connect_flag = false;
        // One count-down per restore: an earlier one still running is replaced, not left repeating.
        delete backup_timer;
        backup_timer = new QTimer(this);
        backup_timer->setInterval(20000);
        connect(backup_timer, &QTimer::timeout, this, &MainWindow::backup_success);
        backup_timer->start();
        break;
    default:
        break;
    }
}
