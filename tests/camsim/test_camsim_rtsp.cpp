// camsim's RTSP service read by FFmpeg over loopback: the configured picture size, the track order, and
// refusal of other paths.
#include "camsimrun.h"

#include <QtTest>

extern "C" {
#include <libavformat/avformat.h>
}

namespace
{

const char* const kCamera = "127.0.0.61";
const char* const kPort = "8561";

struct Opened {
    bool ok = false;
    QList<AVMediaType> tracks;
    int width = 0;
    int height = 0;
    AVCodecID codec = AV_CODEC_ID_NONE;
};

Opened probe(const QString& path)
{
    Opened result;
    AVFormatContext* format = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "timeout", "5000000", 0);
    const QByteArray url = QString("rtsp://%1:%2%3").arg(kCamera, kPort, path).toUtf8();
    const int opened = avformat_open_input(&format, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return result;
    if (avformat_find_stream_info(format, nullptr) >= 0) {
        result.ok = true;
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVCodecParameters* par = format->streams[i]->codecpar;
            result.tracks.append(par->codec_type);
            if (par->codec_type == AVMEDIA_TYPE_VIDEO && result.width == 0) {
                result.width = par->width;
                result.height = par->height;
                result.codec = par->codec_id;
            }
        }
    }
    avformat_close_input(&format);
    return result;
}

} // namespace

Q_DECLARE_METATYPE(QList<AVMediaType>)

class TestCamsimRtsp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { avformat_network_init(); }
    void stream_data();
    void stream();
};

void TestCamsimRtsp::stream_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QList<AVMediaType>>("tracks");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("video 320x240") << QStringList{"--rtsp-size", "320x240"} << "/1" << true
                                   << QList<AVMediaType>{AVMEDIA_TYPE_VIDEO} << 320 << 240;
    QTest::newRow("audio before video")
        << QStringList{"--rtsp-size", "176x144", "--rtsp-audio"} << "/1" << true
        << QList<AVMediaType>{AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_VIDEO} << 176 << 144;
    QTest::newRow("other path refused") << QStringList() << "/2" << false << QList<AVMediaType>() << 0 << 0;
}

void TestCamsimRtsp::stream()
{
    QFETCH(QStringList, args);
    QFETCH(QString, path);
    QFETCH(bool, opens);
    QFETCH(QList<AVMediaType>, tracks);
    QFETCH(int, width);
    QFETCH(int, height);
    CamsimRun run;
    QVERIFY(run.start(
        QStringList{"--address", kCamera, "--no-discovery", "--no-visca", "--rtsp-port", kPort} + args));
    const Opened result = probe(path);
    QCOMPARE(result.ok, opens);
    QCOMPARE(result.tracks, tracks);
    QCOMPARE(result.width, width);
    QCOMPARE(result.height, height);
    if (opens)
        QCOMPARE(result.codec, AV_CODEC_ID_H264);
}

QTEST_GUILESS_MAIN(TestCamsimRtsp)
#include "test_camsim_rtsp.moc"
