#include "filedigest.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QMutex>
#include <QRunnable>
#include <QThreadPool>
#include <QWaitCondition>

namespace
{
constexpr qint64 kPiece = 1 << 20;
constexpr qint64 kProgressIntervalMs = 50;
} // namespace

// Shared with the pool thread, so that a FileDigest destroyed early leaves the job nothing to report to.
struct FileDigest::Job {
    std::atomic<bool> cancelled{false};
    QMutex mutex;
    QWaitCondition done;
    bool running = true;
};

FileDigest::FileDigest(QObject* parent) : QObject(parent) {}

FileDigest::~FileDigest()
{
    if (!m_job)
        return;
    m_job->cancelled = true;
    QMutexLocker lock(&m_job->mutex);
    while (m_job->running)
        m_job->done.wait(&m_job->mutex);
}

void FileDigest::start(const QString& path)
{
    auto job = std::make_shared<Job>();
    m_job = job;
    QThreadPool::globalInstance()->start(QRunnable::create([this, job, path] {
        QByteArray result;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            QCryptographicHash hash(QCryptographicHash::Md5);
            const qint64 total = file.size();
            qint64 done = 0;
            QElapsedTimer clock;
            clock.start();
            while (!job->cancelled) {
                const QByteArray piece = file.read(kPiece);
                if (piece.isEmpty())
                    break;
                hash.addData(piece);
                done += piece.size();
                if (clock.elapsed() >= kProgressIntervalMs) {
                    clock.restart();
                    QMetaObject::invokeMethod(
                        this, [this, done, total] { emit progress(done, total); }, Qt::QueuedConnection);
                }
            }
            if (!file.error())
                result = hash.result().toHex();
        }
        QMutexLocker lock(&job->mutex);
        if (!job->cancelled)
            QMetaObject::invokeMethod(
                this, [this, result] { emit finished(result); }, Qt::QueuedConnection);
        job->running = false;
        job->done.wakeAll();
    }));
}
