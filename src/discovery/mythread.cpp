#include "mythread.h"

#include <QMetaType>

MyThread::MyThread(QByteArray datagram) : QThread(nullptr), message(discovery::decodeDatagram(datagram))
{
    qRegisterMetaType<QVariant>("QVariant");
    qRegisterMetaType<Dev_info>("Dev_info");
}

void MyThread::run()
{
    const msgType kind = discovery::classifyMessage(message);
    const Dev_info record = discovery::parseMessage(message, kind, tr("Day"));
    emit Result(QVariant::fromValue(record), kind);
}
