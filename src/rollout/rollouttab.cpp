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
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <utility>

#include "firmwareimage.h"
#include "rolloutreport.h"
#include "statuscolours.h"

namespace
{
// How long a row's change may wait for the next redraw of the table.
constexpr int kRowRedrawMs = 100;

// Elides the words both versions begin with, so the difference shows in a narrow column:
// "…2026-05-17 → …2026-05-17 IPC200_SOC_V2.7.6.pkg".
QString versionChange(const QString& before, const QString& after)
{
    if (after.isEmpty())
        return before;
    int common = 0;
    while (common < before.size() && common < after.size() && before.at(common) == after.at(common))
        ++common;
    // From the start of the word they part in, or of the last common word when one holds the other whole.
    const int cut = common > 0 ? before.lastIndexOf(QLatin1Char(' '), common - 1) + 1 : 0;
    const QString elided = cut > 0 ? QStringLiteral("…") : QString();
    return elided + before.mid(cut) + QStringLiteral(" → ") + elided + after.mid(cut);
}

// Keeps the end of a text that does not fit: where two versions differ.
class ElideLeftDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideLeft;
        option->features &= ~QStyleOptionViewItem::WrapText; // a wrapped text is cut at its end
    }
};

// "2:41"
QString minutesAndSeconds(qint64 ms)
{
    const qint64 seconds = (qMax<qint64>(0, ms) + 999) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Plain text in a tooltip is never wrapped; a paragraph is.
QString wrappedTip(const QString& text)
{
    return text.isEmpty() ? QString() : QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped());
}
} // namespace

RolloutTab::RolloutTab(QMainWindow* window)
    : QWidget(window), ui(new Ui::RolloutTab), m_window(window),
      m_tabs(window->findChild<QTabWidget*>(QStringLiteral("tabWidget"))),
      m_devices(window->findChild<QTreeWidget*>(QStringLiteral("treeWidget"))),
      m_workType(window->findChild<QComboBox*>(QStringLiteral("worktype_comboBox"))),
      m_upgradeAddress(window->findChild<QLineEdit*>(QStringLiteral("upgrade_ip_lineEdit"))),
      m_upgradeButton(window->findChild<QPushButton*>(QStringLiteral("upgrade_Button"))),
      m_addAction(new QAction(this)), m_timeLeftTimer(new QTimer(this))
{
    ui->setupUi(this);
    m_tabs->addTab(this, QString());
    static const int widths[ColumnCount - 1] = {120, 250, 80, 150, 110, 320};
    for (int column = 0; column < ColumnCount - 1; ++column)
        ui->rollout_tableWidget->setColumnWidth(column, widths[column]);
    ui->rollout_tableWidget->setItemDelegateForColumn(ColumnVersion,
                                                      new ElideLeftDelegate(ui->rollout_tableWidget));
    connect(m_addAction, &QAction::triggered, this, &RolloutTab::addSelectedDevices);
    m_rowTimer.setSingleShot(true);
    m_rowTimer.setInterval(kRowRedrawMs);
    connect(&m_rowTimer, &QTimer::timeout, this, &RolloutTab::showQueuedRows);
    m_timeLeftTimer->setInterval(1000);
    connect(m_timeLeftTimer, &QTimer::timeout, this, &RolloutTab::showTimeLeft);
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
    fillModels();
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
    fillModels();
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
    // The models come from the cameras' own answers: ask them first, so the question below sees them all.
    if (modelsToAsk() && !ui->rollout_file_lineEdit->text().trimmed().isEmpty()) {
        startJob(RolloutJob::Query);
        m_upgradeAfterCheck = m_rollout && m_rollout->isRunning();
        return;
    }
    if (!acceptModels())
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
    if (!followCameras())
        return;
    const QString upgrading = m_upgradeAddress->text().trimmed();
    if (!m_upgradeButton->isEnabled() && listed(upgrading)) {
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
    // The model choice is the upgrade's: Check versions and Back up all ask every camera.
    if (upgrade)
        options.model = ui->rollout_model_comboBox->currentData().toString();
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
        const bool upgradeNext = m_upgradeAfterCheck && m_rollout->stopReason() == Rollout::StopReason::None;
        m_upgradeAfterCheck = false;
        if (!upgradeNext)
            setRunning(false);
        showSummary();
        if (!upgradeNext)
            return;
        // The controls stay locked from Start's version check into its upgrade. Not from inside the finished
        // rollout's own signal: the upgrade replaces it.
        QTimer::singleShot(0, this, [this] {
            if (acceptModels())
                startJob(RolloutJob::Upgrade);
            if (!m_rollout->isRunning())
                setRunning(false);
        });
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
             ui->rollout_timeout_spinBox, ui->rollout_model_comboBox})
        widget->setEnabled(!running);
    if (running)
        m_timeLeftTimer->start();
    else
        m_timeLeftTimer->stop();
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
    using State = Rollout::State;
    QTableWidget* table = ui->rollout_tableWidget;
    const bool known = m_rollout && row < m_rollout->cameras().size();
    static const Rollout::Camera notStarted;
    const Rollout::Camera& camera = known ? m_rollout->cameras().at(row) : notStarted;
    // A model learnt from an earlier job stays until the camera answers again.
    if (!camera.model.isEmpty() && table->item(row, ColumnModel)->text() != camera.model) {
        table->item(row, ColumnModel)->setText(camera.model);
        fillModels();
    }
    table->item(row, ColumnState)->setText(stateText(camera));
    QTableWidgetItem* version = table->item(row, ColumnVersion);
    version->setText(versionChange(camera.versionBefore, camera.versionAfter));
    version->setToolTip(camera.versionAfter.isEmpty()
                            ? camera.versionBefore
                            : camera.versionBefore + QStringLiteral("\n→ ") + camera.versionAfter);
    const QString reason = known ? reasonText(camera) : QString();
    const QString shown = reason.isEmpty() ? movedText(row) : reason;
    table->item(row, ColumnReason)->setText(shown);
    table->item(row, ColumnReason)->setToolTip(wrappedTip(shown));

    // A failed row has no bar, never a full one: what was really sent is said in words instead. The bar goes
    // with its cell widget: the view shows a hidden one again.
    const bool failed = camera.state == State::Failed;
    if (failed || camera.state == State::Skipped || camera.state == State::OtherModel) {
        table->removeCellWidget(row, ColumnProgress);
    } else if (!table->cellWidget(row, ColumnProgress)) {
        auto* bar = new QProgressBar;
        bar->setRange(0, 100);
        table->setCellWidget(row, ColumnProgress, bar);
    }
    showProgress(row, camera.bytesSent, camera.bytesTotal);
    QString sent;
    if (failed && camera.bytesSent > 0 && camera.bytesTotal > 0) {
        const int percent = int(camera.bytesSent * 100 / camera.bytesTotal);
        sent = m_rollout->options().job == RolloutJob::Backup ? tr("%1% received").arg(percent)
                                                              : tr("%1% sent").arg(percent);
    }
    table->item(row, ColumnProgress)->setText(sent);

    const status_colours::Kind kind = failed                             ? status_colours::Kind::Error
                                      : camera.state == State::Unchanged ? status_colours::Kind::Warning
                                                                         : status_colours::Kind::Normal;
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem* item = table->item(row, column);
        if (kind == status_colours::Kind::Normal)
            item->setData(Qt::ForegroundRole, QVariant());
        else
            item->setForeground(kind == status_colours::Kind::Error ? status_colours::error()
                                                                    : status_colours::warning());
    }
    QFont font = table->item(row, ColumnState)->font();
    font.setBold(kind != status_colours::Kind::Normal);
    table->item(row, ColumnState)->setFont(font);
    if (Rollout::isFinal(camera.state))
        showSummary();
}

