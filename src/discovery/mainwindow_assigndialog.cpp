#include "mainwindow_assigndialog.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRegExpValidator>
#include <QTableWidget>
#include <QVBoxLayout>

#include "discoveryclient.h"
#include "validators.h"

namespace
{
enum Column { ColumnDeviceId, ColumnMac, ColumnAddress, ColumnSkipped, ColumnResult, ColumnCount };

const QColor FailureColour(0xc0, 0x1c, 0x28);

// What the operator typed last, for the next batch of the same site.
struct Remembered {
    QString first, netmask, gateway, dns;
};
Remembered remembered;

// The netmask of this computer's address on the cameras' LAN: most sites give the cameras the same.
QString interfaceNetmask(const QString& address)
{
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& entry : interface.addressEntries())
            if (entry.ip().toString() == address)
                return entry.netmask().toString();
    return QString();
}

QString skipReason(discovery::SkipReason reason)
{
    switch (reason) {
    case discovery::SkipReason::InUse:
        return AssignDialog::tr("in use");
    case discovery::SkipReason::OwnAddress:
        return AssignDialog::tr("this computer");
    case discovery::SkipReason::Listed:
        return AssignDialog::tr("skipped");
    case discovery::SkipReason::Reserved:
        return AssignDialog::tr("gateway or DNS");
    case discovery::SkipReason::NotUsable:
        return AssignDialog::tr("not usable");
    }
    return QString();
}

QString resultText(AddressAssignment::Result result)
{
    switch (result) {
    case AddressAssignment::Result::Waiting:
        return QString();
    case AddressAssignment::Result::Sending:
        return AssignDialog::tr("sending...");
    case AddressAssignment::Result::Acknowledged:
        return AssignDialog::tr("acknowledged");
    case AddressAssignment::Result::Confirmed:
        return AssignDialog::tr("confirmed");
    case AddressAssignment::Result::Failed:
        return AssignDialog::tr("refused");
    case AddressAssignment::Result::NoAnswer:
        return AssignDialog::tr("no answer");
    case AddressAssignment::Result::Skipped:
        return AssignDialog::tr("skipped");
    }
    return QString();
}

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}
} // namespace

AssignDialog::AssignDialog(QWidget* parent, DiscoveryClient* client, QVector<Dev_info> selected,
                           QVector<Dev_info> listed)
    : QDialog(parent), m_client(client), m_selected(std::move(selected)), m_listed(std::move(listed)),
      m_assignment(new AddressAssignment(client, this)), m_firstLabel(new QLabel(this)),
      m_netmaskLabel(new QLabel(this)), m_gatewayLabel(new QLabel(this)), m_dnsLabel(new QLabel(this)),
      m_first(new QLineEdit(this)), m_netmask(new QLineEdit(this)), m_gateway(new QLineEdit(this)),
      m_dns(new QLineEdit(this)), m_table(new QTableWidget(this)), m_status(new QLabel(this)),
      m_apply(new QPushButton(this)), m_close(new QPushButton(this))
{
    setObjectName(QStringLiteral("assign_dialog"));
    m_first->setObjectName(QStringLiteral("assign_first_lineEdit"));
    m_netmask->setObjectName(QStringLiteral("assign_netmask_lineEdit"));
    m_gateway->setObjectName(QStringLiteral("assign_gateway_lineEdit"));
    m_dns->setObjectName(QStringLiteral("assign_dns_lineEdit"));
    m_table->setObjectName(QStringLiteral("assign_tableWidget"));
    m_status->setObjectName(QStringLiteral("assign_status_label"));
    m_apply->setObjectName(QStringLiteral("assign_apply_pushButton"));
    m_close->setObjectName(QStringLiteral("assign_close_pushButton"));

    const QRegExp ipEntry(QString::fromLatin1(validators::kIpEntryPattern));
    auto* fields = new QGridLayout;
    const QPair<QLabel*, QLineEdit*> rows[] = {{m_firstLabel, m_first},
                                               {m_netmaskLabel, m_netmask},
                                               {m_gatewayLabel, m_gateway},
                                               {m_dnsLabel, m_dns}};
    for (int row = 0; row < 4; ++row) {
        rows[row].second->setValidator(new QRegExpValidator(ipEntry, this));
        rows[row].first->setBuddy(rows[row].second);
        fields->addWidget(rows[row].first, row / 2, (row % 2) * 2);
        fields->addWidget(rows[row].second, row / 2, (row % 2) * 2 + 1);
        connect(rows[row].second, &QLineEdit::textChanged, this, &AssignDialog::updatePlan);
    }
    m_table->setColumnCount(ColumnCount);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setWordWrap(false);
    m_status->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_apply);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_table);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    resize(1080, 520);

    connect(m_apply, &QPushButton::clicked, this, &AssignDialog::apply);
    connect(m_close, &QPushButton::clicked, this, &AssignDialog::reject);
    connect(m_assignment, &AddressAssignment::cameraChanged, this, &AssignDialog::showResult);
    connect(m_assignment, &AddressAssignment::cameraFinished, this, &AssignDialog::showResult);
    connect(m_assignment, &AddressAssignment::finished, this, &AssignDialog::finished);

    m_first->setText(remembered.first);
    m_netmask->setText(remembered.netmask.isEmpty() ? interfaceNetmask(client->localAddress())
                                                    : remembered.netmask);
    m_gateway->setText(remembered.gateway);
    m_dns->setText(remembered.dns);
    retranslate();
    updatePlan();
}

void AssignDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void AssignDialog::retranslate()
{
    setWindowTitle(tr("Assign addresses"));
    m_firstLabel->setText(tr("First address"));
    m_netmaskLabel->setText(tr("Netmask"));
    m_gatewayLabel->setText(tr("Gateway"));
    m_dnsLabel->setText(tr("DNS (empty: the gateway)"));
    m_table->setHorizontalHeaderLabels(
        {tr("Device ID"), tr("MAC Address"), tr("Address"), tr("Skipped"), tr("Result")});
    m_apply->setText(tr("Apply"));
    m_close->setText(m_assignment->isRunning() ? tr("Stop") : tr("Close"));
    showPlan();
}

void AssignDialog::updatePlan()
{
    if (m_assignment->isRunning() || m_done)
        return;
    discovery::AssignmentRequest request;
    request.first = m_first->text();
    request.netmask = m_netmask->text();
    request.gateway = m_gateway->text();
    request.dns = m_dns->text();
    request.ownAddress = m_client->localAddress();
    m_plan = discovery::planSequential(discovery::camerasByMac(m_selected), m_listed, request);
    showPlan();
}

void AssignDialog::showPlan()
{
    // Before the fields make a plan, the cameras are listed without their new addresses.
    const bool planned = m_plan.cameras.size() == m_selected.size();
    const discovery::AssignmentPlan cameras = planned ? m_plan : discovery::camerasByMac(m_selected);
    m_table->setRowCount(cameras.cameras.size());
    for (int row = 0; row < cameras.cameras.size(); ++row) {
        const discovery::PlannedCamera& camera = cameras.cameras.at(row);
        m_table->setItem(row, ColumnDeviceId, cell(camera.camera.device_id));
        m_table->setItem(row, ColumnMac, cell(camera.camera.macaddr));
        const QString next = camera.settings.ipaddr.isEmpty() ? QStringLiteral("?") : camera.settings.ipaddr;
        m_table->setItem(row, ColumnAddress, cell(camera.camera.ipaddr + QStringLiteral(" → ") + next));
        QStringList skipped;
        for (const discovery::SkippedAddress& address : camera.skipped)
            skipped << QStringLiteral("%1 (%2)").arg(address.address, skipReason(address.reason));
        QTableWidgetItem* skippedCell = cell(skipped.join(QStringLiteral(", ")));
        skippedCell->setToolTip(skipped.join(QLatin1Char('\n')));
        m_table->setItem(row, ColumnSkipped, skippedCell);
        showResult(row, m_assignment->result(row));
    }
    for (int column = ColumnDeviceId; column <= ColumnSkipped; ++column)
        m_table->resizeColumnToContents(column);
    // A long run of skipped addresses is read in full in the cell's tooltip.
    m_table->setColumnWidth(ColumnSkipped, qBound(80, m_table->columnWidth(ColumnSkipped), 320));
    showSummary();
}

