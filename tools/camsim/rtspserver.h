#ifndef CAMSIM_RTSPSERVER_H
#define CAMSIM_RTSPSERVER_H

#include <QString>

#include <functional>

class QJsonObject;

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

    // Switches of the whole run, set from the command line before the first server starts.
    struct Behaviour {
        bool shared = false;         // the stream runs from start-up and clients join it mid-stream
        bool udpOnly = false;        // RTP over UDP only: a SETUP asking for TCP gets 461
        int stallAfterMs = 0;        // each client's stream stops sending pictures after this long; 0 never
        bool latencyPattern = false; // every picture carries its send time and number (see README)
        // Called for every SETUP, PLAY and TEARDOWN request a server receives, with its fields.
        std::function<void(const QString& camera, const QJsonObject& request)> onRequest;
    };
    static void setBehaviour(const Behaviour& behaviour);

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
