#include "convert/command/ConvCommand.h"

#include "catalogue/NameCache.h"
#include "catalogue/VisibleText.h"
#include "convert/ConversionSession.h"
#include "convert/WordsQuery.h"
#include "convert/command/BatchConv.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsValues.h"
#include "settings/modFileFuncs.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// The digit limit of the grouped style, as the settings file bounds it.
constexpr SettingInfo kDigits = InfoOf(SettingKey::MaxPlace);
// The significant digits of a result.
constexpr SettingInfo kSigDigits = InfoOf(SettingKey::SigDigits);
// What resolveCompoundTarget gives after it reported a failure.
constexpr int kNotConverted = -2;

const QString kUsageLine = u"使い方: tovelconv [オプション] [--] 値 変換元 [変換先]\n"
                           u"        tovelconv [オプション] [--] 問い合わせ (例: 5尺3寸 cm)\n"
                           u"        tovelconv [オプション] - 変換元 [変換先]\n"
                           u"        tovelconv [オプション] -f ファイル\n"_s;

QString HelpText()
{
    return kUsageLine
        + uR"(値を単位 変換元 から 変換先 へ換算します。変換先を省くと、変換元の単位系の
すべての単位へ換算します(一括変換)。単位と単位系は Tovel の units フォルダー
の単位系ファイルから読みます。変換先には、単位系ファイルの併記 (尺・寸 など)
や、同じ単位系の単位を大きい順に「;」でつないだもの (尺;寸) も書けます。

値の代わりに - を書くと、標準入力の 1 行ごとに 1 つの値を換算し、1 行ごとに
答えます (n 行目の出力は n 行目の入力の答え、空行は空行のまま)。-f では
ファイルの 1 行ごとに「値 変換元 [変換先]」か「5尺3寸 cm」のような問い合わせ
を換算します (- で標準入力)。
換算できない行は結果を空にし、行番号つきのメッセージを標準エラーに出して、
最後に終了状態 1 で終わります。

  -f FILE          FILE の各行の問い合わせを換算する (- で標準入力)
  --units DIR      このフォルダーの単位系ファイルを使う (既定: プログラムの横の units)
  --series NAME    単位をこの単位系から探す (複数の単位系にある名前のとき)
  --list [SERIES]  単位系の一覧、または SERIES の単位の一覧 (別名はタブの後) を表示する
  --names          すべての単位の名前を表示する (--series でその単位系だけ)
  --style STYLE    結果の書式: plain, grouped, scientific (既定: Tovel の設定)
  --digits N       桁区切りする整数部の最大桁数 %1〜%2 (既定: Tovel の設定)
  --sig N          結果の有効数字 %3〜%4 桁 (既定: Tovel の設定)
  -t, --terse      結果の数値だけを表示する
  --line           クリップボードに送る形の結果行を表示する (行末は CR LF、
                   - と -f では入力の行と同じ)
  -h, --help       この説明を表示する
  --version        版を表示する
  --               オプションの終わり (-40 のような負の値の前に)

値はふつうの数 (1234.5、1,234.5、1.5e-3、5- は -5) のほか、計算式
(1+2、2*(3+4)、2^10)、分数と帯分数 (1/3、1 1/2 は 1 と 1/2、1½)、全角の数字
(１２．５)、漢数字と万・億 (三、二千五百、1.5万) で書けます。単位のついた値
(5尺3寸、5 ft 11 in、6畳) は同じ単位系の項を足し、その後に変換先だけを書き
ます。値と単位の間、単位と変換先の間の空白は省けて、引数は空白でつないだ 1 つ
の問い合わせとしても読みます (6畳を平方メートルで、30 mpg in L/100km)。
to、in、→、=、を、で なども「へ」の意味に読みます。単位系「進数」では値は
各進数の数字列で、計算式としては読みません。読めない値は何文字目のどの文字が
読めないかを示します。変換元の名前が複数の単位系にあるときは、変換先で
単位系を決めます。
終了状態: 0 成功、1 換算または名前の誤り、2 コマンド行の誤り。

例:
  tovelconv 6 畳 平方メートル
  tovelconv 1/3 尺 cm
  tovelconv '5尺3寸' cm
  tovelconv 6畳を平方メートルで
  tovelconv 1 shaku cm
  tovelconv -t -- -40 セルシウス度 ファーレンハイト度
  cut -f2 feet.tsv | tovelconv -t - ft m | paste feet.tsv -
  printf '6 畳 平方メートル\n5尺3寸 cm\n' | tovelconv -f -
)"_s.arg(QString::number(kDigits.min), QString::number(kDigits.max), QString::number(kSigDigits.min),
         QString::number(kSigDigits.max));
}