void AssignDialog::showResult(int index, AddressAssignment::Result result)
{
    QTableWidgetItem* item = cell(resultText(result));
    const bool failed =
        result == AddressAssignment::Result::Failed || result == AddressAssignment::Result::NoAnswer;
    if (failed)
        item->setForeground(FailureColour);
    if (!m_assignment->foundAt(index).isEmpty())
        item->setToolTip(tr("found at %1").arg(m_assignment->foundAt(index)));
    m_table->setItem(index, ColumnResult, item);
    if (result == AddressAssignment::Result::Sending)
        m_table->scrollToItem(item);
    if (m_assignment->isRunning())
        showSummary();
}

QString AssignDialog::planProblem() const
{
    switch (m_plan.fault) {
    case discovery::PlanFault::None:
        return QString();
    case discovery::PlanFault::Settings:
        if (m_plan.settingsFault == discovery::SettingsFault::Incomplete)
            return tr("Fill in the first address, netmask and gateway");
        if (m_plan.settingsFault == discovery::SettingsFault::MacTail)
            return tr("The camera %1 reports no usable MAC address").arg(m_plan.detail);
        return tr("Network information fill in error");
    case discovery::PlanFault::NoRoom:
        return tr("The range does not fit in the subnet: it would pass %1").arg(m_plan.detail);
    default:
        return tr("Network information fill in error");
    }
}

void AssignDialog::showSummary()
{
    if (m_assignment->isRunning() || m_done) {
        int counts[int(AddressAssignment::Result::Skipped) + 1] = {};
        for (int index = 0; index < m_plan.cameras.size(); ++index)
            ++counts[int(m_assignment->result(index))];
        using R = AddressAssignment::Result;
        m_status->setText((m_done ? tr("Done: ") : QString()) +
                          tr("%1 confirmed, %2 acknowledged, %3 refused, %4 no answer, %5 skipped")
                              .arg(counts[int(R::Confirmed)])
                              .arg(counts[int(R::Acknowledged)])
                              .arg(counts[int(R::Failed)])
                              .arg(counts[int(R::NoAnswer)])
                              .arg(counts[int(R::Skipped)]));
        return;
    }
    const QString problem = planProblem();
    if (!problem.isEmpty()) {
        m_status->setText(problem);
        return;
    }
    int skipped = 0;
    for (const discovery::PlannedCamera& camera : qAsConst(m_plan.cameras))
        skipped += camera.skipped.size();
    QString text = tr("%n camera(s) from %1 to %2", nullptr, m_plan.cameras.size())
                       .arg(m_plan.cameras.first().settings.ipaddr, m_plan.cameras.last().settings.ipaddr);
    if (skipped > 0)
        text += tr("; %n address(es) skipped", nullptr, skipped);
    m_status->setText(text);
}

void AssignDialog::apply()
{
    if (m_assignment->isRunning() || m_done)
        return;
    if (!m_plan.ok()) {
        QMessageBox::warning(this, tr("Warning"), planProblem(), QMessageBox::Ok);
        return;
    }
    const auto answer = QMessageBox::question(
        this, tr("Information"), tr("Give %n camera(s) their new addresses?", nullptr, m_plan.cameras.size()),
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Ok)
        return;
    remembered = {m_first->text(), m_netmask->text(), m_gateway->text(), m_dns->text()};
    for (QLineEdit* edit : {m_first, m_netmask, m_gateway, m_dns})
        edit->setEnabled(false);
    m_apply->setEnabled(false);
    m_close->setText(tr("Stop"));
    m_assignment->start(m_plan);
    showSummary();
}

void AssignDialog::finished()
{
    m_done = true;
    m_close->setText(tr("Close"));
    for (int index = 0; index < m_plan.cameras.size(); ++index)
        showResult(index, m_assignment->result(index));
    showSummary();
}

void AssignDialog::reject()
{
    if (m_assignment->isRunning()) {
        m_assignment->stop();
        return;
    }
    QDialog::reject();
}
