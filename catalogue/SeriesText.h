#pragma once
// The text of a series file: which encoding its bytes are in, and decoding.
//
// Series files are CP932, the program's own encoding, or UTF-8, which is what
// today's editors save. The choice is made once per file:
//   - a UTF-8 byte-order mark decides for UTF-8;
//   - otherwise both readings are weighed and the one that reads as Japanese
//     text wins: characters that cannot be decoded count heavily against a
//     reading, kana, kanji, full-width forms and the usual symbols (℃, Ⅳ, ①)
//     count for it, half-width katakana and Latin-1 or Greek symbols (°, µ,
//     Ω) for it a little, and everything else not at all. The weights are per
//     byte, so neither reading gains by splitting the same bytes into more
//     characters; a tie goes to UTF-8 when it reads cleanly, else to CP932.
//
// So a CP932 name whose bytes happen to be valid UTF-8 (ﾄｱ, ﾂｰ) reads as
// CP932, and one stray byte in a UTF-8 file costs one character, not every
// Japanese name of the file. Bytes are never guessed by the platform's locale.

#include <QByteArray>
#include <QString>

enum class SeriesEncoding { Cp932, Utf8 };

// The encoding the bytes of a series file are read in (see above).
SeriesEncoding ChooseSeriesEncoding(const QByteArray &bytes);

// Decodes the bytes of a series file to text in the encoding that
// ChooseSeriesEncoding picks; a UTF-8 byte-order mark is dropped. Bytes that
// do not decode become U+FFFD, one per byte.
QString DecodeSeriesText(const QByteArray &bytes);
