#ifndef MYTHREAD_H
#define MYTHREAD_H

#include <QByteArray>
#include <QString>
#include <QThread>
#include <QVariant>

#include "discoverymessages.h"

// Parses one received discovery datagram off the GUI thread and reports it with one queued Result.
class MyThread : public QThread
{
    Q_OBJECT

public:
    explicit MyThread(QByteArray datagram);
    ~MyThread() override = default;

signals:
    void Result(QVariant info, qint8 msgType);

protected:
    void run() override;

private:
    QString message;
};

#endif // MYTHREAD_H
