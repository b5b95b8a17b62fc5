#pragma once
// The text of a series file: which encoding its bytes are in, and decoding.
//
// Series files are CP932, the program's own encoding, or UTF-8, which is what
// today's editors save: UTF-8 when the file carries a byte-order mark or is
// valid UTF-8 throughout, CP932 otherwise. Bytes are never guessed by the
// platform's locale.

#include <QByteArray>
#include <QString>

enum class SeriesEncoding { Cp932, Utf8 };

// The encoding the bytes of a series file are read in (see above).
SeriesEncoding ChooseSeriesEncoding(const QByteArray &bytes);

// Decodes the bytes of a series file to text in the encoding that
// ChooseSeriesEncoding picks; a UTF-8 byte-order mark is dropped. Bytes that
// do not decode become U+FFFD, one per byte.
QString DecodeSeriesText(const QByteArray &bytes);
