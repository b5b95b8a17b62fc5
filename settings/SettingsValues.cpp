#include "settings/SettingsValues.h"

#include "settings/modFileFuncs.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Rounds to the nearest whole number, a half to the even neighbour,
// whatever the floating-point rounding mode.
double roundHalfEven(double x)
{
    const double below = std::floor(x);
    const double fraction = x - below;
    if (fraction > 0.5)
        return below + 1;
    if (fraction < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

}  // namespace

bool ParseWholeNumber(const QString &text, long long min, long long max, long long *value)
{
    // Accepted: [blanks] [+|-] digits [. digits] [(e|E) [+|-] digits] [blanks],
    // with at least one digit before or after the point. The point is always
    // "."; no group separators, no hexadecimal.
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isBlank(text[from]))
        ++from;
    while (to > from && isBlank(text[to - 1]))
        --to;

    std::string number;
    qsizetype i = from;
    if (i < to && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-'))
            number += '-';
        ++i;
    }
    int mantissaDigits = 0;
    while (i < to && isDigit(text[i])) {
        number += char(text[i].unicode());
        ++i;
        ++mantissaDigits;
    }
    if (i < to && text[i] == QLatin1Char('.')) {
        number += '.';
        ++i;
        while (i < to && isDigit(text[i])) {
            number += char(text[i].unicode());
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < to && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        number += 'e';
        ++i;
        if (i < to && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            number += char(text[i].unicode());
            ++i;
        }
        int exponentDigits = 0;
        while (i < to && isDigit(text[i])) {
            number += char(text[i].unicode());
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    if (i != to)
        return false;

    // from_chars does not depend on the C locale (the decimal point stays ".").
    double parsed = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), parsed);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(parsed))
        return false;
    const double rounded = roundHalfEven(parsed);
    if (rounded < double(min) || rounded > double(max))
        return false;
    *value = static_cast<long long>(rounded);
    return true;
}

namespace {

// The value text holds for key, when it reads and lies in range.
std::optional<int> valueOf(const std::optional<QString> &text, SettingKey key, int listCount)
{
    const SettingInfo &info = InfoOf(key);
    long long max = info.max;
    if (key == SettingKey::LastUnitSeries && listCount >= 0)
        max = std::min<long long>(max, listCount - 1);
    long long value = 0;
    if (!text || !ParseWholeNumber(*text, info.min, max, &value))
        return std::nullopt;
    return int(value);
}

std::vector<SettingKey> keysWhere(bool (*include)(const SettingInfo &))
{
    std::vector<SettingKey> keys;
    for (const SettingInfo &row : SettingTable)
        if (include(row))
            keys.push_back(row.id);
    return keys;
}

}  // namespace

int ReadSetting(const QString &path, SettingKey key, int defaultValue, int listCount)
{
    const SettingInfo &info = InfoOf(key);
    return valueOf(ProfileStore::ReadValue(path, QLatin1String(info.section), QLatin1String(info.key)), key, listCount)
        .value_or(defaultValue);
}

int ReadSetting(const QString &path, SettingKey key)
{
    return ReadSetting(path, key, InfoOf(key).defaultValue);
}

void Settings::takeOver(const Settings &other, const std::vector<SettingKey> &keys)
{
    for (const SettingKey key : keys) {
        (*this)[key] = other[key];
        setStored(key, other.isStored(key));
    }
}

std::vector<SettingKey> AllSettingKeys()
{
    return keysWhere([](const SettingInfo &) { return true; });
}

std::vector<SettingKey> DialogSettingKeys()
{
    return keysWhere([](const SettingInfo &row) { return row.inDialog; });
}

Settings ReadSettings(const QString &path, int seriesCount)
{
    // The file read once for every key.
    std::vector<std::pair<QString, QString>> keys;
    for (const SettingInfo &row : SettingTable)
        keys.emplace_back(QLatin1String(row.section), QLatin1String(row.key));
    const std::vector<std::optional<QString>> texts = ProfileStore::ReadValues(path, keys);
    Settings settings;
    for (size_t i = 0; i < std::size(SettingTable); ++i) {
        const SettingKey key = SettingTable[i].id;
        if (const std::optional<int> value = valueOf(texts[i], key, seriesCount)) {
            settings[key] = *value;
            settings.setStored(key, true);
        }
    }
    return settings;
}

QString SettingTextOf(SettingKey key, int value)
{
    return InfoOf(key).coordinate ? CoordinateText(value) : QString::number(value);
}

int WriteSettings(const QString &path, const Settings &settings, const std::vector<SettingKey> &keys,
                  const std::vector<ProfileStore::Change> &more)
{
    std::vector<SettingText> values;
    values.reserve(keys.size());
    for (const SettingKey key : keys)
        values.push_back({key, SettingTextOf(key, settings[key])});
    return WriteSettings(path, values, more);
}

int WriteSettings(const QString &path, const std::vector<SettingText> &values,
                  const std::vector<ProfileStore::Change> &more)
{
    std::vector<ProfileStore::Change> changes;
    changes.reserve(values.size() + more.size());
    for (const SettingText &value : values) {
        const SettingInfo &info = InfoOf(value.key);
        changes.push_back({QLatin1String(info.section), QLatin1String(info.key), value.text});
    }
    changes.insert(changes.end(), more.begin(), more.end());
    return WriteValues(path, changes);
}

QString CoordinateText(double twips)
{
    const float single = static_cast<float>(twips);
    if (!std::isfinite(single) || single == 0.0f)
        return QStringLiteral("0");
    // Seven significant digits, trailing zeros and a bare point dropped,
    // exponent form beyond them ("1.234568E+07", "1E-05").
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, single, std::chars_format::general, 7);
    if (error != std::errc())
        return QStringLiteral("0");
    QString text = QString::fromLatin1(buffer, end - buffer);
    text.replace(QLatin1Char('e'), QLatin1Char('E'));
    return text;
}

int CentredPosition(double screenTwips, double windowTwips)
{
    const long long difference = static_cast<long long>(roundHalfEven(screenTwips - windowTwips));
    return int(difference / 2);  // integer division drops the fraction toward zero
}
