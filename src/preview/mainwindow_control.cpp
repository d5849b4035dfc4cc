#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "viscacommands.h"

using Button = CameraControl::Button;

void MainWindow::dispose_osd_command(int control_cmd)
{
    camera_control->sendMenuCommand(control_cmd);
}

// Read at each press and release: item 1 is "OSD", anything else "PTZ".
CameraControl::Mode MainWindow::pad_mode() const
{
    return ui->upgrade_preview_comboBox->currentIndex() == 1 ? CameraControl::Mode::Osd
                                                             : CameraControl::Mode::Ptz;
}

QUdpSocket* MainWindow::osd_socket() const
{
    return camera_control->socket();
}

QHostAddress MainWindow::osd_address() const
{
    return preview_session->cameraAddress();
}

int MainWindow::osd_port() const
{
    return visca::kPort;
}

bool MainWindow::osd_menu_open() const
{
    return camera_control->menuOpen();
}

void MainWindow::on_osd_menu_Button_pressed()
{
    camera_control->press(Button::Menu, pad_mode());
}
void MainWindow::on_osd_back_Button_pressed()
{
    camera_control->press(Button::Back, pad_mode());
}
void MainWindow::on_osd_ok_Button_pressed()
{
    camera_control->press(Button::Ok, pad_mode());
}
void MainWindow::on_osd_up_Button_pressed()
{
    camera_control->press(Button::Up, pad_mode());
}
void MainWindow::on_osd_down_Button_pressed()
{
    camera_control->press(Button::Down, pad_mode());
}
void MainWindow::on_osd_left_Button_pressed()
{
    camera_control->press(Button::Left, pad_mode());
}
void MainWindow::on_osd_right_Button_pressed()
{
    camera_control->press(Button::Right, pad_mode());
}

void MainWindow::on_osd_menu_Button_released()
{
    camera_control->release(Button::Menu, pad_mode());
}
void MainWindow::on_osd_back_Button_released()
{
    camera_control->release(Button::Back, pad_mode());
}
void MainWindow::on_osd_ok_Button_released()
{
    camera_control->release(Button::Ok, pad_mode());
}
void MainWindow::on_osd_up_Button_released()
{
    camera_control->release(Button::Up, pad_mode());
}
void MainWindow::on_osd_down_Button_released()
{
    camera_control->release(Button::Down, pad_mode());
}
void MainWindow::on_osd_left_Button_released()
{
    camera_control->release(Button::Left, pad_mode());
}
void MainWindow::on_osd_right_Button_released()
{
    camera_control->release(Button::Right, pad_mode());
}
