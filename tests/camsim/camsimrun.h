#ifndef CAMSIMRUN_H
#define CAMSIMRUN_H

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

// A camsim process for one test: started with the given arguments, its event log read back as JSON objects.
class CamsimRun
{
public:
    explicit CamsimRun(const QString& eventsPath = QString()) : eventsPath(eventsPath) {}

    // TCP-only cameras that verify and flash in moments, for tests of whole upgrades.
    static QStringList quickCameras()
    {
        return {"--no-discovery", "--no-rtsp", "--no-visca", "--verify-ms", "10", "--flash-ms", "50"};
    }
    ~CamsimRun() { stop(); }

    bool start(const QStringList& args)
    {
        if (eventsPath.isEmpty())
            eventsPath = dir.filePath("events.jsonl");
        storePath = dir.filePath("store");
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(CAMSIM_PATH, QStringList{"--events", eventsPath, "--store", storePath} + args);
        if (!process.waitForStarted(5000))
            return false;
        return waitFor([](const QJsonObject& e) { return e.value("event") == "ready"; }, 10000);
    }

    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(1000);
    }

    // Every event logged so far, or those named name.
    QList<QJsonObject> events(const QString& name = QString()) const
    {
        QList<QJsonObject> matching;
        QFile file(eventsPath);
        for (const QByteArray& line :
             file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>()) {
            const QJsonObject e = QJsonDocument::fromJson(line).object();
            if (!line.isEmpty() && (name.isEmpty() || e.value("event") == name))
                matching.append(e);
        }
        return matching;
    }

    // The texts of the datagrams the cameras received on the group that begin with head.
    QStringList groupDatagrams(const QString& head) const
    {
        QStringList texts;
        for (const QJsonObject& e : events("udp_in"))
            if (e["to"] == "group" && e["text"].toString().startsWith(head))
                texts << e["text"].toString();
        return texts;
    }

    // Polls the event log while the caller's event loop keeps running.
    bool waitFor(const std::function<bool(const QJsonObject&)>& match, int timeoutMs) const
    {
        QElapsedTimer clock;
        clock.start();
        do {
            for (const QJsonObject& e : events())
                if (match(e))
                    return true;
            QTest::qWait(20);
        } while (clock.elapsed() < timeoutMs);
        return false;
    }

    bool waitForEvent(const QString& name, int timeoutMs) const
    {
        return waitFor([&](const QJsonObject& e) { return e.value("event") == name; }, timeoutMs);
    }

    QTemporaryDir dir;
    QString eventsPath;
    QString storePath;
    QProcess process;
};

#endif // CAMSIMRUN_H
