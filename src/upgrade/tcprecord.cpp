#include "tcprecord.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtEndian>

#include <cstring>

const char kToken[4] = {'m', 'a', 'k', 'o'};

namespace
{
QByteArray field_text(const char* field, int size)
{
    const void* nul = std::memchr(field, '\0', size_t(size));
    return QByteArray(field, nul ? int(static_cast<const char*>(nul) - field) : size);
}

QByteArray md5_field(const QByteArray& md5_text)
{
    QByteArray field = md5_text.left(32);
    field.append('\0');
    return field;
}
} // namespace

const RecordLayout* layout_for_work_type(int work_type)
{
    if (work_type == 1)
        return &kUpgradePack;
    if (work_type == 2)
        return &kUpgradePackO;
    return nullptr;
}

QByteArray fill_record(const RecordLayout& layout, char type, const char* data, const QByteArray& name,
                       qint32 length, qint32 status, int data_size, qint32 param)
{
    QByteArray record(layout.size, '\0');
    char* bytes = record.data();
    bytes[0] = type;
    qToLittleEndian<qint32>(length, bytes + 4);
    qToLittleEndian<qint32>(status, bytes + 8);
    qToLittleEndian<qint32>(param, bytes + 12);
    const int name_bytes = qMin(int(qstrnlen(name.constData(), uint(name.size()))), layout.name_size - 1);
    std::memcpy(bytes + layout.name_offset, name.constData(), size_t(name_bytes));
    if (data && data_size > 0)
        std::memcpy(bytes + layout.data_offset, data, size_t(qMin(data_size, kRecordDataSize)));
    return record;
}

QByteArray DeviceRecord::dataText() const
{
    return field_text(data.constData(), data.size());
}

DeviceRecord read_record(const RecordLayout& layout, const char* record)
{
    DeviceRecord result;
    result.type = record[0];
    result.length = qFromLittleEndian<qint32>(record + 4);
    result.status = qFromLittleEndian<qint32>(record + 8);
    result.param = qFromLittleEndian<qint32>(record + 12);
    result.name = field_text(record + layout.name_offset, layout.name_size);
    result.data = QByteArray(record + layout.data_offset, kRecordDataSize);
    return result;
}

QByteArray query_request(const RecordLayout& layout, qint32 status)
{
    return fill_record(layout, 'Q', kToken, QByteArray(kToken, 4), 4, status, 4, 1);
}

QByteArray backup_request(const RecordLayout& layout)
{
    return fill_record(layout, 'B', kToken, QByteArray(kToken, 4), 4, 1, 4, 1);
}

QByteArray upgrade_request(const RecordLayout& layout, qint64 file_size, qint32 file_type,
                           const QByteArray& name, const QByteArray& md5_text)
{
    const QByteArray md5 = md5_field(md5_text);
    return fill_record(layout, 'U', md5.constData(), name, qint32(quint32(file_size)), 9, md5.size(),
                       file_type);
}

QByteArray restore_request(const RecordLayout& layout, qint64 file_size, const QByteArray& md5_text)
{
    const QByteArray md5 = md5_field(md5_text);
    return fill_record(layout, 'R', md5.constData(), QByteArrayLiteral("data.tar.gz"),
                       qint32(quint32(file_size)), 1, md5.size(), 1);
}

bool name_fits(const RecordLayout& layout, const QString& file_name)
{
    return file_name.toLocal8Bit().size() <= layout.name_size - 1;
}

QByteArray md5_text(QIODevice* device)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(device);
    return hash.result().toHex();
}

QByteArray md5_text_of_file(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return md5_text(&file);
}
