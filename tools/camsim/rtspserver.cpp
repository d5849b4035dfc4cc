#include "rtspserver.h"

#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>
#include <gst/video/video.h>

#include <QCoreApplication>
#include <QJsonObject>

#include <atomic>
#include <cstring>

namespace
{

RtspServer::Behaviour behaviour;

// The latency pattern: square blocks along the top rows, white for 1 and black for 0: a 1 and a 0 to find it,
// then the send time (milliseconds since the epoch, low 32 bits) and the picture number (low 16 bits), each
// most significant bit first.
const int kPatternBits = 2 + 32 + 16;

int patternBlock(int width)
{
    return qMax(4, width / 64) & ~1;
}

QString videoBranch(const RtspServer::Options& o, int payloader)
{
    // A key frame every second, so a client that joins late shows a picture within a second.
    return QStringLiteral(
               "videotestsrc name=src is-live=true pattern=ball ! video/x-raw,format=I420,width=%1,height=%2,"
               "framerate=%3/1 ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=%3 ! "
               "rtph264pay name=pay%4 pt=96 config-interval=1")
        .arg(o.width)
        .arg(o.height)
        .arg(o.fps)
        .arg(payloader);
}

QString launchLine(const RtspServer::Options& o)
{
    if (!o.audioFirst)
        return QStringLiteral("( %1 )").arg(videoBranch(o, 0));
    return QStringLiteral("( audiotestsrc is-live=true wave=sine ! audioconvert ! audioresample ! "
                          "audio/x-raw,rate=8000,channels=1 ! alawenc ! rtppcmapay name=pay0 pt=8 %1 )")
        .arg(videoBranch(o, 1));
}

// What one stream's probes know: the source pad counts and stamps pictures, the payloader's source pad sees
// each picture leave and so measures how long encoding takes, which is added to the stamp of the next
// pictures.
struct PictureProbe {
    int fps = 25;
    quint64 pictures = 0;
    GstVideoInfo info;
    bool haveInfo = false;
    GstCaps* leftSource = gst_caps_new_empty_simple("timestamp/x-camsim-left-source");
    std::atomic<gint64> sendDelayUs{0};
    ~PictureProbe() { gst_caps_unref(leftSource); }
};

void fillBlock(GstVideoFrame* frame, int x0, int size, bool white)
{
    for (guint c = 0; c < GST_VIDEO_FRAME_N_COMPONENTS(frame); ++c) {
        const int sx = GST_VIDEO_FRAME_COMP_WIDTH(frame, c) * x0 / GST_VIDEO_FRAME_WIDTH(frame);
        const int w = GST_VIDEO_FRAME_COMP_WIDTH(frame, c) * size / GST_VIDEO_FRAME_WIDTH(frame);
        const int h = GST_VIDEO_FRAME_COMP_HEIGHT(frame, c) * size / GST_VIDEO_FRAME_HEIGHT(frame);
        auto* plane = static_cast<guint8*>(GST_VIDEO_FRAME_COMP_DATA(frame, c));
        const int stride = GST_VIDEO_FRAME_COMP_STRIDE(frame, c);
        const guint8 value = c > 0 ? 128 : white ? 235 : 16;
        for (int y = 0; y < h; ++y)
            memset(plane + y * stride + sx, value, size_t(w));
    }
}

void stampPicture(PictureProbe* probe, GstBuffer* buffer, gint64 nowUs, quint16 number)
{
    // The encoder and the payloader pass this on to every packet of the picture.
    gst_buffer_add_reference_timestamp_meta(buffer, probe->leftSource, GstClockTime(nowUs) * 1000,
                                            GST_CLOCK_TIME_NONE);
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &probe->info, buffer, GST_MAP_WRITE))
        return;
    const int block = patternBlock(GST_VIDEO_FRAME_WIDTH(&frame));
    const quint32 ms = quint32((nowUs + probe->sendDelayUs) / 1000);
    for (int bit = 0; bit < kPatternBits; ++bit) {
        bool white = bit == 0;
        if (bit >= 2 && bit < 34)
            white = (ms >> (33 - bit)) & 1;
        else if (bit >= 34)
            white = (number >> (49 - bit)) & 1;
        fillBlock(&frame, bit * block, block, white);
    }
    gst_video_frame_unmap(&frame);
}

