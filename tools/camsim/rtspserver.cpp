#include "rtspserver.h"

#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

namespace
{

QString videoBranch(const RtspServer::Options& o, int payloader)
{
    // A key frame every second, so a client that joins late shows a picture within a second.
    return QStringLiteral(
               "videotestsrc is-live=true pattern=ball ! video/x-raw,format=I420,width=%1,height=%2,"
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

GstRTSPFilterResult dropClient(GstRTSPServer*, GstRTSPClient*, gpointer)
{
    return GST_RTSP_FILTER_REMOVE;
}

} // namespace

struct RtspServer::Impl {
    GstRTSPServer* server = nullptr;
    guint sourceId = 0;
};

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

    d->server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(d->server, options.address.toUtf8().constData());
    gst_rtsp_server_set_service(d->server, QByteArray::number(options.port).constData());

    // Only "/1" is mounted: any other path gets the server's own "not found" answer.
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory, launchLine(options).toUtf8().constData());
    gst_rtsp_media_factory_set_shared(factory, TRUE);
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(d->server);
    gst_rtsp_mount_points_add_factory(mounts, "/1", factory);
    g_object_unref(mounts);

    d->sourceId = gst_rtsp_server_attach(d->server, nullptr);
    if (d->sourceId == 0) {
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
    g_object_unref(d->server);
    d->server = nullptr;
}
