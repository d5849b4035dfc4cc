#include "previewsession.h"

#include <QDebug>
#include <QTcpSocket>

#include "qffmpeg.h"
#include "rtspthread.h"
#include "validators.h"

PreviewSession::PreviewSession(QObject* parent) : QObject(parent)
{
    // A coarse timer may fire up to 5% early: the limits are kept to the millisecond.
    for (QTimer* timer : {m_probeTimer, m_watchdog, m_retry}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(m_probeTimer, &QTimer::timeout, this, [this] { probeAnswered(false); });
    connect(m_watchdog, &QTimer::timeout, this, &PreviewSession::stalled);
    connect(m_retry, &QTimer::timeout, this, [this] { open(false); });
}

// The threads still ending are children: each waits for its decoder, which Stop() cuts short.
PreviewSession::~PreviewSession()
{
    stop();
}

bool PreviewSession::start(const QString& address, const QString& port)
{
    stop();
    if (address.isEmpty() || port.isEmpty() || !validators::isValidHostIp(address))
        return false;
    m_host = address;
    m_url = QStringLiteral("rtsp://") + address + QStringLiteral(":") + port + QStringLiteral("/1");
    m_state = State::Probing;

    QTcpSocket* probe = new QTcpSocket(this);
    m_probe = probe;
    // Queued, so that even a refusal seen inside connectToHost() arrives after start() has returned.
    const auto answer = [this, probe](bool reachable) {
        return [this, probe, reachable] {
            if (probe == m_probe)
                probeAnswered(reachable);
        };
    };
    connect(probe, &QTcpSocket::connected, this, answer(true), Qt::QueuedConnection);
    connect(probe, &QAbstractSocket::errorOccurred, this, answer(false), Qt::QueuedConnection);
    m_probeTimer->start(kProbeTimeoutMs);
    // Letters read as port 0, which nobody answers.
    probe->connectToHost(address, quint16(port.toInt()));
    return true;
}

void PreviewSession::probeAnswered(bool reachable)
{
    if (m_state != State::Probing)
        return;
    m_probeTimer->stop();
    m_probe->abort();
    m_probe->deleteLater();
    m_probe = nullptr;
    if (!reachable) {
        qDebug() << "connection timeout";
        m_state = State::Idle;
        emit failed(Failure::Unreachable);
        return;
    }
    m_camera = QHostAddress(m_host);
    m_state = State::Opening;
    open(false);
}

void PreviewSession::open(bool udp)
{
    // An attempt starts with TCP; UDP, its second half, does not count as another.
    if (!udp)
        m_lastOpen.start();
    m_udp = udp;
    m_thread = new RtspThread(this);
    // The thread owns its decoder, so the decoder goes only after the thread has left Play().
    m_decoder = new QFFmpeg(m_thread);
    m_decoder->SetUrl(m_url);
    m_decoder->SetTransport(m_udp ? QStringLiteral("udp") : QStringLiteral("tcp"));
    m_thread->ffmpeg = m_decoder;
    connect(m_decoder, &QFFmpeg::GetImage, this, &PreviewSession::pictureArrived);
    // Emitted on the decode thread: the answer may arrive after this connection was given up.
    const RtspThread* thread = m_thread;
    connect(m_thread, &RtspThread::opened, this, [this, thread](bool ok) {
        if (thread == m_thread)
            decoderOpened(ok);
    });
    m_thread->start();
}

void PreviewSession::decoderOpened(bool ok)
{
    if (ok) {
        m_watchdog->start(kStallMs);
        if (m_state == State::Opening) {
            m_state = State::Playing;
            emit opened();
        }
        return;
    }
    const bool tcpRefused = !m_udp && m_decoder->TransportRefused();
    retire();
    if (tcpRefused) {
        open(true);
    } else if (m_state == State::Playing) {
        // The camera may be rebooting: try again, the attempts kStallMs apart.
        m_retry->start(int(qMax<qint64>(0, kStallMs - m_lastOpen.elapsed())));
    } else {
        m_state = State::Idle;
        emit failed(Failure::StreamFailed);
    }
}

void PreviewSession::pictureArrived(const QImage& image)
{
    m_watchdog->start(kStallMs);
    emit frame(image);
}

void PreviewSession::stalled()
{
    qDebug() << "no picture for" << kStallMs << "ms, opening the stream again";
    emit reconnecting();
    retire();
    open(false);
}

void PreviewSession::stop()
{
    m_probeTimer->stop();
    m_watchdog->stop();
    m_retry->stop();
    if (m_probe) {
        m_probe->abort();
        m_probe->deleteLater();
        m_probe = nullptr;
    }
    retire();
    m_state = State::Idle;
}

// Lets the current decoder go without waiting: it stops at once, and its thread deletes itself and the
// decoder once run() has returned. Pictures it still hands out reach nobody.
void PreviewSession::retire()
{
    if (!m_thread)
        return;
    QFFmpeg* decoder = m_decoder;
    RtspThread* thread = m_thread;
    m_decoder = nullptr;
    m_thread = nullptr;
    decoder->disconnect(this);
    thread->disconnect(this);
    decoder->Stop();
    thread->stop();
    thread->requestInterruption();
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (thread->isFinished())
        thread->deleteLater();
}
