#include "catalogue/UnitFile.h"

#include "catalogue/SeriesCatalogue.h"  // IsNumberBaseSeries, SeriesNameOfFile

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QVarLengthArray>

#include <charconv>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// ---------------------------------------------------------------------------
// Items

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool isLineEnd(char16_t c)
{
    return c == u'\r' || c == u'\n';
}

// ---------------------------------------------------------------------------
// Numbers

enum class NumberRead { Ok, Empty, NotANumber, OutOfRange };

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Of a number already checked to be in decimal notation (without its sign):
// the power of ten of its first significant digit, only its sign matters.
// The exponent is summed with saturation, as it may have any number of digits.
long long magnitudeExponent(const char16_t *p, const char16_t *end)
{
    long long position = 0;  // of the first significant digit, relative to the point
    bool seen = false, afterPoint = false;
    long long exponent = 0;
    for (; p < end; ++p) {
        if (*p == u'.') {
            afterPoint = true;
        } else if (*p == u'e' || *p == u'E') {
            ++p;
            const bool minus = p < end && *p == u'-';
            if (p < end && (*p == u'+' || *p == u'-'))
                ++p;
            for (; p < end; ++p)
                exponent = std::min<long long>(exponent * 10 + (*p - u'0'), 1LL << 40);
            if (minus)
                exponent = -exponent;
            break;
        } else if (!seen) {
            if (*p != u'0') {
                seen = true;
                if (!afterPoint)
                    position = 1;
            } else if (afterPoint) {
                --position;
            }
        } else if (!afterPoint) {
            ++position;
        }
    }
    return position + exponent;
}

// Decimal notation with "." as the decimal point whatever the locale:
// [sign] digits [. digits] [E|e [sign] digits], where either the whole or the
// decimal digits may be missing but not both. Blanks around it are ignored.
// An out-of-range number reads as 0; outOfRangeAs, when given, receives what
// it would be with unlimited range, roughly: infinity with its sign when too
// large, 0 when too small.
NumberRead readDouble(QStringView text, double &value, double *outOfRangeAs = nullptr)
{
    value = 0.0;
    text = text.trimmed();
    if (text.isEmpty())
        return NumberRead::Empty;

    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    bool negative = false;
    if (*p == u'+' || *p == u'-') {
        negative = *p == u'-';
        ++p;
    }
    const char16_t *const numberStart = p;  // without the sign
    qsizetype digits = 0;
    while (p < end && isDigit(*p)) {
        ++p;
        ++digits;
    }
    if (p < end && *p == u'.') {
        ++p;
        while (p < end && isDigit(*p)) {
            ++p;
            ++digits;
        }
    }
    if (digits == 0)
        return NumberRead::NotANumber;
    if (p < end && (*p == u'e' || *p == u'E')) {
        ++p;
        if (p < end && (*p == u'+' || *p == u'-'))
            ++p;
        const char16_t *const exponentStart = p;
        while (p < end && isDigit(*p))
            ++p;
        if (p == exponentStart)
            return NumberRead::NotANumber;
    }
    if (p != end)
        return NumberRead::NotANumber;

    // Only ASCII is left: narrow it for from_chars, which never looks at the
    // locale.
    QVarLengthArray<char, 64> narrow;
    if (negative)
        narrow.append('-');
    for (const char16_t *q = numberStart; q < end; ++q)
        narrow.append(static_cast<char>(*q));
    double parsed = 0.0;
    const auto result = std::from_chars(narrow.data(), narrow.data() + narrow.size(), parsed,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large, or too small to be anything but 0. The decimal
        // exponent of the first significant digit tells which.
        if (outOfRangeAs)
            *outOfRangeAs = magnitudeExponent(numberStart, end) > 0 ? (negative ? -HUGE_VAL : HUGE_VAL) : 0.0;
        return NumberRead::OutOfRange;
    }
    if (result.ec != std::errc() || result.ptr != narrow.data() + narrow.size())
        return NumberRead::NotANumber;
    value = parsed;
    return NumberRead::Ok;
}

// A 16-bit field: the number rounded to the nearest whole number (halves to
// the even neighbour); out of range when that is not in -32768..32767.
NumberRead readInt16(QStringView text, qint16 &value, double *asRead = nullptr)
{
    value = 0;
    double d = 0.0;
    const NumberRead r = readDouble(text, d, asRead);
    if (r != NumberRead::Ok)
        return r;
    const double rounded = std::nearbyint(d);
    if (asRead)
        *asRead = rounded;
    if (rounded < -32768.0 || rounded > 32767.0)
        return NumberRead::OutOfRange;
    value = static_cast<qint16>(rounded);
    return NumberRead::Ok;
}

