#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QUdpSocket>

#include "viscacommands.h"

namespace
{
const int kPtzIndex = 0;
const int kOsdIndex = 1;
} // namespace

void MainWindow::dispose_osd_command(int control_cmd)
{
    if (!rtsp_connected)
        return;
    const QString command = visca::osdCommand(control_cmd);
    if (!command.isEmpty())
        send_osd_command(*osd_address, quint16(osd_port), command);
}

QString MainWindow::set_ptz_speed(QString cmd, qint8 pan_speed, qint8 tilt_speed)
{
    return visca::fillSpeed(cmd, pan_speed, tilt_speed);
}

void MainWindow::send_osd_command(QHostAddress& address, quint16 port, QString command)
{
    QByteArray bytes;
    if (!visca::textToBytes(command, &bytes)) {
        QMessageBox::information(this, tr("Information"), tr("Command format error"));
        return;
    }
    osd_socket->writeDatagram(bytes, address, port);
}

bool MainWindow::osd_selected() const
{
    return ui->upgrade_preview_comboBox->currentIndex() == kOsdIndex;
}

void MainWindow::send_ptz_command(const QString& command)
{
    if (rtsp_connected)
        send_osd_command(*osd_address, quint16(osd_port), command);
}

void MainWindow::osd_direction_pressed(int control_cmd, const QString& ptz_template)
{
    if (osd_selected()) {
        if (osd_menu_open)
            dispose_osd_command(control_cmd);
    } else if (!osd_menu_open) {
        send_ptz_command(set_ptz_speed(ptz_template, visca::kPtzSpeed, visca::kPtzSpeed));
    }
}

void MainWindow::osd_direction_released()
{
    if (ui->upgrade_preview_comboBox->currentIndex() == kPtzIndex && !osd_menu_open)
        send_ptz_command(visca::kPtzStop);
}

void MainWindow::on_osd_menu_Button_pressed()
{
    if (!osd_selected())
        return;
    dispose_osd_command(7);
    osd_menu_open = !osd_menu_open;
}

void MainWindow::on_osd_back_Button_pressed()
{
    if (osd_selected())
        dispose_osd_command(6);
}

void MainWindow::on_osd_ok_Button_pressed()
{
    if (osd_selected())
        dispose_osd_command(1);
    else
        send_ptz_command(visca::kPtzHome);
}

void MainWindow::on_osd_up_Button_pressed()
{
    osd_direction_pressed(2, visca::kPtzUp);
}
void MainWindow::on_osd_down_Button_pressed()
{
    osd_direction_pressed(3, visca::kPtzDown);
}
void MainWindow::on_osd_left_Button_pressed()
{
    osd_direction_pressed(4, visca::kPtzLeft);
}
void MainWindow::on_osd_right_Button_pressed()
{
    osd_direction_pressed(5, visca::kPtzRight);
}
void MainWindow::on_osd_up_Button_released()
{
    osd_direction_released();
}
void MainWindow::on_osd_down_Button_released()
{
    osd_direction_released();
}
void MainWindow::on_osd_left_Button_released()
{
    osd_direction_released();
}
void MainWindow::on_osd_right_Button_released()
{
    osd_direction_released();
}

// The menu, back and OK buttons act on press only.
void MainWindow::on_osd_menu_Button_released() {}
void MainWindow::on_osd_back_Button_released() {}
void MainWindow::on_osd_ok_Button_released() {}
