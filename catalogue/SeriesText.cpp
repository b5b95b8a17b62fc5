#include "catalogue/SeriesText.h"

#include "catalogue/Cp932.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
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

// Whether the eight bytes at p are all ASCII.
inline bool eightAscii(const unsigned char *p)
{
    quint64 word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
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

constexpr bool isCjkIdeograph(char32_t c)
{
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF);
}

struct Range {
    char32_t first;
    char32_t last;
    signed char weight;
};

// The weight of every character that weighs other than kForeign; the first
// range that holds a character gives its weight.
constexpr Range kWeights[] = {
    {kReplacement, kReplacement, kUndecodable},
    {0x4E00, 0x9FFF, kJapanese},  // kanji
    {0x3400, 0x4DBF, kJapanese},
    {0xF900, 0xFAFF, kJapanese},
    {0x3000, 0x30FF, kJapanese},  // CJK punctuation, hiragana, katakana
    {0x2010, 0x206F, kJapanese},  // ‐ — ‘ ’ “ ” … ‰ ′ ″ ※
    {0x2100, 0x218F, kJapanese},  // ℃ ℉ № Å, Roman numerals Ⅳ
    {0x2190, 0x22FF, kJapanese},  // arrows, mathematical operators
    {0x2460, 0x24FF, kJapanese},  // ① ⑳
    {0x2500, 0x26FF, kJapanese},  // box drawing, ■ △ ★ ♪
    {0x31F0, 0x31FF, kJapanese},  // small katakana
    {0x3200, 0x33FF, kJapanese},  // enclosed and squared forms: ㈱ ㍉ ㎡
    {0xFF01, 0xFF60, kJapanese},  // full-width ASCII
    {0xFFE0, 0xFFE6, kJapanese},  // full-width ￠ ￡ ￥
    {0xFF61, 0xFF9F, kHalfWidth},
    {0xA1, 0xBF, kSymbol},
    {0xD7, 0xD7, kSymbol},
    {0xF7, 0xF7, kSymbol},
    {0x0370, 0x03FF, kSymbol},
    {0x7F, 0xA0, kUnlikely},
    {0xE000, 0xF8FF, kUnlikely},
};

constexpr long long weightOf(char32_t c)
{
    for (const Range &range : kWeights) {
        if (c >= range.first && c <= range.last)
            return range.weight;
    }
    return kForeign;
}

// Lead bytes of the rare kanji: the second level of JIS kanji (from 0x989F)
// and the extensions after it. The bytes of UTF-8 Japanese text, read as
// CP932, fall here: 0xE3 to 0xE9 lead every kana and kanji in UTF-8.
constexpr bool isCp932RareLeadByte(unsigned char b)
{
    return b >= 0x99;
}

// A UTF-8 character's weight per byte. Half-width katakana weigh little in
// CP932 because any two bytes from 0xA1 to 0xDF spell some; in UTF-8 their
// three bytes (0xEF lead, which CP932 leaves unassigned) leave no doubt.
constexpr long long utf8WeightOf(char32_t c)
{
    return c >= 0xFF61 && c <= 0xFF9F ? kJapanese : weightOf(c);
}

// The loader weighs every byte of a file that may be 128 MiB: the weights are
// looked up. For UTF-8, every code point below 0x10000, filled range by range
// (the last range filled wins, so they are filled from the last).
constexpr auto kUtf8Weights = [] {
    std::array<signed char, 0x10000> weights{};
    for (auto range = std::rbegin(kWeights); range != std::rend(kWeights); ++range) {
        for (char32_t c = range->first; c <= range->last; ++c)
            weights[c] = range->weight;
    }
    for (char32_t c = 0xFF61; c <= 0xFF9F; ++c)
        weights[c] = kJapanese;
    return weights;
}();
static_assert(kUtf8Weights[0x5358] == utf8WeightOf(0x5358) && kUtf8Weights[0xFF71] == utf8WeightOf(0xFF71)
              && kUtf8Weights[0xB0] == utf8WeightOf(0xB0) && kUtf8Weights[0xE9] == utf8WeightOf(0xE9));

inline long long utf8Weight(char32_t c)
{
    return c < 0x10000 ? kUtf8Weights[c] : utf8WeightOf(c);
}

