#include "qffmpeg.h"

#include <QDebug>
#include <QMutexLocker>
#include <QThread>

#include <limits>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace
{
// Pause after a failed read: an ended or broken stream keeps being retried without spinning a core.
const unsigned long kReadRetryMs = 20;
// How long closing a stream may take to send its TEARDOWN.
const int kTeardownMs = 500;
// Pictures converted into: one drawn, one waiting, one being written.
const int kBuffers = 3;

// The full-range ("J") formats are their limited-range twins read with full range.
const std::pair<AVPixelFormat, AVPixelFormat> kFullRangeTwins[] = {{AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P},
                                                                   {AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUV422P},
                                                                   {AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_YUV444P},
                                                                   {AV_PIX_FMT_YUVJ440P, AV_PIX_FMT_YUV440P},
                                                                   {AV_PIX_FMT_YUVJ411P, AV_PIX_FMT_YUV411P}};

AVPixelFormat withoutFullRange(AVPixelFormat format, bool* fullRange)
{
    for (const auto& [full, limited] : kFullRangeTwins) {
        if (format == full) {
            *fullRange = true;
            return limited;
        }
    }
    return format;
}
} // namespace

QFFmpeg::QFFmpeg(QObject* parent) : QObject(parent)
{
    clock.start();
    avformat_network_init();
    formatCtx = avformat_alloc_context();
    frame = av_frame_alloc();
    packet = av_packet_alloc();
}

QFFmpeg::~QFFmpeg()
{
    qDebug() << "enter ~QFFmpeg";
    closeStream();
    codec = nullptr;
    av_packet_free(&packet);
    av_frame_free(&frame);
    if (swsCtx) {
        sws_freeContext(swsCtx);
        swsCtx = nullptr;
    }
    avformat_network_deinit();
    qDebug() << "leave ~QFFmpeg";
}

// Cuts short whatever blocks inside FFmpeg: after Stop() or past the deadline, except while a closing stream
// sends its TEARDOWN.
int QFFmpeg::interruptCallback(void* opaque)
{
    const auto* self = static_cast<QFFmpeg*>(opaque);
    if (!self->closing && !self->running)
        return 1;
    return self->now() > self->ioDeadline ? 1 : 0;
}

bool QFFmpeg::Init()
{
    if (openStream())
        return true;
    // Closed here, on the thread that opened it, so the owner's thread never waits for a TEARDOWN.
    closeStream();
    return false;
}

bool QFFmpeg::openStream()
{
    closeStream();
    transportRefused = false;
    ioDeadline = now() + kOpenTimeoutMs;
    if (!formatCtx)
        formatCtx = avformat_alloc_context();
    formatCtx->interrupt_callback.callback = &QFFmpeg::interruptCallback;
    formatCtx->interrupt_callback.opaque = this;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", transport.toLatin1().constData(), 0);
    // Probe only what the first picture needs; the packets read while probing are kept, so a key frame
    // among them is the first picture.
    av_dict_set(&options, "probesize", "32", 0);
    av_dict_set(&options, "analyzeduration", "0", 0);
    const int opened = avformat_open_input(&formatCtx, url.toUtf8().constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        // "461 Unsupported transport", or an answer offering another transport than the one asked for.
        transportRefused = running && (opened == AVERROR(EPROTONOSUPPORT) || opened == AVERROR_INVALIDDATA);
        qDebug() << "打开视频流失败";
        return false;
    }

    if (avformat_find_stream_info(formatCtx, nullptr) < 0) {
        qDebug() << "获取视频流信息失败";
        return false;
    }

    videoStreamIndex = -1;
    for (unsigned i = 0; i < formatCtx->nb_streams; ++i) {
        if (formatCtx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            videoStreamIndex = static_cast<int>(i);
            break;
        }
    }
    if (videoStreamIndex == -1) {
        qDebug() << "获取视频流索引失败";
        return false;
    }

    const AVCodecParameters* params = formatCtx->streams[videoStreamIndex]->codecpar;
    codec = avcodec_find_decoder(params->codec_id);
    codecCtx = avcodec_alloc_context3(codec);
    if (!codec || !codecCtx || avcodec_parameters_to_context(codecCtx, params) < 0) {
        qDebug() << "打开解码器失败";
        return false;
    }
    videoWidth = codecCtx->width;
    videoHeight = codecCtx->height;
    // Slices in parallel on every core; frame threads would hold each picture back by a frame per thread.
    codecCtx->thread_count = 0;
    codecCtx->thread_type = FF_THREAD_SLICE;
    if (avcodec_open2(codecCtx, codec, nullptr) < 0) {
        qDebug() << "打开解码器失败";
        return false;
    }
    qDebug() << "初始化视频流成功";
    return true;
}

