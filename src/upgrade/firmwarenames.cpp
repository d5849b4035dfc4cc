#include "firmwarenames.h"

#include <QRegularExpression>
#include <QStringList>

QString soc_version_letter_of(const QString& version)
{
    return version.mid(6, 1);
}

QString model_name_of(const QString& version, const QString& current)
{
    const int k = version.indexOf(QLatin1String("MODEL"));
    if (k < 0 || k + 7 >= version.size() || version.at(k + 7) == QLatin1Char('.'))
        return current;
    const int start = k + 7;
    const int dot = version.indexOf(QLatin1Char('.'), start);
    return version.mid(start, dot < 0 ? -1 : dot - start).trimmed();
}

QVector<PartitionRecord> parse_partitions(const QString& text)
{
    QVector<PartitionRecord> records;
    int position = 0;
    const int end = text.size();
    // A field runs to the next blank (or, for the last one, blank or line feed) or the end of the text.
    auto next_field = [&](bool last) {
        int stop = position;
        while (stop < end && text.at(stop) != QLatin1Char(' ') &&
               !(last && text.at(stop) == QLatin1Char('\n')))
            ++stop;
        const QString field = text.mid(position, stop - position);
        position = stop < end ? stop + 1 : end;
        return field;
    };
    while (position < end && records.size() < kMaxPartitions) {
        PartitionRecord record;
        record.device = next_field(false);
        record.size = next_field(false);
        record.erase_size = next_field(false);
        record.name = next_field(true);
        records.append(record);
    }
    return records;
}

bool file_name_matches_type(int file_type, const QString& name, const QVector<PartitionRecord>& partitions)
{
    auto has = [&name](const char* part) { return name.contains(QLatin1String(part)); };
    switch (file_type) {
    case 1:
        return has("SOC") && has(".pkg");
    case 2:
        return has("ARM") && has(".bin");
    case 3:
        return has("SOC") && has("ARM") && has(".pkg");
    case 4:
        return has(".img");
    case 6:
        return has("uImage") && has(".bin");
    default:
        break;
    }
    const int index = file_type - 5;
    if (index < 0 || index >= partitions.size())
        return false;
    const QString quoted = partitions.at(index).name;
    const QString partition = quoted.size() >= 2 ? quoted.mid(1, quoted.size() - 2) : QString();
    return !partition.isEmpty() && name.contains(partition) && has(".bin");
}

bool mtd_name_matches_device(int work_type, const QString& name, const QString& model_name,
                             const QString& soc_version_letter)
{
    if (work_type == 2) {
        int found = -1;
        for (int count = 0; count < 3; ++count) {
            found = name.indexOf(QLatin1Char('V'), found + 1);
            if (found < 0)
                return false;
        }
        return found + 1 < name.size() && name.mid(found + 1, 1) == soc_version_letter;
    }
    const int underscore = name.indexOf(QLatin1Char('_'));
    // A camera that names no model cannot vouch for any image.
    if (underscore < 0 || model_name.isEmpty())
        return false;
    const int dot = name.indexOf(QLatin1Char('.'), underscore + 1);
    if (dot < 0)
        return false;
    return name.mid(underscore + 1, dot - underscore - 1) == model_name;
}

bool is_plain_file_name(const QString& name)
{
    // Anchored to the whole text: "$" alone would also accept a name ending in a line feed.
    static const QRegularExpression plain(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9._-]{1,64}")));
    static const QStringList reserved{QStringLiteral("."), QStringLiteral(".."), QStringLiteral("config.ini"),
                                      QStringLiteral("logo.png"), QStringLiteral("data.tar.gz_bak")};
    return plain.match(name).hasMatch() && !reserved.contains(name);
}
