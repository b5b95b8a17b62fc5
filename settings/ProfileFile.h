#pragma once
// Reader and writer of the settings file's text format: "[Section]" lines,
// each followed by "key=value" lines, the way the Windows private-profile
// functions read and write it, so that a "Tovelset.ini" moved between this
// program and its Windows sibling reads the same on both sides.
//
// The format is handled as bytes (code page 932 in practice; ProfileStore
// deals with files and their encodings). Only the line of the key being
// written changes; every other byte, comments, blank lines and LF-only or
// CR-only line ends included, is kept as it was.
//
// Reading:
// - CR, LF and CRLF each end a line.
// - Blanks (space, tab, VT, FF and Ctrl+Z) are trimmed around each line,
//   around a section name inside its brackets, around a key name and around
//   a value.
// - A line that starts with "[" and ends with "]" is a section line, whatever
//   bytes lie between; in a "[" line that goes on after its "]", the name
//   ends at the last "]" that is not the second byte of a double-byte
//   character.
// - A key line holds "="; a line without one is no key (a comment, say).
// - Section and key names match without regard to ASCII letter case; the
//   first matching section and, inside it, the first matching key count.
// - A value enclosed in one pair of double or single quotes loses them.
// - A value is cut at a NUL byte and to 511 bytes, never inside a
//   double-byte character.
//
// Writing:
// - An existing key line is replaced by "key=value" plus CRLF, the key name
//   spelled as in the file.
// - A missing key goes right after the last non-blank line of its section,
//   a missing section (with its key) at the end of the file; lines written
//   end in CRLF.
//
// Time is linear in the size of the contents, and no more memory than a
// copy of them is used, however many lines they hold.

#include <QByteArray>

#include <optional>

class ProfileFile {
public:
    // Longest value handed back by a read, in bytes.
    static constexpr int MaxValueBytes = 511;

    // The value of key in section of the file contents, or nothing when the
    // section or the key is missing.
    static std::optional<QByteArray> lookUp(const QByteArray &contents, const QByteArray &section,
                                            const QByteArray &key);

    // The file contents after setting key in section to value.
    static QByteArray withValue(const QByteArray &contents, const QByteArray &section, const QByteArray &key,
                                const QByteArray &value);

    // Whether a name or value can be written without changing the file's
    // structure: no CR, LF or NUL; names also no "=", "[" or "]" and not
    // empty after trimming.
    static bool isWritableName(const QByteArray &name);
    static bool isWritableValue(const QByteArray &value);
};
