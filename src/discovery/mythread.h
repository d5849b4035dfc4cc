#ifndef MYTHREAD_H
#define MYTHREAD_H

#include <QByteArray>
#include <QRunnable>
#include <QVector>

#include <functional>

#include "discoverymessages.h"

// One unit of parsing work for the pool: cuts a batch of received discovery datagrams into records off the
// GUI thread and hands them over together.
class MyThread : public QRunnable
{
public:
    using Deliver = std::function<void(const QVector<discovery::Reply>&)>;

    MyThread(QVector<QByteArray> datagrams, Deliver deliver);
    void run() override;

private:
    QVector<QByteArray> m_datagrams;
    Deliver m_deliver;
};

#endif // MYTHREAD_H
