#ifndef CAMSIM_RECORD_H
#define CAMSIM_RECORD_H

#include "camera.h"

#include <QByteArray>

// The camera's side of the fixed-size TCP record on port 5555.
namespace record
{

constexpr quint16 kPort = 5555;
constexpr int kType1Size = 2320;
constexpr int kType2Size = 2124;
constexpr int kDataSize = 2048;
constexpr int kMaxChunk = 2048;
const QByteArray kToken = "mako";

struct Record {
    char type = 0;
    qint32 length = 0;
    qint32 status = 0;
    qint32 param = 0;
    QByteArray name; // as many bytes as the field holds; NUL-terminated unless it fills the field
    QByteArray data; // copied to the start of the data field
};

int size(Layout layout);
int nameSize(Layout layout);
int dataOffset(Layout layout);

// Builds the wire bytes. Name and data are cut to their fields; a name that fills its field has no NUL.
QByteArray encode(const Record& record, Layout layout);

// Reads one whole record; name and data are returned in full (all field bytes).
Record decode(const QByteArray& bytes, Layout layout);

// Field text up to its first NUL, or the whole field when there is none.
QByteArray textOf(const QByteArray& field);

// 32 lowercase hexadecimal digits and a NUL.
QByteArray md5Text(const QByteArray& digest);

} // namespace record

#endif // CAMSIM_RECORD_H
