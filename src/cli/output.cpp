#include "output.h"

#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

#include "rolloutreport.h"

namespace
{
// JSON progress lines at most this often: enough to follow, few enough to log.
constexpr qint64 kJsonProgressIntervalMs = 500;
} // namespace

Output::Output(Format format)
    : m_format(format), m_liveProgress(format == Format::Text && ::isatty(STDERR_FILENO))
{
}

void Output::write(const QByteArray& bytes, bool error)
{
    clearProgressLine();
    FILE* stream = error ? stderr : stdout;
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void Output::clearProgressLine()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

void Output::line(const QString& text)
{
    if (m_format == Format::Text)
        write(text.toUtf8() + '\n');
}

void Output::event(const QString& name, QJsonObject fields, const QString& text)
{
    if (m_format == Format::Json) {
        fields.insert(QStringLiteral("event"), name);
        if (!m_host.isEmpty() && !fields.contains(QStringLiteral("host")))
            fields.insert(QStringLiteral("host"), m_host);
        write(QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n');
    } else if (!text.isEmpty()) {
        line(text);
    }
}

int Output::result(bool ok, QJsonObject fields, const QString& text)
{
    if (m_exitStatus >= 0)
        return m_exitStatus;
    m_exitStatus = ok ? 0 : 1;
    if (m_format == Format::Json) {
        fields.insert(QStringLiteral("ok"), ok);
        event(QStringLiteral("result"), fields);
    } else if (!ok) {
        write(QStringLiteral("error: %1\n").arg(text).toUtf8(), true);
    } else if (m_format == Format::Text && !text.isEmpty()) {
        line(text);
    }
    return m_exitStatus;
}

void Output::csvRow(const QStringList& cells)
{
    QStringList quoted;
    for (const QString& cell : cells)
        quoted.append(csv_field(cell));
    write(quoted.join(QLatin1Char(',')).toUtf8() + '\n');
}

void Output::beginTransfer(const QString& verb)
{
    m_verb = verb;
    m_transferClock.start();
    m_lastJsonProgressMs = -1;
    m_transferEnded = false;
}

void Output::progress(qint64 done, qint64 total)
{
    if (m_transferEnded)
        return;
    const qint64 elapsedMs = m_transferClock.elapsed();
    const bool end = done >= total;
    // Too short a time says nothing about the rate.
    const QString rate =
        elapsedMs < 50 ? QStringLiteral("-- MiB/s")
                       : QString::number(double(done) / (1 << 20) / (double(elapsedMs) / 1000.0), 'f', 2) +
                             QStringLiteral(" MiB/s");
    if (m_format == Format::Json) {
        if (!end && m_lastJsonProgressMs >= 0 && elapsedMs - m_lastJsonProgressMs < kJsonProgressIntervalMs)
            return;
        m_lastJsonProgressMs = elapsedMs;
        event(QStringLiteral("progress"),
              {{QStringLiteral("bytes"), done}, {QStringLiteral("total"), total}});
    } else if (m_format == Format::Text && !end && m_liveProgress) {
        const int percent = total > 0 ? int(done * 100 / total) : 100;
        const QString live = QStringLiteral("\r%1 %2%  %3 of %4  %5\033[K")
                                 .arg(m_verb)
                                 .arg(percent, 3)
                                 .arg(mebibytes(done), mebibytes(total), rate);
        std::fputs(live.toUtf8().constData(), stderr);
        std::fflush(stderr);
        m_progressShown = true;
    }
    if (end) {
        m_transferEnded = true;
        line(QStringLiteral("%1 %2 in %3 s (%4)")
                 .arg(m_verb, mebibytes(done), QString::number(double(elapsedMs) / 1000.0, 'f', 1), rate));
    }
}

int Output::usageError(const QString& command, const QString& message)
{
    const QString program =
        command.isEmpty() ? QStringLiteral("camupgrade-cli") : QStringLiteral("camupgrade-cli ") + command;
    std::fputs(QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(program, message).toUtf8().constData(),
               stderr);
    return 2;
}

QString Output::mebibytes(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < (1 << 20))
        return QString::number(double(bytes) / 1024, 'f', 1) + QStringLiteral(" KiB");
    return QString::number(double(bytes) / (1 << 20), 'f', 1) + QStringLiteral(" MiB");
}

QString failure_reason(const Verdict& verdict)
{
    const QString& detail = verdict.detail;
    switch (verdict.failure) {
    case Failure::None:
        return QString();
    case Failure::ConnectTimedOut:
        return QStringLiteral("cannot connect: timed out");
    case Failure::ConnectFailed:
        return QStringLiteral("cannot connect: ") + detail;
    case Failure::Dropped:
        return detail;
    case Failure::TimedOut:
    case Failure::NoAnswer:
        return QStringLiteral("timed out");
    case Failure::NotConnected:
        return QStringLiteral("not connected");
    case Failure::BadAddress:
        return QStringLiteral("not a camera address");
    case Failure::NameTooLong:
        return QStringLiteral("file name too long for the record: ") + detail;
    case Failure::RefusedType:
    case Failure::RefusedModel:
    case Failure::Declined:
        return QStringLiteral("refused name");
    case Failure::FileUnreadable:
        return QStringLiteral("cannot read ") + detail;
    case Failure::DiskFull:
        return QStringLiteral("board is not enough disk space");
    case Failure::VerifyFailed:
        return QStringLiteral("file verify fail");
    case Failure::UpgradeFailed:
        return QStringLiteral("upgrade fail");
    case Failure::ArmMissing:
        return QStringLiteral("arm upgrade file not found");
    case Failure::UnexpectedStatus:
        return QStringLiteral("unexpected upgrade status ") + detail;
    case Failure::BackupFailed:
        return QStringLiteral("camera reported a failed backup");
    case Failure::ArchiveRefused:
        return QStringLiteral("refused archive name or size");
    case Failure::ArchiveBroken:
        return QStringLiteral("broken archive chunk");
    case Failure::ArchiveMismatch:
        return QStringLiteral("archive MD5 does not match");
    case Failure::CannotWrite:
        return QStringLiteral("cannot write ") + detail;
    case Failure::RestoreFailed:
        return QStringLiteral("restore failed");
    case Failure::NotBack:
        return QStringLiteral("not back after the reboot");
    case Failure::Cancelled:
        return QStringLiteral("cancelled");
    }
    return QString();
}