void QFFmpeg::closeStream()
{
    avcodec_free_context(&codecCtx);
    if (!formatCtx)
        return;
    closing = true;
    ioDeadline = now() + kTeardownMs;
    avformat_close_input(&formatCtx);
    if (formatCtx)
        avformat_free_context(formatCtx);
    formatCtx = nullptr;
    closing = false;
}

void QFFmpeg::Play()
{
    // Reads wait for pictures as long as it takes; Stop() cuts them short.
    ioDeadline = std::numeric_limits<qint64>::max();
    try {
        while (running && codecCtx) {
            if (av_read_frame(formatCtx, packet) < 0) {
                av_packet_unref(packet);
                if (running)
                    QThread::msleep(kReadRetryMs);
                continue;
            }
            if (packet->stream_index == videoStreamIndex && avcodec_send_packet(codecCtx, packet) >= 0) {
                while (running && avcodec_receive_frame(codecCtx, frame) == 0)
                    convertAndPost();
            }
            av_packet_unref(packet);
        }
    } catch (const QString& error) {
        qDebug() << "Play() get stream failed exception: " << error;
        running = false;
    }
    closeStream();
}

// Made again whenever the size or pixel format of the decoded pictures changes.
bool QFFmpeg::prepareConverter()
{
    SourceFormat source;
    source.width = frame->width;
    source.height = frame->height;
    source.fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    source.format = withoutFullRange(AVPixelFormat(frame->format), &source.fullRange);
    source.colorspace = frame->colorspace;
    if (swsCtx && source == swsSource)
        return true;
    sws_freeContext(swsCtx);
    swsSource = SourceFormat();
    swsCtx = sws_getContext(source.width, source.height, AVPixelFormat(source.format), source.width,
                            source.height, AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!swsCtx)
        return false;
    int* inverse = nullptr;
    int* table = nullptr;
    int fullRange = 0;
    int outRange = 0;
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    // The converter knows which formats are full range by nature (grey); the picture may say so too.
    sws_getColorspaceDetails(swsCtx, &inverse, &fullRange, &table, &outRange, &brightness, &contrast,
                             &saturation);
    sws_setColorspaceDetails(swsCtx, sws_getCoefficients(source.colorspace), fullRange || source.fullRange,
                             table, outRange, brightness, contrast, saturation);
    swsSource = source;
    return true;
}

// A buffer of that size nobody but the decoder holds, or a new one.
int QFFmpeg::freeBuffer(int width, int height)
{
    for (int i = 0; i < buffers.size(); ++i) {
        if (buffers[i].isDetached() && buffers[i].width() == width && buffers[i].height() == height) {
            // The receiver's last read of these pixels happened before it let go of them.
            std::atomic_thread_fence(std::memory_order_acquire);
            return i;
        }
    }
    // All in use, or of another size: the oldest is left to whoever holds it.
    if (buffers.size() == kBuffers)
        buffers.removeFirst();
    buffers.append(QImage(width, height, QImage::Format_RGB888));
    return buffers.size() - 1;
}

void QFFmpeg::convertAndPost()
{
    if (frame->width <= 0 || frame->height <= 0 || !prepareConverter())
        return;
    // Converted straight into the picture handed out.
    QImage& picture = buffers[freeBuffer(frame->width, frame->height)];
    uint8_t* planes[4] = {picture.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(picture.bytesPerLine()), 0, 0, 0};
    sws_scale(swsCtx, frame->data, frame->linesize, 0, frame->height, planes, strides);

    bool wasEmpty = false;
    {
        QMutexLocker lock(&mutex);
        wasEmpty = mailbox.isNull();
        mailbox = picture;
    }
    if (wasEmpty)
        QMetaObject::invokeMethod(this, &QFFmpeg::deliver, Qt::QueuedConnection);
}

void QFFmpeg::deliver()
{
    QImage image;
    {
        QMutexLocker lock(&mutex);
        image.swap(mailbox);
    }
    if (!image.isNull())
        emit GetImage(image);
}
