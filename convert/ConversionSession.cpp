#include "convert/ConversionSession.h"

#include "catalogue/NameIndex.h"
#include "catalogue/UnitFile.h"

#include <utility>

qint16 ConversionSession::LoadSeries(const QString &unitsDirectory, const SeriesEntry &entry)
{
    m_series = entry;
    return LoadUnitFile(unitsDirectory + entry.fileName, Units);
}

void ConversionSession::SetSeries(const SeriesEntry &entry, UnitArray units)
{
    m_series = entry;
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

SessionOutcome ConversionSession::convertOne(const QString &typed, int sourcePos, int targetPos,
                                             const ResultDisplay &display)
{
    ConversionRequest request;
    request.typedText = typed;
    request.sourcePos = sourcePos;
    request.targetPos = targetPos;
    request.numberBase = m_series.numberBase;
    request.style = m_style;
    request.placeNum = m_placeNum;
    const ConversionOutcome outcome = ConvertRequest(request, Units);

    // The result is shown first, and the line carries it as shown.
    QString shown = outcome.resultText;
    if (outcome.resultWritten && display.show)
        shown = display.show(outcome.resultText);

    SessionOutcome result;
    if (outcome.failed) {
        clearLastResult();
        AllConvRunning = false;
        result.failed = true;
        result.failure = outcome.failure;
        result.failedTarget = targetPos;
        return result;
    }
    ResultParts parts{outcome.shownSource, Units[size_t(sourcePos)].UnitName, shown, Units[size_t(targetPos)].UnitName};
    LastResult += ResultLine(parts.shownSource, parts.sourceUnit, parts.resultText, parts.targetUnit);
    m_lastParts.push_back(std::move(parts));
    return result;
}

SessionOutcome ConversionSession::ConvertValue(const QString &typed, int sourcePos, int targetPos,
                                               const ResultDisplay &display)
{
    clearLastResult();
    return convertOne(typed, sourcePos, targetPos, display);
}

SessionOutcome ConversionSession::ConvertToAllUnits(const QString &typed, int sourcePos, const ResultDisplay &display)
{
    clearLastResult();
    AllConvRunning = true;
    const int last = int(Units.size()) - 1;
    for (int i = 0; i <= last; ++i) {
        if (display.targetChosen)
            display.targetChosen(i);
        const SessionOutcome outcome = convertOne(typed, sourcePos, i, display);
        if (outcome.failed)
            return outcome;
    }
    AllConvRunning = false;
    return {};
}
