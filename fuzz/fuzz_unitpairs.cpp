// The "[UnitPairs]" section of the settings file on arbitrary bytes: reading
// it must neither crash nor keep a pair that the next save would write
// differently, and every pair line that reads must write back as a line
// that reads as the same pair.
#include "settings/UnitPairs.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckReadsBack(const UnitPairMemory::Pair &pair)
{
    const std::optional<UnitPairMemory::Pair> back = UnitPairMemory::pairOf(UnitPairMemory::lineOf(pair));
    Check(back.has_value() && *back == pair);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    // The bytes as one pair line.
    if (const auto pair = UnitPairMemory::pairOf(QString::fromUtf8(bytes)); pair && UnitPairMemory::fits(*pair))
        CheckReadsBack(*pair);

    // The bytes as the section's lines.
    UnitPairMemory memory;
    memory.readBytes("[UnitPairs]\r\n" + bytes);
    Check(memory.pairs().size() <= size_t(UnitPairMemory::MaxSeries));
    QSet<QString> series;
    for (const UnitPairMemory::Pair &pair : memory.pairs()) {
        Check(UnitPairMemory::fits(pair));
        Check(!series.contains(pair.series));
        series.insert(pair.series);
        CheckReadsBack(pair);
    }
    const std::vector<ProfileStore::Change> changes = memory.changes();
    Check(changes.size() >= memory.pairs().size() && changes.size() <= size_t(UnitPairMemory::MaxSeries));

    // Remembering a pair again keeps it first and the rest as they were.
    if (!memory.pairs().empty()) {
        const UnitPairMemory::Pair last = memory.pairs().back();
        const size_t count = memory.pairs().size();
        memory.remember(last);
        Check(memory.pairs().size() == count && memory.pairs().front() == last);
    }
    return 0;
}
