#ifndef QFFMPEG_H
#define QFFMPEG_H

#include <QElapsedTimer>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>

struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// Opens one RTSP stream, decodes its first video stream and hands every picture out as an RGB888 image.
// Init() and Play() run on the decode thread, Stop() on any thread; the object lives on the receiver's
// thread, where GetImage() is emitted. One object serves one connection.
class QFFmpeg : public QObject
{
    Q_OBJECT

public:
    explicit QFFmpeg(QObject* parent = nullptr);
    ~QFFmpeg() override;

    void SetUrl(QString url) { this->url = url; }
    // How RTP travels: "tcp" (the default), interleaved on the RTSP connection, or "udp".
    void SetTransport(QString transport) { this->transport = transport; }
    // Opens the stream; gives up after kOpenTimeoutMs or at Stop().
    bool Init();
    // After a failed Init(): the camera answered but would not send RTP over this transport.
    bool TransportRefused() const { return transportRefused; }
    // Decodes until Stop(); a stream that ends or breaks is read again after a short pause. The stream is
    // closed, with a TEARDOWN, before it returns.
    void Play();
    void Stop() { running = false; }

    static const int kOpenTimeoutMs = 5000;

signals:
    // The newest picture: one that arrives before the last one was taken replaces it.
    void GetImage(QImage image);

private:
    // Converter settings of the pictures it was made for.
    struct SourceFormat {
        int width = 0;
        int height = 0;
        int format = -1;
        bool fullRange = false;
        int colorspace = -1;
        bool operator==(const SourceFormat& o) const
        {
            return width == o.width && height == o.height && format == o.format && fullRange == o.fullRange &&
                   colorspace == o.colorspace;
        }
    };

    static int interruptCallback(void* opaque);
    qint64 now() const { return clock.elapsed(); }
    bool openStream();
    void closeStream();
    bool prepareConverter();
    int freeBuffer(int width, int height);
    void convertAndPost();
    void deliver();

    QMutex mutex;            // guards the mailbox
    QImage mailbox;          // the newest picture not yet taken by the receiver's thread
    QVector<QImage> buffers; // pictures converted into, reused once nobody else holds them
    AVFormatContext* formatCtx = nullptr;
    AVCodecContext* codecCtx = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* swsCtx = nullptr;
    SourceFormat swsSource;
    const AVCodec* codec = nullptr;
    AVPacket* packet = nullptr;
    QString url;
    QString transport = QStringLiteral("tcp");
    bool transportRefused = false;
    int videoWidth = 0;
    int videoHeight = 0;
    int videoStreamIndex = -1;
    std::atomic<bool> running{true};
    QElapsedTimer clock;
    std::atomic<qint64> ioDeadline{0}; // blocking FFmpeg calls give up after this time of `clock`
    std::atomic<bool> closing{false};  // a closing stream may finish its TEARDOWN even after Stop()
};

#endif // QFFMPEG_H
