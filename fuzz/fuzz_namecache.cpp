// The name cache on arbitrary bytes: reading it must neither crash nor
// allocate for counts the bytes cannot hold, and whatever reads as a cache
// must be exactly the bytes that writing its entries gives.
#include "catalogue/NameCache.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString unitsDirectory = QStringLiteral("/u/");
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    FileStamp folder;
    const auto files = ParseNameCache(bytes, unitsDirectory, &folder);
    if (files && NameCacheBytes(unitsDirectory, *files, folder) != bytes)
        std::abort();
    return 0;
}
