// The series-file checker. The records and the items come from the program's
// own reader; the items tell what the records cannot: the line of each item,
// whether a name was quoted, and how many items stand on a line (an unquoted
// name with a comma puts six items on a record's line).
#include "catalogue/check/SeriesCheck.h"

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <optional>

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

class FileChecker {
public:
    FileChecker(const QString &path, const QString &seriesName)
        : path_(path), numberBase_(IsNumberBaseSeries(seriesName))
    {
    }

    std::vector<CheckFinding> run()
    {
        QString text;
        if (!ReadSeriesFileText(path_, &text)) {
            add(FindingKind::FileUnreadable, 0, -1, QStringLiteral("ファイルを開けません。"));
            return findings_;
        }
        contents_ = ParseSeriesText(text);
        items_ = ScanItems(text);

        if (!checkCount())
            return findings_;
        const int shiftedAt = findShift();
        const int last = shiftedAt >= 0 ? shiftedAt : contents_.recordsPresent - 1;
        for (int r = 0; r <= last && r < int(contents_.units.size()); ++r)
            checkRecord(r, r == shiftedAt);
        if (numberBase_)
            checkRadixOrder(last);
        if (contents_.trailingItems && shiftedAt < 0) {
            const int first = 1 + 5 * int(contents_.units.size());
            add(FindingKind::ExtraItems, itemLine(first), -1,
                QStringLiteral("単位数 %1 より後ろにも項目があります。読まれません。")
                    .arg(contents_.declaredCount));
        }
        std::stable_sort(findings_.begin(), findings_.end(),
                         [](const CheckFinding &a, const CheckFinding &b) { return a.line < b.line; });
        return findings_;
    }

private:
    // The count line; false when there is no series to look at.
    bool checkCount()
    {
        const QString countText = items_.empty() ? QString() : items_[0].text.trimmed();
        if (!contents_.countRead || contents_.declaredCount < 0) {
            add(FindingKind::CountUnreadable, itemLine(0), -1,
                QStringLiteral("先頭の単位数「%1」が 0 から 32767 までの整数として読めません。"
                               "系列は空になります。").arg(countText));
            return false;
        }
        if (contents_.declaredCount == 0) {
            add(FindingKind::EmptySeries, itemLine(0), -1,
                QStringLiteral("単位数が 0 です。系列に単位がありません。"));
            return false;
        }
        if (contents_.recordsPresent < contents_.declaredCount) {
            add(FindingKind::CountTooLarge, itemLine(0), -1,
                QStringLiteral("単位数は %1 ですが、単位は %2 個しかありません。"
                               "足りない分は名前のない単位になります。")
                    .arg(contents_.declaredCount).arg(contents_.recordsPresent));
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
        for (const FieldIssue &issue : contents_.issues) {
            if (issue.record != r)
                continue;
            if (issue.kind == FieldIssue::NotANumber) {
                add(FindingKind::NotANumber, fieldLine(r, issue.field), r,
                    QStringLiteral("%1「%2」が数として読めません。0 として読まれます。")
                        .arg(FieldName(issue.field), issue.itemText.trimmed()));
            } else {
                add(FindingKind::OutOfRange, fieldLine(r, issue.field), r,
                    QStringLiteral("%1「%2」が範囲を超えています。")
                        .arg(FieldName(issue.field), issue.itemText.trimmed()));
            }
        }
        if (u.UnitName.isEmpty()) {
            add(FindingKind::EmptyName, fieldLine(r, 0), r, QStringLiteral("名前が空です。"));
        } else {
            const auto seen = firstWithName_.constFind(u.UnitName);
            if (seen != firstWithName_.constEnd()) {
                add(FindingKind::DuplicateName, fieldLine(r, 0), r,
                    QStringLiteral("単位 %1 と同じ名前です。一覧で見分けられません。")
                        .arg(seen.value() + 1));
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

    void checkFlag(int r, int field, qint16 value)
    {
        if (value == 0 || value == 1 || issueOf(r, field))
            return;
        add(FindingKind::BadFlag, fieldLine(r, field), r,
            QStringLiteral("%1が %2 です。1 だけが有効で、ほかの値はすべて無効として扱われます。"
                           "0 か 1 にしてください。")
                .arg(FieldName(field)).arg(value));
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
                        .arg(NumberText(f)).arg(r + 2));
            }
        }
    }

    std::optional<FieldIssue> issueOf(int r, int field) const
    {
        for (const FieldIssue &issue : contents_.issues)
            if (issue.record == r && issue.field == field)
                return issue;
        return std::nullopt;
    }

    int itemLine(int index) const
    {
        return index >= 0 && size_t(index) < items_.size() ? items_[size_t(index)].line : 0;
    }
    int fieldLine(int r, int field) const { return itemLine(1 + 5 * r + field); }

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
    UnitFileContents contents_;
    std::vector<ScannedItem> items_;
    QHash<QString, int> firstWithName_;
    std::vector<CheckFinding> findings_;
};

void Append(std::vector<CheckFinding> &to, std::vector<CheckFinding> &&from)
{
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

std::vector<CheckFinding> CheckFolder(const QString &folder, int &filesChecked)
{
    const std::vector<SeriesEntry> series = BuildSeriesList(folder);
    if (series.empty()) {
        CheckFinding f;
        f.kind = FindingKind::NoSeriesFiles;
        f.file = folder;
        f.message = QFileInfo(folder).isDir()
                        ? QStringLiteral("系列ファイル (*.dat) がありません。")
                        : QStringLiteral("フォルダーがありません。");
        return {f};
    }
    std::vector<CheckFinding> findings;
    for (const SeriesEntry &entry : series) {
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
        if (info.isDir()) {
            Append(findings, CheckFolder(path, filesChecked));
        } else if (!info.exists()) {
            CheckFinding f;
            f.kind = FindingKind::FileUnreadable;
            f.file = path;
            f.message = QStringLiteral("ファイルもフォルダーもありません。");
            findings.push_back(f);
        } else {
            ++filesChecked;
            Append(findings, CheckSeriesFile(path, SeriesNameOfFile(QFileInfo(path).fileName())));
        }
    }
    return findings;
}

QString Usage()
{
    return QStringLiteral(
        "使い方: tovelcheck [フォルダーまたはファイル ...]\n"
        "\n"
        "Tovel の単位系列ファイル (*.dat) を Tovel と同じ読み方で読み、利用者が驚くような点を\n"
        "ファイル名、行、単位の番号とともに報告します。フォルダーを指定すると、その中の\n"
        "*.dat をすべて検査します。何も指定しないと、tovelcheck と同じフォルダーにある\n"
        "units フォルダーを検査します。\n"
        "\n"
        "報告するもの:\n"
        "  先頭の単位数と実際にある単位の数の食い違い\n"
        "  数として読めない数値の項目 (0 として読まれます)\n"
        "  係数 0\n"
        "  0 と 1 以外のフラグ (1 だけが有効です)\n"
        "  空の名前、同じ名前の単位\n"
        "  \"\" で囲まれていないコンマを含む名前 (以降の項目がずれます)\n"
        "  進数の系列で、基数が 2, 3, 4 ... の順に並んでいないもの、\n"
        "  2 から 36 の整数でないもの\n"
        "\n"
        "オプション:\n"
        "  -h, --help  この説明を表示して終了します\n"
        "\n"
        "終了コード: 何も見つからなければ 0、それ以外は 1。\n");
}

} // namespace

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

int RunTovelCheck(const QStringList &arguments, const QString &defaultFolder,
                  QTextStream &out, QTextStream &err)
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
            err << QStringLiteral("tovelcheck: 不明なオプション %1 (--help で使い方を表示します)\n").arg(arg);
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
