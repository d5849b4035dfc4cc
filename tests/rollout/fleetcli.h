#ifndef TEST_FLEETCLI_H
#define TEST_FLEETCLI_H

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

// Every key of `expected` (JSON text) has the same value in `actual`.
inline bool containsJson(const QJsonObject& actual, const QString& expected)
{
    const QJsonObject wanted = QJsonDocument::fromJson(expected.toUtf8()).object();
    for (auto it = wanted.begin(); it != wanted.end(); ++it)
        if (actual.value(it.key()) != it.value())
            return false;
    return !wanted.isEmpty();
}

// camupgrade-cli with --json, started in the current directory; its lines as they come.
struct Cli {
    explicit Cli(const QStringList& args) { process.start(CLI_PATH, args + QStringList{"--json"}); }
    void read()
    {
        pending += process.readAllStandardOutput();
        for (int end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            if (pending.startsWith('{'))
                lines.append(QJsonDocument::fromJson(pending.left(end)).object());
    }
    QJsonObject lineWith(const QString& keys) const
    {
        for (const QJsonObject& line : lines)
            if (containsJson(line, keys))
                return line;
        return QJsonObject();
    }
    bool waitForLine(const QString& keys)
    {
        QElapsedTimer clock;
        clock.start();
        process.waitForStarted(5000);
        while (lineWith(keys).isEmpty() && clock.elapsed() < 20000 && process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
            read();
        }
        return !lineWith(keys).isEmpty();
    }
    QProcess process;
    QByteArray pending;
    QList<QJsonObject> lines;
};

#endif // TEST_FLEETCLI_H
