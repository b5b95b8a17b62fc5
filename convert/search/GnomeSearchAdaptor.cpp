#include "convert/search/GnomeSearchAdaptor.h"

#include "convert/search/SearchService.h"

using namespace Qt::Literals::StringLiterals;

GnomeSearchAdaptor::GnomeSearchAdaptor(SearchService *service) : QDBusAbstractAdaptor(service), m_service(service) {}

QStringList GnomeSearchAdaptor::resultSet(const QStringList &terms)
{
    m_service->touch();
    QStringList ids;
    for (const SearchAnswer &answer : m_service->answer(terms.join(u' '), kGnomeResults))
        ids << answer.id;
    return ids;
}

QStringList GnomeSearchAdaptor::GetInitialResultSet(const QStringList &terms)
{
    return resultSet(terms);
}

// The whole query is answered again: it is as quick as narrowing the
// previous results, and the same query always gives the same results.
QStringList GnomeSearchAdaptor::GetSubsearchResultSet(const QStringList &, const QStringList &terms)
{
    return resultSet(terms);
}

QList<QVariantMap> GnomeSearchAdaptor::GetResultMetas(const QStringList &ids)
{
    m_service->touch();
    QList<QVariantMap> metas;
    for (const QString &id : ids) {
        if (const auto answer = m_service->answerOf(id)) {
            metas << QVariantMap{{u"id"_s, id},
                                 {u"name"_s, answer->name},
                                 {u"description"_s, answer->description},
                                 {u"gicon"_s, u"tovel"_s}};
        }
    }
    return metas;
}

void GnomeSearchAdaptor::ActivateResult(const QString &id, const QStringList &, uint)
{
    m_service->touch();
    if (const auto answer = m_service->answerOf(id))
        m_service->openWindow(*answer);
}

void GnomeSearchAdaptor::LaunchSearch(const QStringList &terms, uint)
{
    m_service->touch();
    m_service->openFinder(terms.join(u' '));
}
