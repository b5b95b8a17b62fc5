#include "catalogue/SeriesText.h"

#include <QStringDecoder>
#include <QSysInfo>

#include <algorithm>
#include <iconv.h>
#include <vector>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool startsWithUtf8Bom(const QByteArray &bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

// ---------------------------------------------------------------------------
// UTF-8

// The length of the well-formed UTF-8 sequence at p (no overlong forms, no
// surrogates, nothing beyond U+10FFFF, not cut off at end), and its code
// point; 0 when the byte at p starts none.
int utf8Sequence(const unsigned char *p, const unsigned char *end, char32_t *codePoint)
{
    const unsigned char b = *p;
    if (b < 0x80) {
        *codePoint = b;
        return 1;
    }
    int more = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    char32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        more = 1;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        more = 2;
        cp = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        more = 3;
        cp = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (end - p <= more)
        return 0;
    if (p[1] < lo || p[1] > hi)
        return 0;
    for (int k = 2; k <= more; ++k) {
        if (p[k] < 0x80 || p[k] > 0xBF)
            return 0;
    }
    for (int k = 1; k <= more; ++k)
        cp = (cp << 6) | (p[k] & 0x3F);
    *codePoint = cp;
    return more + 1;
}

// Every well-formed sequence becomes its character; every other byte U+FFFD.
// Appends to out and returns the bytes used: all of them when final, else
// all but a sequence that the bytes to come may complete.
qsizetype decodeUtf8(const char *data, qsizetype n, bool final, QString &out)
{
    const auto *const start = reinterpret_cast<const unsigned char *>(data);
    const auto *p = start;
    const auto *const end = p + n;
    // Every byte gives at most one UTF-16 unit; four bytes at most two.
    const qsizetype before = out.size();
    out.resize(before + n);
    char16_t *o = reinterpret_cast<char16_t *>(out.data()) + before;
    char16_t *const outStart = o;
    while (p < end) {
        if (!final && *p >= 0x80 && end - p < 4)
            break;
        char32_t cp = 0;
        const int length = utf8Sequence(p, end, &cp);
        if (length == 0) {
            *o++ = kReplacement;
            ++p;
            continue;
        }
        if (cp >= 0x10000) {
            *o++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(cp);
        }
        p += length;
    }
    out.truncate(before + (o - outStart));
    return p - start;
}

// ---------------------------------------------------------------------------
// CP932

bool isCp932LeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Lead bytes of the rare kanji: the second level of JIS kanji (from 0x989F)
// and the extensions after it. The bytes of UTF-8 Japanese text, read as
// CP932, fall here: 0xE3 to 0xE9 lead every kana and kanji in UTF-8.
bool isCp932RareLeadByte(unsigned char b)
{
    return b >= 0x99;
}

// CP932 is stateless: every character is one byte or a lead byte and a
// trail byte. The whole mapping is taken once from the system's converter
// (glibc iconv "CP932", or Qt's "windows-31j" where iconv lacks it) into a
// table, which makes decoding a plain lookup. 0 marks what does not decode.
class Cp932Table {
public:
    static const Cp932Table &instance()
    {
        static const Cp932Table table;
        return table;
    }

    char16_t single(unsigned char b) const { return m_single[b]; }
    char16_t pair(unsigned char lead, unsigned char trail) const { return m_pair[(lead - 0x80) * 256 + trail]; }

private:
    Cp932Table() : m_single(256, 0), m_pair(128 * 256, 0)
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

// Walks the CP932 characters of the bytes: visit(character, bytes, lead)
// for each, with character 0 for a byte that does not start one. A byte that
// does not start a character is taken alone and decoding goes on with the
// next byte, so a lead byte before a comma or a quotation mark loses only
// itself. Returns the bytes visited: all of them when final, else all but a
// last lead byte, whose trail byte may come with the next bytes.
template<typename Visit>
qsizetype forEachCp932(const char *data, qsizetype n, bool final, Visit visit)
{
    const Cp932Table &table = Cp932Table::instance();
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (!final && i + 1 == n && isCp932LeadByte(b))
            break;
        if (b < 0x80) {
            visit(static_cast<char16_t>(b), 1, b);
            ++i;
        } else if (isCp932LeadByte(b) && i + 1 < n && table.pair(b, p[i + 1]) != 0) {
            visit(table.pair(b, p[i + 1]), 2, b);
            i += 2;
        } else {
            visit(table.single(b), 1, b);
            ++i;
        }
    }
    return i;
}