GstPadProbeReturn onPicture(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    auto* probe = static_cast<PictureProbe*>(data);
    const quint64 number = probe->pictures++;
    if (behaviour.stallAfterMs > 0 && number * 1000 >= quint64(behaviour.stallAfterMs) * quint64(probe->fps))
        return GST_PAD_PROBE_DROP;
    if (!behaviour.latencyPattern)
        return GST_PAD_PROBE_OK;
    if (!probe->haveInfo) {
        GstCaps* caps = gst_pad_get_current_caps(pad);
        probe->haveInfo = caps && gst_video_info_from_caps(&probe->info, caps);
        if (caps)
            gst_caps_unref(caps);
        if (!probe->haveInfo)
            return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = gst_buffer_make_writable(gst_pad_probe_info_get_buffer(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    stampPicture(probe, buffer, g_get_real_time(), quint16(number));
    return GST_PAD_PROBE_OK;
}

// The last packet of a picture (RTP marker) leaving the payloader, alone or in a list.
GstPadProbeReturn onPackets(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* probe = static_cast<PictureProbe*>(data);
    auto sent = [probe](GstBuffer* packet) {
        if (!GST_BUFFER_FLAG_IS_SET(packet, GST_BUFFER_FLAG_MARKER))
            return;
        if (const auto* left = gst_buffer_get_reference_timestamp_meta(packet, probe->leftSource))
            probe->sendDelayUs = g_get_real_time() - gint64(left->timestamp / 1000);
    };
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList* list = gst_pad_probe_info_get_buffer_list(info);
        for (guint i = 0; i < gst_buffer_list_length(list); ++i)
            sent(gst_buffer_list_get(list, i));
    } else {
        sent(gst_pad_probe_info_get_buffer(info));
    }
    return GST_PAD_PROBE_OK;
}

void addProbe(GstElement* bin, const char* element, GstPadProbeType type, GstPadProbeCallback callback,
              PictureProbe* probe, GDestroyNotify release)
{
    GstElement* found = gst_bin_get_by_name(GST_BIN(bin), element);
    GstPad* pad = found ? gst_element_get_static_pad(found, "src") : nullptr;
    if (pad) {
        gst_pad_add_probe(pad, type, callback, probe, release);
        gst_object_unref(pad);
    } else if (release) {
        release(probe);
    }
    if (found)
        gst_object_unref(found);
}

void onMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer data)
{
    if (behaviour.stallAfterMs <= 0 && !behaviour.latencyPattern)
        return;
    const auto* options = static_cast<const RtspServer::Options*>(data);
    GstElement* bin = gst_rtsp_media_get_element(media);
    // A camera sends each picture as soon as it is encoded; the server would otherwise hold it back by the
    // latency the pipeline reports.
    GstObject* pipeline = gst_object_get_parent(GST_OBJECT(bin));
    if (pipeline && GST_IS_PIPELINE(pipeline))
        gst_pipeline_set_latency(GST_PIPELINE(pipeline), 0);
    if (pipeline)
        gst_object_unref(pipeline);
    auto* probe = new PictureProbe;
    probe->fps = options->fps;
    // The payloader's probe is removed with its pad, before the source's probe frees the shared state.
    addProbe(bin, options->audioFirst ? "pay1" : "pay0",
             GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST), onPackets, probe,
             nullptr);
    addProbe(bin, "src", GST_PAD_PROBE_TYPE_BUFFER, onPicture, probe,
             [](gpointer p) { delete static_cast<PictureProbe*>(p); });
    gst_object_unref(bin);
}

GstRTSPFilterResult dropClient(GstRTSPServer*, GstRTSPClient*, gpointer)
{
    return GST_RTSP_FILTER_REMOVE;
}

} // namespace

struct RtspServer::Impl {
    Options options;
    GstRTSPServer* server = nullptr;
    GstRTSPMedia* runningMedia = nullptr;
    guint sourceId = 0;

