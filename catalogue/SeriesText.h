#pragma once
// The text of a series file: which encoding its bytes are in, and decoding.
//
// Series files are CP932, the program's own encoding, or UTF-8, which is what
// today's editors save. The choice is made once per file:
//   - a UTF-8 byte-order mark decides for UTF-8;
//   - otherwise both readings are weighed, byte by byte, and the one that
//     reads more as Japanese text wins: a byte that decodes to nothing counts
//     against a reading as much as a byte of kana, kanji, full-width forms
//     or the usual symbols (℃, Ⅳ, ①, ※) counts for it; half-width katakana
//     read from CP932 and Latin-1 or Greek symbols (°, µ, Ω) count a little,
//     other letters nothing. Weighing per byte, neither reading gains by
//     cutting the same bytes into more characters. A tie goes to UTF-8 when
//     it decodes every byte, else to CP932.
//
// So a CP932 name whose bytes happen to be valid UTF-8 (ﾄｱ, ﾂｰ) reads as
// CP932, and one stray byte in a UTF-8 file costs one character, not every
// Japanese name of the file. The price: a UTF-8 file whose only non-ASCII
// text is such two-byte characters (café, m², kΩ) reads as CP932 half-width
// katakana unless it carries the byte-order mark. Bytes are never guessed by
// the platform's locale.

#include <QByteArray>
#include <QString>

enum class SeriesEncoding { Cp932, Utf8 };

// The encoding the bytes of a series file are read in (see above).
SeriesEncoding ChooseSeriesEncoding(const QByteArray &bytes);

// Decodes the bytes of a series file to text in the encoding that
// ChooseSeriesEncoding picks; a UTF-8 byte-order mark is dropped. Bytes that
// do not decode become U+FFFD, one per byte.
QString DecodeSeriesText(const QByteArray &bytes);
