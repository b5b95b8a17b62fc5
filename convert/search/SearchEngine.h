#pragma once
// The answers of the search provider: what a query converts to, as the
// desktop shows it, and what a result's id stands for.
//
// A result id holds the value, the series, the source and the target unit,
// so that a desktop that asks about a result later (GNOME asks for the
// texts after the ids; a click may come after the provider has ended and
// was started again) gets the same answer from a fresh provider. A value of
// several terms is held as the one value they sum to in the last term's unit
// ("5尺3寸" as 53 寸), which is also what the window is given.
//
// Results are the main window's: the same conversion, with the result style
// and digit limit of the user's Tovelset.ini (read, never written), which is
// read again whenever it changes.

#include "convert/Conversion.h"
#include "convert/search/SearchCatalogue.h"
#include "settings/UnitPairs.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct SearchFolders {
    QString programDirectory;     // units/ and Tovelset.ini beside the program
    QString userConfigDirectory;  // where a system-wide install keeps each user's Tovelset.ini
};

// How results are written, from the user's Tovelset.ini: everything of the
// settings that the conversion request takes for the result's form, read in
// ReadResultFormat alone and handed to every conversion in convert().
struct ResultFormat {
    ResultStyle style = ResultStyle::Plain;
    int placeNum = DefaultPlaceNum;    // digit limit of the grouped style
    int sigDigits = DefaultSigDigits;  // significant digits of a result
};
ResultFormat ReadResultFormat(const QString &settingsPath);

struct SearchAnswer {
    QString id;
    QString name;         // "9.72 平方メートル"
    QString description;  // "6 畳 = 9.72 平方メートル"
    QString resultText;   // "9.72"
    QString value;        // the value converted, as the value box takes it
    QString series;
    QString source;
    QString target;
};

// Most results a desktop shows from one provider.
constexpr int kGnomeResults = 3;
constexpr int kKRunnerResults = 5;

class SearchEngine {
public:
    explicit SearchEngine(const SearchFolders &folders);

    // The results of the query text, at most maxResults: one for the target given, or
    // without one for the target last used in the series (in the main
    // window), then for the series' other units in file order. Empty when
    // the query is not a value with a known unit.
    std::vector<SearchAnswer> answer(const QString &text, int maxResults);

    // The result an id stands for, converted anew; nothing when its series
    // or units are gone or the value no longer converts.
    std::optional<SearchAnswer> answerOf(const QString &id);

    // The window's arguments that open it on the answer's conversion.
    static QStringList WindowArguments(const SearchAnswer &answer);

    static QString IdOf(const QString &value, const QString &series, const QString &source, const QString &target);

private:
    void refresh();
    // compound, when given, is the target (a value in several units) instead of target.
    std::optional<SearchAnswer> convert(const QString &value, int series, int source, int target,
                                        const CompoundUnit *compound = nullptr) const;

    SearchCatalogue m_catalogue;
    QString m_settingsPath;
    QString m_settingsBeside;
    QByteArray m_settingsState;
    bool m_settingsRead = false;
    ResultFormat m_format;
    bool m_rememberPairs = true;
    UnitPairMemory m_pairs;
};
