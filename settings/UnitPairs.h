#pragma once
// The source and target unit last used in each series, so that coming back
// to a series, or starting with it, selects them again.
//
// Series and units are remembered by name, never by list position: a file
// whose units were reordered since finds them where they are now, a unit
// renamed since is found when its file gives the old name as an alias, and
// a side whose unit is found neither way starts from the first unit. The
// most recent MaxSeries series are kept, in a section of the settings file
// of their own, "[UnitPairs]", one key a series from "Pair1" (the most
// recent) on:
//
//     Pair1=面積|坪|京間畳
//
// Series and unit names are written as they are, except for the characters
// that the file cannot hold or that would change how the line reads: "%",
// "|", quotation marks, control characters, blanks at either end of a name,
// and anything the file's code page 932 does not hold. These are written as
// "%" and two hexadecimal digits per UTF-8 byte.

#include "settings/ProfileStore.h"

#include <QString>

#include <optional>
#include <utility>
#include <vector>

class UnitPairMemory {
public:
    static constexpr int MaxSeries = 300;
    static constexpr const char *Section = "UnitPairs";

    struct Pair {
        QString series;
        QString source;
        QString target;
        bool operator==(const Pair &) const = default;
    };

    // Remembers pair as the most recent one, replacing what its series had.
    // A pair whose line would be longer than a settings value may be is not
    // remembered (its series then starts from its first units).
    void remember(const Pair &pair);

    // The pair last remembered for series.
    std::optional<Pair> recall(const QString &series) const;

    // Most recent first.
    const std::vector<Pair> &pairs() const { return m_pairs; }

    // Takes over the pairs of the settings file at path; lines that do not
    // read as a pair are skipped.
    void read(const QString &path);
    // The same from the bytes of a settings file.
    void readBytes(const QByteArray &fileBytes);

    // The keys that write every pair, and empty the keys beyond them that the
    // file held when it was read; for the save at the end.
    std::vector<ProfileStore::Change> changes() const;

    // One pair as its line holds it; nothing when the text is no such line.
    static QString lineOf(const Pair &pair);
    static std::optional<Pair> pairOf(const QString &line);
    // Whether the pair can be kept: a series named, and its line (escapes
    // included) no longer than a settings value the reader takes back.
    static bool fits(const Pair &pair);

private:
    // Takes over the pairs of the section's keys and values.
    void take(const std::vector<std::pair<QString, QString>> &entries);

    std::vector<Pair> m_pairs;
    int m_keysRead = 0;
};
