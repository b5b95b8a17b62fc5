#pragma once
// What a conversion needs between one command and the next, without a window:
// the loaded series, the result style, the lines of the last command and the
// run into every unit.
//
// The main window keeps one session and calls it from its handlers; the
// command-line converter keeps another. A front end that shows results (the
// main window's result box and target list) follows a run through
// ResultDisplay; the session builds each result line from the text the front
// end shows, after it has shown it.

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitRecord.h"
#include "convert/Conversion.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

struct ResultDisplay {
    // Called before each conversion of a run into every unit, with the
    // target's list position.
    std::function<void(int targetPos)> targetChosen;
    // Shows a result text and gives back the text as shown; without it the
    // text itself is the shown text.
    std::function<QString(const QString &resultText)> show;
};

// How one command ended. On failure lastResult() is empty.
struct SessionOutcome {
    bool failed = false;
    FailureKind failure = FailureKind::Other;
    int failedTarget = -1;  // the target position at which a run stopped
};

// The parts of one result line, as ResultLine joins them.
struct ResultParts {
    QString shownSource;
    QString sourceUnit;
    QString resultText;  // as the front end shows it
    QString targetUnit;
};

class ConversionSession {
public:
    // Replaces the loaded series by the series file of entry in
    // unitsDirectory (ending in "/"); the index of its last unit, -1 when the
    // file gives none. The last result is kept.
    qint16 LoadSeries(const QString &unitsDirectory, const SeriesEntry &entry);
    // The same with the units given (a series read elsewhere).
    void SetSeries(const SeriesEntry &entry, UnitArray units);

    const SeriesEntry &series() const { return m_series; }
    bool isNumberBase() const { return m_series.numberBase; }
    const UnitArray &units() const { return Units; }
    // The list position of the unit called name (FindUnitByName: its own
    // name before aliases, then the compatibility form); -1 when there is none.
    int FindUnit(const QString &name) const;

    // The settings values: style 0 plain, 1 grouped, 2 scientific (others
    // plain), placeNum the digit limit of the grouped style.
    void SetResultStyle(int showAns, int placeNum);
    ResultStyle resultStyle() const { return m_style; }
    int placeNum() const { return m_placeNum; }

    // One conversion of typed from the unit at sourcePos to the unit at
    // targetPos. The last result becomes its one line; a failure empties it.
    SessionOutcome ConvertValue(const QString &typed, int sourcePos, int targetPos, const ResultDisplay &display = {});

    // typed from the unit at sourcePos into every unit, in list order, the
    // source unit's own line included: the last result holds one line per
    // unit. The first failure ends the run with the last result empty.
    SessionOutcome ConvertToAllUnits(const QString &typed, int sourcePos, const ResultDisplay &display = {});

    // The result lines of the last command, each ending in CR LF.
    const QString &lastResult() const { return LastResult; }
    // The same lines in parts.
    const std::vector<ResultParts> &lastResultParts() const { return m_lastParts; }
    // True only while ConvertToAllUnits runs.
    bool allConvRunning() const { return AllConvRunning; }

private:
    void clearLastResult();
    SessionOutcome convertOne(const QString &typed, int sourcePos, int targetPos, const ResultDisplay &display);

    SeriesEntry m_series;
    UnitArray Units;
    ResultStyle m_style = ResultStyle::Plain;
    int m_placeNum = 15;
    QString LastResult;
    std::vector<ResultParts> m_lastParts;
    bool AllConvRunning = false;
};
