#include "qffmpeg.h"

#include <QDebug>
#include <QThread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace
{
// Socket I/O limit for the RTSP connection, so a camera that accepts but never answers cannot hold Init().
const char* const kSocketTimeoutUs = "5000000";
// Pause after a failed read: an ended or broken stream keeps being retried without spinning a core.
const unsigned long kReadRetryMs = 20;
} // namespace

QFFmpeg::QFFmpeg(QObject* parent) : QObject(parent)
{
    avformat_network_init();
    formatCtx = avformat_alloc_context();
    formatCtx->interrupt_callback.callback = &QFFmpeg::interruptCallback;
    formatCtx->interrupt_callback.opaque = this;
    frame = av_frame_alloc();
    packet = av_packet_alloc();
}

QFFmpeg::~QFFmpeg()
{
    qDebug() << "enter ~QFFmpeg";
    avcodec_free_context(&codecCtx);
    codec = nullptr;
    if (formatCtx) {
        avformat_close_input(&formatCtx);
        if (formatCtx)
            avformat_free_context(formatCtx);
        formatCtx = nullptr;
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    if (swsCtx) {
        sws_freeContext(swsCtx);
        swsCtx = nullptr;
    }
    av_freep(&picture.data[0]);
    avformat_network_deinit();
    qDebug() << "leave ~QFFmpeg";
}

// Lets Stop() cut short a read that blocks inside FFmpeg.
int QFFmpeg::interruptCallback(void* opaque)
{
    return static_cast<QFFmpeg*>(opaque)->running ? 0 : 1;
}

bool QFFmpeg::Init()
{
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "timeout", kSocketTimeoutUs, 0);
    if (avformat_open_input(&formatCtx, url.toUtf8().constData(), nullptr, &options) < 0) {
        qDebug() << "打开视频流失败";
        av_dict_free(&options);
        return false;
    }
    av_dict_free(&options);

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
    codecCtx = avcodec_alloc_context3(nullptr);
    if (!codecCtx || avcodec_parameters_to_context(codecCtx, params) < 0) {
        qDebug() << "打开解码器失败";
        return false;
    }
    videoWidth = codecCtx->width;
    videoHeight = codecCtx->height;

    if (av_image_alloc(picture.data, picture.linesize, videoWidth, videoHeight, AV_PIX_FMT_RGB24, 1) < 0) {
        qDebug() << "打开解码器失败";
        return false;
    }
    codec = avcodec_find_decoder(codecCtx->codec_id);
    swsCtx = sws_getContext(videoWidth, videoHeight, AV_PIX_FMT_YUV420P, videoWidth, videoHeight,
                            AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!codec || !swsCtx || avcodec_open2(codecCtx, codec, nullptr) < 0) {
        qDebug() << "打开解码器失败";
        return false;
    }
    qDebug() << "初始化视频流成功";
    return true;
}

void QFFmpeg::Play()
{
    try {
        while (running) {
            if (av_read_frame(formatCtx, packet) < 0) {
                av_packet_unref(packet);
                if (running)
                    QThread::msleep(kReadRetryMs);
                continue;
            }
            if (packet->stream_index != videoStreamIndex) {
                av_packet_unref(packet);
                continue;
            }
            if (avcodec_send_packet(codecCtx, packet) >= 0) {
                while (running && avcodec_receive_frame(codecCtx, frame) == 0)
                    convertAndEmit();
            }
            av_packet_unref(packet);
        }
    } catch (const QString& error) {
        qDebug() << "Play() get stream failed exception: " << error;
        running = false;
    }
}

void QFFmpeg::convertAndEmit()
{
    // The converter was made for the probed size; a picture of another size would be read out of bounds.
    if (frame->width != videoWidth || frame->height != videoHeight)
        return;
    QMutexLocker lock(&mutex);
    sws_scale(swsCtx, frame->data, frame->linesize, 0, videoHeight, picture.data, picture.linesize);
    const QImage wrapped(picture.data[0], videoWidth, videoHeight, picture.linesize[0],
                         QImage::Format_RGB888);
    // A deep copy: the queued image must survive the next conversion into the same buffer.
    emit GetImage(wrapped.copy());
}
