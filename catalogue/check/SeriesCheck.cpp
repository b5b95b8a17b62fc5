// The series-file checker. The records and the items come from the program's
// own reader; the items tell what the records cannot: the line of each item,
// whether a name was quoted, and how many items stand on a line (an unquoted
// name with a comma puts six items on a record's line).
//
// Every step is linear in the size of the file: the reader's notes on the
// fields are indexed by record once, so looking one up costs nothing, however
// many records are faulty.
#include "catalogue/check/SeriesCheck.h"

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitFile.h"
#include "catalogue/check/ExtensionCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// An item of the file with its place among the items of its line.
struct ScannedItem : SeriesItem {
    int indexInLine = 0;  // 0 for the first item of its line
    int itemsInLine = 0;  // items starting on the same line
};

// The file's items as the reader splits them, numbered within their lines.
std::vector<ScannedItem> ScanItems(const QString &text)
{
    std::vector<ScannedItem> items;
    for (SeriesItem &item : ScanSeriesItems(text))
        items.push_back({std::move(item)});
    for (size_t i = 0; i < items.size();) {
        size_t j = i;
        while (j < items.size() && items[j].line == items[i].line)
            ++j;
        for (size_t k = i; k < j; ++k) {
            items[k].indexInLine = int(k - i);
            items[k].itemsInLine = int(j - i);
        }
        i = j;
    }
    return items;
}

QString FieldName(int field)
{
    switch (field) {
    case 1: return QStringLiteral("係数");
    case 2: return QStringLiteral("オフセット");
    case 3: return QStringLiteral("桁区切りフラグ");
    case 4: return QStringLiteral("指数表示フラグ");
    default: return QStringLiteral("項目");
    }
}

QString NumberText(double v)
{
    return QString::number(v, 'g', 17);
}

// Whether the text holds the decimal notation of a number too large for a
// double (rather than one too close to 0 to be anything but 0).
bool TooLargeForDouble(const QString &itemText)
{
    QString t = itemText.trimmed();
    if (t.startsWith(u'"'))
        t = t.mid(1, t.indexOf(u'"', 1) - 1).trimmed();
    // QString::toDouble gives infinity for a number too large, 0 for one
    // too small.
    return std::isinf(t.toDouble());
}

// Whether a quoted item that starts at openAt (the opening mark) runs to the
// end of the text: no closing mark follows, and the mark does open an item,
// that is, only blanks stand between it and the previous separator.
bool OpensUnclosedItem(const QString &text, qsizetype openAt)
{
    if (openAt < 0 || text.at(openAt) != u'"' || text.indexOf(u'"', openAt + 1) >= 0)
        return false;
    qsizetype p = openAt;
    while (p > 0 && (text.at(p - 1) == u' ' || text.at(p - 1) == u'\t'))
        --p;
    return p == 0 || text.at(p - 1) == u',' || text.at(p - 1) == u'\r' || text.at(p - 1) == u'\n';
}

class FileChecker {
public:
    FileChecker(const QString &path, const QString &seriesName)
        : path_(path), numberBase_(IsNumberBaseSeries(seriesName))
    {
    }