// Appends to out, as decodeUtf8 does.
qsizetype decodeCp932(const char *data, qsizetype n, bool final, QString &out)
{
    // Every byte gives at most one UTF-16 unit.
    const qsizetype before = out.size();
    out.resize(before + n);
    char16_t *o = reinterpret_cast<char16_t *>(out.data()) + before;
    char16_t *const outStart = o;
    const qsizetype used = forEachCp932(data, n, final,
                                        [&o](char16_t c, int, unsigned char) { *o++ = c != 0 ? c : kReplacement; });
    out.truncate(before + (o - outStart));
    return used;
}

// ---------------------------------------------------------------------------
// Weighing the two readings

// Weights per byte of a character. A byte that starts no character costs
// what a byte of Japanese text earns.
constexpr long long kUndecodable = -4;
constexpr long long kUnlikely = -4;  // control characters, private use
constexpr long long kForeign = 0;    // accented letters, Cyrillic, Arabic, ...
constexpr long long kSymbol = 1;     // Latin-1 symbols and Greek: °, µ, ², ±, Ω
constexpr long long kHalfWidth = 2;  // half-width katakana
constexpr long long kRareKanji = 3;  // second-level kanji read from CP932
constexpr long long kJapanese = 4;   // kana, kanji, full-width forms, ℃, Ⅳ, ①, ※

bool isCjkIdeograph(char32_t c)
{
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF);
}

struct Range {
    char32_t first;
    char32_t last;
};

// What Japanese text is made of, besides the kanji.
constexpr Range kJapaneseRanges[] = {
    {0x2010, 0x206F},  // ‐ — ‘ ’ “ ” … ‰ ′ ″ ※
    {0x2100, 0x218F},  // ℃ ℉ № Å, Roman numerals Ⅳ
    {0x2190, 0x22FF},  // arrows, mathematical operators
    {0x2460, 0x24FF},  // ① ⑳
    {0x2500, 0x26FF},  // box drawing, ■ △ ★ ♪
    {0x3000, 0x30FF},  // CJK punctuation, hiragana, katakana
    {0x31F0, 0x31FF},  // small katakana
    {0x3200, 0x33FF},  // enclosed and squared forms: ㈱ ㍉ ㎡
    {0xFF01, 0xFF60},  // full-width ASCII
    {0xFFE0, 0xFFE6},  // full-width ￠ ￡ ￥
};

long long weightOf(char32_t c)
{
    if (c == kReplacement)
        return kUndecodable;
    if (isCjkIdeograph(c))
        return kJapanese;
    for (const Range &range : kJapaneseRanges) {
        if (c >= range.first && c <= range.last)
            return kJapanese;
    }
    if (c >= 0xFF61 && c <= 0xFF9F)
        return kHalfWidth;
    if ((c >= 0xA1 && c <= 0xBF) || c == 0xD7 || c == 0xF7 || (c >= 0x0370 && c <= 0x03FF))
        return kSymbol;
    if ((c >= 0x7F && c <= 0xA0) || (c >= 0xE000 && c <= 0xF8FF))
        return kUnlikely;
    return kForeign;
}

struct Reading {
    long long score = 0;
    bool clean = true;  // every byte decoded
};

// Adds the weight of the bytes to r; returns the bytes weighed, as
// decodeUtf8 does.
qsizetype weighUtf8(const char *data, qsizetype n, bool final, Reading &r)
{
    const auto *const start = reinterpret_cast<const unsigned char *>(data);
    const auto *p = start;
    const auto *const end = p + n;
    while (p < end) {
        if (*p < 0x80) {  // ASCII weighs nothing either way
            ++p;
            continue;
        }
        if (!final && end - p < 4)
            break;
        char32_t cp = 0;
        const int length = utf8Sequence(p, end, &cp);
        if (length == 0) {
            r.score += kUndecodable;
            r.clean = false;
            ++p;
        } else {
            // Half-width katakana weigh little because in CP932 any two
            // bytes from 0xA1 to 0xDF spell some; in UTF-8 their three
            // bytes (0xEF lead, which CP932 leaves unassigned) leave no doubt.
            const bool halfWidth = cp >= 0xFF61 && cp <= 0xFF9F;
            r.score += (halfWidth ? kJapanese : weightOf(cp)) * length;
            p += length;
        }
    }
    return p - start;
}

qsizetype weighCp932(const char *data, qsizetype n, bool final, Reading &r)
{
    return forEachCp932(data, n, final, [&r](char16_t c, int length, unsigned char lead) {
        if (lead < 0x80)
            return;
        if (c == 0) {
            r.score += kUndecodable;
            r.clean = false;
        } else if (length == 2 && isCjkIdeograph(c) && isCp932RareLeadByte(lead)) {
            r.score += kRareKanji * length;
        } else {
            r.score += weightOf(c) * length;
        }
    });
}

