#include "rtspthread.h"

#include <QDebug>

#include "qffmpeg.h"

RtspThread::~RtspThread()
{
    qDebug() << "enter ~RtspThread()";
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
    if (ffmpeg)
        ffmpeg->Play();
    while (!isInterruptionRequested())
        msleep(100);
    qDebug() << "exit RtspThread run()";
}