// Text from the command line or from a file, safe to print on a terminal.
QByteArray Shown(const QString &text)
{
    return VisibleText(text).toUtf8();
}

struct Options {
    QString unitsDirectory;
    QString series;
    bool list = false;
    bool names = false;
    std::optional<int> style;
    std::optional<int> digits;
    std::optional<int> sigDigits;
    bool terse = false;
    bool line = false;
    bool help = false;
    bool version = false;
    std::optional<QString> queryFile;
    QStringList positional;
};

struct Command {
    ConvResult result;

    int fail(const QString &message)
    {
        result.err += "tovelconv: " + message.toUtf8() + '\n';
        return kFailed;
    }
    int usage(const QString &message)
    {
        result.err += "tovelconv: " + message.toUtf8() + '\n' + kUsageLine.toUtf8()
            + u"詳しくは tovelconv --help を見てください。\n"_s.toUtf8();
        return kUsage;
    }
};

// Parses the arguments; false after a usage error has been reported.
bool ParseArguments(const QStringList &arguments, Options *options, Command *command)
{
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        if (optionsEnded || !arg.startsWith(u'-') || arg == u"-"_s) {
            options->positional << arg;
            continue;
        }
        if (arg == u"--"_s) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" and "--name value" alike.
        std::optional<QString> attached;
        if (arg.startsWith(u"--"_s) && arg.contains(u'=')) {
            attached = arg.mid(arg.indexOf(u'=') + 1);
            arg.truncate(arg.indexOf(u'='));
        }
        const auto value = [&](QString *out) {
            if (attached) {
                *out = *attached;
                return true;
            }
            if (i + 1 >= arguments.size()) {
                command->usage(u"オプション %1 に値がありません。"_s.arg(VisibleText(arg)));
                return false;
            }
            *out = arguments[++i];
            return true;
        };
        const bool takesValue = arg == u"--units"_s || arg == u"--series"_s || arg == u"--style"_s
            || arg == u"--digits"_s || arg == u"--sig"_s;
        if (attached && !takesValue) {
            command->usage(u"オプション %1 は値をとりません。"_s.arg(VisibleText(arg)));
            return false;
        }
        QString text;
        if (arg == u"--units"_s) {
            if (!value(&options->unitsDirectory))
                return false;
        } else if (arg == u"--series"_s) {
            if (!value(&options->series))
                return false;
        } else if (arg == u"--style"_s) {
            if (!value(&text))
                return false;
            const QStringList styles{u"plain"_s, u"grouped"_s, u"scientific"_s};
            if (!styles.contains(text)) {
                command->usage(u"書式は plain, grouped, scientific のどれかです: %1"_s.arg(VisibleText(text)));
                return false;
            }
            options->style = int(styles.indexOf(text));
        } else if (arg == u"--digits"_s) {
            if (!value(&text))
                return false;
            bool ok = false;
            const int digits = text.toInt(&ok);
            if (!ok || digits < kDigits.min || digits > kDigits.max) {
                command->usage(u"桁数は %1 から %2 の整数です: %3"_s.arg(
                    QString::number(kDigits.min), QString::number(kDigits.max), VisibleText(text)));
                return false;
            }
            options->digits = digits;
        } else if (arg == u"--sig"_s) {
            if (!value(&text))
                return false;
            bool ok = false;
            const int digits = text.toInt(&ok);
            if (!ok || digits < kSigDigits.min || digits > kSigDigits.max) {
                command->usage(u"有効数字は %1 から %2 の整数です: %3"_s.arg(
                    QString::number(kSigDigits.min), QString::number(kSigDigits.max), VisibleText(text)));
                return false;
            }
            options->sigDigits = digits;
        } else if (arg == u"-f"_s) {
            if (!value(&text))
                return false;
            options->queryFile = text;
        } else if (arg == u"--list"_s) {
            options->list = true;
        } else if (arg == u"--names"_s) {
            options->names = true;
        } else if (arg == u"-t"_s || arg == u"--terse"_s) {
            options->terse = true;
        } else if (arg == u"--line"_s) {
            options->line = true;
        } else if (arg == u"-h"_s || arg == u"--help"_s) {
            options->help = true;
        } else if (arg == u"--version"_s) {
            options->version = true;
        } else {
            command->usage(u"不明なオプション %1"_s.arg(VisibleText(arg)));
            return false;
        }
    }
    return true;
}

