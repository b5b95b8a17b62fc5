// The end signals reaching the event loop.
#include "ui/EndSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

namespace {

// SIGTERM, SIGHUP and SIGINT reach the event loop as requests to end
// instead of ending the program; afterwards their default handling is back.
TEST(EndSignals, EachSignalBecomesARequestInTheEventLoop)
{
    std::vector<int> received;
    {
        EndSignals endSignals;
        ASSERT_TRUE(endSignals.isActive());
        QObject::connect(&endSignals, &EndSignals::endRequested, [&](int s) { received.push_back(s); });
        for (const int s : {SIGTERM, SIGHUP, SIGINT})
            ASSERT_EQ(raise(s), 0);
        EXPECT_TRUE(received.empty()) << "handled inside the signal handler";
        QElapsedTimer timer;
        timer.start();
        while (received.size() < 3 && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
    }
    for (const int s : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction now {};
        ASSERT_EQ(sigaction(s, nullptr, &now), 0);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << s;
    }
}

}  // namespace
