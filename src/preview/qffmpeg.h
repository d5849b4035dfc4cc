#ifndef QFFMPEG_H
#define QFFMPEG_H

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>

struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// Opens one RTSP stream, decodes its first video stream and hands every picture out as an RGB888 image.
// Init() and Stop() run on the owner's thread, Play() on the decode thread.
class QFFmpeg : public QObject
{
    Q_OBJECT

public:
    explicit QFFmpeg(QObject* parent = nullptr);
    ~QFFmpeg() override;

    void SetUrl(QString url) { this->url = url; }
    bool Init();
    void Play();
    void Stop() { running = false; }

signals:
    void GetImage(QImage image);

private:
    // RGB24 destination planes, one buffer reused for every frame.
    struct Picture {
        uint8_t* data[4] = {};
        int linesize[4] = {};
    };

    static int interruptCallback(void* opaque);
    void convertAndEmit();

    QMutex mutex;
    Picture picture;
    AVFormatContext* formatCtx = nullptr;
    AVCodecContext* codecCtx = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* swsCtx = nullptr;
    const AVCodec* codec = nullptr;
    AVPacket* packet = nullptr;
    QString url;
    int videoWidth = 0;
    int videoHeight = 0;
    int videoStreamIndex = -1;
    std::atomic<bool> running{true};
};

#endif // QFFMPEG_H
