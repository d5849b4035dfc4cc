#include "rollouttab.h"
#include "ui_rollouttab.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <utility>

#include "firmwareimage.h"
#include "rolloutreport.h"

namespace
{
// How long a row's change may wait for the next redraw of the table.
constexpr int kRowRedrawMs = 100;
enum Column { ColumnAddress, ColumnDeviceId, ColumnState, ColumnProgress, ColumnVersion, ColumnReason };
// Columns of the window's device list.
constexpr int kDeviceIp = 1;
constexpr int kDeviceId = 6;

bool listed(const QTableWidget* table, const QString& address)
{
    for (int row = 0; row < table->rowCount(); ++row)
        if (table->item(row, ColumnAddress)->text() == address)
            return true;
    return false;
}
} // namespace

RolloutTab::RolloutTab(QMainWindow* window)
    : QWidget(window), ui(new Ui::RolloutTab), m_window(window),
      m_tabs(window->findChild<QTabWidget*>(QStringLiteral("tabWidget"))),
      m_devices(window->findChild<QTreeWidget*>(QStringLiteral("treeWidget"))),
      m_workType(window->findChild<QComboBox*>(QStringLiteral("worktype_comboBox"))),
      m_upgradeAddress(window->findChild<QLineEdit*>(QStringLiteral("upgrade_ip_lineEdit"))),
      m_upgradeButton(window->findChild<QPushButton*>(QStringLiteral("upgrade_Button"))),
      m_addAction(new QAction(this))
{
    ui->setupUi(this);
    m_tabs->addTab(this, QString());
    static const int widths[] = {120, 250, 100, 110, 380};
    for (int column = 0; column < 5; ++column)
        ui->rollout_tableWidget->setColumnWidth(column, widths[column]);
    connect(m_addAction, &QAction::triggered, this, &RolloutTab::addSelectedDevices);
    m_rowTimer.setSingleShot(true);
    m_rowTimer.setInterval(kRowRedrawMs);
    connect(&m_rowTimer, &QTimer::timeout, this, &RolloutTab::showQueuedRows);
    retranslate();
}

RolloutTab::~RolloutTab()
{
    delete ui;
}

void RolloutTab::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

bool RolloutTab::refuseBusy(const QString& address)
{
    const QString host = address.trimmed();
    if (!m_rollout || !m_rollout->isBusy(host))
        return false;
    warn(tr("%1 is being upgraded by the rollout; wait until it is done.").arg(host));
    return true;
}

void RolloutTab::retranslate()
{
    ui->retranslateUi(this);
    m_tabs->setTabText(m_tabs->indexOf(this), tr("Rollout"));
    m_addAction->setText(tr("Add to rollout"));
    fillKinds();
    for (int row = 0; row < ui->rollout_tableWidget->rowCount(); ++row)
        showCamera(row);
    showSummary();
}

void RolloutTab::fillKinds()
{
    QComboBox* kinds = ui->rollout_kind_comboBox;
    const int current = qMax(0, kinds->currentIndex());
    kinds->clear();
    kinds->addItem(tr("SOC"), 1);
    kinds->addItem(tr("ARM"), 2);
    kinds->addItem(tr("SOC&ARM"), 3);
    kinds->addItem(tr("MTD"), 4);
    for (int partition = 0; partition < kMaxPartitions; ++partition)
        kinds->addItem(tr("Partition %1").arg(partition), 5 + partition);
    kinds->setCurrentIndex(current);
}

void RolloutTab::addSelectedDevices()
{
    QList<QTreeWidgetItem*> rows = m_devices->selectedItems();
    if (rows.isEmpty() && m_devices->currentItem())
        rows << m_devices->currentItem();
    if (m_rollout && m_rollout->isRunning()) {
        warn(tr("Cameras can be added when the running rollout is done."));
        return;
    }
    // In the list's order on screen, so the first selected row is the canary.
    std::sort(rows.begin(), rows.end(), [this](QTreeWidgetItem* left, QTreeWidgetItem* right) {
        return m_devices->indexOfTopLevelItem(left) < m_devices->indexOfTopLevelItem(right);
    });
    for (QTreeWidgetItem* row : qAsConst(rows))
        addCamera(row->text(kDeviceIp), row->text(kDeviceId));
    m_tabs->setCurrentWidget(this);
}

