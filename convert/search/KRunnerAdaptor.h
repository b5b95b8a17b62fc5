#pragma once
// KRunner's runner interface on the provider's object: at most five
// matches a query, each with the action "値をコピー" beside the default
// action of opening the window.

#include "convert/search/KRunnerTypes.h"

#include <QDBusAbstractAdaptor>
#include <QString>
#include <QVariantMap>

class SearchService;

class KRunnerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.krunner1")
public:
    explicit KRunnerAdaptor(SearchService *service);

    static constexpr const char *CopyAction = "copy";

public slots:
    RemoteMatches Match(const QString &query);
    RemoteActions Actions();
    void Run(const QString &matchId, const QString &actionId);
    QVariantMap Config();
    void Teardown();

private:
    SearchService *m_service;
};
