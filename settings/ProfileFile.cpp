#include "settings/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <vector>

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// One line of the file: bytes [start, end) including its LF, if any;
// [textStart, textEnd) is the line with its blanks and line end trimmed.
struct Line {
    qsizetype start;
    qsizetype end;
    qsizetype textStart;
    qsizetype textEnd;
    bool hasLineFeed;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

// The first byte of a double-byte character in code page 932. Its second
// byte may be any of 0x40 to 0xFC, "]" and ASCII letters included, so
// scans for "]" and "=" and letter-case folding skip it.
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

std::vector<Line> splitLines(const QByteArray &contents)
{
    std::vector<Line> lines;
    qsizetype pos = 0;
    // A UTF-8 byte order mark is no part of the first line's text.
    if (contents.startsWith("\xEF\xBB\xBF"))
        pos = 3;
    qsizetype lineStart = 0;
    const qsizetype size = contents.size();
    while (pos < size) {
        qsizetype lf = contents.indexOf('\n', pos);
        const bool hasLineFeed = lf >= 0;
        const qsizetype end = hasLineFeed ? lf + 1 : size;
        qsizetype textStart = pos;
        qsizetype textEnd = hasLineFeed ? lf : size;
        // Blanks are all below 0x40, so they are never the second byte of a
        // double-byte character and trimming from the right is safe.
        while (textStart < textEnd && isBlank(contents[textStart]))
            ++textStart;
        while (textEnd > textStart && isBlank(contents[textEnd - 1]))
            --textEnd;
        lines.push_back({lineStart, end, textStart, textEnd, hasLineFeed});
        pos = end;
        lineStart = end;
    }
    return lines;
}

// The section name of a "[name]" line (trimmed), or nothing for other lines.
std::optional<QByteArray> sectionName(const QByteArray &contents, const Line &line)
{
    if (line.textStart >= line.textEnd || contents[line.textStart] != '[')
        return std::nullopt;
    qsizetype closing = -1;
    for (qsizetype i = line.textStart + 1; i < line.textEnd; ++i) {
        if (isLeadByte(contents[i])) {
            ++i;
            continue;
        }
        if (contents[i] == ']')
            closing = i;
    }
    if (closing < 0)
        return std::nullopt;
    return trimmed(contents.mid(line.textStart + 1, closing - line.textStart - 1));
}

// Position of the "=" of a key line, or -1.
qsizetype equalsSign(const QByteArray &contents, const Line &line)
{
    for (qsizetype i = line.textStart; i < line.textEnd; ++i) {
        if (isLeadByte(contents[i])) {
            ++i;
            continue;
        }
        if (contents[i] == '=')
            return i;
    }
    return -1;
}

struct Location {
    qsizetype sectionLine = -1;    // header line of the first matching section
    qsizetype lastTextLine = -1;   // last non-blank line of that section (the header at least)
    qsizetype keyLine = -1;        // the first matching key line in it
    qsizetype keyNameStart = 0;    // the key's name as spelled in the file
    qsizetype keyNameLength = 0;
    qsizetype valueStart = 0;      // the value, trimmed
    qsizetype valueEnd = 0;
};

Location locate(const QByteArray &contents, const std::vector<Line> &lines, const QByteArray &section,
                const QByteArray &key)
{
    Location found;
    const QByteArray wantedSection = trimmed(section);
    const QByteArray wantedKey = trimmed(key);
    for (qsizetype i = 0; i < qsizetype(lines.size()); ++i) {
        const Line &line = lines[size_t(i)];
        if (const auto name = sectionName(contents, line)) {
            if (found.sectionLine >= 0)
                break;  // the end of the matching section
            if (sameName(name->constData(), name->size(), wantedSection)) {
                found.sectionLine = i;
                found.lastTextLine = i;
            }
            continue;
        }
        if (found.sectionLine < 0)
            continue;
        if (line.textStart < line.textEnd)
            found.lastTextLine = i;
        if (found.keyLine >= 0)
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
        found.keyLine = i;
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

} // namespace

std::optional<QByteArray> ProfileFile::lookUp(const QByteArray &contents, const QByteArray &section,
                                              const QByteArray &key)
{
    const std::vector<Line> lines = splitLines(contents);
    const Location found = locate(contents, lines, section, key);
    if (found.keyLine < 0)
        return std::nullopt;
    QByteArray value = contents.mid(found.valueStart, found.valueEnd - found.valueStart);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value.truncate(nul);
    return cutValue(value, MaxValueBytes);
}

QByteArray ProfileFile::withValue(const QByteArray &contents, const QByteArray &section,
                                  const QByteArray &key, const QByteArray &value)
{
    const std::vector<Line> lines = splitLines(contents);
    const Location found = locate(contents, lines, section, key);
    QByteArray result = contents;
    if (found.keyLine >= 0) {
        const Line &line = lines[size_t(found.keyLine)];
        const QByteArray replacement =
            contents.mid(found.keyNameStart, found.keyNameLength) + '=' + value + kLineEnd;
        result.replace(line.start, line.end - line.start, replacement);
        return result;
    }
    const QByteArray keyLine = trimmed(key) + '=' + value + kLineEnd;
    if (found.sectionLine >= 0) {
        const Line &after = lines[size_t(found.lastTextLine)];
        result.insert(after.end, after.hasLineFeed ? keyLine : kLineEnd + keyLine);
        return result;
    }
    if (!result.isEmpty() && !result.endsWith('\n'))
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

std::optional<QByteArray> ProfileFile::read(const QString &path, const QByteArray &section,
                                            const QByteArray &key)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return lookUp(contents, section, key);
}

bool ProfileFile::write(const QString &path, const QByteArray &section, const QByteArray &key,
                        const QByteArray &value)
{
    if (path.isEmpty() || !isWritableName(section) || !isWritableName(key) || !isWritableValue(value))
        return false;

    QByteArray contents;
    const QFileInfo info(path);
    if (info.exists()) {
        // A file marked read-only stays as it is, as it would on Windows;
        // a file that cannot be read would lose its other lines.
        if (!info.isFile() || !info.isWritable())
            return false;
        QFile existing(path);
        if (!existing.open(QIODevice::ReadOnly))
            return false;
        contents = existing.readAll();
        if (existing.error() != QFileDevice::NoError)
            return false;
    }

    const QByteArray updated = withValue(contents, section, key, value);
    // QSaveFile writes a temporary file in the same folder and renames it
    // over the settings file on commit; until then the old file is intact.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(updated) != updated.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}
