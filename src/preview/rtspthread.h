#ifndef RTSPTHREAD_H
#define RTSPTHREAD_H

#include <QThread>

class QFFmpeg;

// Opens one decoder's stream and runs its Play() off the GUI thread, then idles until interrupted.
class RtspThread : public QThread
{
    Q_OBJECT

public:
    explicit RtspThread(QObject* parent = nullptr) : QThread(parent) {}
    // Stops the decoder and waits for run() to return, which Stop() bounds.
    ~RtspThread() override;

    void stop();

    // Not owned; set before the thread starts.
    QFFmpeg* ffmpeg = nullptr;

signals:
    // The decoder's Init() has returned; Play() follows when it succeeded.
    void opened(bool ok);

protected:
    void run() override;
};

#endif // RTSPTHREAD_H
