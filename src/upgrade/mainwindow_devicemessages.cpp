#include "mainwindow.h"
#include "statuscolours.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>
#include <QTextCharFormat>
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

// What the camera says on tcpClient, whoever started the conversation. An upgrade's own course and verdict
// come from its CameraUpgrade (mainwindow_upgrade.cpp).

void MainWindow::device_connected()
{
    connect_flag = true;
    if (camera_upgrade)
        return;
    const QString archive = QString::fromLatin1(kArchive);
    switch (tcp_op) {
    case 1:
        show_upgrade_tab_connected();
        tcpClient->query(true);
        break;
    case 3:
        ui->label_23->setText(tr("connected"));
        tcpClient->backup(QString(), QString::fromLatin1(kSpareArchive));
        ui->label_23->setText(tr("start backup"));
        break;
    case 4: {
        ui->label_23->setText(tr("connected"));
        const QByteArray md5 = md5_text_of_file(archive);
        qDebug() << md5;
        tcpClient->restore(archive, md5);
        break;
    }
    default:
        break;
    }
}

void MainWindow::device_connect_failed()
{
    connect_flag = false;
    if (camera_upgrade)
        return;
    if (tcp_op == 1) {
        ui->query_Button->setEnabled(true);
        show_failure(tr("timed out"), {ui->label_4});
    } else {
        show_failure(tr("timed out"), {ui->label_23});
    }
}

// The Query, Backup and Restore buttons' conversations; an upgrade's end in its own verdict
// (show_upgrade_verdict).
void MainWindow::device_operation_finished(int operation, const Verdict& verdict)
{
    if (camera_upgrade)
        return;
    switch (DeviceSession::Operation(operation)) {
    case DeviceSession::Operation::Query:
        if (!verdict.ok()) {
            connect_flag = false;
            show_failure(verdict_text(verdict), {ui->label_4, ui->label_6});
        }
        break;
    case DeviceSession::Operation::Backup:
        // The received archive is dropped; the one on disk stays as it was.
        if (!verdict.ok()) {
            connect_flag = false;
            backup_started = false;
            show_failure(verdict_text(verdict), {ui->label_23});
        }
        break;
    case DeviceSession::Operation::Restore:
        connect_flag = false;
        if (verdict.ok())
            start_restore_countdown();
        else
            show_failure(verdict_text(verdict), {ui->label_23});
        break;
    case DeviceSession::Operation::Upgrade:
    case DeviceSession::Operation::None:
        break;
    }
}

// A failure stays in its labels, in the error colour, until the next operation starts.
void MainWindow::mark_failed(const QString& text, std::initializer_list<QLabel*> labels)
{
    for (QLabel* label : labels) {
        label->setText(text);
        status_colours::apply(label, status_colours::Kind::Error);
    }
}

// The operator may be looking at another window: a box says it too.
void MainWindow::show_failure(const QString& text, std::initializer_list<QLabel*> labels)
{
    mark_failed(text, labels);
    QMessageBox::warning(this, tr("Warning"), text, QMessageBox::Ok);
}

// The next operation starts: the last one's failure is history.
void MainWindow::clear_failure_marks()
{
    for (QLabel* label : {ui->label_4, ui->label_6, ui->label_23})
        status_colours::apply(label, status_colours::Kind::Normal);
}

// The one table from a verdict to the window's words.
QString MainWindow::verdict_text(const Verdict& verdict) const
{
    switch (verdict.failure) {
    case Failure::None:
        return QString();
    case Failure::ConnectTimedOut:
    case Failure::ConnectFailed:
    case Failure::TimedOut:
    case Failure::NoAnswer:
        return tr("timed out");
    case Failure::Stalled:
        return tr("stalled: no progress for %1 s").arg(verdict.detail);
    case Failure::Dropped:
    case Failure::NotConnected:
    case Failure::UnexpectedStatus:
    case Failure::NotBack:
    case Failure::Cancelled:
    case Failure::Interrupted:
        return tr("disconnect");
    case Failure::BadAddress:
        return tr("Network information fill in error");
    case Failure::NameTooLong:
    case Failure::RefusedType:
    case Failure::RefusedModel:
    case Failure::Declined:
        return tr("Upgrade file type does not match");
    case Failure::FileUnreadable:
        return tr("Open file failed");
    case Failure::DiskFull:
        return tr("board is not enough disk space");
    case Failure::VerifyFailed:
        return tr("file verify fail reboot...");
    case Failure::UpgradeFailed:
        return tr("upgrade fail reboot...");
    case Failure::ArmMissing:
        return tr("arm upgrade file not found reboot...");
    case Failure::BackupFailed:
    case Failure::ArchiveRefused:
    case Failure::ArchiveBroken:
    case Failure::ArchiveMismatch:
    case Failure::CannotWrite:
        return tr("backup failed");
    case Failure::RestoreFailed:
        return tr("Restore failed reboot...");
    }
    return QString();
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

void MainWindow::append_camera_text(const QString& text, const QColor& colour)
{
    // Shown as it is: markup from a camera must neither render nor load anything.
    QTextCursor cursor(ui->textEdit->document());
    cursor.movePosition(QTextCursor::End);
    if (!ui->textEdit->document()->isEmpty())
        cursor.insertBlock();
    QTextCharFormat format;
    if (colour.isValid())
        format.setForeground(colour);
    cursor.insertText(text, format);
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

void MainWindow::handle_restore_step(RestoreStep step)
{
    switch (step) {
    case RestoreStep::Uploading:
        ui->label_23->setText(tr("transmitting..."));
        break;
    case RestoreStep::Restoring:
        ui->label_23->setText(tr("restoring..."));
        break;
    }
}