    std::vector<CheckFinding> run()
    {
        if (!ReadSeriesFileText(path_, &text_)) {
            add(FindingKind::FileUnreadable, 0, -1, QStringLiteral("ファイルを開けません。"));
            return findings_;
        }
        contents_ = ParseSeriesText(text_, numberBase_ ? SeriesExtension::Skip : SeriesExtension::Read);
        items_ = ScanItems(text_);
        indexIssues();

        checkCharacters();
        checkUnclosedQuote();
        if (checkCount()) {
            const int shiftedAt = findShift();
            const int last = shiftedAt >= 0 ? shiftedAt : contents_.recordsPresent - 1;
            for (int r = 0; r <= last && r < int(contents_.units.size()); ++r)
                checkRecord(r, r == shiftedAt);
            if (numberBase_)
                checkRadixOrder(last);
            else
                checkOverflow(last);
            checkExtensionLinesInRecords();
            CheckExtensionLines(contents_, numberBase_,
                                [this](FindingKind kind, int line, int unit, const QString &message) {
                                    add(kind, line, unit, message);
                                });
            if (contents_.trailingItems && shiftedAt < 0) {
                add(FindingKind::ExtraItems, contents_.trailingLine, -1,
                    QStringLiteral("単位数 %1 より後ろにも項目があります。読まれません。")
                        .arg(contents_.declaredCount));
            }
        }
        std::stable_sort(findings_.begin(), findings_.end(),
                         [](const CheckFinding &a, const CheckFinding &b) { return a.line < b.line; });
        return findings_;
    }

private:
    // The reader's notes of each record, in one pass, so that looking up a
    // record's notes does not go through the notes of all the others.
    void indexIssues()
    {
        issuesOf_.assign(contents_.units.size(), {});
        for (size_t i = 0; i < contents_.issues.size(); ++i) {
            const FieldIssue &issue = contents_.issues[i];
            if (issue.record >= 0 && size_t(issue.record) < issuesOf_.size())
                issuesOf_[size_t(issue.record)].push_back(i);
        }
    }

    // Lines holding NUL bytes, bytes that did not decode (U+FFFD) or other
    // control characters. The program reads them without a word: a NUL or
    // an escape sequence ends up in a unit name, a bad byte as U+FFFD.
    void checkCharacters()
    {
        int line = 1;
        bool nul = false, invalid = false;
        QChar control;
        const auto flush = [&] {
            if (nul)
                add(FindingKind::NulByte, line, unitOfLine(line),
                    QStringLiteral("NUL 文字 (バイト 0) があります。系列ファイルはテキストでなければなりません。"));
            if (invalid)
                add(FindingKind::InvalidBytes, line, unitOfLine(line),
                    QStringLiteral(
                        "ファイルの文字コードでは文字として読めないバイトがあります。"
                        "名前などに「\uFFFD」と表示されます。ファイル全体を CP932 か UTF-8 で保存してください。"));
            if (!control.isNull())
                add(FindingKind::ControlCharacter, line, unitOfLine(line),
                    QStringLiteral("制御文字「%1」があります。一覧や端末の表示を乱します。").arg(control));
            nul = invalid = false;
            control = QChar();
        };
        for (qsizetype i = 0; i < text_.size(); ++i) {
            const QChar c = text_.at(i);
            if (c == u'\n' || c == u'\r') {
                flush();
                if (c == u'\r' && i + 1 < text_.size() && text_.at(i + 1) == u'\n')
                    ++i;
                ++line;
            } else if (c.unicode() == 0) {
                nul = true;
            } else if (c.unicode() == 0xFFFD) {
                invalid = true;
            } else if (c != u'\t' && control.isNull() && IsEscapedCharacter(c)) {
                control = c;
            }
        }
        flush();
    }

    // A quoted item without its closing mark runs to the end of the file:
    // everything after its opening mark is one item.
    void checkUnclosedQuote()
    {
        if (items_.empty() || !items_.back().quoted)
            return;
        const QString &value = items_.back().text;
        const qsizetype openAt = text_.size() - value.size() - 1;
        if (!text_.endsWith(value) || !OpensUnclosedItem(text_, openAt))
            return;
        const int index = int(items_.size()) - 1;
        const int line = items_.back().line;
        add(FindingKind::UnclosedQuote, line, recordOfItem(index),
            QStringLiteral("%1 行目で開いた引用符 \" が閉じていません。ファイルの終わりまでが一つの項目として"
                           "読まれます。")
                .arg(line));
    }

    // The count line; false when there is no series to look at.
    bool checkCount()
    {
        const QString countText = items_.empty() ? QString() : items_[0].text.trimmed();
        if (!contents_.countRead || contents_.declaredCount < 0) {
            add(FindingKind::CountUnreadable, itemLine(0), -1,
                QStringLiteral("先頭の単位数「%1」が 0 から 32767 までの整数として読めません。"
                               "系列は空になります。")
                    .arg(countText));
            return false;
        }
        if (contents_.declaredCount == 0) {
            add(FindingKind::EmptySeries, itemLine(0), -1, QStringLiteral("単位数が 0 です。系列に単位がありません。"));
            return false;
        }
        if (contents_.recordsPresent < contents_.declaredCount) {
            add(FindingKind::CountTooLarge, itemLine(0), -1,
                QStringLiteral("単位数は %1 ですが、単位は %2 個しかありません。"
                               "足りない分は名前のない単位になります。")
                    .arg(contents_.declaredCount)
                    .arg(contents_.recordsPresent));
        }
        return true;
    }

