// How quickly tovel-search answers over the session bus: the first answer
// (which starts the provider when it is not running), then 1,000 queries
// from call to reply, alternating KRunner's Match and GNOME's
// GetInitialResultSet over a mix of conversions and noise; the median, the
// 99th percentile and the largest, and the provider's resident memory.
// Run by search_bench.sh on a private bus with a scratch install.
//   bench_search [COUNT]
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kService = u"org.example.tovel.SearchProvider"_s;
const QString kPath = u"/org/example/tovel/SearchProvider"_s;

double CallMs(const QDBusMessage &call, QDBusMessage *reply = nullptr)
{
    const auto start = std::chrono::steady_clock::now();
    const QDBusMessage answer = QDBusConnection::sessionBus().call(call);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (answer.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "bench_search: %s\n", qPrintable(answer.errorMessage()));
        std::exit(1);
    }
    if (reply)
        *reply = answer;
    return ms;
}

QDBusMessage Match(const QString &query)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, u"org.kde.krunner1"_s, u"Match"_s);
    call << query;
    return call;
}

QDBusMessage Initial(const QString &query)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, u"org.gnome.Shell.SearchProvider2"_s,
                                                       u"GetInitialResultSet"_s);
    call << query.split(u' ', Qt::SkipEmptyParts);
    return call;
}

QByteArray StatusLine(uint pid, const char *key)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return "?";
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).simplified();
    return "?";
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    const bool wasRunning = bus->isServiceRegistered(kService);
    const double first = CallMs(Match(u"6畳 m2"_s));
    const uint pid = bus->servicePid(kService);

    const QStringList queries{u"6畳 m2"_s,
                              u"６畳　ｍ２"_s,
                              u"100 km/h"_s,
                              u"30 mpg to L/100km"_s,
                              u"1000 km"_s,
                              u"FF 16進数"_s,
                              u"hello"_s,
                              u"42"_s,
                              u"6 furlongs"_s,
                              u"5 ft in m"_s,
                              u"5尺3寸 cm"_s,
                              u"1 1/2 in mm"_s,
                              u"6畳を平方メートルで"_s,
                              u"５尺３寸　ｃｍ"_s,
                              u"90 度"_s,
                              u"x"_s};
    std::vector<double> times;
    times.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const QString &query = queries[i % queries.size()];
        times.push_back(CallMs(i % 2 ? Initial(query) : Match(query)));
    }
    std::sort(times.begin(), times.end());
    const auto at = [&times](double q) { return times[std::min(times.size() - 1, size_t(q * double(times.size())))]; };
    std::printf("first answer%s: %.1f ms\n", wasRunning ? " (already running)" : " after activation", first);
    std::printf("%d warm queries: median %.3f ms, 99th percentile %.3f ms, largest %.3f ms\n", count, at(0.5), at(0.99),
                times.back());
    std::printf("tovel-search (pid %u): resident %s, peak resident %s\n", pid, StatusLine(pid, "VmRSS:").constData(),
                StatusLine(pid, "VmHWM:").constData());
    return 0;
}