// The settings file the window program would read, never written: the
// user's own copy, or before its first start the one installed beside it.
QString SettingsToRead(const ConvFolders &folders)
{
    return SettingsFileToRead(folders.programDirectory, folders.userConfigDirectory);
}

class Converter {
public:
    Converter(const Options &options, const ConvFolders &folders, Command &command, const BatchStreams *streams)
        : m_options(options), m_folders(folders), m_command(command), m_streams(streams)
    {
        m_unitsDirectory = options.unitsDirectory.isEmpty() ? folders.programDirectory + u"/units"_s
                                                            : options.unitsDirectory;
        if (!m_unitsDirectory.endsWith(u'/'))
            m_unitsDirectory += u'/';
    }

    int run()
    {
        if (m_options.list || m_options.names)
            return list();
        if (m_options.queryFile || (!m_options.positional.isEmpty() && m_options.positional[0] == u"-"_s))
            return batch();
        if (m_options.positional.isEmpty())
            return m_command.usage(u"値と変換元の単位を指定してください。"_s);
        return convert();
    }

private:
    bool loadIndex(bool fresh)
    {
        const QString cacheFile = NameCacheFileFor(m_folders.cacheDirectory, m_unitsDirectory);
        m_names.reset();
        m_cachedUnits = CachedSeriesUnits();
        m_index = LoadNameIndex(m_unitsDirectory, cacheFile, nullptr,
                                fresh ? NameCacheUse::Rebuild : NameCacheUse::ReadAndWrite, &m_cachedUnits);
        if (m_index.seriesCount() == 0) {
            m_command.fail(u"データファイルが読み込めません。(%1)"_s.arg(VisibleText(m_unitsDirectory)));
            return false;
        }
        return true;
    }

    // The series at that position in the index's list into the session:
    // from the cache while its file is as the cache has it, else from the file.
    void loadSeries(int series)
    {
        UnitArray units;
        CompoundArray compounds;
        if (m_cachedUnits.load(series, units, compounds))
            m_session.SetSeries(m_index.series(series), std::move(units), std::move(compounds));
        else
            m_session.LoadSeries(m_unitsDirectory, m_index.series(series));
    }

    const IndexNameLookup &names()
    {
        if (!m_names)
            m_names.emplace(m_index);
        return *m_names;
    }

    // The series called name, or -1 (reported) when none is.
    int seriesCalled(const QString &name)
    {
        const int series = m_index.seriesCalled(name);
        if (series < 0)
            m_command.fail(u"単位系「%1」が見つかりません。"_s.arg(VisibleText(name)));
        return series;
    }

    void writeNames(int series)
    {
        const int last = series < 0 ? m_index.unitCount() : m_index.firstUnit(series + 1);
        for (int unit = series < 0 ? 0 : m_index.firstUnit(series); unit < last; ++unit)
            for (int k = 0; k < m_index.nameCount(unit); ++k)
                m_command.result.out += Shown(m_index.name(unit, k).toString()) + '\n';
    }

    int list()
    {
        if (m_options.positional.size() > 1 || (m_options.names && !m_options.positional.isEmpty()))
            return m_command.usage(u"余分な引数 %1"_s.arg(VisibleText(m_options.positional.last())));
        if (!loadIndex(false))
            return kFailed;
        QString seriesName = m_options.positional.isEmpty() ? m_options.series : m_options.positional.first();
        if (m_options.list && seriesName.isEmpty()) {
            for (int s = 0; s < m_index.seriesCount(); ++s)
                m_command.result.out += Shown(m_index.series(s).name) + '\n';
            return kDone;
        }
        if (seriesName.isEmpty()) {
            writeNames(-1);
            return kDone;
        }
        const int series = seriesCalled(seriesName);
        if (series < 0)
            return kFailed;
        if (m_options.names) {
            writeNames(series);
            return kDone;
        }
        // One unit a line, reciprocal units included: its name, then its
        // aliases, each after a tab.
        loadSeries(series);
        for (const UnitRecord &unit : m_session.units()) {
            m_command.result.out += Shown(unit.UnitName);
            for (const QString &alias : unit.Aliases)
                m_command.result.out += '\t' + Shown(alias);
            m_command.result.out += '\n';
        }
        return kDone;
    }

