#ifndef CAMERACONTROL_H
#define CAMERACONTROL_H

#include <QHostAddress>
#include <QObject>
#include <QString>

class PreviewSession;
class QUdpSocket;

// The control pad of a preview: which VISCA command each press or release sends in PTZ and in OSD mode,
// whether the camera's on-screen menu is open, and the socket that sends the commands to the previewed
// camera. No command leaves unless the preview plays.
class CameraControl : public QObject
{
    Q_OBJECT

public:
    // What the pad steers: the camera head, or the camera's on-screen menu.
    enum class Mode { Ptz, Osd };
    enum class Button { Up, Down, Left, Right, Ok, Back, Menu };

    explicit CameraControl(const PreviewSession* preview, QObject* parent = nullptr);

    // A direction held in PTZ mode drives the head until its release; in OSD mode each press is one menu
    // step.
    void press(Button button, Mode mode);
    void release(Button button, Mode mode);
    // The on-screen menu command 1 to 8, while the preview plays.
    void sendMenuCommand(int controlCmd);
    // One command text as one datagram; formatError(), and nothing sent, when a part is not hexadecimal.
    void send(const QHostAddress& address, quint16 port, const QString& command);

    // Flips at every menu press in OSD mode, sent or not; kept across disconnects and mode changes.
    bool menuOpen() const { return m_menuOpen; }
    QUdpSocket* socket() const { return m_socket; }

signals:
    void formatError();

private:
    void sendToCamera(const QString& command);

    const PreviewSession* m_preview;
    QUdpSocket* m_socket;
    bool m_menuOpen = false;
};

#endif // CAMERACONTROL_H
