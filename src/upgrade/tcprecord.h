#ifndef TCPRECORD_H
#define TCPRECORD_H

#include <QByteArray>
#include <QString>

class QIODevice;

// The fixed-size record of the device connection. Both layouts share the first 16 bytes (type, three zero
// bytes, then length, status and param as little-endian int32) and differ in where `name` and `data` sit.
struct RecordLayout {
    int size;
    int name_offset;
    int name_size;
    int data_offset;
};

constexpr RecordLayout kUpgradePack{2320, 16, 256, 272}; // TYPE1
constexpr RecordLayout kUpgradePackO{2124, 16, 60, 76};  // TYPE2
constexpr int kRecordDataSize = 2048;
constexpr int kStreamChunk = 4096;
constexpr quint16 kDevicePort = 5555;
extern const char kToken[4]; // "mako", without a NUL

// The layout of a work type: 1 TYPE1, 2 TYPE2; nullptr for anything else.
const RecordLayout* layout_for_work_type(int work_type);

// Fills an all-zero record: `data_size` bytes of `data` into data, `name` and its NUL into name (cut to fit).
QByteArray fill_record(const RecordLayout& layout, char type, const char* data, const QByteArray& name,
                       qint32 length, qint32 status, int data_size, qint32 param);

// One record as the device sent it. Text fields are read only inside their field, up to a NUL or its end.
struct DeviceRecord {
    char type = 0;
    qint32 length = 0;
    qint32 status = 0;
    qint32 param = 0;
    QByteArray name; // text up to NUL
    QByteArray data; // the whole data field (2048 bytes)

    QByteArray dataText() const;
};

DeviceRecord read_record(const RecordLayout& layout, const char* record);

// Requests of the tool.
QByteArray query_request(const RecordLayout& layout, qint32 status);
QByteArray backup_request(const RecordLayout& layout);
QByteArray upgrade_request(const RecordLayout& layout, qint64 file_size, qint32 file_type,
                           const QByteArray& name, const QByteArray& md5_text);
QByteArray restore_request(const RecordLayout& layout, qint64 file_size, const QByteArray& md5_text);

// Whether a file name (in the local 8-bit encoding) fits into `name` with its NUL.
bool name_fits(const RecordLayout& layout, const QString& file_name);

// 32 lowercase hexadecimal digits of the MD5 of everything the device yields, read piece by piece.
QByteArray md5_text(QIODevice* device);
// The same for a file by path; empty when it cannot be opened.
QByteArray md5_text_of_file(const QString& path);

#endif // TCPRECORD_H