    // The value, series and units the words ask for; false (reported) when
    // they cannot be converted.
    bool resolve(const QStringList &words, WordsQuery *query)
    {
        int loaded = -1;
        const auto unitsOf = [this, &loaded](int series) -> const UnitArray & {
            loadSeries(series);
            loaded = series;
            return m_session.units();
        };
        try {
            *query = ResolveWords(words, names(), m_options.series, unitsOf);
            return true;
        } catch (const ValueFailure &failure) {
            // A name the index gives to the series read, missing from its
            // file: the file changed since the index was made.
            const bool stale = loaded >= 0
                && (failure.fault() == ValueFault::UnknownUnit || failure.fault() == ValueFault::WrongSeries)
                && !m_index.lookUp(failure.text(), loaded).empty();
            if (!stale) {
                m_command.fail(VisibleText(failure.message()));
                return false;
            }
        }
        // Read every series file again before telling that a name is missing.
        if (!loadIndex(true))
            return false;
        try {
            *query = ResolveWords(words, names(), m_options.series, unitsOf);
            return true;
        } catch (const ValueFailure &failure) {
            m_command.fail(VisibleText(failure.message()));
            return false;
        }
    }

    // "VALUE FROM TO" where TO is no unit's name but a value in several
    // units of FROM's series ("尺・寸", or "尺;寸" written from its units):
    // the query of VALUE FROM, and TO's target position; -1 otherwise, and
    // kNotConverted after reporting units joined by ";" that are no such value.
    int resolveCompoundTarget(WordsQuery *query)
    {
        const QStringList &words = m_options.positional;
        if (words.size() != 3 || !names().unitsOf(words[2]).empty())
            return -1;
        const auto unitsOf = [this](int series) -> const UnitArray & {
            loadSeries(series);
            return m_session.units();
        };
        try {
            *query = ResolveWords(words.mid(0, 2), names(), m_options.series, unitsOf);
        } catch (const ValueFailure &) {
            return -1;
        }
        loadSeries(query->series);
        const int target = m_session.FindTarget(words[2]);
        if (target < 0 && words[2].contains(u';')) {
            m_command.fail(u"「%1」は単位系「%2」の単位を大きい順に「;」でつないだものではありません。"_s.arg(
                VisibleText(words[2]), VisibleText(m_session.series().name)));
            return kNotConverted;
        }
        return target;
    }

    int convert()
    {
        if (!loadIndex(false))
            return kFailed;
        WordsQuery query;
        const int compoundTarget = resolveCompoundTarget(&query);
        if (compoundTarget == kNotConverted || (compoundTarget < 0 && !resolve(m_options.positional, &query)))
            return kFailed;

        chooseResultStyle();

        SessionOutcome outcome;
        if (compoundTarget >= 0)
            outcome = m_session.ConvertValue(query.value, query.source, compoundTarget);
        else if (query.target >= 0)
            outcome = m_session.ConvertValue(query.value, query.source, query.target);
        else
            outcome = m_session.ConvertToAllUnits(query.value, query.source);
        if (outcome.failed) {
            const QString message = FailureMessage(outcome.failure).section(u"\r\n"_s, 0, 0);
            const QString from = m_session.units()[size_t(query.source)].UnitName;
            const QString unit = m_session.targetName(outcome.failedTarget);
            return m_command.fail(u"%1 (%2 から %3 へ)"_s.arg(message, VisibleText(from), VisibleText(unit)));
        }
        write(query.value == query.shown ? nullptr : &query.shown);
        return kDone;
    }

    // The options' result style, the settings' where an option is missing.
    void chooseResultStyle()
    {
        const Settings settings = m_options.style && m_options.digits && m_options.sigDigits
            ? Settings()
            : ReadSettings(SettingsToRead(m_folders));
        m_session.SetResultStyle(m_options.style.value_or(settings[SettingKey::ShowAns]),
                                 m_options.digits.value_or(settings[SettingKey::MaxPlace]),
                                 m_options.sigDigits.value_or(settings[SettingKey::SigDigits]));
    }

