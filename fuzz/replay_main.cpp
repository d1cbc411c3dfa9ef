// Feeds every file of the folders (or files) named on the command line to a fuzz target's
// entry function once: the inputs that once made it fail, replayed by the normal build.

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    int replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (!QFileInfo(path).isDir()) {
            ok = replay(path) && ok;
            ++replayed;
            continue;
        }
        QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            ok = replay(it.next()) && ok;
            ++replayed;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return ok ? 0 : 1;
}