    static void report(GstRTSPClient* client, GstRTSPContext* ctx, const char* method, gpointer self)
    {
        if (!behaviour.onRequest)
            return;
        const gchar* peer = gst_rtsp_connection_get_ip(gst_rtsp_client_get_connection(client));
        QJsonObject fields{{"method", method},
                           {"from", QString::fromUtf8(peer)},
                           {"wall_ms", double(g_get_real_time() / 1000)}};
        gchar* transport = nullptr;
        if (gst_rtsp_message_get_header(ctx->request, GST_RTSP_HDR_TRANSPORT, &transport, 0) == GST_RTSP_OK)
            fields.insert("transport", QString::fromUtf8(transport));
        // Clients are served on the server's own thread; the log belongs to the main one.
        const QString camera = static_cast<Impl*>(self)->options.address;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [camera, fields] { behaviour.onRequest(camera, fields); },
            Qt::QueuedConnection);
    }
    static GstRTSPStatusCode onSetup(GstRTSPClient* c, GstRTSPContext* ctx, gpointer self)
    {
        report(c, ctx, "SETUP", self);
        return GST_RTSP_STS_OK;
    }
    static GstRTSPStatusCode onPlay(GstRTSPClient* c, GstRTSPContext* ctx, gpointer self)
    {
        report(c, ctx, "PLAY", self);
        return GST_RTSP_STS_OK;
    }
    static GstRTSPStatusCode onTeardown(GstRTSPClient* c, GstRTSPContext* ctx, gpointer self)
    {
        report(c, ctx, "TEARDOWN", self);
        return GST_RTSP_STS_OK;
    }
    static void onClient(GstRTSPServer*, GstRTSPClient* client, gpointer self)
    {
        g_signal_connect(client, "pre-setup-request", G_CALLBACK(onSetup), self);
        g_signal_connect(client, "pre-play-request", G_CALLBACK(onPlay), self);
        g_signal_connect(client, "pre-teardown-request", G_CALLBACK(onTeardown), self);
    }
    bool startRunningMedia(GstRTSPMediaFactory* factory)
    {
        const QByteArray url =
            QStringLiteral("rtsp://%1:%2/1").arg(options.address).arg(options.port).toUtf8();
        GstRTSPUrl* parsed = nullptr;
        if (gst_rtsp_url_parse(url.constData(), &parsed) != GST_RTSP_OK)
            return false;
        runningMedia = gst_rtsp_media_factory_construct(factory, parsed);
        gst_rtsp_url_free(parsed);
        if (!runningMedia)
            return false;
        GstRTSPThreadPool* pool = gst_rtsp_server_get_thread_pool(server);
        GstRTSPContext context{};
        GstRTSPThread* thread = gst_rtsp_thread_pool_get_thread(pool, GST_RTSP_THREAD_TYPE_MEDIA, &context);
        g_object_unref(pool);
        if (!thread || !gst_rtsp_media_prepare(runningMedia, thread))
            return false;
        // Playing with no client at all: the senders a client's SETUP would make are made now, and this
        // preparation outlives every client's, so the server never stops the shared stream.
        GstRTSPTransport* transport = nullptr;
        gst_rtsp_transport_new(&transport);
        transport->lower_transport = GST_RTSP_LOWER_TRANS_TCP;
        for (guint i = 0; i < gst_rtsp_media_n_streams(runningMedia); ++i)
            gst_rtsp_stream_complete_stream(gst_rtsp_media_get_stream(runningMedia, i), transport);
        gst_rtsp_transport_free(transport);
        GPtrArray* noTransports = g_ptr_array_new();
        const bool playing = gst_rtsp_media_set_state(runningMedia, GST_STATE_PLAYING, noTransports);
        g_ptr_array_unref(noTransports);
        return playing;
    }
};

void RtspServer::setBehaviour(const Behaviour& b)
{
    behaviour = b;
}

RtspServer::RtspServer() : d(new Impl) {}

RtspServer::~RtspServer()
{
    stop();
    delete d;
}

bool RtspServer::start(const Options& options)
{
    stop();
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);

    d->options = options;
    d->server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(d->server, options.address.toUtf8().constData());
    gst_rtsp_server_set_service(d->server, QByteArray::number(options.port).constData());
    g_signal_connect(d->server, "client-connected", G_CALLBACK(Impl::onClient), d);

    // Only "/1" is mounted: any other path gets the server's own "not found" answer.
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory, launchLine(options).toUtf8().constData());
    // A client that comes back, after a stall or a refused SETUP, gets a stream of its own: a shared one
    // could still be shutting down after its last client left (unless it is kept running).
    gst_rtsp_media_factory_set_shared(factory, behaviour.shared ||
                                                   (behaviour.stallAfterMs <= 0 && !behaviour.udpOnly));
    if (behaviour.udpOnly)
        gst_rtsp_media_factory_set_protocols(factory, GST_RTSP_LOWER_TRANS_UDP);
    g_signal_connect(factory, "media-configure", G_CALLBACK(onMediaConfigure), &d->options);
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(d->server);
    gst_rtsp_mount_points_add_factory(mounts, "/1", GST_RTSP_MEDIA_FACTORY(g_object_ref(factory)));
    g_object_unref(mounts);

    d->sourceId = gst_rtsp_server_attach(d->server, nullptr);
    const bool running = d->sourceId != 0 && (!behaviour.shared || d->startRunningMedia(factory));
    g_object_unref(factory);
    if (!running) {
        stop();
        return false;
    }
    return true;
}

void RtspServer::stop()
{
    if (!d->server)
        return;
    if (d->sourceId != 0) {
        g_source_remove(d->sourceId);
        d->sourceId = 0;
    }
    gst_rtsp_server_client_filter(d->server, dropClient, nullptr);
    if (d->runningMedia) {
        gst_rtsp_media_unprepare(d->runningMedia);
        g_object_unref(d->runningMedia);
        d->runningMedia = nullptr;
    }
    g_object_unref(d->server);
    d->server = nullptr;
}
