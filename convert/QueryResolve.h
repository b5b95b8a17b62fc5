#pragma once
// What a front end is asked to convert on its command line, in the words of
// tovelconv's arguments: "[--series NAME] [--] VALUE FROM [TO]" ("6 畳
// 平方メートル", "-- -40 セルシウス度 ファーレンハイト度", "5尺3寸 cm"), or
// "--find QUERY" for the finder. ParseStartArguments splits the arguments;
// ResolveWords (convert/WordsQuery.h) then reads the words as tovelconv
// reads its own.

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
