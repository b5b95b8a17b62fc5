#include "catalogue/UnitFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QSysInfo>
#include <QVarLengthArray>

#include <charconv>
#include <algorithm>
#include <cmath>
#include <iconv.h>
#include <limits>

namespace {

// ---------------------------------------------------------------------------
// Decoding

constexpr char16_t kReplacement = 0xFFFD;

bool startsWithUtf8Bom(const QByteArray &bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF,
// no sequence cut off at the end. Stops at the first fault, so a CP932 file
// costs little here.
bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *const end = p + bytes.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            if (b == 0xE0)
                lo = 0xA0;
            else if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (end - p <= more)
            return false;
        if (p[1] < lo || p[1] > hi)
            return false;
        for (int k = 2; k <= more; ++k) {
            if (p[k] < 0x80 || p[k] > 0xBF)
                return false;
        }
        p += more + 1;
    }
    return true;
}

bool isCp932LeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// CP932 is stateless: every character is one byte or a lead byte and a
// trail byte. The whole mapping is taken once from the system's converter
// (glibc iconv "CP932", or Qt's "windows-31j" where iconv lacks it) into a
// table, which makes decoding a plain lookup. 0 marks what does not decode.
class Cp932Table
{
public:
    static const Cp932Table &instance()
    {
        static const Cp932Table table;
        return table;
    }

    char16_t single(unsigned char b) const { return m_single[b]; }
    char16_t pair(unsigned char lead, unsigned char trail) const
    {
        return m_pair[(lead - 0x80) * 256 + trail];
    }

private:
    Cp932Table()
        : m_single(256, 0), m_pair(128 * 256, 0)
    {
        for (int b = 0; b < 0x80; ++b)
            m_single[b] = static_cast<char16_t>(b);
        const char *target = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
        iconv_t cd = iconv_open(target, "CP932");
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            fill([cd](const char *bytes, size_t length) -> char16_t {
                char *in = const_cast<char *>(bytes);
                size_t inLeft = length;
                char16_t out[4] = {};
                char *outPtr = reinterpret_cast<char *>(out);
                size_t outLeft = sizeof out;
                const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                const bool one = rc != static_cast<size_t>(-1) && inLeft == 0
                    && outLeft == sizeof out - sizeof(char16_t);
                return one ? out[0] : 0;
            });
            iconv_close(cd);
        } else {
            // Qt's decoder gives U+001A for what it cannot map.
            QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
            fill([&decoder](const char *bytes, size_t length) -> char16_t {
                const QString s = decoder(QByteArrayView(bytes, static_cast<qsizetype>(length)));
                if (s.size() != 1 || s.at(0) == QChar(0x1A) || s.at(0) == QChar(kReplacement))
                    return 0;
                return s.at(0).unicode();
            });
        }
    }

    template<typename Decode>
    void fill(Decode decode)
    {
        for (int b = 0x80; b < 0x100; ++b) {
            const char one = static_cast<char>(b);
            if (!isCp932LeadByte(static_cast<unsigned char>(b)))
                m_single[b] = decode(&one, 1);
        }
        for (int lead = 0x80; lead < 0x100; ++lead) {
            if (!isCp932LeadByte(static_cast<unsigned char>(lead)))
                continue;
            // Trail bytes are 0x40 to 0xFC; below that a byte is never
            // part of a character.
            for (int trail = 0x40; trail < 0x100; ++trail) {
                const char two[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                m_pair[(lead - 0x80) * 256 + trail] = decode(two, 2);
            }
        }
    }

    std::vector<char16_t> m_single;
    std::vector<char16_t> m_pair;
};

// A byte that does not start a character becomes U+FFFD and decoding goes on
// with the next byte; so a lead byte before a comma or a quotation mark
// loses only itself.
QString decodeCp932(const QByteArray &bytes)
{
    const Cp932Table &table = Cp932Table::instance();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    // Every byte gives at most one UTF-16 unit.
    QString out(n, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    char16_t *const outStart = o;
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *o++ = b;
            ++i;
        } else if (isCp932LeadByte(b) && i + 1 < n && table.pair(b, p[i + 1]) != 0) {
            *o++ = table.pair(b, p[i + 1]);
            i += 2;
        } else {
            const char16_t c = table.single(b);
            *o++ = c != 0 ? c : kReplacement;
            ++i;
        }
    }
    out.truncate(o - outStart);
    return out;
}

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

struct Item {
    QStringView value;  // the text of the item (without quotation marks)
    QStringView raw;    // the item as it stood, quotation marks included
    int line = 1;       // the line the item starts on, from 1
    bool textAfterQuote = false;
    bool unclosedQuote = false;
};

// Reads the items of a series file one after another. Items are separated by
// a comma or a line end (CR LF, LF or CR alike), so an empty line is one
// empty item and a comma right after a comma gives an empty item as well.
class ItemReader
{
public:
    explicit ItemReader(QStringView text)
        : m_pos(text.utf16()), m_end(text.utf16() + text.size())
    {
    }

    // False at the end of the file: there is no further item.
    bool next(Item &item)
    {
        item = Item();
        while (m_pos < m_end && isBlank(*m_pos))
            ++m_pos;
        if (m_pos == m_end)
            return false;

        item.line = m_line;
        const char16_t *start = m_pos;
        if (*m_pos == u'"') {
            const char16_t *open = ++m_pos;
            while (m_pos < m_end && *m_pos != u'"')
                ++m_pos;
            item.value = QStringView(open, m_pos);
            m_line += lineEndsIn(open, m_pos);
            if (m_pos == m_end) {
                item.unclosedQuote = true;
                item.raw = QStringView(start, m_pos);
                return true;
            }
            ++m_pos;  // the closing mark
            const char16_t *afterQuote = m_pos;
            while (m_pos < m_end && *m_pos != u',' && !isLineEnd(*m_pos)) {
                if (!isBlank(*m_pos))
                    item.textAfterQuote = true;
                ++m_pos;
            }
            item.raw = QStringView(start, item.textAfterQuote ? trimEnd(afterQuote, m_pos) : afterQuote);
        } else {
            while (m_pos < m_end && *m_pos != u',' && !isLineEnd(*m_pos))
                ++m_pos;
            item.value = QStringView(start, trimEnd(start, m_pos));
            item.raw = item.value;
        }
        skipSeparator();
        return true;
    }

