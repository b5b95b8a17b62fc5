#pragma once
// tovelconv for scripts: many conversions in one process.
//
//   tovelconv [OPTIONS] - FROM [TO]     a value on each line of standard input
//   tovelconv [OPTIONS] -f FILE         a query on each line ("VALUE FROM [TO]", "5尺3寸 cm")
//
// Output line N always answers input line N, in the form of a single
// conversion (usual, terse or result line), and ends as input line N ends
// (LF, CR LF, or nothing for a last line without one). A blank line stays
// blank. A line that cannot be converted gets its answer with an empty
// result (terse: an empty line) and a message with its line number on the
// standard error; the exit status is then 1, after every line. Output is
// buffered and written whenever the input would block and at the end, so a
// pipe read line by line answers each line at once. A closed output ends the
// run quietly with status 1.
//
// Reading and writing go through file descriptors, and memory stays flat with
// the number of lines. Every line is answered by BatchConverter::convert,
// which reads each series file at most once per process.

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitRecord.h"
#include "convert/Conversion.h"
#include "convert/IndexNameLookup.h"

#include <QString>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The file descriptors of a batch.
struct BatchStreams {
    int in = 0;
    int out = 1;
    int err = 2;
};

// How an answer is written: "v FROM = r TO", the result alone, or the line
// the window program copies to the clipboard ("v (FROM) => r (TO)").
enum class AnswerForm { Usual, Terse, ResultLine };

// What every line of a batch shares.
struct BatchSetup {
    QString unitsDirectory;       // ending in "/"
    const NameIndex *index = {};  // which series holds which names
    QString series;               // the series to look units up in; empty for any
    ResultStyle style = ResultStyle::Plain;
    int placeNum = DefaultPlaceNum;
    int sigDigits = DefaultSigDigits;
    AnswerForm form = AnswerForm::Usual;
};

class BatchConverter {
public:
    explicit BatchConverter(BatchSetup setup);

    // Converts value from the unit called from into the unit called to, or
    // into every unit of its series when to is empty (the answers then
    // separated by tabs on the one line), and appends the answer without a
    // line end to out. Returns an empty text on success; on failure the
    // message (appending the answer with an empty result).
    QString convert(const QString &value, const QString &from, const QString &to, std::string *out);

    // Converts the query that words ask for (VALUE FROM [TO], or any query
    // the value parser reads when they are joined), as convert does.
    QString convertWords(const QStringList &words, std::string *out);

    // The message for a pair that cannot be converted at all (an unknown or
    // ambiguous name), or an empty text.
    QString checkPair(const QString &from, const QString &to);

private:
    struct Pair {
        QString from;
        QString to;
        QString message;  // why the pair cannot be converted; empty when it can
        const UnitArray *units = nullptr;
        bool numberBase = false;
        int source = -1;
        int target = -1;  // -1: every unit
        std::string fromShown;
        std::string toShown;
    };

    QString answer(const UnitArray &units, int source, int target, bool numberBase, const QString &value,
                   const std::string &fromShown, const std::string &toShown, std::string *out,
                   const QString *typed = nullptr);
    const Pair &pairFor(const QString &from, const QString &to);
    void resolve(Pair *pair);
    const UnitArray &loaded(const SeriesEntry &entry);
    // The names of the units as a terminal may show them, in UTF-8; units
    // is one of m_loaded's.
    const std::vector<std::string> &shownNames(const UnitArray &units);
    // result: the result text as a terminal may show it, in UTF-8.
    void appendAnswer(std::string *out, const QString &shownSource, const std::string &fromShown,
                      std::string_view result, const std::string &toShown) const;

    BatchSetup m_setup;
    std::map<QString, UnitArray> m_loaded;   // series files read so far, by file name
    Pair m_last;                             // the pair of the last line
    std::optional<IndexNameLookup> m_names;  // made for the first query
    std::string m_result;                    // the result text of a line, kept for the next
    // shownNames' answers, made once for each series.
    std::map<const UnitArray *, std::vector<std::string>> m_shownNames;
};

// Converts a value on each line of streams.in from the unit from into to
// (empty: every unit); the exit status.
int RunValueBatch(BatchConverter &converter, const QString &from, const QString &to, const BatchStreams &streams);

// Converts the query on each line of the file at path ("-": streams.in); the
// exit status.
int RunQueryBatch(BatchConverter &converter, const QString &path, const BatchStreams &streams);