void RolloutTab::addCamera(const QString& address, const QString& deviceId)
{
    QTableWidget* table = ui->rollout_tableWidget;
    if (address.isEmpty() || (m_rollout && m_rollout->isRunning()) || listed(table, address))
        return;
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, ColumnAddress, new QTableWidgetItem(address));
    table->setItem(row, ColumnDeviceId, new QTableWidgetItem(deviceId));
    for (int column : {ColumnState, ColumnVersion, ColumnReason})
        table->setItem(row, column, new QTableWidgetItem);
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setValue(0);
    table->setCellWidget(row, ColumnProgress, bar);
    table->item(row, ColumnState)->setText(stateText(Rollout::State::Waiting));
}

void RolloutTab::on_rollout_open_Button_clicked()
{
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Select the firmware file"), ui->rollout_file_lineEdit->text(),
                                     tr("Firmware files (*.pkg *.bin *.img);;All files (*)"));
    if (!path.isEmpty())
        ui->rollout_file_lineEdit->setText(path);
}

void RolloutTab::on_rollout_remove_Button_clicked()
{
    if (m_rollout && m_rollout->isRunning())
        return;
    QTableWidget* table = ui->rollout_tableWidget;
    QList<int> rows;
    for (const QModelIndex& index : table->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : qAsConst(rows))
        table->removeRow(row);
    // The rows no longer match the last rollout's cameras.
    delete m_rollout;
    m_rollout = nullptr;
    for (int row = 0; row < table->rowCount(); ++row)
        showCamera(row);
    showSummary();
    ui->rollout_export_Button->setEnabled(false);
    ui->rollout_retry_Button->setEnabled(false);
}

