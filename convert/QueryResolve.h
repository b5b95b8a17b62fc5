#pragma once
// What a front end is asked to convert on its command line, in the words of
// tovelconv's arguments: "[--series NAME] [--] VALUE FROM [TO]" ("6 畳
// 平方メートル", "-- -40 セルシウス度 ファーレンハイト度", "5尺3寸 cm"), or
// "--find QUERY" for the finder. ParseStartArguments splits the arguments;
// ResolveStartWords reads the words with the value parser against the one
// name index, so the series, the units and the value are found as tovelconv
// and the desktop search find them.

#include "catalogue/NameIndex.h"
#include "convert/ValueParser.h"

#include <QHash>
#include <optional>
#include <QString>
#include <QStringList>

struct StartRequest {
    enum class Kind { None, Convert, Find };
    Kind kind = Kind::None;
    QString series;     // --series NAME; empty: the names settle it
    QStringList words;  // VALUE FROM [TO] as given (Convert)
    QString find;       // the text for the finder (Find)
    // Why the arguments were not understood, in Japanese; Kind is then None.
    QString error;
};

// arguments: the command line without the program's name. A word that
// starts with "-" followed by a digit or "." is a value, as after "--".
StartRequest ParseStartArguments(const QStringList &arguments);

// The name index as the value parser asks it: every unit called a name, by
// NameIndex::lookUp. A name that no unit has (most of the parser's
// candidates) is answered from a table, without a search.
class IndexNameLookup : public UnitNameLookup {
public:
    explicit IndexNameLookup(const NameIndex &index);
    std::vector<UnitMatch> unitsCalled(QStringView name) const override;
    qsizetype longestName() const override { return m_longest; }

private:
    const NameIndex &m_index;
    QHash<QString, bool> m_names;  // every name, as it is spelled
    qsizetype m_longest = 0;
};

// The words of a Convert request read as one query, within the series called
// series when that is not empty. Throws ValueFailure, with a message that
// names what is wrong (an unknown series or unit, an unreadable value).
// In the number-base series the value is a digit string: the query then has
// one term whose valueText is the digits as given (its value is 0), and the
// words are VALUE FROM [TO] exactly.
Query ResolveStartWords(const QStringList &words, const QString &series, const NameIndex &index);
