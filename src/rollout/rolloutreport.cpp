#include "rolloutreport.h"

#include <QSaveFile>
#include <QStringList>

namespace
{
QString failure_words(Failure failure, const QString& detail)
{
    switch (failure) {
    case Failure::None:
        return QString();
    case Failure::ConnectTimedOut:
    case Failure::TimedOut:
        return QStringLiteral("timed out");
    case Failure::ConnectFailed:
        return QStringLiteral("connection failed: ") + detail;
    case Failure::Dropped:
        return QStringLiteral("dropped connection: ") + detail;
    case Failure::NoAnswer:
        // Silence is what a camera of the other record layout gives, so say what to try.
        return QStringLiteral("no answer to the version query; a camera of the other record layout stays "
                              "silent: try the other --layout");
    case Failure::NotConnected:
        return QStringLiteral("not connected");
    case Failure::Stalled:
        return QStringLiteral("stalled: no progress for %1 s").arg(detail);
    case Failure::BadAddress:
        return QStringLiteral("not a camera address");
    case Failure::NameTooLong:
        return QStringLiteral("file name too long for the record");
    case Failure::RefusedType:
    case Failure::RefusedModel:
    case Failure::Declined:
        return QStringLiteral("refused name");
    case Failure::FileUnreadable:
        return QStringLiteral("firmware file unreadable");
    case Failure::DiskFull:
        return QStringLiteral("camera status U 1: not enough disk space");
    case Failure::VerifyFailed:
        return QStringLiteral("camera status U 6: file verification failed");
    case Failure::UpgradeFailed:
        return QStringLiteral("camera status U 8: upgrade failed");
    case Failure::ArmMissing:
        return QStringLiteral("camera record E: ARM upgrade file not found");
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
    case Failure::Interrupted:
        return QStringLiteral("interrupted");
    }
    return QString();
}
} // namespace

QString report_reason(const Rollout::Camera& camera, RolloutJob job)
{
    using State = Rollout::State;
    if (camera.state == State::DoneBefore)
        return QStringLiteral("already done");
    if (camera.state == State::UpToDate)
        return QStringLiteral("version contains \"%1\"").arg(camera.detail);
    if (camera.state == State::OtherModel)
        return camera.model.isEmpty() ? QStringLiteral("its version names no model")
                                      : QStringLiteral("model ") + camera.model;
    if (camera.failure == Failure::Interrupted && camera.failedDuring >= State::Rebooting)
        return QStringLiteral("interrupted: upgraded, not confirmed");
    const QString words = failure_words(camera.failure, camera.detail);
    return camera.failure != Failure::None && camera.failedDuring == State::BackingUp &&
                   job == RolloutJob::Upgrade
               ? QStringLiteral("backup failed: ") + words
               : words;
}

QString stop_words(const Rollout& rollout)
{
    using StopReason = Rollout::StopReason;
    switch (rollout.stopReason()) {
    case StopReason::None:
        return QString();
    case StopReason::Interrupted:
        return QStringLiteral("interrupted");
    case StopReason::CanaryFailed:
        return QStringLiteral("stopped: the canary failed");
    case StopReason::FailureThreshold: {
        const int failures = rollout.failuresAtStop();
        return QStringLiteral("stopped: %1 %2 reached the threshold")
            .arg(failures)
            .arg(failures == 1 ? QStringLiteral("failure") : QStringLiteral("failures"));
    }
    }
    return QString();
}

QString stop_reason_name(Rollout::StopReason reason)
{
    using StopReason = Rollout::StopReason;
    switch (reason) {
    case StopReason::None:
        return QString();
    case StopReason::Interrupted:
        return QStringLiteral("interrupted");
    case StopReason::CanaryFailed:
        return QStringLiteral("canary-failed");
    case StopReason::FailureThreshold:
        return QStringLiteral("failure-threshold");
    }
    return QString();
}

QString csv_field(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QList<QStringList> parse_csv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool empty = true; // nothing on this line yet
    const auto endRow = [&] {
        if (!empty)
            rows.append(row << field);
        row.clear();
        field.clear();
        empty = true;
    };
    for (int i = text.startsWith(QChar(0xfeff)) ? 1 : 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            empty = false;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            empty = false;
        } else if (c == QLatin1Char('\n')) {
            endRow();
        } else if (c != QLatin1Char('\r')) {
            field += c;
            empty = false;
        }
    }
    endRow();
    return rows;
}