    // The first record whose unquoted name held a comma, or -1. Its factor
    // then is the rest of the name, which does not read as a number, and its
    // line holds more items than a record has.
    int findShift() const
    {
        for (int r = 0; r < contents_.recordsPresent; ++r) {
            const size_t nameIndex = size_t(1 + 5 * r);
            if (nameIndex + 1 >= items_.size())
                break;
            const ScannedItem &name = items_[nameIndex];
            const ScannedItem &next = items_[nameIndex + 1];
            if (name.quoted || next.quoted || next.line != name.line)
                continue;
            if (name.itemsInLine - name.indexInLine < 6)
                continue;
            if (issueOf(r, 1))
                return r;
        }
        return -1;
    }

    void checkRecord(int r, bool shifted)
    {
        const UnitRecord &u = contents_.units[size_t(r)];
        if (shifted) {
            const size_t nameIndex = size_t(1 + 5 * r);
            add(FindingKind::CommaInName, itemLine(int(nameIndex)), r,
                QStringLiteral("名前「%1,%2」のコンマで名前が切れ、以降の項目がすべて一つずつずれて"
                               "読まれます。コンマを含む名前は \"\" で囲んでください。")
                    .arg(items_[nameIndex].text, items_[nameIndex + 1].text));
            return;
        }
        for (const size_t i : issuesOf_[size_t(r)]) {
            const FieldIssue &issue = contents_.issues[i];
            const QString item = issue.itemText.trimmed();
            switch (issue.kind) {
            case FieldIssue::NotANumber:
                add(FindingKind::NotANumber, fieldLine(r, issue.field), r,
                    QStringLiteral("%1「%2」が数として読めません。0 として読まれます。")
                        .arg(FieldName(issue.field), item));
                break;
            case FieldIssue::OutOfRange:
                add(FindingKind::OutOfRange, fieldLine(r, issue.field), r, outOfRangeMessage(issue.field, item));
                break;
            case FieldIssue::TextAfterQuote:
                add(FindingKind::TextAfterQuote, fieldLine(r, issue.field), r,
                    QStringLiteral("%1「%2」の閉じた引用符の後ろに文字があります。その文字は読まれません。")
                        .arg(FieldName(issue.field), item));
                break;
            case FieldIssue::UnclosedQuote: break;  // checkUnclosedQuote names it, with the line where it opened
            }
        }
        if (u.UnitName.isEmpty()) {
            add(FindingKind::EmptyName, fieldLine(r, 0), r, QStringLiteral("名前が空です。"));
        } else {
            const auto seen = firstWithName_.constFind(u.UnitName);
            if (seen != firstWithName_.constEnd()) {
                add(FindingKind::DuplicateName, fieldLine(r, 0), r,
                    QStringLiteral("単位 %1 と同じ名前です。一覧で見分けられません。").arg(seen.value() + 1));
            } else {
                firstWithName_.insert(u.UnitName, r);
            }
        }
        if (!numberBase_ && u.Factor == 0.0 && !issueOf(r, 1)) {
            add(FindingKind::ZeroFactor, fieldLine(r, 1), r,
                QStringLiteral("係数が 0 です。この単位への変換はエラーになり、"
                               "この単位からの変換は常に 0 になります。"));
        }
        checkFlag(r, 3, u.SeparatorOK);
        checkFlag(r, 4, u.ExponentOK);
    }