    // Values from standard input ("-") or queries from a file (-f), a line each.
    int batch()
    {
        const QStringList &positional = m_options.positional;
        if (m_options.queryFile && !positional.isEmpty())
            return m_command.usage(u"余分な引数 %1"_s.arg(VisibleText(positional.first())));
        if (!m_options.queryFile && positional.size() < 2)
            return m_command.usage(u"- の後に変換元の単位を指定してください。"_s);
        if (positional.size() > 3)
            return m_command.usage(u"余分な引数 %1"_s.arg(VisibleText(positional[3])));
        if (!m_streams)
            return m_command.usage(u"一括変換には入出力が必要です。"_s);
        if (!loadIndex(false))
            return kFailed;
        chooseResultStyle();
        BatchSetup setup;
        setup.unitsDirectory = m_unitsDirectory;
        setup.index = &m_index;
        setup.series = m_options.series;
        setup.style = m_session.resultStyle();
        setup.placeNum = m_session.placeNum();
        setup.sigDigits = m_session.sigDigits();
        setup.form = m_options.line ? AnswerForm::ResultLine : m_options.terse ? AnswerForm::Terse : AnswerForm::Usual;
        BatchConverter converter(setup);
        if (m_options.queryFile)
            return RunQueryBatch(converter, *m_options.queryFile, *m_streams);
        // One pair for every line: a name that fails, fails before any line is read.
        const QString from = positional[1];
        const QString to = positional.size() == 3 ? positional[2] : QString();
        const QString problem = converter.checkPair(from, to);
        if (!problem.isEmpty())
            return m_command.fail(problem);
        return RunValueBatch(converter, from, to, *m_streams);
    }

    // Writes the last result; typed, when given, is the value as the user
    // wrote it, shown in place of the number converted.
    void write(const QString *typed)
    {
        QByteArray &out = m_command.result.out;
        for (ResultParts line : m_session.lastResultParts()) {
            if (typed)
                line.shownSource = *typed;
            // A value in several units names its units within its result.
            const bool compound = !line.compoundLine.isEmpty();
            if (m_options.line && compound)
                out += (VisibleText(line.shownSource) + u" ("_s + VisibleText(line.sourceUnit) + u") => "_s
                        + VisibleText(line.compoundLine) + u"\r\n"_s)
                           .toUtf8();
            else if (compound && !m_options.terse)
                out += Shown(line.shownSource) + ' ' + Shown(line.sourceUnit) + " = " + Shown(line.resultText) + '\n';
            else if (m_options.line)
                out += ResultLine(VisibleText(line.shownSource), VisibleText(line.sourceUnit),
                                  VisibleText(line.resultText), VisibleText(line.targetUnit))
                           .toUtf8();
            else if (m_options.terse)
                out += Shown(line.resultText) + '\n';
            else
                out += Shown(line.shownSource) + ' ' + Shown(line.sourceUnit) + " = " + Shown(line.resultText) + ' '
                    + Shown(line.targetUnit) + '\n';
        }
    }

    const Options &m_options;
    const ConvFolders &m_folders;
    Command &m_command;
    const BatchStreams *m_streams;
    QString m_unitsDirectory;
    NameIndex m_index;
    std::optional<IndexNameLookup> m_names;  // over m_index, made when first asked for
    CachedSeriesUnits m_cachedUnits;         // the series of m_index that the cache holds
    ConversionSession m_session;
};

}  // namespace

ConvFolders FoldersOf(const QString &programDirectory)
{
    // An XDG variable is taken as it is, even a relative one, as the window
    // program takes it; the home folder is cleaned.
    const auto userFolder = [](const char *variable, QLatin1StringView underHome) {
        QString folder = qEnvironmentVariable(variable);
        if (folder.isEmpty())
            folder = QDir::homePath() + underHome;
        return folder + u"/tovel"_s;
    };
    return {programDirectory, userFolder("XDG_CONFIG_HOME", "/.config"_L1), userFolder("XDG_CACHE_HOME", "/.cache"_L1)};
}

ConvResult RunTovelConv(const QStringList &arguments, const ConvFolders &folders, const BatchStreams *streams,
                        ConvMemory memory)
{
    Command command;
    Options options;
    if (!ParseArguments(arguments, &options, &command)) {
        command.result.status = kUsage;
        return command.result;
    }
    if (options.help) {
        command.result.out = HelpText().toUtf8();
        return command.result;
    }
    if (options.version) {
        command.result.out = "tovelconv (Tovel) " TOVEL_VERSION "\n";
        return command.result;
    }
    auto converter = std::make_unique<Converter>(options, folders, command, streams);
    command.result.status = converter->run();
    if (memory == ConvMemory::LeaveToProcessEnd)
        (void)converter.release();  // the process ends with it
    return command.result;
}