namespace
{
QByteArray csv_text(const QStringList& header, const QList<QStringList>& rows)
{
    QString csv;
    for (const QStringList& cells : QList<QStringList>{header} + rows) {
        QStringList row;
        for (const QString& cell : cells)
            row << csv_field(cell);
        csv += row.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return csv.toUtf8();
}
} // namespace

QByteArray rollout_report(const Rollout& rollout)
{
    QList<QStringList> rows;
    const QVector<Rollout::Camera>& cameras = rollout.cameras();
    for (int index = 0; index < cameras.size(); ++index) {
        const Rollout::Camera& camera = cameras.at(index);
        const double seconds = rollout.seconds(index);
        const QString reason = camera.state == Rollout::State::Skipped
                                   ? stop_words(rollout)
                                   : report_reason(camera, rollout.options().job);
        rows.append({camera.address, camera.deviceId, camera.versionBefore, camera.versionAfter,
                     Rollout::stateName(camera.state), reason,
                     seconds < 0 ? QString() : QString::number(seconds, 'f', 1),
                     QString::number(camera.bytesSent)});
    }
    return csv_text({QStringLiteral("address"), QStringLiteral("device_id"), QStringLiteral("version_before"),
                     QStringLiteral("version_after"), QStringLiteral("result"), QStringLiteral("reason"),
                     QStringLiteral("seconds"), QStringLiteral("bytes")},
                    rows);
}

QByteArray inventory_report(const Rollout& rollout)
{
    QList<QStringList> rows;
    for (const Rollout::Camera& camera : rollout.cameras())
        rows.append({camera.address, camera.deviceId, camera.mac, camera.versionBefore, camera.model,
                     camera.partitions < 0 ? QString() : QString::number(camera.partitions),
                     Rollout::stateName(camera.state), report_reason(camera, RolloutJob::Query)});
    return csv_text({QStringLiteral("address"), QStringLiteral("device_id"), QStringLiteral("mac"),
                     QStringLiteral("version"), QStringLiteral("model"), QStringLiteral("partitions"),
                     QStringLiteral("result"), QStringLiteral("reason")},
                    rows);
}

QVector<Rollout::Camera> read_rollout_report(const QByteArray& csv, QString* error)
{
    const QList<QStringList> rows = parse_csv(QString::fromUtf8(csv));
    const QStringList header = rows.value(0);
    const int address = header.indexOf(QStringLiteral("address"));
    const int result = header.indexOf(QStringLiteral("result"));
    if (address < 0 || result < 0) {
        *error = QStringLiteral("not a rollout report: its header names no address and result");
        return {};
    }
    const int deviceId = header.indexOf(QStringLiteral("device_id"));
    const int before = header.indexOf(QStringLiteral("version_before"));
    const int after = header.indexOf(QStringLiteral("version_after"));
    QVector<Rollout::Camera> cameras;
    for (int index = 1; index < rows.size(); ++index) {
        const QStringList& row = rows.at(index);
        Rollout::Camera camera;
        camera.address = row.value(address).trimmed();
        camera.state = Rollout::stateFromName(row.value(result).trimmed());
        camera.deviceId = row.value(deviceId);
        camera.versionBefore = row.value(before);
        camera.versionAfter = row.value(after);
        cameras.append(camera);
    }
    return cameras;
}

RolloutJournal::RolloutJournal(const Rollout& rollout, const QString& path, Format format, QObject* parent)
    : QObject(parent), m_rollout(rollout), m_path(path), m_format(format)
{
    connect(&rollout, &Rollout::cameraChanged, this, [this](int index) {
        if (Rollout::isFinal(m_rollout.cameras().at(index).state))
            write();
    });
    connect(&rollout, &Rollout::finished, this, &RolloutJournal::write);
}

bool save_report(const QString& path, const QByteArray& csv, QString* error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(csv) == csv.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

bool RolloutJournal::write()
{
    m_error.clear();
    return save_report(m_path, m_format(m_rollout), &m_error);
}
