#include "mainwindow.h"
#include "statuscolours.h"
#include "ui_mainwindow.h"
#include "upgradetypes.h"

#include <QDebug>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "cameraupgrade.h"
#include "devicesession.h"
#include "rollout/rollouttab.h"
#include "versioncheck.h"

void MainWindow::init_tcp_client()
{
    total_bytes = 0;
    progress_value = 0;
    upgrade_file_type = 1;
    tcpClient = new DeviceSession(this);
    connect(tcpClient, &DeviceSession::socketError, this, &MainWindow::displayError);
    connect(tcpClient, &DeviceSession::connected, this, &MainWindow::device_connected);
    connect(tcpClient, &DeviceSession::connectFailed, this, &MainWindow::device_connect_failed);
    connect(tcpClient, &DeviceSession::finished, this,
            [this](DeviceSession::Operation operation, const Verdict& verdict) {
                device_operation_finished(int(operation), verdict);
            });
    connect(tcpClient, &DeviceSession::versionReport, this, &MainWindow::handle_version_report);
    connect(tcpClient, &DeviceSession::backupHeader, this, &MainWindow::handle_backup_header);
    connect(tcpClient, &DeviceSession::archiveSaved, this, &MainWindow::handle_archive_saved);
    connect(tcpClient, &DeviceSession::restoreStep, this, &MainWindow::handle_restore_step);
    connect(tcpClient, &DeviceSession::streamProgress, this, &MainWindow::show_stream_progress);
}

// Starts connecting; the question follows when the connection is up (device_connected()).
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
    tcpClient->setWorkType(work_type);
    tcpClient->connectToCamera(ui->upgrade_ip_lineEdit->text());
    return true;
}

