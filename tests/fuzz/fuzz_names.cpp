// Fuzz target for the version report and the firmware name rules: camera texts and file names of any content
// must parse into pieces of themselves, and only plain names may be taken for a camera's archive.
#include <QFileInfo>
#include <algorithm>
#include <cstdint>

#include "firmwarenames.h"
#include "fuzz.h"

// Three texts separated by NUL: the partition table, the version, a file name.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto parts =
        QByteArray(reinterpret_cast<const char*>(data), int(size)).append("\0\0", 2).split('\0');
    const QString table = QString::fromLatin1(parts[0]);
    const QString version = QString::fromLatin1(parts[1]);
    const QString name = QString::fromUtf8(parts[2]);

    // Fields follow each other through the text, ended by a blank, the last of a record also by a line feed.
    const QVector<PartitionRecord> partitions = parse_partitions(table);
    int at = 0;
    for (const PartitionRecord& record : partitions)
        for (const QString* field : {&record.device, &record.size, &record.erase_size, &record.name}) {
            require(table.midRef(at, field->size()) == *field);
            at += field->size();
            require(at == table.size() || table[at] == ' ' || (field == &record.name && table[at] == '\n'));
            at = qMin(at + 1, table.size());
        }
    require(at == table.size() ? partitions.size() <= kMaxPartitions : partitions.size() == kMaxPartitions);

    const QString model = model_name_of(version, "current");
    require(model == "current" ||
            (version.contains(model) && !model.contains('.') && model == model.trimmed()));
    require(soc_version_letter_of(version) == version.mid(6, 1));

    const bool plain =
        !name.isEmpty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](QChar c) {
            return c.unicode() < 128 && (c.isLetterOrNumber() || c == '.' || c == '_' || c == '-');
        });
    const bool reserved = QStringList{".", "..", "config.ini", "logo.png", "data.tar.gz_bak"}.contains(name);
    require(is_plain_file_name(name) == (plain && !reserved));
    require(!is_plain_file_name(name) || QFileInfo(name).fileName() == name);
    for (int type = 0; type < 5 + kMaxPartitions; ++type)
        require(!file_name_matches_type(type, name, partitions) || name.contains(".pkg") ||
                name.contains(".bin") || name.contains(".img"));
    for (const int workType : {1, 2})
        mtd_name_matches_device(workType, name, model, version.mid(6, 1));
    return 0;
}
