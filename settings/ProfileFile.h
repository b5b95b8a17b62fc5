#pragma once
// Reader and writer of the settings file's text format: "[Section]" lines,
// each followed by "key=value" lines, the way the Windows private-profile
// functions read and write it, so that a "Tovelset.ini" moved between this
// program and its Windows sibling reads the same on both sides.
//
// The file is handled as bytes (code page 932 in practice). Only the line of
// the key being written changes; every other byte of the file, comments,
// blank lines and LF-only line ends included, is kept as it was.
//
// Reading:
// - Lines end at LF; a CR before the LF belongs to the line end.
// - Blanks (space, tab, CR, VT, FF and Ctrl+Z) are trimmed around each line,
//   around a section name inside its brackets, around a key name and around
//   a value.
// - A section line starts with "[" and ends at the last "]" of the line.
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
// - The new file is written to a temporary file beside the settings file
//   and renamed over it; on any failure the file stays as it was.

#include <QByteArray>
#include <QString>

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
    static QByteArray withValue(const QByteArray &contents, const QByteArray &section,
                                const QByteArray &key, const QByteArray &value);

    // Whether a name or value can be written without changing the file's
    // structure: no CR, LF or NUL; names also no "=", "[" or "]" and not
    // empty after trimming.
    static bool isWritableName(const QByteArray &name);
    static bool isWritableValue(const QByteArray &value);

    // lookUp on the file at path; nothing when the file cannot be read.
    static std::optional<QByteArray> read(const QString &path, const QByteArray &section,
                                          const QByteArray &key);

    // withValue on the file at path (a missing file counts as empty), written
    // atomically. False, with the file unchanged, when anything fails.
    static bool write(const QString &path, const QByteArray &section, const QByteArray &key,
                      const QByteArray &value);
};
