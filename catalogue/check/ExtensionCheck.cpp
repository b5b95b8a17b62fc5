#include "catalogue/check/ExtensionCheck.h"

#include <QHash>

#include <cmath>

namespace {

QString NameOf(const UnitFileContents &contents, int unit)
{
    const size_t counted = contents.units.size();
    if (unit < 0)
        return QString();
    if (size_t(unit) < counted)
        return contents.units[size_t(unit)].UnitName;
    return contents.reciprocalUnits[size_t(unit) - counted].UnitName;
}

void CheckReciprocalLine(const UnitFileContents &contents, const ExtensionLine &line, QHash<QString, int> &unitOfName,
                         const ExtensionFindingSink &add)
{
    if (line.items.empty() || line.items[0].text.isEmpty()) {
        add(FindingKind::ExtensionNamesNoUnit, line.line, -1,
            QStringLiteral("「#逆数」の行に単位の名前がありません。この行は読まれません。"));
        return;
    }
    if (line.unit < 0) {
        add(FindingKind::ExtensionNamesNoUnit, line.line, -1,
            QStringLiteral("単位「%1」は系列の単位数の上限 %2 を超えるので読まれません。")
                .arg(line.items[0].text)
                .arg(kMaxLoadedUnits));
        return;
    }
    const UnitRecord &unit = contents.reciprocalUnits[size_t(line.unit) - contents.units.size()];
    const auto seen = unitOfName.constFind(unit.UnitName);
    if (seen != unitOfName.constEnd() && seen.value() != line.unit) {
        add(FindingKind::DuplicateName, line.line, -1,
            QStringLiteral("逆数の単位「%1」は単位 %2 と同じ名前です。一覧で見分けられません。")
                .arg(unit.UnitName)
                .arg(seen.value() + 1));
    } else {
        unitOfName.insert(unit.UnitName, line.unit);
    }
    if (!(unit.Factor > 0.0) || !std::isfinite(unit.Factor)) {
        add(FindingKind::ReciprocalConstant, line.line, -1,
            QStringLiteral("逆数の単位「%1」の定数「%2」が 0 以下か、数として読めません。"
                           "この単位との変換はすべてエラーになります。")
                .arg(unit.UnitName, line.items.size() > 1 ? line.items[1].text.trimmed() : QString()));
    }
    const std::pair<qint16, const char16_t *> flags[] = {{unit.SeparatorOK, u"桁区切りフラグ"},
                                                         {unit.ExponentOK, u"指数表示フラグ"}};
    for (const auto &[value, what] : flags) {
        if (value != 0 && value != 1) {
            add(FindingKind::BadFlag, line.line, -1,
                QStringLiteral("逆数の単位「%1」の%2が %3 です。0 か 1 にしてください。")
                    .arg(unit.UnitName, QString::fromUtf16(what))
                    .arg(value));
        }
    }
}

void CheckAliasLine(const UnitFileContents &contents, const ExtensionLine &line, QHash<QString, int> &unitOfName,
                    const ExtensionFindingSink &add)
{
    if (line.unit < 0) {
        add(FindingKind::ExtensionNamesNoUnit, line.line, -1,
            QStringLiteral("「#別名」の単位「%1」がこの系列にありません。この行は読まれません。")
                .arg(line.items.empty() ? QString() : line.items[0].text));
        return;
    }
    for (size_t i = 1; i < line.items.size(); ++i) {
        const QString &alias = line.items[i].text;
        if (alias.isEmpty())
            continue;
        const auto seen = unitOfName.constFind(alias);
        if (seen == unitOfName.constEnd()) {
            unitOfName.insert(alias, line.unit);
        } else if (seen.value() != line.unit) {
            add(FindingKind::SharedAlias, line.line, -1,
                QStringLiteral("別名「%1」は単位「%2」の名前か別名でもあります。どちらの単位か決まりません。")
                    .arg(alias, NameOf(contents, seen.value())));
        }
    }
}

void CheckCompoundLine(const UnitArray &units, const ExtensionLine &line, const ExtensionFindingSink &add)
{
    const QString name = line.items.empty() ? QString() : line.items[0].text;
    QStringList unitNames;
    for (size_t i = 1; i < line.items.size(); ++i) {
        if (!line.items[i].text.isEmpty())  // empty items are passed over, as the reader does
            unitNames << line.items[i].text;
    }
    CompoundUnit compound;
    QString unit;
    const CompoundProblem problem = ReadCompoundUnit(name, unitNames, units, compound, &unit);
    const QString head = QStringLiteral("「#併記」の「%1」: ").arg(ShortenedText(name));
    const QString unread = QStringLiteral("この行は読まれません。");
    switch (problem) {
    case CompoundProblem::None: return;
    case CompoundProblem::NoName:
        add(FindingKind::ExtensionNamesNoUnit, line.line, -1,
            QStringLiteral("「#併記」の行に名前がありません。") + unread);
        return;
    case CompoundProblem::UnitMissing:
        add(FindingKind::ExtensionNamesNoUnit, line.line, -1,
            head + QStringLiteral("単位「%1」がこの系列にありません。").arg(ShortenedText(unit)) + unread);
        return;
    case CompoundProblem::ReciprocalUnit:
        add(FindingKind::CompoundUnits, line.line, -1,
            head + QStringLiteral("単位「%1」は逆数の単位で、併記できません。").arg(ShortenedText(unit)) + unread);
        return;
    case CompoundProblem::TooFewUnits:
        add(FindingKind::CompoundUnits, line.line, -1,
            head + QStringLiteral("併記する単位が二つ以上ありません。") + unread);
        return;
    case CompoundProblem::NotLargestFirst:
        add(FindingKind::CompoundUnits, line.line, -1,
            head + QStringLiteral("単位が大きい順に並んでいません（「%1」）。").arg(ShortenedText(unit)) + unread);
        return;
    }
}

}  // namespace

void CheckExtensionLines(const UnitFileContents &contents, bool numberBase, const ExtensionFindingSink &add)
{
    if (numberBase) {
        for (const ExtensionLine &line : contents.extensionLines) {
            add(FindingKind::ExtensionInNumberBase, line.line, -1,
                QStringLiteral("進数の系列は「%1」のような拡張の行を読みません。").arg(line.keyword));
        }
        return;
    }
    // Every name a unit is found by, and the unit: the counted names first,
    // then the reciprocal and alias lines in file order.
    QHash<QString, int> unitOfName;
    for (size_t i = contents.units.size(); i-- > 0;)
        unitOfName.insert(contents.units[i].UnitName, int(i));
    for (const ExtensionLine &line : contents.extensionLines) {
        if (line.keyword == kReciprocalKeyword)
            CheckReciprocalLine(contents, line, unitOfName, add);
    }
    UnitArray all;
    for (const ExtensionLine &line : contents.extensionLines) {
        if (line.keyword == kAliasKeyword) {
            CheckAliasLine(contents, line, unitOfName, add);
        } else if (line.keyword == kCompoundKeyword) {
            if (all.empty()) {
                all = contents.units;
                all.insert(all.end(), contents.reciprocalUnits.begin(), contents.reciprocalUnits.end());
            }
            CheckCompoundLine(all, line, add);
        } else if (line.keyword != kReciprocalKeyword) {
            add(FindingKind::UnknownKeyword, line.line, -1,
                QStringLiteral("キーワード「%1」は知られていません。この行は読まれません。").arg(line.keyword));
        }
    }
}