long long clampToLongLong(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= 9.2e18)
        return std::numeric_limits<long long>::max();
    if (d <= -9.2e18)
        return std::numeric_limits<long long>::min();
    return static_cast<long long>(d);
}

void noteIssue(UnitFileContents &contents, int record, RecordField field, const SeriesItemView &item,
               FieldIssue::Kind kind)
{
    contents.issues.push_back(FieldIssue{record, field, item.raw.toString(), kind});
}

// CR LF, LF and CR each end one line.
int lineEndsIn(const char16_t *p, const char16_t *end)
{
    int count = 0;
    for (; p < end; ++p) {
        if (*p == u'\n' || (*p == u'\r' && (p + 1 == end || p[1] != u'\n')))
            ++count;
    }
    return count;
}

const char16_t *trimEnd(const char16_t *begin, const char16_t *end)
{
    while (end > begin && isBlank(end[-1]))
        --end;
    return end;
}

SeriesItem ToSeriesItem(const SeriesItemView &item)
{
    return {item.value.toString(), item.raw.startsWith(u'"'), item.line};
}

// The lines after the counted records: extension lines are kept, anything
// else but blank lines is noted as trailing items. Of an extension line only
// what can matter is kept (the four items a reciprocal unit reads, then the
// aliases that are not empty and not repeated), so a line of millions of
// commas costs no memory.
void readLinesAfterRecords(SeriesItemReader &reader, UnitFileContents &contents)
{
    SeriesItemView item;
    while (reader.next(item) == SeriesItemReader::Item) {
        const int firstLine = item.line;
        if (item.raw.startsWith(u'"') && item.value.startsWith(u'#')) {
            ExtensionLine extension;
            extension.line = firstLine;
            extension.keyword = item.value.toString();
            const bool aliases = extension.keyword == kAliasKeyword;
            // A compound line keeps its units as written, a repeated one
            // too (it is then out of order), up to the most units a series
            // may have.
            const bool compound = extension.keyword == kCompoundKeyword;
            QSet<QStringView> seen;
            while (!item.endsLine && reader.next(item) == SeriesItemReader::Item) {
                const bool named = extension.items.empty();
                bool keep = named;
                if (!named && aliases)
                    keep = !item.value.isEmpty() && !seen.contains(item.value);
                else if (!named && compound)
                    keep = !item.value.isEmpty() && extension.items.size() <= size_t(kMaxLoadedUnits);
                else if (!named)
                    keep = extension.items.size() < 4;
                if (keep) {
                    if (aliases && !named)
                        seen.insert(item.value);
                    extension.items.push_back(ToSeriesItem(item));
                }
            }
            contents.extensionLines.push_back(std::move(extension));
            continue;
        }
        bool blank = item.raw.isEmpty();
        while (!item.endsLine && reader.next(item) == SeriesItemReader::Item)
            blank = false;
        if (!blank && !contents.trailingItems) {
            contents.trailingItems = true;
            contents.trailingLine = firstLine;
        }
    }
}

// The reciprocal units of the extension lines, then their aliases, which may
// name a unit declared further down.
void applyExtension(UnitFileContents &contents)
{
    const int counted = int(contents.units.size());
    for (ExtensionLine &line : contents.extensionLines) {
        if (line.keyword != kReciprocalKeyword || line.items.empty() || line.items[0].text.isEmpty())
            continue;
        if (counted + int(contents.reciprocalUnits.size()) >= kMaxLoadedUnits)
            break;
        UnitRecord unit;
        unit.UnitName = line.items[0].text;
        unit.Reciprocal = true;
        if (line.items.size() > 1)
            readDouble(line.items[1].text, unit.Factor);
        if (line.items.size() > 2)
            readInt16(line.items[2].text, unit.SeparatorOK);
        if (line.items.size() > 3)
            readInt16(line.items[3].text, unit.ExponentOK);
        line.unit = counted + int(contents.reciprocalUnits.size());
        contents.reciprocalUnits.push_back(std::move(unit));
    }

    const auto unitAt = [&](int index) -> UnitRecord & {
        return index < counted ? contents.units[size_t(index)] : contents.reciprocalUnits[size_t(index - counted)];
    };
    QHash<QString, int> byName;
    const int total = counted + int(contents.reciprocalUnits.size());
    for (int i = total - 1; i >= 0; --i)
        byName.insert(unitAt(i).UnitName, i);  // of two units of one name, the first one
    // Each unit's aliases so far, so that a line of many aliases still reads
    // in linear time.
    QHash<int, QSet<QString>> aliasesOf;
    for (ExtensionLine &line : contents.extensionLines) {
        if (line.keyword != kAliasKeyword || line.items.empty())
            continue;
        const auto found = byName.constFind(line.items[0].text);
        if (found == byName.constEnd())
            continue;
        line.unit = found.value();
        UnitRecord &unit = unitAt(line.unit);
        QSet<QString> &seen = aliasesOf[line.unit];
        for (size_t i = 1; i < line.items.size(); ++i) {
            const QString &alias = line.items[i].text;
            if (!alias.isEmpty() && alias != unit.UnitName && !seen.contains(alias)) {
                seen.insert(alias);
                unit.Aliases << alias;
            }
        }
    }
}

