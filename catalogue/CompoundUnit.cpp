#include "catalogue/CompoundUnit.h"

#include "catalogue/NameIndex.h"

CompoundProblem ReadCompoundUnit(const QString &name, const QStringList &unitNames, const UnitArray &units,
                                 CompoundUnit &compound, QString *problemUnit)
{
    compound = CompoundUnit();
    if (name.trimmed().isEmpty())
        return CompoundProblem::NoName;
    for (const QString &unitName : unitNames) {
        const int index = FindUnitByName(units, unitName);
        if (index < 0 || units[size_t(index)].Reciprocal) {
            if (problemUnit)
                *problemUnit = unitName;
            compound.parts.clear();
            return index < 0 ? CompoundProblem::UnitMissing : CompoundProblem::ReciprocalUnit;
        }
        compound.parts.push_back(index);
    }
    if (compound.parts.size() < 2) {
        compound.parts.clear();
        return CompoundProblem::TooFewUnits;
    }
    for (size_t i = 0; i < compound.parts.size(); ++i) {
        const double size = units[size_t(compound.parts[i])].Factor;
        const bool smaller = i == 0 || size < units[size_t(compound.parts[i - 1])].Factor;
        if (!(size > 0.0) || !smaller) {
            if (problemUnit)
                *problemUnit = unitNames[qsizetype(i)];
            compound.parts.clear();
            return CompoundProblem::NotLargestFirst;
        }
    }
    compound.name = name;
    return CompoundProblem::None;
}
