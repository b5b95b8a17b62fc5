#pragma once
// The keys of the settings file, their defaults and accepted ranges,
// and the text forms of the values.
//
// Every key is read through ReadSetting, which checks the stored text and
// falls back to the key's default when it is empty, not a number or outside
// what its consumer accepts.

#include "settings/ProfileStore.h"

#include <QString>
#include <QtGlobal>

#include <vector>

enum class SettingKey {
    Front,
    WinPos,
    MainFormTop,
    MainFormLeft,
    ShowAns,
    MaxPlace,
    UnitSeries,
    LastUnitSeries,
    RememberPairs,
};

struct SettingInfo {
    const char *section;  // "FormSet", "CalcSet", or "UnitPairs" for what older versions do not know
    const char *key;
    int defaultValue;  // for the two coordinates the caller passes the centred default
    long long min;
    long long max;
};

const SettingInfo &InfoOf(SettingKey key);

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

// Writes key as decimal text; non-zero on success.
int WriteSetting(const QString &path, SettingKey key, int value);
// Writes key as the text given (the coordinates' CoordinateText).
int WriteSettingText(const QString &path, SettingKey key, const QString &text);

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
