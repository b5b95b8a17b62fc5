#include "settings/ProfileFile.h"

#include <cstring>

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// One line of the file: bytes [start, end) including its line end, if any;
// [textStart, textEnd) is the line with its blanks and line end trimmed.
struct Line {
    qsizetype start;
    qsizetype end;
    qsizetype textStart;
    qsizetype textEnd;
    bool hasLineEnd;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

// The first byte of a double-byte character in code page 932. Its second
// byte may be any of 0x40 to 0xFC, "]" and ASCII letters included, so
// letter-case folding and the search for a "]" inside a line skip it.
bool isLeadByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

char foldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

// Whether the two names are equal with ASCII letter case ignored, comparing
// double-byte characters exactly.
bool sameName(const char *a, qsizetype aLength, const QByteArray &b)
{
    if (aLength != b.size())
        return false;
    for (qsizetype i = 0; i < aLength; ++i) {
        if (isLeadByte(a[i]) && i + 1 < aLength) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (foldAscii(a[i]) != foldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

QByteArray trimmed(const QByteArray &bytes)
{
    qsizetype from = 0;
    qsizetype to = bytes.size();
    while (from < to && isBlank(bytes[from]))
        ++from;
    while (to > from && isBlank(bytes[to - 1]))
        --to;
    return bytes.mid(from, to - from);
}

// Where the first line starts: a UTF-8 byte order mark is no part of its text.
qsizetype firstLineStart(const QByteArray &contents)
{
    return contents.startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

// The line that starts at pos (pos < size). CR, LF and CRLF each end a
// line; neither CR nor LF is ever the second byte of a double-byte
// character, so the search needs no knowledge of the encoding. One pass
// over the line's bytes: reading a file is linear in its size.
Line lineAt(const QByteArray &contents, qsizetype pos, qsizetype lineStart)
{
    const char *data = contents.constData();
    const qsizetype size = contents.size();
    qsizetype textEnd = pos;
    while (textEnd < size && data[textEnd] != '\r' && data[textEnd] != '\n')
        ++textEnd;
    qsizetype end = textEnd;
    if (end < size) {
        end += (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') ? 2 : 1;
    }
    qsizetype textStart = pos;
    // Blanks are all below 0x40, so they are never the second byte of a
    // double-byte character and trimming from the right is safe.
    while (textStart < textEnd && isBlank(data[textStart]))
        ++textStart;
    const qsizetype lineEnd = textEnd;
    while (textEnd > textStart && isBlank(data[textEnd - 1]))
        --textEnd;
    return {lineStart, end, textStart, textEnd, end > lineEnd};
}

// The section name of a section line (trimmed), or nothing for other lines.
// A line that starts with "[" and ends with "]" is a section line whatever
// bytes lie between, so a header saved in another encoding (UTF-8 by a text
// editor, say) still ends the section before it. In a line that goes on
// after its "]" (a comment, say), the name ends at the last "]" that is not
// the second byte of a double-byte character.
std::optional<QByteArray> sectionName(const QByteArray &contents, const Line &line)
{
    if (line.textStart >= line.textEnd || contents[line.textStart] != '[')
        return std::nullopt;
    qsizetype closing = -1;
    if (line.textEnd - line.textStart >= 2 && contents[line.textEnd - 1] == ']') {
        closing = line.textEnd - 1;
    } else {
        for (qsizetype i = line.textStart + 1; i < line.textEnd; ++i) {
            if (isLeadByte(contents[i])) {
                ++i;
                continue;
            }
            if (contents[i] == ']')
                closing = i;
        }
    }
    if (closing < 0)
        return std::nullopt;
    return trimmed(contents.mid(line.textStart + 1, closing - line.textStart - 1));
}

// Position of the "=" of a key line, or -1. "=" (0x3D) is never the second
// byte of a double-byte character in code page 932 nor part of a multi-byte
// character in UTF-8, so the first "=" byte is the one.
qsizetype equalsSign(const QByteArray &contents, const Line &line)
{
    const char *data = contents.constData();
    const void *at = std::memchr(data + line.textStart, '=', size_t(line.textEnd - line.textStart));
    return at ? static_cast<const char *>(at) - data : -1;
}

struct Location {
    bool sectionFound = false;  // the first matching section
    Line lastTextLine{};        // last non-blank line of that section (the header at least)
    bool keyFound = false;      // the first matching key line in it
    Line keyLine{};
    qsizetype keyNameStart = 0;  // the key's name as spelled in the file
    qsizetype keyNameLength = 0;
    qsizetype valueStart = 0;  // the value, trimmed
    qsizetype valueEnd = 0;
};

// One pass over the lines, none of them kept: time linear in the file's
// size, memory independent of its number of lines.
Location locate(const QByteArray &contents, const QByteArray &section, const QByteArray &key)
{
    Location found;
    const QByteArray wantedSection = trimmed(section);
    const QByteArray wantedKey = trimmed(key);
    qsizetype pos = firstLineStart(contents);
    qsizetype lineStart = 0;
    while (pos < contents.size()) {
        const Line line = lineAt(contents, pos, lineStart);
        pos = line.end;
        lineStart = line.end;
        if (const auto name = sectionName(contents, line)) {
            if (found.sectionFound)
                break;  // the end of the matching section
            if (sameName(name->constData(), name->size(), wantedSection)) {
                found.sectionFound = true;
                found.lastTextLine = line;
            }
            continue;
        }
        if (!found.sectionFound)
            continue;
        if (line.textStart < line.textEnd)
            found.lastTextLine = line;
        if (found.keyFound)
            continue;
        const qsizetype equals = equalsSign(contents, line);
        if (equals < 0)
            continue;
        qsizetype nameEnd = equals;
        while (nameEnd > line.textStart && isBlank(contents[nameEnd - 1]))
            --nameEnd;
        if (!sameName(contents.constData() + line.textStart, nameEnd - line.textStart, wantedKey))
            continue;
        qsizetype valueStart = equals + 1;
        while (valueStart < line.textEnd && isBlank(contents[valueStart]))
            ++valueStart;
        found.keyFound = true;
        found.keyLine = line;
        found.keyNameStart = line.textStart;
        found.keyNameLength = nameEnd - line.textStart;
        found.valueStart = valueStart;
        found.valueEnd = line.textEnd;
    }
    return found;
}

// Cuts value to at most maxBytes without leaving half a double-byte character.
QByteArray cutValue(const QByteArray &value, qsizetype maxBytes)
{
    if (value.size() <= maxBytes)
        return value;
    qsizetype kept = 0;
    while (kept < maxBytes) {
        const qsizetype step = (isLeadByte(value[kept]) && kept + 1 < value.size()) ? 2 : 1;
        if (kept + step > maxBytes)
            break;
        kept += step;
    }
    return value.left(kept);
}

bool hasLineBreakOrNul(const QByteArray &bytes)
{
    return bytes.contains('\r') || bytes.contains('\n') || bytes.contains('\0');
}

}  // namespace

std::optional<QByteArray> ProfileFile::lookUp(const QByteArray &contents, const QByteArray &section,
                                              const QByteArray &key)
{
    const Location found = locate(contents, section, key);
    if (!found.keyFound)
        return std::nullopt;
    QByteArray value = contents.mid(found.valueStart, found.valueEnd - found.valueStart);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value.truncate(nul);
    return cutValue(value, MaxValueBytes);
}

QByteArray ProfileFile::withValue(const QByteArray &contents, const QByteArray &section, const QByteArray &key,
                                  const QByteArray &value)
{
    const Location found = locate(contents, section, key);
    QByteArray result = contents;
    if (found.keyFound) {
        const Line &line = found.keyLine;
        const QByteArray replacement = contents.mid(found.keyNameStart, found.keyNameLength) + '=' + value + kLineEnd;
        result.replace(line.start, line.end - line.start, replacement);
        return result;
    }
    const QByteArray keyLine = trimmed(key) + '=' + value + kLineEnd;
    if (found.sectionFound) {
        const Line &after = found.lastTextLine;
        result.insert(after.end, after.hasLineEnd ? keyLine : kLineEnd + keyLine);
        return result;
    }
    if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
        result += kLineEnd;
    result += '[' + trimmed(section) + ']' + kLineEnd + keyLine;
    return result;
}

bool ProfileFile::isWritableName(const QByteArray &name)
{
    const QByteArray name_ = trimmed(name);
    return !name_.isEmpty() && !hasLineBreakOrNul(name_) && !name_.contains('=') && !name_.contains('[')
        && !name_.contains(']');
}

bool ProfileFile::isWritableValue(const QByteArray &value)
{
    return !hasLineBreakOrNul(value);
}