    // Whether anything but blanks and line ends is left.
    bool hasContentLeft() const
    {
        for (const char16_t *p = m_pos; p < m_end; ++p) {
            if (!isBlank(*p) && !isLineEnd(*p))
                return true;
        }
        return false;
    }

private:
    // CR LF, LF and CR each end one line.
    static int lineEndsIn(const char16_t *p, const char16_t *end)
    {
        int count = 0;
        for (; p < end; ++p) {
            if (*p == u'\n' || (*p == u'\r' && (p + 1 == end || p[1] != u'\n')))
                ++count;
        }
        return count;
    }

    static const char16_t *trimEnd(const char16_t *begin, const char16_t *end)
    {
        while (end > begin && isBlank(end[-1]))
            --end;
        return end;
    }

    void skipSeparator()
    {
        if (m_pos == m_end)
            return;
        if (*m_pos == u'\r') {
            ++m_pos;
            if (m_pos < m_end && *m_pos == u'\n')
                ++m_pos;
            ++m_line;
        } else {
            if (*m_pos == u'\n')
                ++m_line;
            ++m_pos;  // a comma or an LF
        }
    }

    const char16_t *m_pos;
    const char16_t *m_end;
    int m_line = 1;
};

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

void noteIssue(UnitFileContents &contents, int record, int field, const Item &item,
               FieldIssue::Kind kind)
{
    contents.issues.push_back(FieldIssue{record, field, item.raw.toString(), kind});
}

void noteNumberIssue(UnitFileContents &contents, int record, int field, const Item &item,
                     NumberRead r)
{
    if (r == NumberRead::NotANumber)
        noteIssue(contents, record, field, item, FieldIssue::NotANumber);
    else if (r == NumberRead::OutOfRange)
        noteIssue(contents, record, field, item, FieldIssue::OutOfRange);
}

}  // namespace

QString DecodeSeriesText(const QByteArray &bytes)
{
    if (startsWithUtf8Bom(bytes)) {
        // The mark is skipped; broken sequences become U+FFFD.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        return utf8(bytes);
    }
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return decodeCp932(bytes);
}

UnitFileContents ParseSeriesText(const QString &text)
{
    UnitFileContents contents;
    contents.opened = true;
    ItemReader reader(text);
    Item item;

    qint16 count = 0;
    if (reader.next(item)) {
        double asRead = 0.0;
        const NumberRead r = readInt16(item.value, count, &asRead);
        contents.countRead = r == NumberRead::Ok || r == NumberRead::Empty;
        contents.declaredCount = r == NumberRead::Empty ? 0 : clampToLongLong(asRead);
        if (!contents.countRead)
            count = 0;
    } else {
        contents.countRead = false;  // an empty file
    }
    if (count <= 0)
        return contents;

    contents.units.resize(static_cast<size_t>(count));
    bool endOfFile = false;
    for (int i = 0; i < count && !endOfFile; ++i) {
        UnitRecord &unit = contents.units[static_cast<size_t>(i)];
        for (int field = 0; field < 5; ++field) {
            if (!reader.next(item)) {
                endOfFile = true;
                break;
            }
            if (item.textAfterQuote)
                noteIssue(contents, i, field, item, FieldIssue::TextAfterQuote);
            if (item.unclosedQuote)
                noteIssue(contents, i, field, item, FieldIssue::UnclosedQuote);
            switch (field) {
            case 0:
                unit.UnitName = item.value.toString();
                break;
            case 1:
                noteNumberIssue(contents, i, field, item, readDouble(item.value, unit.Factor));
                break;
            case 2:
                noteNumberIssue(contents, i, field, item, readDouble(item.value, unit.Offset));
                break;
            case 3:
                noteNumberIssue(contents, i, field, item, readInt16(item.value, unit.SeparatorOK));
                break;
            case 4:
                noteNumberIssue(contents, i, field, item, readInt16(item.value, unit.ExponentOK));
                break;
            }
        }
        if (!endOfFile)
            ++contents.recordsPresent;
    }
    contents.trailingItems = !endOfFile && reader.hasContentLeft();
    return contents;
}

std::vector<SeriesItem> ScanSeriesItems(const QString &text)
{
    std::vector<SeriesItem> items;
    ItemReader reader(text);
    Item item;
    while (reader.next(item))
        items.push_back({item.value.toString(), item.raw.startsWith(u'"'), item.line});
    return items;
}

bool ReadSeriesFileText(const QString &path, QString *text)
{
    // Only an ordinary file (or a link to one) is opened: a pipe or a device
    // under a series name would block or never end.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    *text = DecodeSeriesText(bytes);
    return true;
}

UnitFileContents ReadUnitFile(const QString &path)
{
    QString text;
    if (!ReadSeriesFileText(path, &text))
        return UnitFileContents();
    return ParseSeriesText(text);
}

qint16 LoadUnitFile(const QString &path, UnitArray &units)
{
    units = std::move(ReadUnitFile(path).units);
    return static_cast<qint16>(static_cast<int>(units.size()) - 1);
}
