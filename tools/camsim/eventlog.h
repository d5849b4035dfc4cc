#ifndef CAMSIM_EVENTLOG_H
#define CAMSIM_EVENTLOG_H

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QString>

// One JSON object per line, flushed at once, so a test can follow what the cameras saw while they run.
class EventLog
{
public:
    EventLog();
    bool open(const QString& path, QString* error); // "-" is standard output
    void write(const QString& event, const QString& camera, QJsonObject fields = QJsonObject());

    static QString hex(const QByteArray& bytes);  // "81 01 06 FF"
    static QString text(const QByteArray& bytes); // Latin-1, every byte kept

private:
    QFile file;
    QElapsedTimer clock;
};

#endif // CAMSIM_EVENTLOG_H
