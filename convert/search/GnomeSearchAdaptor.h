#pragma once
// GNOME Shell's search-provider interface (version 2) on the provider's
// object: at most three results a query, with Tovel's icon.

#include <QDBusAbstractAdaptor>
#include <QList>
#include <QStringList>
#include <QVariantMap>

class SearchService;

class GnomeSearchAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.SearchProvider2")
public:
    explicit GnomeSearchAdaptor(SearchService *service);

public slots:
    QStringList GetInitialResultSet(const QStringList &terms);
    QStringList GetSubsearchResultSet(const QStringList &previousResults, const QStringList &terms);
    QList<QVariantMap> GetResultMetas(const QStringList &ids);
    void ActivateResult(const QString &id, const QStringList &terms, uint timestamp);
    void LaunchSearch(const QStringList &terms, uint timestamp);

private:
    QStringList resultSet(const QStringList &terms);

    SearchService *m_service;
};
