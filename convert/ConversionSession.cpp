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
    return LoadUnitFile(m_seriesPath, Units, m_compounds);
}

void ConversionSession::SetSeries(const SeriesEntry &entry, UnitArray units, CompoundArray compounds)
{
    m_series = entry;
    m_seriesPath.clear();
    Units = std::move(units);
    m_compounds = std::move(compounds);
}

int ConversionSession::FindUnit(const QString &name) const
{
    return FindUnitByName(Units, name);
}

QString ConversionSession::targetName(int targetPos) const
{
    if (targetPos < 0 || targetPos >= targetCount())
        return QString();
    if (size_t(targetPos) < Units.size())
        return Units[size_t(targetPos)].UnitName;
    return m_compounds[size_t(targetPos) - Units.size()].name;
}

int ConversionSession::FindTarget(const QString &name)
{
    const int unit = FindUnit(name);
    if (unit >= 0)
        return unit;
    for (size_t i = 0; i < m_compounds.size(); ++i) {
        if (m_compounds[i].name == name)
            return int(Units.size() + i);
    }
    if (!name.contains(u';') || m_series.numberBase)
        return -1;
    const QStringList parts = name.split(u';');
    CompoundUnit compound;
    if (ReadCompoundUnit(parts.join(u'・'), parts, Units, compound) != CompoundProblem::None)
        return -1;
    // Named by the units' own names, as the file would name it.
    QStringList names;
    for (const int part : compound.parts)
        names << Units[size_t(part)].UnitName;
    compound.name = names.join(u'・');
    m_compounds.push_back(std::move(compound));
    return targetCount() - 1;
}

void ConversionSession::SetResultStyle(int showAns, int placeNum, int sigDigits)
{
    m_style = ResultStyleOf(showAns);
    m_placeNum = placeNum;
    m_sigDigits = sigDigits;
}

void ConversionSession::clearLastResult()
{
    LastResult.clear();
    m_lastParts.clear();
}

bool ConversionSession::convertOne(const QString &typed, int sourcePos, int targetPos, SessionOutcome &outcome,
                                   std::optional<double> keptValue)
{
    ConversionRequest request;
    request.typedText = typed;
    request.sourcePos = sourcePos;
    request.targetPos = targetPos;
    request.numberBase = m_series.numberBase;
    request.style = m_style;
    request.placeNum = m_placeNum;
    request.sigDigits = m_sigDigits;
    request.keptValue = keptValue;
    const bool compound = targetPos >= int(Units.size()) && targetPos < targetCount();
    if (compound)
        request.targetParts = m_compounds[size_t(targetPos) - Units.size()].parts;
    request.formulas = m_formulas;
    const ConversionOutcome converted = ConvertRequest(request, Units);

    outcome.lastTarget = targetPos;
    outcome.lastValue = converted.resultValue;
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
    ResultParts parts{converted.shownSource, Units[size_t(sourcePos)].UnitName, shown, targetName(targetPos),
                      targetPos};
    if (compound) {
        QStringList names;
        for (const int unit : converted.partUnits)
            names << Units[size_t(unit)].UnitName;
        parts.compoundLine = CompoundLineText(converted.partTexts, names);
    }
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

SessionOutcome ConversionSession::ConvertValue(const QString &typed, int sourcePos, int targetPos,
                                               std::optional<double> keptValue)
{
    clearLastResult();
    m_lastWasRun = false;
    SessionOutcome outcome;
    convertOne(typed, sourcePos, targetPos, outcome, keptValue);
    return finish(std::move(outcome));
}

SessionOutcome ConversionSession::ConvertToAllUnits(const QString &typed, int sourcePos,
                                                    std::optional<double> keptValue)
{
    clearLastResult();
    m_lastWasRun = true;
    AllConvRunning = true;
    SessionOutcome outcome;
    const int last = int(Units.size()) - 1;
    for (int i = 0; i <= last; ++i)
        if (!convertOne(typed, sourcePos, i, outcome, keptValue))
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