// What a CP932 byte alone adds to the CP932 reading's score; and for a lead
// byte and a trail byte, their character (low 16 bits, 0 where they make
// none) and what it adds (the byte above), looked up at once. Second-level
// kanji count as rare: they are what UTF-8 Japanese text spells in CP932.
constexpr auto kCp932SingleWeights = [] {
    std::array<signed char, 0x80> weights{};
    for (int b = 0x80; b < 0x100; ++b) {
        const char16_t c = Cp932Single(static_cast<unsigned char>(b));
        weights[b - 0x80] = static_cast<signed char>(c == 0 ? kUndecodable : weightOf(c));
    }
    return weights;
}();

// The row of each lead byte in kCp932PairEntries; -1 for other bytes.
constexpr auto kCp932Rows = [] {
    std::array<short, 0x100> rows{};
    for (int b = 0; b < 0x100; ++b)
        rows[b] = static_cast<short>(
            IsCp932LeadByte(static_cast<unsigned char>(b)) ? Cp932LeadRow(static_cast<unsigned char>(b)) : -1);
    return rows;
}();

constexpr auto kCp932PairEntries = [] {
    std::array<quint32, std::size(kCp932Pairs) / kCp932Trails * 0x100> entries{};
    for (int lead = 0x80; lead < 0x100; ++lead) {
        const auto l = static_cast<unsigned char>(lead);
        if (!IsCp932LeadByte(l))
            continue;
        for (int trail = 0; trail < 0x100; ++trail) {
            const char16_t c = Cp932Pair(l, static_cast<unsigned char>(trail));
            if (c == 0)
                continue;
            const long long weight = (isCjkIdeograph(c) && isCp932RareLeadByte(l) ? kRareKanji : weightOf(c)) * 2;
            entries[Cp932LeadRow(l) * 0x100 + trail] = quint32(static_cast<quint8>(weight)) << 16 | c;
        }
    }
    return entries;
}();

struct Reading {
    long long score = 0;
    bool clean = true;  // every byte decoded
};

// ---------------------------------------------------------------------------
// Walking the bytes: weighing a reading, decoding it, or both at once

// Walks the UTF-8 characters of the bytes: adds their weight to r when
// weighing, appends their text at o when decoding. Every well-formed
// sequence is a character; every other byte one U+FFFD (every byte gives at
// most one UTF-16 unit, four bytes at most two). Returns the bytes walked:
// all of them when final, else all but a sequence that the bytes to come may
// complete.
template<bool Weigh, bool Decode>
qsizetype walkUtf8(const char *data, qsizetype n, bool final, Reading *r, char16_t **out)
{
    const auto *const start = reinterpret_cast<const unsigned char *>(data);
    const auto *p = start;
    const auto *const end = p + n;
    long long score = Weigh ? r->score : 0;
    bool clean = Weigh ? r->clean : true;
    char16_t *o = Decode ? *out : nullptr;
    while (p < end) {
        if (*p < 0x80) {  // ASCII weighs nothing either way
            if (end - p >= 8 && eightAscii(p)) {
                if constexpr (Decode) {
                    for (int k = 0; k < 8; ++k)
                        o[k] = p[k];
                    o += 8;
                }
                p += 8;
            } else {
                if constexpr (Decode)
                    *o++ = *p;
                ++p;
            }
            continue;
        }
        if (!final && end - p < 4)
            break;
        char32_t cp = 0;
        const int length = utf8Sequence(p, end, &cp);
        if (length == 0) {
            if constexpr (Weigh) {
                score += kUndecodable;
                clean = false;
            }
            if constexpr (Decode)
                *o++ = kReplacement;
            ++p;
            continue;
        }
        if constexpr (Weigh)
            score += utf8Weight(cp) * length;
        if constexpr (Decode) {
            if (cp >= 0x10000) {
                *o++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                *o++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                *o++ = static_cast<char16_t>(cp);
            }
        }
        p += length;
    }
    if constexpr (Weigh) {
        r->score = score;
        r->clean = clean;
    }
    if constexpr (Decode)
        *out = o;
    return p - start;
}

