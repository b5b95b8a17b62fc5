#pragma once
// The search provider's object on the session bus: one object that answers
// GNOME Shell (GnomeSearchAdaptor) and KRunner (KRunnerAdaptor) from one
// SearchEngine, starts the window for a chosen result, and ends the program
// after a time without a call.
//
// What it starts, beside itself in the program folder:
//   tovel --series SERIES -- VALUE FROM TO   a result chosen
//   tovel --find QUERY                       the provider's own entry chosen
//   tovel-search --copy TEXT                 a result's value to the clipboard

#include "convert/search/SearchEngine.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>

class SearchService : public QObject {
    Q_OBJECT
public:
    static constexpr const char *BusName = "org.example.tovel.SearchProvider";
    static constexpr const char *ObjectPath = "/org/example/tovel/SearchProvider";

    SearchService(const SearchFolders &folders, std::chrono::milliseconds idleTime, QObject *parent = nullptr);

    // Puts the object and the bus name on the session bus and starts the
    // idle clock; false (with a message on standard error) when it cannot.
    bool start();

    // Called at every call from the desktop: the idle clock starts again.
    void touch();

    std::vector<SearchAnswer> answer(const QString &query, int maxResults);
    std::optional<SearchAnswer> answerOf(const QString &id) { return m_engine.answerOf(id); }

    void openWindow(const SearchAnswer &answer);
    void openFinder(const QString &query);
    void copyValue(const SearchAnswer &answer);

private:
    void startBeside(const QString &program, const QStringList &arguments);

    SearchFolders m_folders;
    SearchEngine m_engine;
    QTimer m_idle;
};
