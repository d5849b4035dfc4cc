// Fuzz target for the device connection: whatever records a camera sends, in either layout and amid any
// operation, the session must not crash, must report the operation once the camera hangs up, and may change
// its working directory only by an archive that matches the MD5 it reports (and the spare copy asked for).
// The camera is the other end of a local socket pair: a real socket, without a TCP handshake per input.
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

#include "devicesession.h"
#include "fuzz.h"

static QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

static QStringList entries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

static void pump()
{
    for (int idle = 0, round = 0; idle < 2 && round < 1000; ++round)
        idle = QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents) ? 0 : idle + 1;
}

// First byte: bit 0 the layout, bits 1-3 the operation, bit 4 whether the camera hangs up at the end, bits
// 5-7 the size of the pieces the camera's bytes arrive in. The rest: the camera's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Once: no GLib in the event loop (faster), no debug output, a working directory alone in a temporary
    // one.
    static int argc = 1;
    static char* argv[] = {const_cast<char*>("fuzz_session"), nullptr};
    static const bool quiet = qputenv("QT_NO_GLIB", "1") && qputenv("QT_LOGGING_RULES", "*.debug=false");
    static QCoreApplication app(argc, argv);
    static QTemporaryDir root;
    static const bool inside = QDir(root.path()).mkdir("work") && QDir::setCurrent(root.filePath("work"));
    require(quiet && inside);
    const uint8_t head = size ? data[0] : 0;
    const int operation = (head >> 1 & 7) % 6;
    const bool hangUp = head & 16;
    const size_t step = size_t(64) << (head >> 5);
    // The one file of the directory: the firmware to upgrade, the archive to restore or to replace.
    const QByteArray original(5000, 'a');
    for (const QString& entry : entries("."))
        QFile::remove(entry);
    QFile file("data.tar.gz");
    require(file.open(QIODevice::WriteOnly) && file.write(original) == original.size() && file.flush());

    int fds[2];
    require(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds) == 0);
    auto session = std::make_unique<DeviceSession>();
    QSignalSpy finished(session.get(), &DeviceSession::finished);
    QSignalSpy saved(session.get(), &DeviceSession::archiveSaved);
    session->setWorkType(head & 1 ? 2 : 1);
    require(session->adoptConnection(fds[0]));
    if (operation < 2)
        session->query(operation == 0);
    else if (operation == 2)
        session->upgrade("data.tar.gz", 1, QByteArray(32, 'a'));
    else if (operation == 5)
        session->restore("data.tar.gz", QByteArray(32, 'a'));
    else
        session->backup(operation == 3 ? "" : "data.tar.gz", operation == 3 ? "" : "data.tar.gz_bak");
    for (size_t at = 1; at < size && write(fds[1], data + at, qMin(step, size - at)) > 0; at += step)
        pump();
    if (hangUp) {
        shutdown(fds[1], SHUT_RDWR);
        pump();
        require(!session->isConnected() && session->operation() == DeviceSession::Operation::None);
    }
    require(finished.count() == 1 || (finished.isEmpty() && !hangUp));
    session.reset();
    close(fds[1]);

    require(entries(root.path()) == QStringList{"work"});
    const QString written = saved.isEmpty() ? QString() : saved[0][0].toString();
    require(written.isEmpty() || (operation == 4 ? written == "data.tar.gz" : is_plain_file_name(written)));
    const QStringList left = entries(".");
    require(left.contains("data.tar.gz"));
    for (const QString& name : left) {
        if (name == written)
            require(QCryptographicHash::hash(contents(name), QCryptographicHash::Md5).toHex() == saved[0][1]);
        else // the archive, or its spare copy once a backup replaced it
            require((name == "data.tar.gz" ||
                     (name == "data.tar.gz_bak" && operation == 4 && !written.isEmpty())) &&
                    contents(name) == original);
    }
    return 0;
}
