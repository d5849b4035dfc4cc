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
        return QStringLiteral("no answer to the version query");
    case Failure::NotConnected:
        return QStringLiteral("not connected");
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
    }
    return QString();
}
} // namespace

QString report_reason(const Rollout::Camera& camera)
{
    const QString words = failure_words(camera.failure, camera.detail);
    return camera.failure != Failure::None && camera.failedDuring == Rollout::State::BackingUp
               ? QStringLiteral("backup failed: ") + words
               : words;
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

QByteArray rollout_report(const Rollout& rollout)
{
    QString csv =
        QStringLiteral("address,device_id,version_before,version_after,result,reason,seconds,bytes\r\n");
    const QVector<Rollout::Camera>& cameras = rollout.cameras();
    for (int index = 0; index < cameras.size(); ++index) {
        const Rollout::Camera& camera = cameras.at(index);
        const double seconds = rollout.seconds(index);
        const QStringList fields{camera.address,
                                 camera.deviceId,
                                 camera.versionBefore,
                                 camera.versionAfter,
                                 Rollout::stateName(camera.state),
                                 report_reason(camera),
                                 seconds < 0 ? QString() : QString::number(seconds, 'f', 1),
                                 QString::number(camera.bytesSent)};
        QStringList row;
        for (const QString& field : fields)
            row << csv_field(field);
        csv += row.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return csv.toUtf8();
}

bool write_rollout_report(const Rollout& rollout, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write(rollout_report(rollout));
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
