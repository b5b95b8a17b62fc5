#include "convert/search/KRunnerAdaptor.h"

#include "convert/search/SearchService.h"

using namespace Qt::Literals::StringLiterals;

KRunnerAdaptor::KRunnerAdaptor(SearchService *service) : QDBusAbstractAdaptor(service), m_service(service) {}

RemoteMatches KRunnerAdaptor::Match(const QString &query)
{
    m_service->touch();
    RemoteMatches matches;
    const std::vector<SearchAnswer> answers = m_service->answer(query, kKRunnerResults);
    for (size_t i = 0; i < answers.size(); ++i) {
        RemoteMatch match;
        match.id = answers[i].id;
        match.text = answers[i].name;
        match.iconName = u"tovel"_s;
        // The first result is the target asked for or the one last used.
        match.type = i == 0 ? 100 : 70;
        match.relevance = 1.0 - 0.1 * double(i);
        match.properties = {{u"subtext"_s, answers[i].description},
                            {u"actions"_s, QStringList{QLatin1String(CopyAction)}}};
        matches << match;
    }
    return matches;
}

RemoteActions KRunnerAdaptor::Actions()
{
    m_service->touch();
    return {RemoteAction{QLatin1String(CopyAction), u"値をコピー"_s, u"edit-copy"_s}};
}

void KRunnerAdaptor::Run(const QString &matchId, const QString &actionId)
{
    m_service->touch();
    const auto answer = m_service->answerOf(matchId);
    if (!answer)
        return;
    if (actionId.isEmpty())
        m_service->openWindow(*answer);
    else if (actionId == QLatin1String(CopyAction))
        m_service->copyValue(*answer);
}

QVariantMap KRunnerAdaptor::Config()
{
    m_service->touch();
    return {{u"MinLetterCount"_s, 2}};
}

void KRunnerAdaptor::Teardown()
{
    m_service->touch();
}