void RolloutTab::showProgress(int row, qint64 sent, qint64 total)
{
    if (auto* bar = qobject_cast<QProgressBar*>(ui->rollout_tableWidget->cellWidget(row, ColumnProgress)))
        bar->setValue(total > 0 ? int(sent * 100 / total) : 0);
}

void RolloutTab::showSummary()
{
    QString text;
    status_colours::Kind kind = status_colours::Kind::Normal;
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
        if (!rollout.isRunning() && rollout.count(State::OtherModel) > 0)
            text += tr(", %1 other model").arg(rollout.count(State::OtherModel));
        if (!rollout.isRunning() && rollout.count(State::DoneBefore) > 0)
            text += tr(", %1 done before").arg(rollout.count(State::DoneBefore));
        if (rollout.isRunning() && !ui->rollout_stop_Button->isEnabled())
            text += tr(" (stopping: running cameras finish)");
        else if (rollout.stopReason() != Rollout::StopReason::None)
            text += tr(" (%1)").arg(stopText(rollout));
        kind = rollout.isRunning()                   ? status_colours::Kind::Normal
               : rollout.count(State::Failed) > 0    ? status_colours::Kind::Error
               : rollout.count(State::Unchanged) > 0 ? status_colours::Kind::Warning
                                                     : status_colours::Kind::Normal;
    }
    ui->rollout_summary_label->setText(text);
    status_colours::apply(ui->rollout_summary_label, kind);
}

void RolloutTab::showTimeLeft()
{
    if (!m_rollout)
        return;
    const QVector<Rollout::Camera>& cameras = m_rollout->cameras();
    for (int row = 0; row < cameras.size() && row < ui->rollout_tableWidget->rowCount(); ++row)
        if (cameras.at(row).state == Rollout::State::Rebooting)
            ui->rollout_tableWidget->item(row, ColumnState)->setText(stateText(cameras.at(row)));
}

QString RolloutTab::stateText(const Rollout::Camera& camera) const
{
    if (camera.state != Rollout::State::Rebooting || camera.rebootDeadlineMs < 0 || !m_rollout)
        return stateText(camera.state);
    return tr("rebooting (%1 left)").arg(minutesAndSeconds(camera.rebootDeadlineMs - m_rollout->clockMs()));
}

void RolloutTab::warn(const QString& text)
{
    QMessageBox::warning(m_window, tr("Warning"), text, QMessageBox::Ok);
}