SeriesEncoding chooseByWeight(const Reading &utf8, const Reading &cp932)
{
    if (utf8.score != cp932.score)
        return utf8.score > cp932.score ? SeriesEncoding::Utf8 : SeriesEncoding::Cp932;
    return utf8.clean ? SeriesEncoding::Utf8 : SeriesEncoding::Cp932;
}

// Runs walk over what was left of the bytes before and the new bytes; keeps
// what it leaves for the next time.
template<typename Walk>
void walkPiece(QByteArray &left, QByteArrayView bytes, bool final, Walk walk)
{
    if (left.isEmpty()) {
        const qsizetype used = walk(bytes.data(), bytes.size(), final);
        left = bytes.sliced(used).toByteArray();
        return;
    }
    left.append(bytes);
    const qsizetype used = walk(left.constData(), left.size(), final);
    left.remove(0, used);
}

}  // namespace

SeriesEncoding ChooseSeriesEncoding(const QByteArray &bytes)
{
    if (startsWithUtf8Bom(bytes))
        return SeriesEncoding::Utf8;
    Reading utf8, cp932;
    weighUtf8(bytes.constData(), bytes.size(), true, utf8);
    weighCp932(bytes.constData(), bytes.size(), true, cp932);
    return chooseByWeight(utf8, cp932);
}

QString DecodeSeriesText(const QByteArray &bytes)
{
    QString text;
    if (startsWithUtf8Bom(bytes))
        decodeUtf8(bytes.constData() + 3, bytes.size() - 3, true, text);
    else if (ChooseSeriesEncoding(bytes) == SeriesEncoding::Utf8)
        decodeUtf8(bytes.constData(), bytes.size(), true, text);
    else
        decodeCp932(bytes.constData(), bytes.size(), true, text);
    return text;
}

void SeriesEncodingWeigher::add(QByteArrayView bytes)
{
    if (m_head.size() < 3)
        m_head.append(bytes.first(std::min<qsizetype>(bytes.size(), 3 - m_head.size())));
    walkPiece(m_utf8Left, bytes, false, [this](const char *data, qsizetype n, bool final) {
        Reading r{m_utf8Score, m_utf8Clean};
        const qsizetype used = weighUtf8(data, n, final, r);
        m_utf8Score = r.score;
        m_utf8Clean = r.clean;
        return used;
    });
    walkPiece(m_cp932Left, bytes, false, [this](const char *data, qsizetype n, bool final) {
        Reading r{m_cp932Score, m_cp932Clean};
        const qsizetype used = weighCp932(data, n, final, r);
        m_cp932Score = r.score;
        m_cp932Clean = r.clean;
        return used;
    });
}

SeriesEncodingChoice SeriesEncodingWeigher::finish()
{
    Reading utf8{m_utf8Score, m_utf8Clean}, cp932{m_cp932Score, m_cp932Clean};
    weighUtf8(m_utf8Left.constData(), m_utf8Left.size(), true, utf8);
    weighCp932(m_cp932Left.constData(), m_cp932Left.size(), true, cp932);
    m_utf8Left.clear();
    m_cp932Left.clear();
    SeriesEncodingChoice choice;
    choice.byteOrderMark = startsWithUtf8Bom(m_head);
    choice.encoding = choice.byteOrderMark ? SeriesEncoding::Utf8 : chooseByWeight(utf8, cp932);
    choice.utf8Clean = utf8.clean;
    return choice;
}

SeriesTextDecoder::SeriesTextDecoder(const SeriesEncodingChoice &choice)
    : m_encoding(choice.encoding), m_markLeft(choice.byteOrderMark ? 3 : 0)
{
}

void SeriesTextDecoder::add(QByteArrayView bytes, QString &out)
{
    decodePiece(bytes, false, out);
}

void SeriesTextDecoder::finish(QString &out)
{
    decodePiece({}, true, out);
}

void SeriesTextDecoder::decodePiece(QByteArrayView bytes, bool final, QString &out)
{
    const qsizetype skip = std::min(m_markLeft, bytes.size());
    m_markLeft -= skip;
    bytes = bytes.sliced(skip);
    walkPiece(m_left, bytes, final, [this, &out](const char *data, qsizetype n, bool last) {
        return m_encoding == SeriesEncoding::Utf8 ? decodeUtf8(data, n, last, out) : decodeCp932(data, n, last, out);
    });
}
