// Series files of arbitrary bytes: decoding and loading must neither crash
// nor leave a series that disagrees with the returned index.
#include "catalogue/UnitFile.h"

#include "FuzzScratch.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    const QString text = DecodeSeriesText(bytes);
    // Every byte gives at most one UTF-16 unit.
    if (text.size() > bytes.size())
        std::abort();

    QFile file(ScratchPath("unitfile"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(bytes);
    file.close();

    UnitArray units(2);
    const qint16 last = LoadUnitFile(ScratchPath("unitfile"), units);
    if (last < -1 || static_cast<qsizetype>(units.size()) != last + 1)
        std::abort();
    return 0;
}
