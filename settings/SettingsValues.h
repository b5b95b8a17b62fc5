#pragma once
// The keys of the settings file, their defaults and accepted ranges, the
// text forms of the values, and Settings, every key's value at once.
//
// The program reads the file into a Settings with ReadSettings and writes it
// back with WriteSettings, both going through SettingTable: a new key is a
// SettingKey and its row, nothing more. Each key is checked as it is read
// and falls back to its default when it is empty, not a number or outside
// what its consumer accepts.

#include "settings/ProfileStore.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <limits>
#include <vector>

enum class SettingKey {
    ShowAns,
    MaxPlace,
    SigDigits,
    UnitSeries,
    LastUnitSeries,
    UseFormula,
    Front,
    MainFormTop,
    MainFormLeft,
    WinPos,
    RememberPairs,
    Count  // not a key: the number of keys
};

struct SettingInfo {
    SettingKey id;
    const char *section;  // "FormSet", "CalcSet", or "UnitPairs" for what older versions do not know
    const char *key;
    int defaultValue;  // the coordinates stand for the centred position, which only the window knows
    long long min;
    long long max;
    bool inDialog = false;    // the settings dialog shows it, and its Apply writes it
    bool coordinate = false;  // written in the text form of a window coordinate (CoordinateText)
};

namespace SettingLimits {
constexpr long long Int16Min = -32768;
constexpr long long Int16Max = 32767;
constexpr long long Int32Min = std::numeric_limits<qint32>::min();
constexpr long long Int32Max = std::numeric_limits<qint32>::max();
}  // namespace SettingLimits

// Every key of the settings file, one row each, in the order of SettingKey.
// Everything that needs a key's name, default or range takes it from here.
// Keys are written in this order, a section's keys together: a file written
// anew holds [CalcSet], [FormSet] and [UnitPairs] in this order.
inline constexpr std::array<SettingInfo, size_t(SettingKey::Count)> SettingTable = {{
    {SettingKey::ShowAns, "CalcSet", "ShowAns", 0, 0, 2, true},        // the result style: plain, grouped, scientific
    {SettingKey::MaxPlace, "CalcSet", "MaxPlace", 15, 4, 50, true},    // digit limit of the grouped style
    {SettingKey::SigDigits, "CalcSet", "SigDigits", 15, 1, 15, true},  // significant digits of a result
    {SettingKey::UnitSeries, "CalcSet", "UnitSeries", 0, 0, 1, true},  // 0 the last series at start, 1 a random one
    {SettingKey::LastUnitSeries, "CalcSet", "LastUnitSeries", 0, 0, SettingLimits::Int16Max},
    {SettingKey::UseFormula, "CalcSet", "UseFormula", 0, 0, 1},  // 1: the value box takes arithmetic ("1/3")
    {SettingKey::Front, "FormSet", "Front", 0, SettingLimits::Int16Min, SettingLimits::Int16Max},  // non-zero: on top
    {SettingKey::MainFormTop, "FormSet", "MainFormTop", 0, SettingLimits::Int32Min, SettingLimits::Int32Max, false,
     true},
    {SettingKey::MainFormLeft, "FormSet", "MainFormLeft", 0, SettingLimits::Int32Min, SettingLimits::Int32Max, false,
     true},
    {SettingKey::WinPos, "FormSet", "WinPos", 0, 0, 1, true},       // 0 where it was left, 1 always centred
    {SettingKey::RememberPairs, "UnitPairs", "Remember", 1, 0, 1},  // 1: each series comes back with its last units
}};

constexpr bool SettingTableInKeyOrder()
{
    for (size_t i = 0; i < SettingTable.size(); ++i) {
        const SettingInfo &row = SettingTable[i];
        if (row.id != SettingKey(i) || row.defaultValue < row.min || row.defaultValue > row.max)
            return false;
    }
    return true;
}
static_assert(SettingTableInKeyOrder(), "one row for every key, in the order of SettingKey, its default in range");

constexpr const SettingInfo &InfoOf(SettingKey key)
{
    return SettingTable[size_t(key)];
}

// The number of values a key can take (the options a choice needs).
constexpr int ChoiceCount(SettingKey key)
{
    return int(InfoOf(key).max - InfoOf(key).min + 1);
}

// Converts a stored text like the platform's text-to-number conversion:
// blanks (space, tab) around the number allowed, an optional sign, decimal
// digits with an optional "." fraction and an optional exponent ("1e1" is
// 10), the value rounded to a whole number with a half going to the even
// neighbour ("2.5" is 2, "3.5" is 4). No group separators, no hexadecimal.
// False when the text is not such a number or the rounded value is outside
// [min, max].
bool ParseWholeNumber(const QString &text, long long min, long long max, long long *value);

// Reads key from the settings file at path. defaultValue replaces the table's
// default (the coordinates' centred defaults); a value outside the key's
// range, or outside [0, listCount - 1] for LastUnitSeries when listCount >= 0,
// reads as the default.
int ReadSetting(const QString &path, SettingKey key, int defaultValue, int listCount = -1);
int ReadSetting(const QString &path, SettingKey key);

// Every key's value at once, as the program holds the settings between
// reading the file and writing it back. A new Settings holds every key's
// default.
class Settings {
public:
    constexpr Settings()
    {
        for (const SettingInfo &row : SettingTable)
            m_values[size_t(row.id)] = row.defaultValue;
    }

    constexpr int &operator[](SettingKey key) { return m_values[size_t(key)]; }
    constexpr int operator[](SettingKey key) const { return m_values[size_t(key)]; }

    // Whether the file held a value for key that read, when this was read;
    // false for a key that holds its default (the coordinates' default is the
    // centred position, which only the window knows).
    bool isStored(SettingKey key) const { return m_stored[size_t(key)]; }
    void setStored(SettingKey key, bool stored) { m_stored[size_t(key)] = stored; }

    // Takes over the values of keys from other.
    void takeOver(const Settings &other, const std::vector<SettingKey> &keys);

private:
    std::array<int, size_t(SettingKey::Count)> m_values{};
    std::array<bool, size_t(SettingKey::Count)> m_stored{};
};

// Every key of the table, in table order; those of the settings dialog.
std::vector<SettingKey> AllSettingKeys();
std::vector<SettingKey> DialogSettingKeys();

// Reads every key from the settings file at path; what does not read, or
// lies outside the key's range (LastUnitSeries also outside
// [0, seriesCount - 1] when seriesCount >= 0), is the key's default.
Settings ReadSettings(const QString &path, int seriesCount = -1);

// Writes keys of settings as one change of the file, each in its text form,
// with the changes of more after them. Non-zero on success.
int WriteSettings(const QString &path, const Settings &settings, const std::vector<SettingKey> &keys,
                  const std::vector<ProfileStore::Change> &more = {});

// The text a key's value is written as.
QString SettingTextOf(SettingKey key, int value);

// Writes several keys as one change of the file (the end of the program, the
// settings dialog's Apply): another program saving at the same time sees
// and leaves either all of them or none. Non-zero on success.
struct SettingText {
    SettingKey key;
    QString text;
};
int WriteSettings(const QString &path, const std::vector<SettingText> &values,
                  const std::vector<ProfileStore::Change> &more = {});

// A window coordinate in twips as written to the file: the decimal text of a
// single-precision number, a whole number without a decimal point.
QString CoordinateText(double twips);

// The centred position along one axis: (screen - window) rounded half to
// even, then halved toward zero.
int CentredPosition(double screenTwips, double windowTwips);
