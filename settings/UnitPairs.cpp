#include "settings/UnitPairs.h"

#include "settings/ProfileFile.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <algorithm>
#include <cctype>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr QChar kSeparator = u'|';
const QString kKeyPrefix = u"Pair"_s;

// Whether the text reads back as itself from code page 932.
bool HeldByCodePage(const QString &text)
{
    // One converter each way for the thread: opening one costs far more
    // than converting a name, and a pair line asks once a character. Their
    // error flags stay set once set, so the trip there and back decides: a
    // character the code page lacks comes back as another one.
    thread_local QStringEncoder encoder("CP932", QStringConverter::Flag::Stateless);
    thread_local QStringDecoder decoder("CP932", QStringConverter::Flag::Stateless);
    return decoder.decode(encoder.encode(text)) == text;
}

bool MustEscape(const QString &character, bool atEnd)
{
    if (character.size() != 1)
        return !HeldByCodePage(character);
    const char16_t c = character.front().unicode();
    if (c < 0x20 || c == 0x7F || c == u'%' || c == kSeparator || c == u'"' || c == u'\'')
        return true;
    if (atEnd && (c == u' ' || c == u'\u3000'))
        return true;
    return c >= 0x80 && !HeldByCodePage(character);
}

QString Escaped(const QString &name)
{
    if (HeldByCodePage(name) && !name.contains(u'%') && !name.contains(kSeparator) && !name.contains(u'"')
        && !name.contains(u'\'') && name.trimmed() == name
        && std::none_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
        return name;
    QString escaped;
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype length = (name[i].isHighSurrogate() && i + 1 < name.size()) ? 2 : 1;
        const QString character = name.mid(i, length);
        const bool atEnd = i == 0 || i + length == name.size();
        if (MustEscape(character, atEnd)) {
            for (const char byte : character.toUtf8())
                escaped += u"%%1"_s.arg(uint(uchar(byte)), 2, 16, QChar(u'0')).toUpper();
        } else {
            escaped += character;
        }
        i += length;
    }
    return escaped;
}

std::optional<QString> Unescaped(const QString &text)
{
    QByteArray utf8;
    const QByteArray raw = text.toUtf8();
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            utf8 += raw[i];
            continue;
        }
        if (i + 2 >= raw.size() || !std::isxdigit(uchar(raw[i + 1])) || !std::isxdigit(uchar(raw[i + 2])))
            return std::nullopt;
        utf8 += char(raw.mid(i + 1, 2).toInt(nullptr, 16));
        i += 2;
    }
    // Stateless: a sequence cut at the end of the field is an error, not a
    // character still to come.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString name = decoder.decode(utf8);
    if (decoder.hasError())
        return std::nullopt;
    return name;
}

// The pair number of a key the writer writes ("Pair1" to "Pair300", the
// digits without sign or leading zero); 0 for any other key.
int PairNumber(const QString &key)
{
    if (!key.startsWith(kKeyPrefix, Qt::CaseInsensitive))
        return 0;
    const QString digits = key.mid(kKeyPrefix.size());
    if (digits.isEmpty() || digits.size() > 3 || digits.front() == u'0'
        || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return 0;
    const int number = digits.toInt();
    return number <= UnitPairMemory::MaxSeries ? number : 0;
}

}  // namespace

bool UnitPairMemory::fits(const Pair &pair)
{
    return !pair.series.isEmpty() && lineOf(pair).toUtf8().size() <= ProfileFile::MaxValueBytes;
}

QString UnitPairMemory::lineOf(const Pair &pair)
{
    return Escaped(pair.series) + kSeparator + Escaped(pair.source) + kSeparator + Escaped(pair.target);
}

std::optional<UnitPairMemory::Pair> UnitPairMemory::pairOf(const QString &line)
{
    const QStringList fields = line.split(kSeparator);
    if (fields.size() != 3)
        return std::nullopt;
    const auto series = Unescaped(fields[0]);
    const auto source = Unescaped(fields[1]);
    const auto target = Unescaped(fields[2]);
    if (!series || !source || !target || series->isEmpty())
        return std::nullopt;
    return Pair{*series, *source, *target};
}

void UnitPairMemory::remember(const Pair &pair)
{
    std::erase_if(m_pairs, [&pair](const Pair &held) { return held.series == pair.series; });
    if (!fits(pair))
        return;
    m_pairs.insert(m_pairs.begin(), pair);
    if (m_pairs.size() > size_t(MaxSeries))
        m_pairs.resize(size_t(MaxSeries));
}

std::optional<UnitPairMemory::Pair> UnitPairMemory::recall(const QString &series) const
{
    for (const Pair &pair : m_pairs) {
        if (pair.series == series)
            return pair;
    }
    return std::nullopt;
}

void UnitPairMemory::read(const QString &path)
{
    take(ProfileStore::ReadSection(path, QLatin1String(Section)));
}

void UnitPairMemory::readBytes(const QByteArray &fileBytes)
{
    take(ProfileStore::SectionOf(fileBytes, QLatin1String(Section)));
}

void UnitPairMemory::take(const std::vector<std::pair<QString, QString>> &entries)
{
    m_pairs.clear();
    m_keysRead = 0;
    std::vector<std::optional<Pair>> byNumber(static_cast<size_t>(MaxSeries));
    for (const auto &[key, value] : entries) {
        const int number = PairNumber(key);
        if (number == 0 || byNumber[size_t(number - 1)])
            continue;
        m_keysRead = std::max(m_keysRead, number);
        // A pair whose written line would be longer than a value holds (its
        // escapes expand) would not read back after the next save.
        if (const auto pair = pairOf(value); pair && fits(*pair))
            byNumber[size_t(number - 1)] = pair;
    }
    // The most recent first; a series written twice counts where it is newer.
    for (const auto &pair : byNumber) {
        if (pair && !recall(pair->series))
            m_pairs.push_back(*pair);
    }
}

std::vector<ProfileStore::Change> UnitPairMemory::changes() const
{
    std::vector<ProfileStore::Change> changes;
    const QString section = QLatin1String(Section);
    const int keys = std::max(m_keysRead, int(m_pairs.size()));
    for (int i = 0; i < keys; ++i)
        changes.push_back({section, kKeyPrefix + QString::number(i + 1),
                           i < int(m_pairs.size()) ? lineOf(m_pairs[size_t(i)]) : QString()});
    return changes;
}
