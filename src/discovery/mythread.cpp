#include "mythread.h"

#include <QCoreApplication>

#include <utility>

MyThread::MyThread(QVector<QByteArray> datagrams, Deliver deliver)
    : m_datagrams(std::move(datagrams)), m_deliver(std::move(deliver))
{
}

void MyThread::run()
{
    const QString dayWord = QCoreApplication::translate("MyThread", "Day");
    QVector<discovery::Reply> replies;
    replies.reserve(m_datagrams.size());
    for (const QByteArray& datagram : qAsConst(m_datagrams))
        replies.append(discovery::parseDatagram(datagram, dayWord));
    m_deliver(replies);
}
