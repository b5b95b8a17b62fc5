// Checking series files, folders of them and paths given on the command
// line, and the tovelcheck command over them. One file is checked by
// FileChecker.
#include "catalogue/check/SeriesCheck.h"

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/check/FileChecker.h"
#include "catalogue/check/FindingList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace {

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

// What the program does with it: the series list takes what Qt lists as a
// file (a link to a device, say), which then reads as a series without units.
QString NotAFileMessage(const QString &what, bool listed)
{
    if (listed) {
        return QStringLiteral("%1です。Tovel はこれを系列の一覧に出しますが、系列ファイルとして読めないので、"
                              "単位のない空の系列になります。")
            .arg(what);
    }
    return QStringLiteral("%1です。系列ファイルではないので、Tovel はこれを飛ばします。").arg(what);
}

bool ListedAsSeries(const QString &folder, const QString &fileName)
{
    const std::vector<SeriesEntry> series = BuildSeriesList(folder);
    return std::any_of(series.begin(), series.end(),
                       [&](const SeriesEntry &entry) { return entry.fileName == fileName; });
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
void CheckFolderEntries(const QString &folder, const std::vector<SeriesEntry> &series, QSet<QString> &unloadable,
                        const FindingSink &sink)
{
    const QByteArray folderBytes = QFile::encodeName(folder);
    DIR *dir = ::opendir(folderBytes.constData());
    if (!dir)
        return;
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
    QSet<QString> listed;
    for (const SeriesEntry &entry : series)
        listed << entry.fileName;

    for (const QByteArray &name : names) {
        const QString decoded = QFile::decodeName(name);
        if (QFile::encodeName(decoded) != name) {
            unloadable << decoded;
            sink(
                WholeFileFinding(FindingKind::FileNameNotText, QDir(folder).filePath(NameWithBadBytes(name)),
                                 QStringLiteral("ファイル名に文字として読めないバイトがあります。Tovel はこのファイルを"
                                                "開けず、系列は空になります。名前を付け直してください。")));
            continue;
        }
        if (std::any_of(decoded.begin(), decoded.end(), IsEscapedCharacter)) {
            sink(WholeFileFinding(
                FindingKind::ControlCharacter, QDir(folder).filePath(decoded),
                QStringLiteral("ファイル名に制御文字があります。系列の一覧に系列名がそのまま表示されます。"
                               "名前を付け直してください。")));
        }
        const QString what = NotAFile(folderBytes + '/' + name);
        if (!what.isEmpty()) {
            unloadable << decoded;
            sink(WholeFileFinding(FindingKind::NotASeriesFile, QDir(folder).filePath(decoded),
                                  NotAFileMessage(what, listed.contains(decoded))));
        }
    }
}

void CheckFile(const QString &path, const QString &seriesName, const FindingSink &sink)
{
    FileChecker(path, seriesName, sink).run();
}

void CheckFolder(const QString &folder, int &filesChecked, const FindingSink &sink)
{
    QSet<QString> unloadable;
    const std::vector<SeriesEntry> series = BuildSeriesList(folder);
    CheckFolderEntries(folder, series, unloadable, sink);
    if (series.empty()) {
        sink(WholeFileFinding(FindingKind::NoSeriesFiles, folder,
                              QFileInfo(folder).isDir() ? QStringLiteral("系列ファイル (*.dat) がありません。")
                                                        : QStringLiteral("フォルダーがありません。")));
        return;
    }
    for (const SeriesEntry &entry : series) {
        if (unloadable.contains(entry.fileName))
            continue;
        ++filesChecked;
        CheckFile(QDir(folder).filePath(entry.fileName), entry.name, sink);
    }
}

void CheckAll(const QStringList &paths, int &filesChecked, const FindingSink &sink)
{
    for (const QString &path : paths) {
        const QFileInfo info(path);
        const QString what = NotAFile(QFile::encodeName(path));
        if (info.isDir()) {
            CheckFolder(path, filesChecked, sink);
        } else if (!what.isEmpty()) {
            sink(WholeFileFinding(FindingKind::NotASeriesFile, path,
                                  NotAFileMessage(what, ListedAsSeries(info.absolutePath(), info.fileName()))));
        } else if (!info.exists()) {
            sink(WholeFileFinding(FindingKind::FileUnreadable, path,
                                  QStringLiteral("ファイルもフォルダーもありません。")));
        } else {
            ++filesChecked;
            CheckFile(path, SeriesNameOfFile(info.fileName()), sink);
        }
    }
}

FindingSink Collect(std::vector<CheckFinding> &into)
{
    return [&into](CheckFinding &&f) { into.push_back(std::move(f)); };
}

// Exit status when what was found could not be written out.
constexpr int kOutputFailed = 2;

// Whether everything given to out was written; says so on err if not.
bool OutputWritten(QTextStream &out, QTextStream &err)
{
    if (out.status() == QTextStream::Ok)
        return true;
    err << QStringLiteral("tovelcheck: 結果を書き出せませんでした。\n");
    err.flush();
    return false;
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
                          "  大きすぎる数、変換で数の範囲を超える係数とオフセット (オフセットどうしの差も)\n"
                          "  *.dat という名前のフォルダー、パイプ、デバイス、壊れたリンク、文字として読めない名前\n"
                          "  BOM のない UTF-8 で、CP932 の半角カタカナとして読まれてしまうファイル\n"
                          "  数として読めない数値の項目 (0 として読まれます)\n"
                          "  係数 0\n"
                          "  0 と 1 以外のフラグ (1 だけが有効です)\n"
                          "  空の名前、同じ名前の単位\n"
                          "  目に見えない文字 (ゼロ幅スペースなど) だけが違う名前\n"
                          "  \"\" で囲まれていないコンマを含む名前 (以降の項目がずれます)\n"
                          "  進数の系列で、基数が 2, 3, 4 ... の順に並んでいないもの、\n"
                          "  2 から 36 の整数でないもの\n"
                          "  単位の記録の後ろの「#逆数」「#別名」の行: 記録の中に入り込んだもの、\n"
                          "  知られていないキーワード、ない単位の名前、0 以下か数でない逆数の定数、\n"
                          "  二つの単位に付いた別名、進数の系列にあるもの\n"
                          "\n"
                          "ファイルから来た制御文字 (名前、項目、パス) は \\x1B のような形で表示します。\n"
                          "\n"
                          "オプション:\n"
                          "  -h, --help  この説明を表示して終了します\n"
                          "\n"
                          "名前や項目は長くても先頭の %1 文字までを表示し、後ろを「…」で示します。\n"
                          "\n"
                          "終了コード: 何も見つからなければ 0、見つかれば 1、結果を書き出せなければ 2。\n")
        .arg(kShownCharacters);
}

}  // namespace

