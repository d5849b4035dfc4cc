// Replays a fuzz corpus through the fuzz target: every file given, or every file of the directories given.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        const QDir dir(path);
        if (!dir.exists()) {
            files << path;
            continue;
        }
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            files << dir.filePath(name);
    }
    QTextStream out(stdout);
    for (const QString& name : files) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            out << "cannot read " << name << Qt::endl;
            return 1;
        }
        const QByteArray data = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
    }
    out << "replayed " << files.size() << " inputs" << Qt::endl;
    return files.isEmpty() ? 1 : 0;
}
