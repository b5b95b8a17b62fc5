// Series files of arbitrary bytes: decoding and loading must neither crash
// nor leave a series that disagrees with the returned index.
#include "catalogue/UnitFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

// One file per fuzzing process, rewritten for every input.
const QString &scratchPath()
{
    static const QString path = [] {
        QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/tovel_fuzz_unitfile_XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        ::close(fd);
        const QString name = QFile::decodeName(pattern);
        std::atexit([] { QFile::remove(scratchPath()); });
        return name;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    const QString text = DecodeSeriesText(bytes);
    // Every byte gives at most one UTF-16 unit.
    if (text.size() > bytes.size())
        std::abort();

    QFile file(scratchPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(bytes);
    file.close();

    UnitArray units(2);
    const qint16 last = LoadUnitFile(scratchPath(), units);
    if (last < -1 || static_cast<qsizetype>(units.size()) != last + 1)
        std::abort();
    return 0;
}
