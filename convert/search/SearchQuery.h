#pragma once
// Understanding what was typed into the desktop's search field: a value, the
// unit it is in, and perhaps the unit it should go into ("6畳 m2",
// "5尺3寸 cm", "30 mpg to L/100km", "6畳を平方メートルで").
//
// ReadSearchQuery is the provider's one place that reads a query. Its words
// are read as tovelconv reads its arguments (ResolveWords): VALUE FROM [TO]
// with unit names, or else one query through the value parser, units found
// through the catalogue's name index; several terms ("5尺3寸") become one
// value of the last term's unit (53 寸) through SumTerms.

#include "convert/search/SearchCatalogue.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

struct SearchQuery {
    int series = -1;  // in the catalogue's series list
    int source = -1;  // unit positions in that series
    int target = -1;  // -1: no target was given (or a target in several units)
    // A target in several units of the series ("尺・寸", or "尺;寸" from its
    // units): its units, largest first, and its name; empty otherwise.
    std::vector<int> targetParts;
    QString targetName;
    QString value;  // as the value box takes it: a number, or a digit string of the number-base series
};

// The query text means, or nothing when it is not a value with a known unit
// (a plain number, a word, an unknown unit, fewer than 2 characters), the
// units are of different series or the value cannot be read.
//
// A name held by several series ("度") is settled by the other names; when
// they leave several, the first series in the list that reads the query
// counts, as in the window's series list. A digit string ("FF 16進数
// 10進数") is taken as it stands, for the number-base series only. A last
// word that names no unit but a value in several units of the series
// ("1.6 m 尺・寸", "5 ft to 尺;寸") is such a target.
std::optional<SearchQuery> ReadSearchQuery(QStringView text, const SearchCatalogue &catalogue);
