#include "convert/search/SearchService.h"

#include "convert/search/GnomeSearchAdaptor.h"
#include "convert/search/KRunnerAdaptor.h"
#include "convert/search/KRunnerTypes.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

SearchService::SearchService(const SearchFolders &folders, std::chrono::milliseconds idleTime, QObject *parent)
    : QObject(parent), m_folders(folders), m_engine(folders)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(idleTime);
    connect(&m_idle, &QTimer::timeout, QCoreApplication::instance(), &QCoreApplication::quit);
    new GnomeSearchAdaptor(this);
    new KRunnerAdaptor(this);
}

bool SearchService::start()
{
    RegisterSearchDBusTypes();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "tovel-search: no session bus: %s\n", qPrintable(bus.lastError().message()));
        return false;
    }
    // The object first, so that the calls queued for the name find it.
    if (!bus.registerObject(QLatin1String(ObjectPath), this)) {
        std::fprintf(stderr, "tovel-search: the object path is taken\n");
        return false;
    }
    if (!bus.registerService(QLatin1String(BusName))) {
        std::fprintf(stderr, "tovel-search: the bus name %s is taken\n", BusName);
        return false;
    }
    m_idle.start();
    return true;
}

void SearchService::touch()
{
    m_idle.start();
}

std::vector<SearchAnswer> SearchService::answer(const QString &query, int maxResults)
{
    return m_engine.answer(query, maxResults);
}

void SearchService::startBeside(const QString &program, const QStringList &arguments)
{
    const QString path = m_folders.programDirectory + u'/' + program;
    if (!QProcess::startDetached(path, arguments))
        std::fprintf(stderr, "tovel-search: %s could not be started\n", qPrintable(path));
}

void SearchService::openWindow(const SearchAnswer &answer)
{
    startBeside(u"tovel"_s, SearchEngine::WindowArguments(answer));
}

void SearchService::openFinder(const QString &query)
{
    startBeside(u"tovel"_s, {u"--find"_s, query});
}

void SearchService::copyValue(const SearchAnswer &answer)
{
    startBeside(u"tovel-search"_s, {u"--copy"_s, answer.resultText});
}
