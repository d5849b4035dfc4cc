// camsim's RTSP service read by FFmpeg over loopback: picture size and latency pattern of a stream of the
// client's own and of one running from start-up (the decoder tests read the audio, UDP-only and /2 cases).
#include "camsimrun.h"

#include <QDateTime>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace
{

struct Opened {
    QSize size;
    int number = -1;   // of the first picture, from the latency pattern
    qint64 ageMs = -1; // now minus the send time in that picture
};

// The picture number and age stamped into the luma; false when the picture carries no pattern.
bool readPattern(const AVFrame* frame, Opened& result)
{
    const int block = qMax(4, frame->width / 64) & ~1;
    auto bit = [&](int i) {
        return frame->data[0][block / 2 * frame->linesize[0] + i * block + block / 2] > 128;
    };
    if (!frame->data[0] || !bit(0) || bit(1))
        return false;
    quint64 bits = 0;
    for (int i = 2; i < 50; ++i)
        bits = (bits << 1) | quint64(bit(i));
    result.number = int(bits & 0xffff);
    result.ageMs = qint32(quint32(QDateTime::currentMSecsSinceEpoch()) - quint32(bits >> 16));
    return true;
}

// The first video stream's size and, when asked, its first picture's latency pattern, read from the luma.
Opened open(bool readPicture)
{
    Opened result;
    AVFormatContext* format = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "timeout", "5000000", 0);
    const bool opened = avformat_open_input(&format, "rtsp://127.0.0.61:8561/1", nullptr, &options) >= 0 &&
                        avformat_find_stream_info(format, nullptr) >= 0;
    av_dict_free(&options);
    const int stream = opened ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
    if (stream < 0 || format->streams[stream]->codecpar->codec_id != AV_CODEC_ID_H264) {
        avformat_close_input(&format);
        return result;
    }
    result.size = QSize(format->streams[stream]->codecpar->width, format->streams[stream]->codecpar->height);
    AVCodecContext* codec = avcodec_alloc_context3(nullptr);
    avcodec_parameters_to_context(codec, format->streams[stream]->codecpar);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    avcodec_open2(codec, avcodec_find_decoder(codec->codec_id), nullptr);
    // A shared stream joined mid-picture starts with a damaged one: read on until the pattern shows.
    for (int packets = 0; readPicture && packets < 200 && av_read_frame(format, packet) >= 0; ++packets) {
        const bool decoded = packet->stream_index == stream && avcodec_send_packet(codec, packet) >= 0 &&
                             avcodec_receive_frame(codec, frame) == 0;
        av_packet_unref(packet);
        if (decoded && !(frame->flags & AV_FRAME_FLAG_CORRUPT) && !frame->decode_error_flags &&
            readPattern(frame, result))
            break;
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return result;
}

} // namespace

class TestCamsimRtsp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { avformat_network_init(); }

    void stream_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("firstNumber"); // -1: pattern not read; 0: below 25; else at least this
        QTest::newRow("video 320x240") << QStringList{"--rtsp-size", "320x240"} << QSize(320, 240) << -1;
        // Joined 2 s after start-up: a stream of the client's own starts at picture 0, a shared one has run.
        QTest::newRow("own stream, stamped") << QStringList{"--latency-pattern"} << QSize(640, 360) << 0;
        QTest::newRow("shared stream, stamped")
            << QStringList{"--latency-pattern", "--rtsp-shared"} << QSize(640, 360) << 25;
    }
    void stream()
    {
        QFETCH(QStringList, args);
        QFETCH(QSize, size);
        QFETCH(int, firstNumber);
        CamsimRun run;
        QVERIFY(run.start(
            QStringList{"--address", "127.0.0.61", "--no-discovery", "--no-visca", "--rtsp-port", "8561"} +
            args));
        if (firstNumber >= 0)
            QTest::qWait(2000);
        const Opened result = open(firstNumber >= 0);
        QCOMPARE(result.size, size);
        if (firstNumber >= 0) {
            QVERIFY2(firstNumber ? result.number >= firstNumber : result.number >= 0 && result.number < 25,
                     qPrintable(QString::number(result.number)));
            // Sent a moment ago; probing keeps what it reads, so up to a second or two before.
            QVERIFY2(result.ageMs >= 0 && result.ageMs < 3000, qPrintable(QString::number(result.ageMs)));
        }
    }
};

QTEST_GUILESS_MAIN(TestCamsimRtsp)
#include "test_camsim_rtsp.moc"