    // A line of the extension among the records: a count larger than the
    // records, or a record short of an item, made it part of the records.
    void checkExtensionLinesInRecords()
    {
        const int end = std::min<int>(1 + 5 * int(contents_.units.size()), int(items_.size()));
        for (int i = 1; i < end; ++i) {
            if (OpensExtensionLine(items_[size_t(i)], items_[size_t(i)].indexInLine == 0)) {
                add(FindingKind::ExtensionInRecords, items_[size_t(i)].line, recordOfItem(i),
                    QStringLiteral("「%1」の行が単位の記録の中にあって、記録として読まれます。"
                                   "単位数か、その前の記録の項目の数を確かめてください。")
                        .arg(items_[size_t(i)].text));
                return;
            }
        }
    }

    static QString outOfRangeMessage(int field, const QString &item)
    {
        if (field == 3 || field == 4) {
            return QStringLiteral("%1「%2」が -32768 から 32767 の範囲を超えています。0 として読まれます。")
                .arg(FieldName(field), item);
        }
        if (TooLargeForDouble(item)) {
            return QStringLiteral("%1「%2」が大きすぎて数として扱えません (最大は約 1.8E+308)。"
                                  "0 として読まれます。")
                .arg(FieldName(field), item);
        }
        return QStringLiteral("%1「%2」は 0 に近すぎて数として扱えません (最小は約 4.9E-324)。"
                              "0 として読まれます。")
            .arg(FieldName(field), item);
    }

    void checkFlag(int r, int field, qint16 value)
    {
        if (value == 0 || value == 1 || issueOf(r, field))
            return;
        add(FindingKind::BadFlag, fieldLine(r, field), r,
            QStringLiteral("%1が %2 です。1 だけが有効で、ほかの値はすべて無効として扱われます。"
                           "0 か 1 にしてください。")
                .arg(FieldName(field))
                .arg(value));
    }

    // Conversions go through the base unit: base = (value - offset) * factor,
    // result = base / factor + offset. Where that overflows for a value as
    // plain as 1, converting fails with an error: a factor or offset whose
    // product does, and a pair of factors whose ratio does.
    void checkOverflow(int last)
    {
        int largest = -1, smallest = -1;
        for (int r = 0; r <= last && r < int(contents_.units.size()); ++r) {
            if (issueOf(r, 1) || issueOf(r, 2))
                continue;
            const UnitRecord &u = contents_.units[size_t(r)];
            if (u.Factor == 0.0)
                continue;
            if (!std::isfinite((1.0 - u.Offset) * u.Factor)) {
                add(FindingKind::ValueOverflow, fieldLine(r, 2), r,
                    QStringLiteral("オフセット %1 と係数 %2 の積が数の範囲 (約 1.8E+308) を超えます。"
                                   "この単位からの変換はエラーになります。")
                        .arg(NumberText(u.Offset), NumberText(u.Factor)));
                continue;
            }
            const double size = std::fabs(u.Factor);
            if (largest < 0 || size > std::fabs(contents_.units[size_t(largest)].Factor))
                largest = r;
            if (smallest < 0 || size < std::fabs(contents_.units[size_t(smallest)].Factor))
                smallest = r;
        }
        if (largest < 0)
            return;
        const double big = contents_.units[size_t(largest)].Factor;
        const double small = contents_.units[size_t(smallest)].Factor;
        if (std::isfinite(big / small))
            return;
        add(FindingKind::ValueOverflow, fieldLine(smallest, 1), smallest,
            QStringLiteral("係数 %1 と単位 %2「%3」の係数 %4 の比が数の範囲 (約 1.8E+308) を超えます。"
                           "単位 %2 からこの単位への変換は 1 でもエラーになります。")
                .arg(NumberText(small))
                .arg(largest + 1)
                .arg(contents_.units[size_t(largest)].UnitName, NumberText(big)));
    }