// The same for CP932. A byte that does not start a character is taken alone
// (U+FFFD) and decoding goes on with the next byte, so a lead byte before a
// comma or a quotation mark loses only itself. When not final, a last lead
// byte waits for its trail byte.
template<bool Weigh, bool Decode>
qsizetype walkCp932(const char *data, qsizetype n, bool final, Reading *r, char16_t **out)
{
    const auto *const p = reinterpret_cast<const unsigned char *>(data);
    long long score = Weigh ? r->score : 0;
    bool clean = Weigh ? r->clean : true;
    char16_t *o = Decode ? *out : nullptr;
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            if (i + 8 <= n && eightAscii(p + i)) {
                if constexpr (Decode) {
                    for (int k = 0; k < 8; ++k)
                        o[k] = p[i + k];
                    o += 8;
                }
                i += 8;
            } else {
                if constexpr (Decode)
                    *o++ = b;
                ++i;
            }
            continue;
        }
        if (const int row = kCp932Rows[b]; row >= 0) {
            if (i + 1 == n) {
                if (!final)
                    break;
            } else {
                const quint32 entry = kCp932PairEntries[row * 0x100 + p[i + 1]];
                if (entry != 0) {
                    if constexpr (Weigh)
                        score += static_cast<qint8>(entry >> 16);
                    if constexpr (Decode)
                        *o++ = static_cast<char16_t>(entry);
                    i += 2;
                    continue;
                }
            }
        }
        const char16_t c = Cp932Single(b);
        if constexpr (Weigh) {
            score += kCp932SingleWeights[b - 0x80];
            clean = clean && c != 0;
        }
        if constexpr (Decode)
            *o++ = c != 0 ? c : kReplacement;
        ++i;
    }
    if constexpr (Weigh) {
        r->score = score;
        r->clean = clean;
    }
    if constexpr (Decode)
        *out = o;
    return i;
}

qsizetype weighUtf8(const char *data, qsizetype n, bool final, Reading &r)
{
    return walkUtf8<true, false>(data, n, final, &r, nullptr);
}

qsizetype weighCp932(const char *data, qsizetype n, bool final, Reading &r)
{
    return walkCp932<true, false>(data, n, final, &r, nullptr);
}

// Appends the text of the bytes to out (weighing them into r as well when r
// is given); returns the bytes used, as the walk does.
template<bool Weigh, typename Walk>
qsizetype decodeInto(const char *data, qsizetype n, bool final, QString &out, Reading *r, Walk walk)
{
    const qsizetype before = out.size();
    out.resize(before + n);
    char16_t *const start = reinterpret_cast<char16_t *>(out.data()) + before;
    char16_t *o = start;
    const qsizetype used = walk(data, n, final, r, &o);
    out.truncate(before + (o - start));
    return used;
}

qsizetype decodeUtf8(const char *data, qsizetype n, bool final, QString &out)
{
    return decodeInto<false>(data, n, final, out, nullptr, walkUtf8<false, true>);
}

