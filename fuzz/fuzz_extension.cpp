// The extension lines of a series file ("#逆数", "#別名") on arbitrary text
// after two fixed records: reading them must neither crash nor give a
// reciprocal unit or an alias that breaks what the series promises.
#include "catalogue/UnitFile.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString records = QStringLiteral("2\r\n\"m\",1,0,1,1\r\n\"cm\",0.01,0,1,1\r\n");
    const QString text = records + QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    const UnitFileContents contents = ParseSeriesText(text);
    Check(contents.units.size() == 2 && contents.recordsPresent == 2);
    const int total = int(contents.units.size() + contents.reciprocalUnits.size());
    Check(total <= kMaxLoadedUnits);
    for (const UnitRecord &unit : contents.reciprocalUnits)
        Check(unit.Reciprocal && !unit.UnitName.isEmpty() && unit.Offset == 0);
    for (const ExtensionLine &line : contents.extensionLines) {
        Check(line.keyword.startsWith(u'#'));
        Check(line.unit >= -1 && line.unit < total);
        Check(line.unit == -1 || line.keyword == kReciprocalKeyword || line.keyword == kAliasKeyword);
    }
    const auto checkAliases = [](const UnitRecord &unit) {
        QSet<QString> seen;
        for (const QString &alias : unit.Aliases) {
            Check(!alias.isEmpty() && alias != unit.UnitName && !seen.contains(alias));
            seen.insert(alias);
        }
    };
    for (const UnitRecord &unit : contents.units)
        checkAliases(unit);
    for (const UnitRecord &unit : contents.reciprocalUnits)
        checkAliases(unit);

    // "進数" reads no extension: the same records and nothing more.
    const UnitFileContents skipped = ParseSeriesText(text, SeriesExtension::Skip);
    Check(skipped.reciprocalUnits.empty() && skipped.units.size() == 2);
    for (const UnitRecord &unit : skipped.units)
        Check(unit.Aliases.isEmpty());
    return 0;
}