    // Radices must be 2, 3, 4 ... in this order: the value box's filter finds
    // a radix's digits by its position in the list.
    void checkRadixOrder(int last)
    {
        bool orderReported = false;
        for (int r = 0; r <= last && r < int(contents_.units.size()); ++r) {
            if (issueOf(r, 1))
                continue;
            const double f = contents_.units[size_t(r)].Factor;
            const int line = fieldLine(r, 1);
            if (!std::isfinite(f) || f != std::floor(f)) {
                add(FindingKind::RadixNotWhole, line, r,
                    QStringLiteral("基数 %1 が整数ではありません。").arg(NumberText(f)));
            } else if (f < 2 || f > 36) {
                add(FindingKind::RadixOutOfRange, line, r,
                    QStringLiteral("基数 %1 が 2 から 36 の範囲にありません。").arg(NumberText(f)));
            } else if (f != r + 2 && !orderReported) {
                orderReported = true;
                add(FindingKind::RadixOrder, line, r,
                    QStringLiteral("基数 %1 の位置には基数 %2 が来るはずです。"
                                   "基数は 2 から順に欠けなく並べてください。")
                        .arg(NumberText(f))
                        .arg(r + 2));
            }
        }
    }

    // Whether the number in the field failed to read (not a number, out of
    // range); the quote notes do not change what a number reads as.
    bool issueOf(int r, int field) const
    {
        if (r < 0 || size_t(r) >= issuesOf_.size())
            return false;
        for (const size_t i : issuesOf_[size_t(r)]) {
            const FieldIssue &issue = contents_.issues[i];
            if (issue.field == field && (issue.kind == FieldIssue::NotANumber || issue.kind == FieldIssue::OutOfRange))
                return true;
        }
        return false;
    }

    int itemLine(int index) const
    {
        return index >= 0 && size_t(index) < items_.size() ? items_[size_t(index)].line : 0;
    }
    int fieldLine(int r, int field) const { return itemLine(1 + 5 * r + field); }

    // The record an item belongs to; -1 for the count and for items after
    // the last counted record.
    int recordOfItem(int index) const
    {
        if (index < 1 || size_t(index) > 5 * contents_.units.size())
            return -1;
        return (index - 1) / 5;
    }

    // The record of the last item that starts on or before the line.
    int unitOfLine(int line) const
    {
        const auto after = std::upper_bound(items_.begin(), items_.end(), line,
                                            [](int l, const ScannedItem &item) { return l < item.line; });
        return recordOfItem(int(after - items_.begin()) - 1);
    }

    void add(FindingKind kind, int line, int unit, const QString &message)
    {
        CheckFinding f;
        f.kind = kind;
        f.file = path_;
        f.line = line;
        f.unit = unit;
        if (unit >= 0 && size_t(unit) < contents_.units.size())
            f.unitName = contents_.units[size_t(unit)].UnitName;
        f.message = message;
        findings_.push_back(f);
    }

    QString path_;
    bool numberBase_;
    QString text_;
    UnitFileContents contents_;
    std::vector<ScannedItem> items_;
    std::vector<std::vector<size_t>> issuesOf_;
    QHash<QString, int> firstWithName_;
    std::vector<CheckFinding> findings_;
};

void Append(std::vector<CheckFinding> &to, std::vector<CheckFinding> &&from)
{
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

CheckFinding WholeFileFinding(FindingKind kind, const QString &file, const QString &message)
{
    CheckFinding f;
    f.kind = kind;
    f.file = file;
    f.message = message;
    return f;
}

// What stands at the path when it is not an ordinary file (or a link to
// one), in words; empty for an ordinary file and for nothing at all.
QString NotAFile(const QByteArray &path)
{
    struct stat st;
    if (::stat(path.constData(), &st) == 0) {
        if (S_ISREG(st.st_mode))
            return QString();
        if (S_ISDIR(st.st_mode))
            return QStringLiteral("フォルダー");
        if (S_ISFIFO(st.st_mode))
            return QStringLiteral("名前付きパイプ");
        if (S_ISSOCK(st.st_mode))
            return QStringLiteral("ソケット");
        if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
            return QStringLiteral("デバイス");
        return QStringLiteral("通常のファイルではないもの");
    }
    const int error = errno;
    if (error == ELOOP)
        return QStringLiteral("循環しているリンク");
    struct stat link;
    if (::lstat(path.constData(), &link) == 0 && S_ISLNK(link.st_mode))
        return QStringLiteral("リンク先のないリンク");
    return QString();
}

QString NotAFileMessage(const QString &what)
{
    return QStringLiteral("%1です。系列ファイルではないので、Tovel はこれを飛ばします。").arg(what);
}

// A file name as text, each byte that is not part of a UTF-8 character
// written as \xHH.
QString NameWithBadBytes(const QByteArray &name)
{
    QString out;
    for (qsizetype i = 0; i < name.size();) {
        const auto b = static_cast<unsigned char>(name[i]);
        const qsizetype length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
        if (length > 0 && i + length <= name.size()) {
            const QByteArray piece = name.mid(i, length);
            const QString decoded = QString::fromUtf8(piece);
            if (!decoded.contains(QChar(0xFFFD)) && decoded.toUtf8() == piece) {
                out += decoded;
                i += length;
                continue;
            }
        }
        out += QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, u'0');
        ++i;
    }
    return out;
}

