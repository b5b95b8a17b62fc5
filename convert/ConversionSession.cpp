#include "convert/ConversionSession.h"

#include "catalogue/NameIndex.h"
#include "catalogue/UnitFile.h"

#include <utility>

QString ResultBoxText(const QString &resultText)
{
    return resultText.left(ResultBoxMaxLength);
}

qint16 ConversionSession::LoadSeries(const QString &unitsDirectory, const SeriesEntry &entry)
{
    m_series = entry;
    m_seriesPath = unitsDirectory + entry.fileName;
    return LoadUnitFile(m_seriesPath, Units);
}

void ConversionSession::SetSeries(const SeriesEntry &entry, UnitArray units)
{
    m_series = entry;
    m_seriesPath.clear();
    Units = std::move(units);
}

int ConversionSession::FindUnit(const QString &name) const
{
    return FindUnitByName(Units, name);
}

void ConversionSession::SetResultStyle(int showAns, int placeNum)
{
    m_style = ResultStyleOf(showAns);
    m_placeNum = placeNum;
}

void ConversionSession::clearLastResult()
{
    LastResult.clear();
    m_lastParts.clear();
}

bool ConversionSession::convertOne(const QString &typed, int sourcePos, int targetPos, SessionOutcome &outcome)
{
    ConversionRequest request;
    request.typedText = typed;
    request.sourcePos = sourcePos;
    request.targetPos = targetPos;
    request.numberBase = m_series.numberBase;
    request.style = m_style;
    request.placeNum = m_placeNum;
    request.formulas = m_formulas;
    const ConversionOutcome converted = ConvertRequest(request, Units);

    outcome.lastTarget = targetPos;
    // The line carries the result as the box shows it.
    const QString shown = ResultBoxText(converted.resultText);
    if (converted.resultWritten)
        outcome.lastShown = shown;
    if (converted.failed) {
        clearLastResult();
        AllConvRunning = false;
        outcome.failed = true;
        outcome.failure = converted.failure;
        outcome.failedTarget = targetPos;
        return false;
    }
    ResultParts parts{converted.shownSource, Units[size_t(sourcePos)].UnitName, shown,
                      Units[size_t(targetPos)].UnitName, targetPos};
    LastResult += parts.line();
    m_lastParts.push_back(std::move(parts));
    return true;
}

SessionOutcome ConversionSession::finish(SessionOutcome outcome) const
{
    outcome.results = m_lastParts;
    outcome.lines = LastResult;
    return outcome;
}

SessionOutcome ConversionSession::ConvertValue(const QString &typed, int sourcePos, int targetPos)
{
    clearLastResult();
    m_lastWasRun = false;
    SessionOutcome outcome;
    convertOne(typed, sourcePos, targetPos, outcome);
    return finish(std::move(outcome));
}

SessionOutcome ConversionSession::ConvertToAllUnits(const QString &typed, int sourcePos)
{
    clearLastResult();
    m_lastWasRun = true;
    AllConvRunning = true;
    SessionOutcome outcome;
    const int last = int(Units.size()) - 1;
    for (int i = 0; i <= last; ++i)
        if (!convertOne(typed, sourcePos, i, outcome))
            return finish(std::move(outcome));
    AllConvRunning = false;
    return finish(std::move(outcome));
}

QString ConversionSession::valuesText() const
{
    QString text;
    for (const ResultParts &line : m_lastParts)
        text += m_lastWasRun ? line.resultText + QStringLiteral("\r\n") : line.resultText;
    return text;
}
