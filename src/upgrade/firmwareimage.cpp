#include "firmwareimage.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "tcprecord.h"

bool FirmwareImage::load(const QString& filePath, int type, int workType, QString* error)
{
    path = filePath;
    name = QFileInfo(filePath).fileName();
    fileType = type;
    const RecordLayout* layout = layout_for_work_type(workType);
    if (!layout || !name_fits(*layout, name)) {
        *error = QStringLiteral("file name too long for the record: %1").arg(name);
        return false;
    }
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(filePath, file.errorString());
        return false;
    }
    size = file.size();
    md5Text = md5_text(&file);
    return true;
}

bool FirmwareImage::nameMatchesType() const
{
    const bool partitionByName = fileType == 5 || fileType > 6;
    return partitionByName || file_name_matches_type(fileType, name, {});
}

bool FirmwareImage::nameMatchesCamera(const VersionReport& report, int workType) const
{
    if (!file_name_matches_type(fileType, name, report.partitions))
        return false;
    if (fileType != 4)
        return true;
    return mtd_name_matches_device(workType, name, model_name_of(report.version, QString()),
                                   soc_version_letter_of(report.version));
}

int file_type_from_kind(const QString& kind)
{
    static const QStringList kinds{QStringLiteral("soc"), QStringLiteral("arm"), QStringLiteral("soc-arm"),
                                   QStringLiteral("mtd")};
    const int index = kinds.indexOf(kind);
    if (index >= 0)
        return index + 1;
    const QString prefix = QStringLiteral("partition:");
    if (!kind.startsWith(prefix))
        return 0;
    bool ok = false;
    const int partition = kind.mid(prefix.size()).toInt(&ok);
    return ok && partition >= 0 && partition < kMaxPartitions ? 5 + partition : 0;
}
