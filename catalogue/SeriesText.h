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
#include <QByteArrayView>
#include <QString>

enum class SeriesEncoding { Cp932, Utf8 };

// The encoding the bytes of a series file are read in (see above).
SeriesEncoding ChooseSeriesEncoding(const QByteArray &bytes);

// Decodes the bytes of a series file to text in the encoding that
// ChooseSeriesEncoding picks; a UTF-8 byte-order mark is dropped. Bytes that
// do not decode become U+FFFD, one per byte.
QString DecodeSeriesText(const QByteArray &bytes);

// Whether bytes are well-formed UTF-8: no overlong forms, no surrogates,
// nothing beyond U+10FFFF, no sequence cut off.
bool IsWellFormedUtf8(QByteArrayView bytes);

// The same choice and decoding over a file read in pieces, for reading a
// large file without holding it whole: the weigher sees every piece, then the
// decoder turns the pieces into text, exactly as the functions above would
// for all the bytes at once. A character cut between two pieces waits for
// the next one.
struct SeriesEncodingChoice {
    SeriesEncoding encoding = SeriesEncoding::Utf8;
    bool byteOrderMark = false;  // the bytes start with a UTF-8 byte-order mark
    bool utf8Clean = true;       // every byte is part of a well-formed UTF-8 character
};

class SeriesEncodingWeigher {
public:
    void add(QByteArrayView bytes);
    SeriesEncodingChoice finish();

private:
    QByteArray m_head;  // the first three bytes, for the byte-order mark
    QByteArray m_utf8Left, m_cp932Left;
    long long m_utf8Score = 0, m_cp932Score = 0;
    bool m_utf8Clean = true, m_cp932Clean = true;
};

class SeriesTextDecoder {
public:
    explicit SeriesTextDecoder(const SeriesEncodingChoice &choice);
    // Appends the text of the bytes to out.
    void add(QByteArrayView bytes, QString &out);
    // Appends what is left: bytes of a character that never completed.
    void finish(QString &out);

private:
    void decodePiece(QByteArrayView bytes, bool final, QString &out);

    SeriesEncoding m_encoding;
    qsizetype m_markLeft;  // bytes of the byte-order mark still to drop
    QByteArray m_left;
};
