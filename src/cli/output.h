#ifndef CLI_OUTPUT_H
#define CLI_OUTPUT_H

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "verdict.h"

// Everything the command line prints: readable lines, JSON lines or CSV rows on standard output, failures on
// standard error, and the progress of a transfer (a live line on a terminal, a summary on a pipe).
class Output
{
public:
    enum class Format { Text, Json, Csv };

    explicit Output(Format format);

    Format format() const { return m_format; }
    // The "host" of every JSON line that does not name its own.
    void setHost(const QString& host) { m_host = host; }
    QString host() const { return m_host; }

    // A line for a person; nothing in JSON or CSV.
    void line(const QString& text);
    // One JSON line {"event": name, ...fields}, or `text` as a line in text mode.
    void event(const QString& name, QJsonObject fields, const QString& text = QString());
    // The last line: {"event":"result","ok":...} or `text` (on standard error when !ok). Returns the exit
    // status, 0 when ok, else 1; only the first result is printed, later calls return its status.
    int result(bool ok, QJsonObject fields, const QString& text);
    void csvRow(const QStringList& cells);

    // A transfer starts now; its progress and summary carry the verb ("sent", "received").
    void beginTransfer(const QString& verb);
    void progress(qint64 done, qint64 total);

    // Message and hint on standard error; returns 2.
    static int usageError(const QString& command, const QString& message);
    static QString mebibytes(qint64 bytes);

private:
    void write(const QByteArray& bytes, bool error = false);
    void clearProgressLine();

    Format m_format;
    QString m_host;
    bool m_liveProgress;
    bool m_progressShown = false;
    QString m_verb;
    QElapsedTimer m_transferClock;
    qint64 m_lastJsonProgressMs = -1;
    bool m_transferEnded = true;
    int m_exitStatus = -1;
};

// Why a camera command failed, in the command line's words.
QString failure_reason(const Verdict& verdict);

#endif // CLI_OUTPUT_H