qsizetype decodeCp932(const char *data, qsizetype n, bool final, QString &out)
{
    return decodeInto<false>(data, n, final, out, nullptr, walkCp932<false, true>);
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

// Choosing over a whole file: the likelier reading is weighed whole, the
// other only as long as it can still win, that is while its score and the
// most the bytes left can add reach the first reading's score. Once they do
// not, the first reading wins whatever follows, as it would after weighing
// every byte. The bytes left add at most 4 each to either reading; more
// closely, in UTF-8 only bytes from 0x80 add anything (ASCII weighs
// nothing), and in CP932 those and an ASCII byte after one (a trail byte).
// The close bound costs a pass over the file, counting per block; it is
// taken when the rough one has not stopped the walk within a few blocks.
constexpr qsizetype kBoundBlock = 64 * 1024;
constexpr qsizetype kRoughBoundBytes = 16 * kBoundBlock;
constexpr long long kMostPerByte = kJapanese;

// The most a reading can gain from the start of each block to the end of the
// bytes; one more entry (0) for the end.
std::vector<long long> gainBounds(const unsigned char *p, qsizetype n, bool cp932)
{
    const qsizetype blocks = (n + kBoundBlock - 1) / kBoundBlock;
    std::vector<long long> gain(blocks + 1, 0);
    for (qsizetype b = blocks - 1; b >= 0; --b) {
        const qsizetype start = b * kBoundBlock;
        const qsizetype end = std::min(n, start + kBoundBlock);
        // Counted in 32 bits, which a block cannot overflow, so that the
        // compiler can count many bytes at once.
        quint32 high = p[start] >> 7;
        quint32 asciiAfterHigh = 0;
        for (qsizetype i = start + 1; i < end; ++i) {
            high += p[i] >> 7;
            asciiAfterHigh += static_cast<quint8>(p[i - 1] & ~p[i]) >> 7;
        }
        gain[b] = gain[b + 1] + kMostPerByte * (cp932 ? high + asciiAfterHigh : high);
    }
    return gain;
}

// Weighs the bytes with weigh, as a whole, into r; stops early, returning
// false, when the reading cannot reach rival's score any more.
template<typename Weigh>
bool weighWhileItCanWin(const char *data, qsizetype n, bool cp932, long long rival, Weigh weigh, Reading &r)
{
    std::vector<long long> gain;
    qsizetype i = 0;
    while (i < n) {
        if (r.score + kMostPerByte * (n - i) < rival)
            return false;
        if (i >= kRoughBoundBytes) {
            if (gain.empty())
                gain = gainBounds(reinterpret_cast<const unsigned char *>(data), n, cp932);
            if (r.score + gain[i / kBoundBlock] < rival)
                return false;
        }
        const qsizetype end = std::min(n, i + kBoundBlock);
        i += weigh(data + i, end - i, end == n, r);
    }
    return true;
}

// The encoding of the bytes of a whole file without a byte-order mark; when
// text is given, the bytes decoded in it are appended to text.
SeriesEncoding chooseForWhole(const char *data, qsizetype n, QString *text)
{
    using Walk = qsizetype (*)(const char *, qsizetype, bool, Reading *, char16_t **);
    using Weigh = qsizetype (*)(const char *, qsizetype, bool, Reading &);
    // The reading that leads over the first block goes first; decoding that
    // reading as it is weighed saves a pass when it wins, as it usually does.
    Reading utf8Head, cp932Head;
    const qsizetype head = std::min(n, kBoundBlock);
    weighUtf8(data, head, true, utf8Head);
    weighCp932(data, head, true, cp932Head);
    const bool utf8First = utf8Head.score >= cp932Head.score;
    const SeriesEncoding firstEncoding = utf8First ? SeriesEncoding::Utf8 : SeriesEncoding::Cp932;

    Reading first;
    if (text != nullptr) {
        const Walk walk = utf8First ? walkUtf8<true, true> : walkCp932<true, true>;
        decodeInto<true>(data, n, true, *text, &first, walk);
    } else {
        (utf8First ? weighUtf8 : weighCp932)(data, n, true, first);
    }
    const Weigh weighSecond = utf8First ? weighCp932 : weighUtf8;
    Reading second;
    if (!weighWhileItCanWin(data, n, utf8First, first.score, weighSecond, second))
        return firstEncoding;
    const SeriesEncoding chosen = utf8First ? chooseByWeight(first, second) : chooseByWeight(second, first);
    if (text != nullptr && chosen != firstEncoding) {
        text->truncate(0);
        if (chosen == SeriesEncoding::Utf8)
            decodeUtf8(data, n, true, *text);
        else
            decodeCp932(data, n, true, *text);
    }
    return chosen;
}

}  // namespace

SeriesEncoding ChooseSeriesEncoding(const QByteArray &bytes)
{
    if (startsWithUtf8Bom(bytes))
        return SeriesEncoding::Utf8;
    return chooseForWhole(bytes.constData(), bytes.size(), nullptr);
}

QString DecodeSeriesText(const QByteArray &bytes)
{
    QString text;
    if (startsWithUtf8Bom(bytes))
        decodeUtf8(bytes.constData() + 3, bytes.size() - 3, true, text);
    else
        chooseForWhole(bytes.constData(), bytes.size(), &text);
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

bool IsWellFormedUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    char32_t codePoint = 0;
    while (p < end) {
        const int length = utf8Sequence(p, end, &codePoint);
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}
