#include "eventlog.h"

#include <QJsonDocument>

#include <cstdio>

EventLog::EventLog()
{
    clock.start();
}

bool EventLog::open(const QString& path, QString* error)
{
    const bool ok = path == "-"
                        ? file.open(stdout, QIODevice::WriteOnly)
                        : (file.setFileName(path), file.open(QIODevice::WriteOnly | QIODevice::Append));
    if (!ok)
        *error = QString("cannot open event log %1: %2").arg(path, file.errorString());
    return ok;
}

void EventLog::write(const QString& event, const QString& camera, QJsonObject fields)
{
    if (!file.isOpen())
        return;
    fields.insert("ms", clock.elapsed());
    fields.insert("event", event);
    if (!camera.isEmpty())
        fields.insert("cam", camera);
    file.write(QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n');
    file.flush();
}

QString EventLog::hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString EventLog::text(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}
