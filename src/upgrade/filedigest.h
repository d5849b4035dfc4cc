#ifndef FILEDIGEST_H
#define FILEDIGEST_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

// The MD5 text of a file, computed on a pool thread with progress, so that a face stays responsive while a
// large firmware image is read.
class FileDigest : public QObject
{
    Q_OBJECT

public:
    explicit FileDigest(QObject* parent = nullptr);
    // Stops a computation still running and waits for it.
    ~FileDigest() override;

    void start(const QString& path);

signals:
    void progress(qint64 done, qint64 total);
    // 32 lowercase hexadecimal digits; empty when the file cannot be read.
    void finished(const QByteArray& md5Text);

private:
    struct Job;
    std::shared_ptr<Job> m_job;
};

#endif // FILEDIGEST_H
