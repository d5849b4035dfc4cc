#include "mainwindow.h"
#include "devicesession.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "devicelistcolumns.h"
#include "mainwindow_devicelisttools.h"
#include "discoveryclient.h"
#include "padposition.h"
#include "rollout/rollouttab.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setWindowTitle(tr("UPGRADE v2.7"));
    ui->tabWidget->setCurrentIndex(0);
    ui->labVideo->resize(ui->widget->size());
    ui->mac4_lineEdit->setEnabled(true);
    ui->mac5_lineEdit->setEnabled(true);
    ui->mac6_lineEdit->setEnabled(true);
    ui->change_mac_pushButton->setVisible(true);
    load_oem_logo();

    static const int column_widths[device_list::ColumnCount] = {55, 118, 118, 118, 150, 118, 238, 118, 55};
    for (int column = 0; column < device_list::ColumnCount; ++column)
        ui->treeWidget->setColumnWidth(column, column_widths[column]);
    adjust_label_sizes();
    ui->query_Button->setFocus(Qt::OtherFocusReason);
    ui->query_Button->setDefault(true);

    client_id_fixed = false;
    connect_flag = false;
    upgrading = false;
    backup_started = false;
    work_type = 1;
    tcp_op = 1;
    auto_backup_active = false;
    auto_backup = false;
    model_type = true;
    ui->worktype_comboBox->setCurrentIndex(0);

    // A file dropped on the file name edit or the log pane must reach dropEvent, not be pasted as text.
    ui->textEdit->setAcceptDrops(false);
    ui->upgrade_filename_lineEdit->setAcceptDrops(false);
    setAcceptDrops(true);

    mode = QStringLiteral("Simple");
    partition_count = 10;
    read_config();
    createItemMent();
    generate_client_id();
    client_id_fixed = true;

    discovery = new DiscoveryClient(this);
    discovery->setClientId(client_id);
    connect(discovery, &DiscoveryClient::deviceFound, this,
            [this](const Dev_info& device) { ReceiveThread(QVariant::fromValue(device), MSG_REPLY_OK); });
    // A search the core starts (an address assignment confirming its work) lists afresh too.
    connect(discovery, &DiscoveryClient::searchStarted, this, [this] {
        ui->treeWidget->clear();
        device_list.clear();
        device_conflicts->clear();
    });
    device_list_tools = new DeviceListTools(this, ui->treeWidget, discovery, [this] { return device_list; });
    init_tcp_client();
    init_preview();
    upgrade_finish_flag = 0;
    list_local_interfaces();
    selected_ip_index = -1;
    install_validators();
    // Sorted by position, first row on top: the list is kept in address order.
    ui->treeWidget->header()->setSortIndicator(0, Qt::AscendingOrder);
    // Every row is one line: the view then lays out thousands of rows without measuring each.
    ui->treeWidget->setUniformRowHeights(true);
    ui->treeWidget->setSortingEnabled(true);
    rollout_tab = new RolloutTab(this);
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::resizeEvent(QResizeEvent*)
{
    place_menu_pad();
    // The first resize comes before the tab pages are laid out; place the pad again once they are.
    if (!isVisible())
        QTimer::singleShot(0, this, &MainWindow::place_menu_pad);
}

void MainWindow::place_menu_pad()
{
    // The video area's geometry is only current while the Preview tab is shown.
    const int previous_tab = ui->tabWidget->currentIndex();
    ui->tabWidget->setCurrentIndex(4);
    ui->labVideo->resize(ui->widget->size());
    const QPoint position = menu_pad_position(ui->widget->size(), ui->menu_widget->size());
    if (ui->menu_widget->pos() != position)
        ui->menu_widget->move(position);
    ui->tabWidget->setCurrentIndex(previous_tab);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    const auto answer = QMessageBox::warning(this, tr("Warning"), tr("Do you really want to exit?"),
                                             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton);
    if (answer != QMessageBox::Ok) {
        event->ignore();
        return;
    }
    event->accept();
    tcpClient->close();
    if (preview_session->isActive()) // connected, or still connecting
        on_rtsp_connect_Button_clicked();
    save_config();
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event)
{
    if (!ui->treeWidget->currentItem() || !ui->treeWidget->hasFocus()) {
        event->ignore();
        return;
    }
    if (item_menu->actions().isEmpty()) {
        item_menu->addAction(upgrade_action);
        item_menu->addAction(config_action);
        item_menu->addAction(backup_action);
        item_menu->addAction(preview_action);
        item_menu->addAction(flicker_action);
        item_menu->addAction(close_flicker_action);
        item_menu->addAction(reboot_action);
        item_menu->addAction(rollout_tab->menuAction());
        item_menu->addAction(device_list_tools->assignAction());
        item_menu->addAction(device_list_tools->exportAction());
    }
    item_menu->exec(QCursor::pos());
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list")))
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    const QString path = urls.first().toLocalFile();
    if (!path.isEmpty())
        ui->upgrade_filename_lineEdit->setText(path);
}