// Every "*.dat" of the folder that the series list leaves out or cannot
// load: folders, pipes, devices and broken links under such a name (the
// listing takes ordinary files only), and files whose names are not text
// (the name the program gets does not lead back to the file); and names
// with control characters, which the series list would show. The names of
// the first kinds go into unloadable, so that they are not checked as series
// as well.
std::vector<CheckFinding> CheckFolderEntries(const QString &folder, QSet<QString> &unloadable)
{
    std::vector<CheckFinding> findings;
    const QByteArray folderBytes = QFile::encodeName(folder);
    DIR *dir = ::opendir(folderBytes.constData());
    if (!dir)
        return findings;
    std::vector<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        // The listing's pattern "*.dat", letter case ignored; hidden files
        // are never listed.
        if (name.startsWith('.') || name.size() < 4 || name.right(4).toLower() != ".dat")
            continue;
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());

    for (const QByteArray &name : names) {
        const QString decoded = QFile::decodeName(name);
        if (QFile::encodeName(decoded) != name) {
            unloadable << decoded;
            findings.push_back(
                WholeFileFinding(FindingKind::FileNameNotText, QDir(folder).filePath(NameWithBadBytes(name)),
                                 QStringLiteral("ファイル名に文字として読めないバイトがあります。Tovel はこのファイルを"
                                                "開けず、系列は空になります。名前を付け直してください。")));
            continue;
        }
        if (std::any_of(decoded.begin(), decoded.end(), IsEscapedCharacter)) {
            findings.push_back(WholeFileFinding(
                FindingKind::ControlCharacter, QDir(folder).filePath(decoded),
                QStringLiteral("ファイル名に制御文字があります。系列の一覧に系列名がそのまま表示されます。"
                               "名前を付け直してください。")));
        }
        const QString what = NotAFile(folderBytes + '/' + name);
        if (!what.isEmpty()) {
            unloadable << decoded;
            findings.push_back(
                WholeFileFinding(FindingKind::NotASeriesFile, QDir(folder).filePath(decoded), NotAFileMessage(what)));
        }
    }
    return findings;
}

std::vector<CheckFinding> CheckFolder(const QString &folder, int &filesChecked)
{
    QSet<QString> unloadable;
    std::vector<CheckFinding> findings = CheckFolderEntries(folder, unloadable);
    const std::vector<SeriesEntry> series = BuildSeriesList(folder);
    if (series.empty()) {
        findings.push_back(WholeFileFinding(FindingKind::NoSeriesFiles, folder,
                                            QFileInfo(folder).isDir()
                                                ? QStringLiteral("系列ファイル (*.dat) がありません。")
                                                : QStringLiteral("フォルダーがありません。")));
        return findings;
    }
    for (const SeriesEntry &entry : series) {
        if (unloadable.contains(entry.fileName))
            continue;
        ++filesChecked;
        Append(findings, CheckSeriesFile(QDir(folder).filePath(entry.fileName), entry.name));
    }
    return findings;
}

