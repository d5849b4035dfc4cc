#include "record.h"

#include <QtEndian>

namespace record
{

int size(Layout layout)
{
    return layout == Layout::Type1 ? kType1Size : kType2Size;
}
int nameSize(Layout layout)
{
    return layout == Layout::Type1 ? 256 : 60;
}
int dataOffset(Layout layout)
{
    return 16 + nameSize(layout);
}

QByteArray encode(const Record& r, Layout layout)
{
    QByteArray bytes(size(layout), '\0');
    char* p = bytes.data();
    p[0] = r.type;
    qToLittleEndian<qint32>(r.length, p + 4);
    qToLittleEndian<qint32>(r.status, p + 8);
    qToLittleEndian<qint32>(r.param, p + 12);
    const int nameBytes = qMin(r.name.size(), nameSize(layout));
    memcpy(p + 16, r.name.constData(), size_t(nameBytes));
    const int dataBytes = qMin(r.data.size(), kDataSize);
    memcpy(p + dataOffset(layout), r.data.constData(), size_t(dataBytes));
    return bytes;
}

Record decode(const QByteArray& bytes, Layout layout)
{
    Record r;
    const char* p = bytes.constData();
    r.type = p[0];
    r.length = qFromLittleEndian<qint32>(p + 4);
    r.status = qFromLittleEndian<qint32>(p + 8);
    r.param = qFromLittleEndian<qint32>(p + 12);
    r.name = bytes.mid(16, nameSize(layout));
    r.data = bytes.mid(dataOffset(layout), kDataSize);
    return r;
}

QByteArray textOf(const QByteArray& field)
{
    const int nul = field.indexOf('\0');
    return nul < 0 ? field : field.left(nul);
}

QByteArray md5Text(const QByteArray& digest)
{
    return digest.toHex() + QByteArray(1, '\0');
}

} // namespace record
