#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QImage>
#include <QMainWindow>
#include <QModelIndex>
#include <QString>
#include <QVariant>
#include <QVector>

#include <initializer_list>
#include <memory>

#include "cameracontrol.h"
#include "devicecommand.h"
#include "devicetable.h"
#include "devinfo.h"
#include "discoverymessages.h"
#include "firmwarenames.h"
#include "previewsession.h"
#include "tcprecord.h"
#include "verdict.h"

QT_BEGIN_NAMESPACE
namespace Ui
{
class MainWindow;
}
class QAction;
class QLabel;
class QMenu;
class QTimer;
class QTreeWidgetItem;
class QUdpSocket;
QT_END_NAMESPACE

class CameraUpgrade;
class DeviceListTools;
class DeviceSession;
class DiscoveryClient;
class QFFmpeg;
class RolloutTab;
class RtspThread;
class VersionCheck;

// The one window of the tool. It owns every socket, timer and worker; each subsystem implements its
// part of the class in its own source file (shell, discovery, upgrade, preview).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    static bool is_valid_host_ip(const QString& text);
    static bool is_valid_netmask(const QString& text);
    static bool is_valid_mac_tail(const QString& text);
    static void delay_ms(int msecs);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    // Search tab and device list
    void on_search_Button_clicked();
    void on_treeWidget_doubleClicked(QModelIndex index);
    void ReceiveThread(QVariant info, qint8 msgType);
    void createItemMent();
    void onGrpMenuTriggered(QAction* action);

    // Config tab
    void on_dhcp_comboBox_currentIndexChanged(int index);
    void on_set_net_pushButton_clicked();
    void on_reset_net_pushButton_clicked();
    void on_change_mac_pushButton_clicked();

    // Upgrade tab and the device connection
    void on_upgrade_type_comboBox_activated(int index);
    void on_query_Button_clicked();
    void on_open_Button_clicked();
    void on_upgrade_Button_clicked();
    void displayError(QAbstractSocket::SocketError socketError);
    void upgrade_success();

    // Backup tab
    void on_backup_pushButton_clicked();
    void on_restore_pushButton_clicked();
    void backup_success();

    // Preview tab and camera control
    void on_rtsp_connect_Button_clicked();
    void rtsp_SetImage(QImage image);
    void dispose_osd_command(int control_cmd);
    void on_osd_menu_Button_pressed();
    void on_osd_menu_Button_released();
    void on_osd_back_Button_pressed();
    void on_osd_back_Button_released();
    void on_osd_ok_Button_pressed();
    void on_osd_ok_Button_released();
    void on_osd_up_Button_pressed();
    void on_osd_up_Button_released();
    void on_osd_down_Button_pressed();
    void on_osd_down_Button_released();
    void on_osd_left_Button_pressed();
    void on_osd_left_Button_released();
    void on_osd_right_Button_pressed();
    void on_osd_right_Button_released();

    // Bottom row
    void on_language_comboBox_activated(int index);
    void on_worktype_comboBox_activated(int index);

