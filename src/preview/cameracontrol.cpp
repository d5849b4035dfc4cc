#include "cameracontrol.h"

#include <QUdpSocket>

#include "previewsession.h"
#include "viscacommands.h"

namespace
{
struct Direction {
    CameraControl::Button button;
    int menuCommand;      // the on-screen menu step, OSD mode
    const QString* drive; // the drive template, PTZ mode
};
const Direction kDirections[] = {
    {CameraControl::Button::Up, 2, &visca::kPtzUp},
    {CameraControl::Button::Down, 3, &visca::kPtzDown},
    {CameraControl::Button::Left, 4, &visca::kPtzLeft},
    {CameraControl::Button::Right, 5, &visca::kPtzRight},
};

const Direction* direction(CameraControl::Button button)
{
    for (const Direction& d : kDirections)
        if (d.button == button)
            return &d;
    return nullptr;
}

const int kOkCommand = 1;
const int kBackCommand = 6;
const int kMenuCommand = 7;
} // namespace

CameraControl::CameraControl(const PreviewSession* preview, QObject* parent)
    : QObject(parent), m_preview(preview), m_socket(new QUdpSocket(this))
{
}

void CameraControl::press(Button button, Mode mode)
{
    const Direction* drive = direction(button);
    if (mode == Mode::Osd) {
        if (drive) {
            if (m_menuOpen)
                sendMenuCommand(drive->menuCommand);
        } else if (button == Button::Menu) {
            sendMenuCommand(kMenuCommand);
            m_menuOpen = !m_menuOpen;
        } else {
            sendMenuCommand(button == Button::Ok ? kOkCommand : kBackCommand);
        }
        return;
    }
    if (button == Button::Ok)
        sendToCamera(visca::kPtzHome);
    else if (drive && !m_menuOpen)
        sendToCamera(visca::fillSpeed(*drive->drive, visca::kPtzSpeed, visca::kPtzSpeed));
}

void CameraControl::release(Button button, Mode mode)
{
    if (mode == Mode::Ptz && direction(button) && !m_menuOpen)
        sendToCamera(visca::kPtzStop);
}

void CameraControl::sendMenuCommand(int controlCmd)
{
    const QString command = visca::osdCommand(controlCmd);
    if (!command.isEmpty())
        sendToCamera(command);
}

void CameraControl::sendToCamera(const QString& command)
{
    if (m_preview->isPlaying())
        send(m_preview->cameraAddress(), visca::kPort, command);
}

void CameraControl::send(const QHostAddress& address, quint16 port, const QString& command)
{
    QByteArray bytes;
    if (!visca::textToBytes(command, &bytes)) {
        emit formatError();
        return;
    }
    m_socket->writeDatagram(bytes, address, port);
}
