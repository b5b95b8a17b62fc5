#include "convert/search/SearchEngine.h"

#include "catalogue/NameIndex.h"
#include "catalogue/UnitFile.h"
#include "convert/Conversion.h"
#include "convert/search/SearchQuery.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsValues.h"
#include "settings/modFileFuncs.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray fileState(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return path.toUtf8() + ":-";
    return path.toUtf8() + ':' + QByteArray::number(qulonglong(st.st_ino)) + ','
        + QByteArray::number(qlonglong(st.st_size)) + ',' + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.'
        + QByteArray::number(qlonglong(st.st_mtim.tv_nsec));
}

}  // namespace

// The one place where the results' form is taken from the user's settings.
ResultFormat ReadResultFormat(const QString &settingsPath)
{
    ResultFormat format;
    format.style = ResultStyleOf(ReadSetting(settingsPath, SettingKey::ShowAns));
    format.placeNum = ReadSetting(settingsPath, SettingKey::MaxPlace);
    format.sigDigits = ReadSetting(settingsPath, SettingKey::SigDigits);
    return format;
}

SearchEngine::SearchEngine(const SearchFolders &folders) : m_catalogue(folders.programDirectory + u"/units/"_s)
{
    // Decided once: where the window keeps the settings; before the
    // window's first start that file may not exist yet, and the one beside
    // the program is read instead.
    QString programDir = folders.programDirectory;
    m_settingsBeside = JoinPath(programDir, SettingsFileName());
    m_settingsPath = SettingsFilePath(folders.programDirectory, folders.userConfigDirectory);
    refresh();
}

void SearchEngine::refresh()
{
    m_catalogue.refresh();
    const QString path = QFileInfo::exists(m_settingsPath) ? m_settingsPath : m_settingsBeside;
    const QByteArray state = fileState(path);
    if (m_settingsRead && state == m_settingsState)
        return;
    m_settingsRead = true;
    m_settingsState = state;
    m_format = ReadResultFormat(path);
    m_rememberPairs = ReadSetting(path, SettingKey::RememberPairs) != 0;
    m_pairs.read(path);
}

QStringList SearchEngine::WindowArguments(const SearchAnswer &answer)
{
    return {u"--series"_s, answer.series, u"--"_s, answer.value, answer.source, answer.target};
}

QString SearchEngine::IdOf(const QString &value, const QString &series, const QString &source, const QString &target)
{
    QByteArray id;
    for (const QString *part : {&value, &series, &source, &target})
        id += (id.isEmpty() ? "" : "/") + QUrl::toPercentEncoding(*part);
    return QString::fromLatin1(id);
}

std::optional<SearchAnswer> SearchEngine::convert(const QString &value, int series, int source, int target,
                                                  const CompoundUnit *compound) const
{
    const LoadedSeries &loaded = m_catalogue.series()[size_t(series)];
    ConversionRequest request;
    request.typedText = value;
    request.sourcePos = source;
    request.targetPos = target;
    if (compound)
        request.targetParts = compound->parts;
    request.numberBase = loaded.entry.numberBase;
    request.style = m_format.style;
    request.placeNum = m_format.placeNum;
    request.sigDigits = m_format.sigDigits;
    const ConversionOutcome outcome = ConvertRequest(request, loaded.units);
    if (outcome.failed || !outcome.resultWritten)
        return std::nullopt;
    SearchAnswer answer;
    answer.value = value;
    answer.series = loaded.entry.name;
    answer.source = loaded.units[size_t(source)].UnitName;
    answer.target = compound ? compound->name : loaded.units[size_t(target)].UnitName;
    answer.resultText = outcome.resultText;
    // A value in several units carries its units: "5 尺 2.8 寸".
    answer.name = compound ? answer.resultText : answer.resultText + u' ' + answer.target;
    answer.description = outcome.shownSource + u' ' + answer.source + u" = "_s + answer.name;
    answer.id = IdOf(value, answer.series, answer.source, answer.target);
    return answer;
}

std::vector<SearchAnswer> SearchEngine::answer(const QString &text, int maxResults)
{
    refresh();
    const std::optional<SearchQuery> query = ReadSearchQuery(text, m_catalogue);
    if (!query || maxResults <= 0)
        return {};
    const int series = query->series;
    const UnitArray &units = m_catalogue.series()[size_t(series)].units;
    if (!query->targetParts.empty()) {
        const CompoundUnit compound{query->targetName, query->targetParts};
        if (auto answer = convert(query->value, series, query->source, -1, &compound))
            return {std::move(*answer)};
        return {};
    }

    std::vector<int> targets;
    if (query->target >= 0) {
        targets.push_back(query->target);
    } else {
        const auto add = [&](int unit) {
            if (unit >= 0 && unit != query->source && std::find(targets.begin(), targets.end(), unit) == targets.end())
                targets.push_back(unit);
        };
        if (m_rememberPairs) {
            if (const auto pair = m_pairs.recall(m_catalogue.series()[size_t(series)].entry.name))
                add(FindUnitByName(units, pair->target));
        }
        for (int unit = 0; unit < int(units.size()); ++unit)
            add(unit);
    }

    // A value some targets cannot take (an overflow) skips them; one that
    // none can take gives up after a few.
    std::vector<SearchAnswer> answers;
    int tries = 0;
    for (const int target : targets) {
        if (int(answers.size()) >= maxResults || tries++ >= maxResults + 5)
            break;
        if (auto answer = convert(query->value, series, query->source, target))
            answers.push_back(std::move(*answer));
    }
    return answers;
}

std::optional<SearchAnswer> SearchEngine::answerOf(const QString &id)
{
    refresh();
    const QStringList parts = id.split(u'/');
    if (parts.size() != 4)
        return std::nullopt;
    QStringList fields;
    for (const QString &part : parts)
        fields << QUrl::fromPercentEncoding(part.toLatin1());
    const int series = m_catalogue.seriesCalled(fields[1]);
    if (series < 0)
        return std::nullopt;
    const UnitArray &units = m_catalogue.series()[size_t(series)].units;
    const int source = FindUnitByName(units, fields[2]);
    const int target = FindUnitByName(units, fields[3]);
    if (source < 0)
        return std::nullopt;
    if (target >= 0)
        return convert(fields[0], series, source, target);
    // A value in several units, named by its units ("尺・寸").
    const QStringList unitNames = fields[3].split(u'・');
    CompoundUnit compound;
    if (unitNames.size() < 2 || ReadCompoundUnit(fields[3], unitNames, units, compound) != CompoundProblem::None)
        return std::nullopt;
    return convert(fields[0], series, source, -1, &compound);
}
