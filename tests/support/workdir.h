#ifndef TEST_WORKDIR_H
#define TEST_WORKDIR_H

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Runs a test in a fresh, empty working directory and goes back afterwards: the tool keeps its files
// (config.ini, logo.png, data.tar.gz) in the working directory.
class ScopedWorkDir
{
public:
    ScopedWorkDir() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~ScopedWorkDir() { QDir::setCurrent(m_previous); }
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#endif // TEST_WORKDIR_H