private:
    // shell
    void read_config();
    void save_config();
    void load_oem_logo();
    void install_translator();
    void retranslate_form();
    void place_menu_pad();
    void install_validators();
    void adjust_label_sizes();
    void refill_upgrade_type_list();

    // discovery
    void generate_client_id();
    void list_local_interfaces();
    bool initSocket();
    bool addGroup();
    void send(cmdType cmd);
    void device_command_finished(DeviceCommand* command, DeviceCommand::Outcome outcome);
    void insertData(Dev_info record);
    void renumber_device_rows();
    bool check_network_info();
    void fill_network_form(QTreeWidgetItem* item);
    bool network_form_complete() const;
    discovery::NetworkSettings network_form_settings() const;

    // upgrade
    void init_tcp_client();
    bool connect_device();
    bool connect_backup_tab();
    void device_connected();
    void device_connect_failed();
    void device_operation_finished(int operation, const Verdict& verdict);
    void show_upgrade_tab_connected();
    void show_upgrade_step(UpgradeStep step);
    void ask_about_mismatch();
    void show_upgrade_verdict(const Verdict& verdict, UpgradeStep step);
    void cancel_upgrade();
    QString verdict_text(const Verdict& verdict) const;
    void parse_partition_table(const QVector<PartitionRecord>& records);
    void handle_version_report(const VersionReport& report);
    void handle_backup_header();
    void handle_archive_saved();
    void handle_restore_step(RestoreStep step);
    void show_stream_progress(qint64 sent, qint64 total);
    void append_camera_text(const QString& text, const QColor& colour = QColor());
    void abort_upgrade();
    void end_upgrade();
    void start_upgrade_countdown(const QString& host);
    void show_version_after_reboot(const Verdict& verdict, const VersionReport& report);
    void drop_version_check();
    void clear_failure_marks();
    void mark_failed(const QString& text, std::initializer_list<QLabel*> labels);
    void show_failure(const QString& text, std::initializer_list<QLabel*> labels);
    void start_restore_countdown();
    QVector<PartitionRecord> known_partitions() const;

    // preview
    void init_preview();
    void stop_preview(bool rest);
    void show_preview_failure(PreviewSession::Failure failure);
    CameraControl::Mode pad_mode() const;
    // The design's preview and control members, read from the sessions that own their state.
    bool rtsp_connected() const;
    QFFmpeg* ffmpeg() const;
    RtspThread* rtsp_thread() const;
    QUdpSocket* osd_socket() const;
    QHostAddress osd_address() const;
    int osd_port() const;
    bool osd_menu_open() const;

    Ui::MainWindow* ui;
    // The device connection: one conversation with one camera at a time.
    DeviceSession* tcpClient = nullptr;
    // The upgrade under way over tcpClient, from the click to the camera's verdict.
    CameraUpgrade* camera_upgrade = nullptr;
    // The version question for the camera just upgraded, asked when its count-down ends.
    VersionCheck* version_check = nullptr;
    bool connect_flag = false;
    bool upgrading = false;
    QString mode = QStringLiteral("Simple");
    QString language;
    qint64 total_bytes = 0;
    qint64 progress_value = 0;
    QString file_name;
    int upgrade_file_type = 1;
    qint8 query_mode = 0;
    PartitionRecord partition_table[10];
    qint8 partition_count = 10;
    QString client_id;
    QString request_id;
    bool client_id_fixed = true;
    QVector<Dev_info> device_list;
    // Cameras of device_list that share their IP or MAC address, by Device ID. The rows paint from it, also
    // while the window is taken down, so they share it.
    std::shared_ptr<QHash<QString, discovery::Conflicts>> device_conflicts =
        std::make_shared<QHash<QString, discovery::Conflicts>>();
    bool device_rows_pending = false;
    bool backup_started = false;
    QMenu* item_menu = nullptr;
    QAction* upgrade_action = nullptr;
    QAction* config_action = nullptr;
    QAction* backup_action = nullptr;
    QAction* preview_action = nullptr;
    QAction* flicker_action = nullptr;
    QAction* close_flicker_action = nullptr;
    QAction* reboot_action = nullptr;
    // The discovery conversation; its sockets are reached through it.
    DiscoveryClient* discovery = nullptr;
    // The list's address assignment and export, after the menu's Parts actions.
    DeviceListTools* device_list_tools = nullptr;
    QString local_ips[32];
    int local_ip_count = 0;
    int selected_ip_index = -1;
    QTimer* upgrade_timer = nullptr;
    QTimer* backup_timer = nullptr;
    QString soc_version_letter;
    QString soc_version;
    QString model_name;
    bool verify = false;
    bool auto_backup = false;
    bool model_type = true;
    bool mac_modify = false;
    int work_type = 1;
    int tcp_op = 1;
    bool auto_backup_active = false;
    // The live view and the control pad's commands.
    PreviewSession* preview_session = nullptr;
    CameraControl* camera_control = nullptr;
    RolloutTab* rollout_tab = nullptr; // the sixth tab, after Preview
    int upgrade_finish_flag = 0;

    // The configuration archive and its spare copy, in the working directory.
    static constexpr const char* kArchive = "data.tar.gz";
    static constexpr const char* kSpareArchive = "data.tar.gz_bak";

    // Tests reach the internals through their own specialisation of this template.
    template <typename Tag> friend class MainWindowAccess;
};

#endif // MAINWINDOW_H
