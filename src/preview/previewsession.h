#ifndef PREVIEWSESSION_H
#define PREVIEWSESSION_H

#include <QElapsedTimer>
#include <QHostAddress>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>

class QFFmpeg;
class QTcpSocket;
class RtspThread;

// One camera's live view. It checks the address typed, probes the RTSP port, opens the stream on a decode
// thread of its own (RTP over TCP, over UDP when the camera refuses TCP: at each attempt, so one odd answer
// cannot tie a camera to UDP), hands the pictures on, and opens the stream again when it stops delivering.
// Nothing here blocks the caller's thread: a decoder given up ends on its thread and is deleted there once it
// has.
class PreviewSession : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Probing, Opening, Playing };
    Q_ENUM(State)
    enum class Failure {
        Unreachable,  // no TCP connection to the RTSP port within kProbeTimeoutMs
        StreamFailed, // the port answered, but no video stream could be opened
    };
    Q_ENUM(Failure)

    explicit PreviewSession(QObject* parent = nullptr);
    ~PreviewSession() override;

    // Starts over with this camera. False, and nothing started, when the address is not a usable IPv4 host
    // address or the port is empty; the port text goes into the URL as typed.
    bool start(const QString& address, const QString& port);
    // Back to Idle at once; no signal follows.
    void stop();

    State state() const { return m_state; }
    bool isActive() const { return m_state != State::Idle; }
    bool isPlaying() const { return m_state == State::Playing; }
    // The camera that last passed the probe; kept after a stop.
    QHostAddress cameraAddress() const { return m_camera; }
    QString url() const { return m_url; }
    // The current connection's decoder and its thread; null while none is open.
    QFFmpeg* decoder() const { return m_decoder; }
    RtspThread* thread() const { return m_thread; }

    static const int kProbeTimeoutMs = 1500;
    // A playing stream without a picture for this long is opened again; attempts start at least this far
    // apart.
    static const int kStallMs = 5000;

signals:
    // Playing: pictures follow.
    void opened();
    // Back to Idle.
    void failed(PreviewSession::Failure failure);
    void frame(const QImage& image);
    // No picture for kStallMs: the stream is being opened again, and then, if that fails, every kStallMs
    // until it opens or stop() is called.
    void reconnecting();

private:
    void probeAnswered(bool reachable);
    void open(bool udp);
    void decoderOpened(bool ok);
    void pictureArrived(const QImage& image);
    void stalled();
    void retire();

    State m_state = State::Idle;
    QString m_host;
    QString m_url;
    QHostAddress m_camera;
    QTcpSocket* m_probe = nullptr;
    QTimer* m_probeTimer = new QTimer(this);
    QFFmpeg* m_decoder = nullptr;
    RtspThread* m_thread = nullptr;
    bool m_udp = false;                    // this attempt's TCP was refused: RTP over UDP
    QTimer* m_watchdog = new QTimer(this); // runs out kStallMs after the last picture
    QTimer* m_retry = new QTimer(this);    // the next attempt after a failed reopening
    QElapsedTimer m_lastOpen;
};

#endif // PREVIEWSESSION_H
