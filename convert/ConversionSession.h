#pragma once
// What a conversion needs between one command and the next, without a window:
// the loaded series, the result style, the lines of the last command and the
// run into every unit.
//
// The session only answers: a conversion or a run gives back its results
// (each result text as the result box shows it, and its line), the failure
// and where the command stopped. A front end shows them as it likes; the
// main window moves its target list and fills its result box from them, the
// command-line converter prints them.

#include "catalogue/CompoundUnit.h"
#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitRecord.h"
#include "convert/Conversion.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

// The most characters the main window's result box holds, as a one-line text
// box does by default.
constexpr int ResultBoxMaxLength = 32767;

// A result text as the result box shows it: cut to ResultBoxMaxLength
// characters. The result line carries this text, so a line always says what
// the box showed.
QString ResultBoxText(const QString &resultText);

// One converted target: the parts of its result line, as ResultLine joins them.
struct ResultParts {
    QString shownSource;
    QString sourceUnit;
    QString resultText;  // as the result box shows it
    QString targetUnit;
    int targetPos = -1;
    // Of a value in several units, its part of the line: "5 (尺) 2.8 (寸)",
    // which stands for the result and the target unit; empty otherwise.
    QString compoundLine = {};

    QString line() const
    {
        if (!compoundLine.isEmpty())
            return shownSource + QStringLiteral(" (") + sourceUnit + QStringLiteral(") => ") + compoundLine
                + QStringLiteral("\r\n");
        return ResultLine(shownSource, sourceUnit, resultText, targetUnit);
    }
};

// What one command gave.
struct SessionOutcome {
    bool failed = false;
    FailureKind failure = FailureKind::Other;
    int failedTarget = -1;  // the target position at which the command stopped
    // One entry a target converted, in list order; empty on failure.
    std::vector<ResultParts> results;
    // The result lines, each ending in CR LF; empty on failure.
    QString lines;
    // The last target the command reached (the failing one included), -1 when
    // it reached none.
    int lastTarget = -1;
    // The last result text the command made, as the result box shows it; a
    // failure after the result was made (an overflow of the result style,
    // say) still made it. Nothing when the command made none.
    std::optional<QString> lastShown;
    // The last result before it was rounded and written, for a swap that
    // gives back the value exactly (see ConversionRequest::keptValue): NaN
    // for a digit string; of a value in several units, the value in its
    // last unit.
    double lastValue = 0.0;
};

class ConversionSession {
public:
    // Replaces the loaded series by the series file of entry in
    // unitsDirectory (ending in "/"); the index of its last unit, -1 when the
    // file gives none. The last result is kept.
    qint16 LoadSeries(const QString &unitsDirectory, const SeriesEntry &entry);
    // The same with the units given (a series read elsewhere); it has no file.
    void SetSeries(const SeriesEntry &entry, UnitArray units, CompoundArray compounds = {});

    const SeriesEntry &series() const { return m_series; }
    // The full path of the loaded series file; empty for a series given by SetSeries.
    const QString &seriesPath() const { return m_seriesPath; }
    bool isNumberBase() const { return m_series.numberBase; }
    const UnitArray &units() const { return Units; }
    // The list position of the unit called name (FindUnitByName: its own
    // name before aliases, then the compatibility form); -1 when there is none.
    int FindUnit(const QString &name) const;

    // The targets: every unit, then the values in several units of the
    // series file. A target position past the units is one of these.
    const CompoundArray &compounds() const { return m_compounds; }
    int targetCount() const { return int(Units.size() + m_compounds.size()); }
    QString targetName(int targetPos) const;
    // The target position of name: a unit (as FindUnit), a value in several
    // units by its name, or one written from units of the series with ";"
    // between them ("尺;寸"), largest first, which is added to the targets
    // as "尺・寸"; -1 when name is none of these.
    int FindTarget(const QString &name);
    // The settings values: style 0 plain, 1 grouped, 2 scientific (others
    // plain), placeNum the digit limit of the grouped style.
    // sigDigits the significant digits of a result (1 to 15).
    void SetResultStyle(int showAns, int placeNum, int sigDigits = DefaultSigDigits);
    ResultStyle resultStyle() const { return m_style; }
    // Whether a linear series' value may be a formula ("1/3"); off at first.
    void SetFormulas(bool on) { m_formulas = on; }
    bool formulas() const { return m_formulas; }
    int placeNum() const { return m_placeNum; }
    int sigDigits() const { return m_sigDigits; }

    // One conversion of typed from the unit at sourcePos to the target at
    // targetPos. The last result becomes its one line; a failure empties it.
    // keptValue, when given, is converted instead of what typed reads as
    // (typed is a result shown earlier, unchanged since).
    SessionOutcome ConvertValue(const QString &typed, int sourcePos, int targetPos,
                                std::optional<double> keptValue = std::nullopt);

    // typed from the unit at sourcePos into every unit, in list order, the
    // source unit's own line included: the last result holds one line per
    // unit. The first failure ends the run with the last result empty.
    // keptValue as for ConvertValue.
    SessionOutcome ConvertToAllUnits(const QString &typed, int sourcePos,
                                     std::optional<double> keptValue = std::nullopt);

    // The result lines of the last command, each ending in CR LF.
    const QString &lastResult() const { return LastResult; }
    // The same lines in parts.
    const std::vector<ResultParts> &lastResultParts() const { return m_lastParts; }
    // The result texts of the last command without units: a single result
    // as the result box shows it, the results of a run into every unit one a
    // line, each ending in CR LF.
    QString valuesText() const;
    // True only while ConvertToAllUnits runs.
    bool allConvRunning() const { return AllConvRunning; }

private:
    void clearLastResult();
    // One conversion; the outcome of the command gets its result, or its failure.
    bool convertOne(const QString &typed, int sourcePos, int targetPos, SessionOutcome &outcome,
                    std::optional<double> keptValue = std::nullopt);
    SessionOutcome finish(SessionOutcome outcome) const;

    SeriesEntry m_series;
    QString m_seriesPath;
    UnitArray Units;
    ResultStyle m_style = ResultStyle::Plain;
    int m_placeNum = DefaultPlaceNum;
    int m_sigDigits = DefaultSigDigits;
    CompoundArray m_compounds;
    bool m_formulas = false;
    QString LastResult;
    std::vector<ResultParts> m_lastParts;
    bool m_lastWasRun = false;  // the last command was a run into every unit
    bool AllConvRunning = false;
};