void RolloutTab::on_rollout_start_Button_clicked()
{
    if (m_rollout && m_rollout->isRunning())
        return;
    const int upgraded = upgradedRows();
    if (upgraded > 0 &&
        QMessageBox::question(m_window, tr("Warning"),
                              tr("%1 cameras of this table are upgraded already. Upgrade them again? \"Retry "
                                 "failed and skipped\" upgrades only the others.")
                                  .arg(upgraded),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    startJob(RolloutJob::Upgrade);
}

void RolloutTab::on_rollout_retry_Button_clicked()
{
    if (m_rollout && !m_rollout->isRunning())
        startJob(m_rollout->options().job, true);
}

void RolloutTab::on_rollout_check_Button_clicked()
{
    startJob(RolloutJob::Query);
}

void RolloutTab::on_rollout_backup_all_Button_clicked()
{
    startJob(RolloutJob::Backup);
}

int RolloutTab::upgradedRows() const
{
    if (!m_rollout || m_rollout->isRunning() || m_rollout->options().job != RolloutJob::Upgrade)
        return 0;
    using State = Rollout::State;
    return m_rollout->count(State::Confirmed) + m_rollout->count(State::Unchanged) +
           m_rollout->count(State::Succeeded) + m_rollout->count(State::DoneBefore);
}

void RolloutTab::startJob(RolloutJob job, bool retry)
{
    if (m_rollout && m_rollout->isRunning())
        return;
    QTableWidget* table = ui->rollout_tableWidget;
    const QString file = ui->rollout_file_lineEdit->text().trimmed();
    if (table->rowCount() == 0) {
        warn(tr("Add cameras from the device list first (Add to rollout)."));
        return;
    }
    const bool upgrade = job == RolloutJob::Upgrade;
    if (upgrade && file.isEmpty()) {
        warn(tr("Choose the firmware file."));
        return;
    }
    const QString upgrading = m_upgradeAddress->text().trimmed();
    if (!m_upgradeButton->isEnabled() && listed(table, upgrading)) {
        warn(tr("The Upgrade tab is upgrading %1; wait until it is done or remove it from the rollout.")
                 .arg(upgrading));
        return;
    }

    auto* rollout = new Rollout(this);
    for (int row = 0; row < table->rowCount(); ++row)
        rollout->addCamera(table->item(row, ColumnAddress)->text(), table->item(row, ColumnDeviceId)->text());
    const int workType = m_workType->currentIndex() == 1 ? 2 : 1;
    rollout->setWorkType(workType);
    if (upgrade) {
        const Verdict firmware =
            rollout->setFirmware(file, ui->rollout_kind_comboBox->currentData().toInt(), workType);
        if (!firmware.ok()) {
            delete rollout;
            if (firmware.failure == Failure::RefusedType)
                warn(tr("The file name does not match the type."));
            else if (firmware.failure == Failure::FileUnreadable)
                warn(tr("Cannot read the firmware file %1.").arg(file));
            else
                warn(tr("Cannot use the firmware file: %1")
                         .arg(failureWords(firmware.failure, firmware.detail)));
            return;
        }
    }
    RolloutOptions options;
    options.job = job;
    options.parallel = ui->rollout_parallel_spinBox->value();
    options.canary = ui->rollout_canary_spinBox->value();
    options.maxFailures = ui->rollout_max_failures_spinBox->value();
    options.backupFirst = ui->rollout_backup_checkBox->isChecked();
    options.confirm = ui->rollout_confirm_checkBox->isChecked();
    options.confirmTimeoutMs = ui->rollout_timeout_spinBox->value() * 1000;
    rollout->setOptions(options);
    if (retry && m_rollout)
        rollout->resumeFrom(m_rollout->cameras());

    delete m_rollout;
    m_rollout = rollout;
    m_queuedRows.clear();
    connect(rollout, &Rollout::cameraChanged, this, &RolloutTab::queueRow);
    connect(rollout, &Rollout::cameraProgress, this, &RolloutTab::queueRow);
    connect(rollout, &Rollout::finished, this, [this] {
        showQueuedRows();
        setRunning(false);
        showSummary();
    });
    for (int row = 0; row < table->rowCount(); ++row)
        showCamera(row);
    setRunning(true);
    rollout->start();
    showSummary();
}

void RolloutTab::on_rollout_stop_Button_clicked()
{
    if (!m_rollout || !m_rollout->isRunning())
        return;
    ui->rollout_stop_Button->setEnabled(false);
    m_rollout->interrupt();
    showSummary();
}

bool RolloutTab::confirmClose()
{
    if (!m_rollout || !m_rollout->isRunning())
        return true;
    return QMessageBox::warning(m_window, tr("Warning"),
                                tr("The Rollout tab is still at work. Closing the window interrupts it: "
                                   "transfers under way are cut off and cameras not yet started are "
                                   "skipped. Close anyway?"),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void RolloutTab::abort()
{
    if (m_rollout)
        m_rollout->abort();
}

void RolloutTab::on_rollout_export_Button_clicked()
{
    if (!m_rollout)
        return;
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export report"), QStringLiteral("rollout-report.csv"), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!save_report(path, rollout_report(*m_rollout), &error))
        warn(tr("The report could not be written: %1").arg(error));
}

void RolloutTab::setRunning(bool running)
{
    for (QWidget* widget : std::initializer_list<QWidget*>{
             ui->rollout_start_Button, ui->rollout_remove_Button, ui->rollout_check_Button,
             ui->rollout_backup_all_Button, ui->rollout_file_lineEdit, ui->rollout_open_Button,
             ui->rollout_kind_comboBox, ui->rollout_parallel_spinBox, ui->rollout_canary_spinBox,
             ui->rollout_max_failures_spinBox, ui->rollout_backup_checkBox, ui->rollout_confirm_checkBox,
             ui->rollout_timeout_spinBox})
        widget->setEnabled(!running);
    ui->rollout_stop_Button->setEnabled(running);
    ui->rollout_export_Button->setEnabled(true);
    using State = Rollout::State;
    ui->rollout_retry_Button->setEnabled(
        !running && m_rollout && m_rollout->count(State::Failed) + m_rollout->count(State::Skipped) > 0);
}

void RolloutTab::queueRow(int row)
{
    m_queuedRows.insert(row);
    if (!m_rowTimer.isActive())
        m_rowTimer.start();
}

void RolloutTab::showQueuedRows()
{
    m_rowTimer.stop();
    const QSet<int> rows = std::exchange(m_queuedRows, {});
    for (int row : rows)
        showCamera(row);
}

void RolloutTab::showCamera(int row)
{
    QTableWidget* table = ui->rollout_tableWidget;
    auto* bar = qobject_cast<QProgressBar*>(table->cellWidget(row, ColumnProgress));
    if (!m_rollout || row >= m_rollout->cameras().size()) {
        table->item(row, ColumnState)->setText(stateText(Rollout::State::Waiting));
        table->item(row, ColumnVersion)->setText(QString());
        table->item(row, ColumnReason)->setText(QString());
        bar->setValue(0);
        return;
    }
    const Rollout::Camera& camera = m_rollout->cameras().at(row);
    table->item(row, ColumnState)->setText(stateText(camera.state));
    table->item(row, ColumnVersion)
        ->setText(camera.versionAfter.isEmpty()
                      ? camera.versionBefore
                      : camera.versionBefore + QStringLiteral(" → ") + camera.versionAfter);
    table->item(row, ColumnReason)->setText(reasonText(camera));
    showProgress(row, camera.bytesSent, camera.bytesTotal);
    if (Rollout::isFinal(camera.state))
        showSummary();
}

void RolloutTab::showProgress(int row, qint64 sent, qint64 total)
{
    auto* bar = qobject_cast<QProgressBar*>(ui->rollout_tableWidget->cellWidget(row, ColumnProgress));
    bar->setValue(total > 0 ? int(sent * 100 / total) : 0);
}

void RolloutTab::showSummary()
{
    QString text;
    if (m_rollout) {
        using State = Rollout::State;
        const Rollout& rollout = *m_rollout;
        if (rollout.isRunning()) {
            int done = 0;
            for (const Rollout::Camera& camera : rollout.cameras())
                done += Rollout::isFinal(camera.state);
            text = tr("%1 of %2 cameras done").arg(done).arg(rollout.cameras().size());
        } else if (rollout.options().job == RolloutJob::Query) {
            text = tr("%1 answered, %2 failed, %3 skipped")
                       .arg(rollout.count(State::Answered))
                       .arg(rollout.count(State::Failed))
                       .arg(rollout.count(State::Skipped));
        } else if (rollout.options().job == RolloutJob::Backup) {
            text = tr("%1 saved, %2 failed, %3 skipped")
                       .arg(rollout.count(State::Saved))
                       .arg(rollout.count(State::Failed))
                       .arg(rollout.count(State::Skipped));
        } else {
            text = tr("%1 confirmed, %2 unchanged, %3 succeeded, %4 failed, %5 skipped")
                       .arg(rollout.count(State::Confirmed))
                       .arg(rollout.count(State::Unchanged))
                       .arg(rollout.count(State::Succeeded))
                       .arg(rollout.count(State::Failed))
                       .arg(rollout.count(State::Skipped));
            if (rollout.count(State::UpToDate) > 0)
                text += tr(", %1 up to date").arg(rollout.count(State::UpToDate));
        }
        if (!rollout.isRunning() && rollout.count(State::DoneBefore) > 0)
            text += tr(", %1 done before").arg(rollout.count(State::DoneBefore));
        if (rollout.isRunning() && !ui->rollout_stop_Button->isEnabled())
            text += tr(" (stopping: running cameras finish)");
        else if (rollout.wasStopped())
            text += tr(" (stopped)");
    }
    ui->rollout_summary_label->setText(text);
}

void RolloutTab::warn(const QString& text)
{
    QMessageBox::warning(m_window, tr("Warning"), text, QMessageBox::Ok);
}

QString RolloutTab::stateText(Rollout::State state) const
{
    using State = Rollout::State;
    switch (state) {
    case State::Waiting:
        return tr("waiting");
    case State::BackingUp:
        return tr("backing up");
    case State::Querying:
        return tr("querying");
    case State::Uploading:
        return tr("uploading");
    case State::Verifying:
        return tr("verifying");
    case State::Flashing:
        return tr("flashing");
    case State::Rebooting:
        return tr("rebooting");
    case State::Confirming:
        return tr("confirming");
    case State::Confirmed:
        return tr("confirmed");
    case State::Unchanged:
        return tr("unchanged");
    case State::Succeeded:
        return tr("succeeded");
    case State::UpToDate:
        return tr("up to date");
    case State::DoneBefore:
        return tr("done before");
    case State::Answered:
        return tr("answered");
    case State::Saved:
        return tr("saved");
    case State::Failed:
        return tr("failed");
    case State::Skipped:
        return tr("skipped");
    }
    return QString();
}

QString RolloutTab::failureWords(Failure failure, const QString& detail) const
{
    switch (failure) {
    case Failure::None:
        return QString();
    case Failure::ConnectTimedOut:
    case Failure::TimedOut:
        return tr("timed out");
    case Failure::NoAnswer:
        return tr("no answer to the version query (check the work type)");
    case Failure::ConnectFailed:
    case Failure::NotConnected:
        return withDetail(tr("connection failed"), detail);
    case Failure::Dropped:
        return withDetail(tr("connection dropped"), detail);
    case Failure::Stalled:
        return tr("stalled: no progress for %1 s").arg(detail);
    case Failure::BadAddress:
        return tr("not a camera address");
    case Failure::NameTooLong:
        return tr("the file name is too long for the record");
    case Failure::RefusedType:
    case Failure::RefusedModel:
    case Failure::Declined:
        return tr("the file name does not match the camera");
    case Failure::FileUnreadable:
        return tr("firmware file unreadable");
    case Failure::DiskFull:
        return tr("camera: not enough disk space (U 1)");
    case Failure::VerifyFailed:
        return tr("camera: file verification failed (U 6)");
    case Failure::UpgradeFailed:
        return tr("camera: upgrade failed (U 8)");
    case Failure::ArmMissing:
        return tr("camera: ARM upgrade file not found (E)");
    case Failure::UnexpectedStatus:
        return withDetail(tr("camera: unexpected status"), detail);
    case Failure::BackupFailed:
        return tr("backup failed");
    case Failure::ArchiveRefused:
    case Failure::ArchiveBroken:
        return tr("the camera sent an unusable archive");
    case Failure::ArchiveMismatch:
        return tr("the archive's MD5 does not match");
    case Failure::CannotWrite:
        return tr("cannot write %1").arg(detail);
    case Failure::RestoreFailed:
        return tr("camera: restore failed");
    case Failure::NotBack:
        return tr("not back after the reboot");
    case Failure::Cancelled:
        return tr("cancelled");
    case Failure::Interrupted:
        return tr("interrupted");
    }
    return QString();
}

QString RolloutTab::withDetail(const QString& words, const QString& detail)
{
    return detail.isEmpty() ? words : words + QStringLiteral(": ") + detail;
}

QString RolloutTab::reasonText(const Rollout::Camera& camera) const
{
    using State = Rollout::State;
    switch (camera.state) {
    case State::DoneBefore:
        return tr("already done");
    case State::UpToDate:
        return tr("version contains \"%1\"").arg(camera.detail);
    case State::Answered:
        return tr("%1 partitions").arg(camera.partitions);
    case State::Saved:
        return tr("saved as %1").arg(camera.archive);
    default:
        break;
    }
    if (camera.failure == Failure::Interrupted && camera.failedDuring >= State::Rebooting)
        return tr("interrupted: upgraded, not confirmed");
    const QString words = failureWords(camera.failure, camera.detail);
    if (camera.failure == Failure::BackupFailed || camera.failedDuring != State::BackingUp ||
        m_rollout->options().job == RolloutJob::Backup)
        return words;
    return tr("backup failed") + QStringLiteral(": ") + words;
}