std::vector<CheckFinding> CheckUnitsFolder(const QString &folder)
{
    std::vector<CheckFinding> findings;
    int files = 0;
    CheckFolder(folder, files, Collect(findings));
    return findings;
}

std::vector<CheckFinding> CheckPaths(const QStringList &paths)
{
    std::vector<CheckFinding> findings;
    int files = 0;
    CheckAll(paths, files, Collect(findings));
    return findings;
}

int RunTovelCheck(const QStringList &arguments, const QString &defaultFolder, QTextStream &out, QTextStream &err)
{
    QStringList paths;
    bool optionsEnded = false;
    for (const QString &arg : arguments) {
        if (!optionsEnded && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            out << Usage();
            out.flush();
            return OutputWritten(out, err) ? 0 : kOutputFailed;
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

    // Each finding is printed as soon as it is found.
    int files = 0;
    qint64 found = 0;
    CheckAll(paths, files, [&](CheckFinding &&f) {
        ++found;
        out << f.text() << '\n';
    });
    if (found == 0)
        out << QStringLiteral("問題は見つかりませんでした (%1 ファイル)。\n").arg(files);
    else
        out << QStringLiteral("%1 件の問題が見つかりました (%2 ファイル)。\n").arg(found).arg(files);
    out.flush();
    if (!OutputWritten(out, err))
        return kOutputFailed;
    return found == 0 ? 0 : 1;
}