void MainWindow::show_upgrade_tab_connected()
{
    connect_flag = true;
    ui->label_4->setText(tr("connected"));
    ui->label_6->setText(tr("waiting upgrade start"));
    ui->query_Button->setEnabled(true);
    // An upgrade keeps both until it ends.
    if (!camera_upgrade) {
        ui->upgrade_Button->setEnabled(true);
        ui->worktype_comboBox->setEnabled(true);
    }
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
    connect_flag = false;
    ui->label_4->setText(tr("disconnect"));
    ui->upgrade_Button->setEnabled(true);
    ui->worktype_comboBox->setEnabled(true);
    ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(98);
    ui->textEdit->clear();
    ui->upgrade_Button->setFocus(Qt::OtherFocusReason);
    refill_upgrade_type_list();
    start_upgrade_countdown(camera_upgrade ? camera_upgrade->plan().host : QString());
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

// Reads the form and hands the upgrade to the core: the name checks, the automatic backup, the version
// question and the check against this camera's answer all happen there, each on the camera's own facts.
void MainWindow::on_upgrade_Button_clicked()
{
    if (camera_upgrade || rollout_tab->refuseBusy(ui->upgrade_ip_lineEdit->text()))
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

    clear_failure_marks();
    drop_version_check();
    CameraUpgrade::Plan plan;
    plan.host = ui->upgrade_ip_lineEdit->text();
    plan.workType = work_type;
    plan.image = FirmwareImage(file_name, upgrade_file_type);
    plan.askOnMismatch = !verify;
    plan.knownPartitions = known_partitions();
    if (auto_backup) {
        plan.backupTarget = QString::fromLatin1(kArchive);
        plan.spareCopy = QString::fromLatin1(kSpareArchive);
    }
    // Each upgrade starts clean: an earlier one may have ended while the camera was flashing.
    upgrade_finish_flag = 0;
    tcpClient->setIdleTimeout(CameraUpgrade::DefaultIdleTimeoutMs);
    camera_upgrade = new CameraUpgrade(plan, tcpClient, this);
    connect(camera_upgrade, &CameraUpgrade::stepChanged, this, &MainWindow::show_upgrade_step);
    connect(camera_upgrade, &CameraUpgrade::hashProgress, this, [this](qint64 done, qint64 total) {
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(total > 0 ? int(done * 100 / total) : 100);
    });
    connect(camera_upgrade, &CameraUpgrade::mismatchFound, this, &MainWindow::ask_about_mismatch);
    connect(camera_upgrade, &CameraUpgrade::finished, this, &MainWindow::show_upgrade_verdict);
    // One upgrade at a time, and the record layout stays until it ends.
    ui->upgrade_Button->setEnabled(false);
    ui->worktype_comboBox->setEnabled(false);
    camera_upgrade->start();
}

void MainWindow::show_upgrade_step(UpgradeStep step)
{
    switch (step) {
    case UpgradeStep::Checking:
        break;
    case UpgradeStep::Hashing:
        ui->label_6->setText(tr("checking file..."));
        break;
    case UpgradeStep::BackupConnecting:
        auto_backup_active = true;
        ui->backup_ip_lineEdit->setText(ui->upgrade_ip_lineEdit->text());
        tcp_op = 3;
        ui->label_23->setText(tr("connecting..."));
        ui->label_4->setText(tr("connecting..."));
        break;
    case UpgradeStep::BackingUp:
        connect_flag = true;
        ui->label_23->setText(tr("connected"));
        ui->label_4->setText(tr("connected"));
        ui->label_23->setText(tr("start backup"));
        ui->label_6->setText(tr("start backup"));
        break;
    case UpgradeStep::Connecting:
        connect_flag = false;
        progress_value = 0;
        tcp_op = 2;
        ui->label_4->setText(tr("connecting..."));
        ui->query_Button->setEnabled(false);
        break;
    case UpgradeStep::Querying:
        show_upgrade_tab_connected();
        query_mode = query_mode == 1 ? 2 : 0;
        break;
    case UpgradeStep::Requesting:
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(10);
        break;
    case UpgradeStep::Uploading:
        upgrading = true;
        ui->label_6->setText(tr("transmitting..."));
        break;
    case UpgradeStep::Verifying:
        upgrading = true;
        ui->label_6->setText(tr("receive file finish"));
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(70);
        break;
    case UpgradeStep::Flashing:
        upgrading = true;
        upgrade_finish_flag = 1;
        ui->label_6->setText(tr("file verify succeed upgradeing..."));
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(85);
        break;
    }
}

// The file name does not suit this camera's own version report and verify is off: the operator decides while
// the connection waits.
void MainWindow::ask_about_mismatch()
{
    const QPointer<CameraUpgrade> upgrade = camera_upgrade;
    if (work_type == 2)
        qDebug() << upgrade->plan().image.name;
    const bool go_on =
        QMessageBox::warning(this, tr("Warning"),
                             tr("Upgrade file type does not match, whether to continue to Upgrade?"),
                             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton) == QMessageBox::Ok;
    // The camera may have gone while the box was open; its verdict has then been shown.
    if (!upgrade || upgrade != camera_upgrade)
        return;
    if (go_on)
        upgrade->proceed();
    else
        upgrade->decline();
}

// Successes and refusals before the first connection keep the boxes they had; every failure the camera or the
// connection causes also stays in its label in the error colour.
void MainWindow::show_upgrade_verdict(const Verdict& verdict, UpgradeStep step)
{
    const QString host = camera_upgrade->plan().host;
    camera_upgrade->deleteLater();
    camera_upgrade = nullptr;
    // Every end of an upgrade, whatever it was, lets the language change again.
    upgrading = false;
    ui->upgrade_Button->setEnabled(true);
    ui->worktype_comboBox->setEnabled(true);
    if (verdict.outcome == Outcome::Done) {
        connect_flag = false;
        ui->label_4->setText(tr("disconnect"));
        ui->progressBar->setMaximum(100);
        ui->progressBar->setValue(98);
        end_upgrade();
        start_upgrade_countdown(host);
        return;
    }
    // Outcome::Flashing: displayError has seen the camera hang up while flashing, and counts down.
    if (verdict.ok())
        return;
    upgrade_finish_flag = 0;
    connect_flag = false;
    const QString text = verdict_text(verdict);
    if (step == UpgradeStep::BackupConnecting || step == UpgradeStep::BackingUp) {
        // Not one byte of firmware has left: no upgrade without the promised backup.
        auto_backup_active = false;
        const bool unreached =
            verdict.failure == Failure::ConnectTimedOut || verdict.failure == Failure::ConnectFailed;
        if (unreached)
            mark_failed(text, {ui->label_4});
        else
            ui->label_4->setText(tr("disconnect"));
        mark_failed(tr("backup failed"), {ui->label_23, ui->label_6});
        QMessageBox::warning(this, tr("Warning"), tr("Backup failed, the upgrade was not started"),
                             QMessageBox::Ok);
        return;
    }
    switch (verdict.failure) {
    case Failure::NameTooLong:
    case Failure::RefusedType:
        QMessageBox::warning(this, tr("Warning"), text, QMessageBox::Ok);
        ui->upgrade_filename_lineEdit->clear();
        break;
    case Failure::BadAddress:
        QMessageBox::warning(this, tr("Warning"), text, QMessageBox::Ok);
        break;
    case Failure::FileUnreadable:
        ui->label_4->setText(tr("disconnect"));
        if (step < UpgradeStep::Uploading) {
            QMessageBox::warning(this, tr("Warning"), text, QMessageBox::Ok);
            ui->textEdit->clear();
        } else {
            ui->progressBar->reset();
            end_upgrade();
            show_failure(text, {ui->label_6});
        }
        break;
    case Failure::RefusedModel:
        // This title is not translated.
        QMessageBox::information(this, QStringLiteral("Information"), text, QMessageBox::Ok);
        abort_upgrade();
        break;
    case Failure::Declined:
        abort_upgrade();
        break;
    case Failure::DiskFull:
        // The camera keeps the connection, the tool does not: "connected" would be a lie.
        ui->label_4->setText(tr("disconnect"));
        ui->progressBar->reset();
        show_failure(text, {ui->label_6});
        break;
    case Failure::VerifyFailed:
    case Failure::ArmMissing:
        ui->label_4->setText(tr("disconnect"));
        ui->progressBar->reset();
        end_upgrade();
        show_failure(text, {ui->label_6});
        break;
    case Failure::Stalled:
        ui->label_6->setText(text);
        ui->label_4->setText(tr("disconnect"));
        ui->progressBar->reset();
        end_upgrade();
        break;
    case Failure::ConnectTimedOut:
    case Failure::ConnectFailed:
        ui->query_Button->setEnabled(true);
        show_failure(text, {ui->label_4});
        break;
    case Failure::NoAnswer:
    case Failure::TimedOut:
        // Connected, then silence: the progress text would still claim to wait or transmit.
        ui->query_Button->setEnabled(true);
        show_failure(text, {ui->label_4, ui->label_6});
        break;
    case Failure::Dropped: // displayError has shown the broken connection
        show_failure(text, {ui->label_4, ui->label_6});
        break;
    case Failure::Cancelled: // another conversation took the connection over
        break;
    case Failure::UpgradeFailed:
    case Failure::None:
    case Failure::NotConnected:
    case Failure::UnexpectedStatus:
    case Failure::BackupFailed:
    case Failure::ArchiveRefused:
    case Failure::ArchiveBroken:
    case Failure::ArchiveMismatch:
    case Failure::CannotWrite:
    case Failure::RestoreFailed:
    case Failure::NotBack:
    case Failure::Interrupted:
        ui->label_4->setText(tr("disconnect"));
        end_upgrade();
        show_failure(text, {ui->label_6});
        break;
    }
}

// The operator or verify declined an image that does not suit the camera.
void MainWindow::abort_upgrade()
{
    ui->upgrade_filename_lineEdit->clear();
    connect_flag = false;
    ui->label_4->setText(tr("disconnect"));
    ui->label_6->setText(tr("disconnect"));
}

// Before another conversation takes the connection over.
void MainWindow::cancel_upgrade()
{
    if (camera_upgrade)
        camera_upgrade->cancel();
}

void MainWindow::end_upgrade()
{
    ui->upgrade_Button->setEnabled(true);
    ui->worktype_comboBox->setEnabled(true);
    ui->textEdit->clear();
    ui->upgrade_Button->setFocus(Qt::OtherFocusReason);
    refill_upgrade_type_list();
}

void MainWindow::start_upgrade_countdown(const QString& host)
{
    // One count-down at a time: a second end replaces the first instead of adding a timer that never stops.
    delete upgrade_timer;
    upgrade_timer = new QTimer(this);
    upgrade_timer->setInterval(reboot_wait_ms(upgrade_file_type));
    connect(upgrade_timer, &QTimer::timeout, this, &MainWindow::upgrade_success);
    upgrade_timer->start();
    upgrade_finish_flag = 0;
    drop_version_check();
    if (host.isEmpty())
        return;
    // Asked when the count-down ends, in the record layout the upgrade used.
    version_check = new VersionCheck(host, work_type, this);
    connect(version_check, &VersionCheck::finished, this, &MainWindow::show_version_after_reboot);
}

void MainWindow::upgrade_success()
{
    upgrade_timer->stop();
    // Answered whenever the camera is back, also while the box below waits for the operator.
    if (version_check)
        version_check->start();
    ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(100);
    QMessageBox::information(this, tr("Information"), tr("Upgrade Success"), QMessageBox::Ok);
    ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(0);
    ui->label_6->setText(tr("disconnect"));
}

// Nobody has to press Query to learn what the camera runs now.
void MainWindow::show_version_after_reboot(const Verdict& verdict, const VersionReport& report)
{
    version_check->deleteLater();
    version_check = nullptr;
    if (verdict.ok())
        append_camera_text(tr("Version now: %1").arg(report.version));
    else
        append_camera_text(tr("The camera did not answer after the reboot"), status_colours::error());
}

// A question still pending would write into the log pane the next query or upgrade uses.
void MainWindow::drop_version_check()
{
    delete version_check;
    version_check = nullptr;
}

void MainWindow::on_query_Button_clicked()
{
    if (rollout_tab->refuseBusy(ui->upgrade_ip_lineEdit->text()))
        return;
    if (camera_upgrade || (connect_flag && tcp_op == 2)) {
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
    clear_failure_marks();
    drop_version_check();
    query_mode = 1;
    tcp_op = 1;
    tcpClient->setIdleTimeout(CameraUpgrade::DefaultQueryTimeoutMs);
    connect_device();
}
