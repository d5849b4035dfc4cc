#ifndef CAMSIM_RTSPSERVER_H
#define CAMSIM_RTSPSERVER_H

#include <QString>

// One camera's RTSP service: an H.264 test pattern at mount "/1" on one address and port.
class RtspServer
{
public:
    struct Options {
        QString address;
        int port = 554;
        int width = 640;
        int height = 360;
        int fps = 25;
        bool audioFirst = false; // announce an audio track before the video track
    };

    RtspServer();
    ~RtspServer();
    RtspServer(const RtspServer&) = delete;
    RtspServer& operator=(const RtspServer&) = delete;

    // Serves from the default GLib main context, which Qt's event loop dispatches on Linux.
    bool start(const Options& options);
    void stop();

private:
    struct Impl;
    Impl* d;
};

#endif // CAMSIM_RTSPSERVER_H
