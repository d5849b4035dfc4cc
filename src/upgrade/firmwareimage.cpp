#include "firmwareimage.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "tcprecord.h"

FirmwareImage::FirmwareImage(const QString& filePath, int type)
    : path(filePath), name(QFileInfo(filePath).fileName()), fileType(type)
{
}

Verdict FirmwareImage::load(const QString& filePath, int type, int workType)
{
    *this = FirmwareImage(filePath, type);
    if (!fitsRecord(workType))
        return Verdict::failed(Failure::NameTooLong, name);
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return Verdict::failed(Failure::FileUnreadable, filePath + QStringLiteral(": ") + file.errorString());
    size = file.size();
    md5Text = md5_text(&file);
    return Verdict();
}

bool FirmwareImage::fitsRecord(int workType) const
{
    const RecordLayout* layout = layout_for_work_type(workType);
    return layout && name_fits(*layout, name);
}

bool FirmwareImage::nameMatchesType(const QVector<PartitionRecord>& knownPartitions) const
{
    const bool partitionByName = fileType == 5 || fileType > 6;
    return (partitionByName && knownPartitions.isEmpty()) ||
           file_name_matches_type(fileType, name, knownPartitions);
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

int reboot_wait_ms(int fileType)
{
    return fileType == 4 ? 73000 : 20000;
}
