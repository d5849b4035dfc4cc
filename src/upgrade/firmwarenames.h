#ifndef FIRMWARENAMES_H
#define FIRMWARENAMES_H

#include <QString>
#include <QVector>

// One partition of the camera's flash, as its version report lists it.
struct PartitionRecord {
    QString device;
    QString size;
    QString erase_size;
    QString name;
};

constexpr int kMaxPartitions = 10;

// What a camera's 'Q' record says: its version text and partition table.
struct VersionReport {
    QString version;
    QString partitionText;
    QVector<PartitionRecord> partitions;
};

// The seventh character of the version text (empty when it is shorter).
QString soc_version_letter_of(const QString& version);
// The model after "MODEL" and one more character plus a blank, up to the next "." and trimmed; `current` when
// the text names no model.
QString model_name_of(const QString& version, const QString& current);
// Partition lines "mtd0: 00040000 00010000 \"boot\"", at most ten records.
QVector<PartitionRecord> parse_partitions(const QString& text);

// Whether a firmware file name suits the upgrade type (1 SOC, 2 ARM, 3 SOC&ARM, 4 MTD, 5 + n partition n).
bool file_name_matches_type(int file_type, const QString& file_name,
                            const QVector<PartitionRecord>& partitions);
// The MTD image check against the camera: TYPE1 compares the model between the first "_" and the next ".",
// TYPE2 the letter after the third "V". A name without those parts, or a camera without a model, does not
// match.
bool mtd_name_matches_device(int work_type, const QString& file_name, const QString& model_name,
                             const QString& soc_version_letter);

// A configuration archive name the camera may choose: at most 64 of A-Z a-z 0-9 . _ -, never "." or "..",
// and never one of the tool's own files.
bool is_plain_file_name(const QString& name);

#endif // FIRMWARENAMES_H