std::vector<CheckFinding> CheckAll(const QStringList &paths, int &filesChecked)
{
    std::vector<CheckFinding> findings;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        const QString what = NotAFile(QFile::encodeName(path));
        if (info.isDir()) {
            Append(findings, CheckFolder(path, filesChecked));
        } else if (!what.isEmpty()) {
            findings.push_back(WholeFileFinding(FindingKind::NotASeriesFile, path, NotAFileMessage(what)));
        } else if (!info.exists()) {
            findings.push_back(WholeFileFinding(FindingKind::FileUnreadable, path,
                                                QStringLiteral("ファイルもフォルダーもありません。")));
        } else {
            ++filesChecked;
            Append(findings, CheckSeriesFile(path, SeriesNameOfFile(QFileInfo(path).fileName())));
        }
    }
    return findings;
}

QString Usage()
{
    return QStringLiteral("使い方: tovelcheck [フォルダーまたはファイル ...]\n"
                          "\n"
                          "Tovel の単位系列ファイル (*.dat) を Tovel と同じ読み方で読み、利用者が驚くような点を\n"
                          "ファイル名、行、単位の番号とともに報告します。フォルダーを指定すると、その中の\n"
                          "*.dat をすべて検査します。何も指定しないと、tovelcheck と同じフォルダーにある\n"
                          "units フォルダーを検査します。\n"
                          "\n"
                          "報告するもの:\n"
                          "  先頭の単位数と実際にある単位の数の食い違い\n"
                          "  文字として読めないバイト、NUL 文字、制御文字\n"
                          "  閉じていない引用符、閉じた引用符の後ろの文字\n"
                          "  大きすぎる数、変換で数の範囲を超える係数とオフセット\n"
                          "  *.dat という名前のフォルダー、パイプ、壊れたリンク、文字として読めない名前\n"
                          "  数として読めない数値の項目 (0 として読まれます)\n"
                          "  係数 0\n"
                          "  0 と 1 以外のフラグ (1 だけが有効です)\n"
                          "  空の名前、同じ名前の単位\n"
                          "  \"\" で囲まれていないコンマを含む名前 (以降の項目がずれます)\n"
                          "  進数の系列で、基数が 2, 3, 4 ... の順に並んでいないもの、\n"
                          "  2 から 36 の整数でないもの\n"
                          "  単位の記録の後ろの「#逆数」「#別名」の行: 記録の中に入り込んだもの、\n"
                          "  知られていないキーワード、ない単位の名前、0 か数でない逆数の定数、\n"
                          "  二つの単位に付いた別名、進数の系列にあるもの\n"
                          "\n"
                          "ファイルから来た制御文字 (名前、項目、パス) は \\x1B のような形で表示します。\n"
                          "\n"
                          "オプション:\n"
                          "  -h, --help  この説明を表示して終了します\n"
                          "\n"
                          "終了コード: 何も見つからなければ 0、それ以外は 1。\n");
}

}  // namespace

std::vector<CheckFinding> CheckSeriesFile(const QString &path, const QString &seriesName)
{
    return FileChecker(path, seriesName).run();
}

std::vector<CheckFinding> CheckUnitsFolder(const QString &folder)
{
    int files = 0;
    return CheckFolder(folder, files);
}

std::vector<CheckFinding> CheckPaths(const QStringList &paths)
{
    int files = 0;
    return CheckAll(paths, files);
}

int RunTovelCheck(const QStringList &arguments, const QString &defaultFolder, QTextStream &out, QTextStream &err)
{
    QStringList paths;
    bool optionsEnded = false;
    for (const QString &arg : arguments) {
        if (!optionsEnded && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            out << Usage();
            out.flush();
            return 0;
        }
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            err << QStringLiteral("tovelcheck: 不明なオプション %1 (--help で使い方を表示します)\n")
                       .arg(VisibleText(arg));
            err.flush();
            return 1;
        } else {
            paths << arg;
        }
    }
    if (paths.isEmpty())
        paths << defaultFolder;

    int files = 0;
    const std::vector<CheckFinding> findings = CheckAll(paths, files);
    for (const CheckFinding &f : findings)
        out << f.text() << '\n';
    if (findings.empty())
        out << QStringLiteral("問題は見つかりませんでした (%1 ファイル)。\n").arg(files);
    else
        out << QStringLiteral("%1 件の問題が見つかりました (%2 ファイル)。\n").arg(findings.size()).arg(files);
    out.flush();
    return findings.empty() ? 0 : 1;
}
