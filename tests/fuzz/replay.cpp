// Replays fuzz corpora through a fuzz target: every file of the directories given, by absolute path (a target
// may change the working directory).
#include <QDir>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.absoluteFilePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                std::printf("cannot read %s\n", qPrintable(file.fileName()));
                return 1;
            }
            const QByteArray input = file.readAll();
            replayed += LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()),
                                               size_t(input.size())) == 0;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return replayed ? 0 : 1;
}
