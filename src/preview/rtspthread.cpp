#include "rtspthread.h"

#include <QDebug>

#include "qffmpeg.h"

RtspThread::~RtspThread()
{
    qDebug() << "enter ~RtspThread()";
    if (ffmpeg)
        ffmpeg->Stop();
    requestInterruption();
    quit();
    wait();
    qDebug() << "leave ~RtspThread()";
}

void RtspThread::stop()
{
    qDebug() << "enter RtspThread stop()";
    exit(0);
    qDebug() << "leave RtspThread stop()";
}

void RtspThread::run()
{
    if (ffmpeg) {
        const bool ok = ffmpeg->Init();
        emit opened(ok);
        if (ok)
            ffmpeg->Play();
    }
    while (!isInterruptionRequested())
        msleep(100);
    qDebug() << "exit RtspThread run()";
}
