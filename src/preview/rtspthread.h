#ifndef RTSPTHREAD_H
#define RTSPTHREAD_H

#include <QThread>

class QFFmpeg;

// Runs one decoder's Play() off the GUI thread, then idles until it is destroyed.
class RtspThread : public QThread
{
    Q_OBJECT

public:
    explicit RtspThread(QObject* parent = nullptr) : QThread(parent) {}
    ~RtspThread() override;

    void stop();

    // Not owned; set once the decoder's Init() has succeeded.
    QFFmpeg* ffmpeg = nullptr;

protected:
    void run() override;
};

#endif // RTSPTHREAD_H