// The compound units, once every unit and alias is known.
void applyCompoundLines(UnitFileContents &contents)
{
    UnitArray all = contents.units;
    all.insert(all.end(), contents.reciprocalUnits.begin(), contents.reciprocalUnits.end());
    for (const ExtensionLine &line : contents.extensionLines) {
        if (line.keyword != kCompoundKeyword || line.items.empty())
            continue;
        QStringList unitNames;
        for (size_t i = 1; i < line.items.size(); ++i)
            unitNames << line.items[i].text;
        CompoundUnit compound;
        if (ReadCompoundUnit(line.items[0].text, unitNames, all, compound) == CompoundProblem::None)
            contents.compoundUnits.push_back(std::move(compound));
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Items

SeriesItemReader::SeriesItemReader(const QString &text) : m_text(text), m_final(true) {}

void SeriesItemReader::append(QStringView more)
{
    m_text.append(more);
}

void SeriesItemReader::finish()
{
    m_final = true;
}

void SeriesItemReader::dropRead()
{
    m_text.remove(0, m_pos);
    m_pos = 0;
}

SeriesItemReader::Step SeriesItemReader::next(SeriesItemView &item)
{
    item = SeriesItemView();
    const auto *const begin = reinterpret_cast<const char16_t *>(m_text.utf16());
    const char16_t *const end = begin + m_text.size();
    const char16_t *p = begin + m_pos;
    while (p < end && isBlank(*p))
        ++p;
    m_pos = p - begin;
    if (p == end)
        return m_final ? End : NeedMore;

    // Nothing changes until the item is whole: without the final text, an
    // item that reaches the end of the text so far may go on, and a CR may
    // be the first half of a CR LF.
    const auto separatorCut = [&](const char16_t *at) {
        return !m_final && (at == end || (*at == u'\r' && at + 1 == end));
    };
    item.line = m_line;
    int line = m_line;
    const char16_t *const start = p;
    if (*p == u'"') {
        const char16_t *const open = ++p;
        while (p < end && *p != u'"')
            ++p;
        if (p == end && !m_final)
            return NeedMore;
        item.value = QStringView(open, p);
        line += lineEndsIn(open, p);
        if (p == end) {
            item.unclosedQuote = true;
            item.raw = QStringView(start, p);
            m_line = line;
            m_pos = p - begin;
            return Item;
        }
        ++p;  // the closing mark
        const char16_t *const afterQuote = p;
        while (p < end && *p != u',' && !isLineEnd(*p)) {
            if (!isBlank(*p))
                item.textAfterQuote = true;
            ++p;
        }
        if (separatorCut(p))
            return NeedMore;
        item.raw = QStringView(start, item.textAfterQuote ? trimEnd(afterQuote, p) : afterQuote);
    } else {
        while (p < end && *p != u',' && !isLineEnd(*p))
            ++p;
        if (separatorCut(p))
            return NeedMore;
        item.value = QStringView(start, trimEnd(start, p));
        item.raw = item.value;
    }
    // The separator: a comma or a line end.
    item.endsLine = p == end || *p != u',';
    if (p < end) {
        if (*p == u'\r') {
            ++p;
            if (p < end && *p == u'\n')
                ++p;
            ++line;
        } else {
            if (*p == u'\n')
                ++line;
            ++p;
        }
    }
    m_line = line;
    m_pos = p - begin;
    return Item;
}

// ---------------------------------------------------------------------------
// Records

SeriesCount ReadSeriesCount(QStringView item)
{
    SeriesCount count;
    double asRead = 0.0;
    const NumberRead r = readInt16(item, count.count, &asRead);
    count.read = r == NumberRead::Ok || r == NumberRead::Empty;
    count.declared = r == NumberRead::Empty ? 0 : clampToLongLong(asRead);
    if (!count.read)
        count.count = 0;
    return count;
}

bool ReadRecordField(UnitRecord &unit, RecordField field, QStringView item, FieldIssue::Kind *issue, bool *tooLarge)
{
    NumberRead r = NumberRead::Ok;
    double outOfRangeAs = 0.0;
    switch (field) {
    case NameField: unit.UnitName = item.toString(); break;
    case FactorField: r = readDouble(item, unit.Factor, &outOfRangeAs); break;
    case OffsetField: r = readDouble(item, unit.Offset, &outOfRangeAs); break;
    case GroupingFlagField: r = readInt16(item, unit.SeparatorOK); break;
    case ExponentFlagField: r = readInt16(item, unit.ExponentOK); break;
    }
    if (r != NumberRead::NotANumber && r != NumberRead::OutOfRange)
        return true;
    if (issue)
        *issue = r == NumberRead::NotANumber ? FieldIssue::NotANumber : FieldIssue::OutOfRange;
    if (tooLarge)
        *tooLarge = std::isinf(outOfRangeAs);
    return false;
}

UnitFileContents ParseSeriesText(const QString &text, SeriesExtension extension)
{
    UnitFileContents contents;
    contents.opened = true;
    SeriesItemReader reader(text);
    SeriesItemView item;

    qint16 count = 0;
    if (reader.next(item) == SeriesItemReader::Item) {
        const SeriesCount read = ReadSeriesCount(item.value);
        contents.countRead = read.read;
        contents.declaredCount = read.declared;
        count = read.count;
    } else {
        contents.countRead = false;  // an empty file
    }
    if (count <= 0)
        return contents;

    contents.units.resize(static_cast<size_t>(count));
    bool endOfFile = false;
    for (int i = 0; i < count && !endOfFile; ++i) {
        UnitRecord &unit = contents.units[static_cast<size_t>(i)];
        for (int f = 0; f < kFieldsPerRecord; ++f) {
            const auto field = static_cast<RecordField>(f);
            if (reader.next(item) != SeriesItemReader::Item) {
                endOfFile = true;
                break;
            }
            if (item.textAfterQuote)
                noteIssue(contents, i, field, item, FieldIssue::TextAfterQuote);
            if (item.unclosedQuote)
                noteIssue(contents, i, field, item, FieldIssue::UnclosedQuote);
            FieldIssue::Kind issue = FieldIssue::NotANumber;
            if (!ReadRecordField(unit, field, item.value, &issue))
                noteIssue(contents, i, field, item, issue);
        }
        if (!endOfFile)
            ++contents.recordsPresent;
    }
    if (!endOfFile) {
        readLinesAfterRecords(reader, contents);
        if (extension == SeriesExtension::Read) {
            applyExtension(contents);
            applyCompoundLines(contents);
        }
    }
    return contents;
}

void ApplySeriesExtension(UnitFileContents &contents)
{
    applyExtension(contents);
    applyCompoundLines(contents);
}

std::vector<SeriesItem> ScanSeriesItems(const QString &text)
{
    std::vector<SeriesItem> items;
    SeriesItemReader reader(text);
    SeriesItemView item;
    while (reader.next(item) == SeriesItemReader::Item)
        items.push_back(ToSeriesItem(item));
    return items;
}

bool OpenSeriesFile(const QString &path, QFile &file)
{
    // Only an ordinary file (or a link to one) is opened: a pipe or a device
    // under a series name would block or never end.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return false;
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // No series is this large (see kMaxSeriesFileBytes): refuse it before
    // reading; a reader reads no more than that should it grow meanwhile.
    return file.size() <= kMaxSeriesFileBytes;
}

bool ReadSeriesFileText(const QString &path, QString *text)
{
    QFile file;
    if (!OpenSeriesFile(path, file))
        return false;
    QByteArray bytes(file.size() + 1, Qt::Uninitialized);
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > kMaxSeriesFileBytes)
                return false;
            bytes.resize(std::min<qint64>(filled * 2, kMaxSeriesFileBytes + 1));
        }
        const qint64 got = file.read(bytes.data() + filled, bytes.size() - filled);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    *text = DecodeSeriesText(bytes);
    return true;
}

UnitFileContents ReadUnitFile(const QString &path, SeriesExtension extension)
{
    QString text;
    if (!ReadSeriesFileText(path, &text))
        return UnitFileContents();
    return ParseSeriesText(text, extension);
}

qint16 LoadUnitFile(const QString &path, UnitArray &units)
{
    CompoundArray compounds;
    return LoadUnitFile(path, units, compounds);
}

qint16 LoadUnitFile(const QString &path, UnitArray &units, CompoundArray &compounds)
{
    const bool numberBase = IsNumberBaseSeries(SeriesNameOfFile(QFileInfo(path).fileName()));
    UnitFileContents contents = ReadUnitFile(path, numberBase ? SeriesExtension::Skip : SeriesExtension::Read);
    units = std::move(contents.units);
    units.insert(units.end(), std::make_move_iterator(contents.reciprocalUnits.begin()),
                 std::make_move_iterator(contents.reciprocalUnits.end()));
    compounds = std::move(contents.compoundUnits);
    return static_cast<qint16>(static_cast<int>(units.size()) - 1);
}
