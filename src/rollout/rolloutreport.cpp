#include "rolloutreport.h"

#include <QSaveFile>
#include <QStringList>

#include "rollout.h"

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
                                 Rollout::failureText(camera.failure, camera.detail),
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
