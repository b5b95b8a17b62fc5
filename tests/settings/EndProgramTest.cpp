// The real program ending, run headless in a program folder of its own:
// SIGTERM, SIGHUP and SIGINT save the settings like the end command; two
// copies ending together lose no key; a copy killed at random moments of
// its save leaves the old file or the new one, whole, and whatever a
// killed save leaves behind goes with a later save.
//
// TOVEL_END_TRIES and TOVEL_KILL_TRIES raise the number of tries.
#include "settings/ProfileStore.h"
#include "settings/SettingsValues.h"
#include "settings/modFileFuncs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

int TriesFrom(const char *variable, int fallback)
{
    const char *text = std::getenv(variable);
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : fallback;
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class EndProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        program = dir.filePath("program");
        ASSERT_TRUE(QDir().mkpath(program + "/units"));
        ASSERT_TRUE(QDir().mkpath(dir.filePath("home")));
        ASSERT_TRUE(QDir().mkpath(dir.filePath("run")));
        ASSERT_TRUE(QFile::copy(TOVEL_PROGRAM, program + "/tovel"));
        ASSERT_TRUE(QFile::setPermissions(program + "/tovel", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QDir units(QStringLiteral(TOVEL_SOURCE_DIR "/units"));
        for (const QString &name : units.entryList({"*.dat"}, QDir::Files))
            ASSERT_TRUE(QFile::copy(units.filePath(name), program + "/units/" + name));
        ini = program + "/Tovelset.ini";
    }

    // Starts the program, its output discarded.
    pid_t start()
    {
        const QByteArray exe = QFile::encodeName(program + "/tovel");
        const QByteArray home = QFile::encodeName(dir.filePath("home"));
        const QByteArray run = QFile::encodeName(dir.filePath("run"));
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            setenv("HOME", home.constData(), 1);
            setenv("XDG_CONFIG_HOME", (home + "/.config").constData(), 1);
            setenv("XDG_RUNTIME_DIR", run.constData(), 1);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            execl(exe.constData(), "tovel", static_cast<char *>(nullptr));
            _exit(127);
        }
        return pid;
    }

    // Waits until the program catches SIGTERM (its end signals are set up),
    // then gives its start-up time to finish.
    static bool waitReady(pid_t pid)
    {
        const auto deadline = Clock::now() + 30s;
        const std::string status = "/proc/" + std::to_string(pid) + "/status";
        while (Clock::now() < deadline) {
            std::ifstream in(status);
            std::string line;
            while (std::getline(in, line)) {
                if (line.rfind("SigCgt:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1) {
                    std::this_thread::sleep_for(400ms);
                    return true;
                }
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    // The exit status as waitpid reports it; kills the program after 30 s.
    static int waitEnd(pid_t pid)
    {
        const auto deadline = Clock::now() + 30s;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "the program did not end";
                return status;
            }
            std::this_thread::sleep_for(1ms);
        }
        return status;
    }

    // Everything in the program folder besides the program and its series.
    QStringList strays() const
    {
        QStringList names = QDir(program).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                    | QDir::NoDotAndDotDot);
        names.removeAll("tovel");
        names.removeAll("units");
        names.removeAll("Tovelset.ini");
        return names;
    }

    QTemporaryDir dir;
    QString program;
    QString ini;
};

// Settings that the program reads and writes back: every key differs from
// its default, and the file is laid out otherwise than a save lays it out
// (LF line ends, a comment), so the old file and the saved one differ.
const QByteArray kOld = "; kept by hand\n[FormSet]\nFront=0\nWinPos=0\nMainFormTop=1500\nMainFormLeft=3000\n"
                        "[CalcSet]\nShowAns=2\nMaxPlace=21\nUnitSeries=0\nLastUnitSeries=3\n";

TEST_F(EndProgram, EachEndSignalSavesTheSettingsAndEndsNormally)
{
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        WriteFile(ini, kOld);
        const pid_t pid = start();
        ASSERT_TRUE(waitReady(pid));
        ASSERT_EQ(kill(pid, signalNumber), 0);
        const int status = waitEnd(pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        const QByteArray saved = ReadFile(ini);
        EXPECT_NE(saved, kOld) << "nothing was saved";
        for (const auto &[key, value] : {std::pair{SettingKey::ShowAns, "2"},
                                         {SettingKey::MaxPlace, "21"},
                                         {SettingKey::LastUnitSeries, "3"},
                                         {SettingKey::MainFormTop, "1500"},
                                         {SettingKey::MainFormLeft, "3000"},
                                         {SettingKey::Front, "0"}}) {
            const SettingInfo &info = InfoOf(key);
            EXPECT_EQ(ReadValue(ini, info.section, info.key, "missing"), value) << info.key;
        }
        EXPECT_TRUE(saved.startsWith("; kept by hand\n"));
        EXPECT_EQ(strays(), QStringList());
    }
}

TEST_F(EndProgram, TwoCopiesEndingTogetherLoseNoKey)
{
    const int tries = TriesFrom("TOVEL_END_TRIES", 10);
    int incomplete = 0;
    for (int attempt = 0; attempt < tries; ++attempt) {
        QFile::remove(ini);
        const pid_t first = start();
        const pid_t second = start();
        ASSERT_TRUE(waitReady(first));
        ASSERT_TRUE(waitReady(second));
        kill(first, SIGTERM);
        kill(second, SIGTERM);
        waitEnd(first);
        waitEnd(second);
        bool complete = true;
        for (const SettingInfo &info : SettingTable)
            complete = complete && ReadValue(ini, info.section, info.key, "missing") != "missing";
        const QByteArray bytes = ReadFile(ini);
        complete = complete && bytes.count("[FormSet]") == 1 && bytes.count("[CalcSet]") == 1;
        if (!complete)
            ++incomplete;
        EXPECT_EQ(strays(), QStringList());
    }
    std::printf("double end: %d tries, %d with keys lost\n", tries, incomplete);
    EXPECT_EQ(incomplete, 0) << "of " << tries;
}

TEST_F(EndProgram, KilledDuringTheSaveTheFileIsOldOrNewAndLeftoversGo)
{
    // The saved file and how long an end takes, from clean runs.
    QByteArray saved;
    std::vector<Clock::duration> ends;
    for (int i = 0; i < 3; ++i) {
        WriteFile(ini, kOld);
        const pid_t pid = start();
        ASSERT_TRUE(waitReady(pid));
        const auto from = Clock::now();
        kill(pid, SIGTERM);
        waitEnd(pid);
        ends.push_back(Clock::now() - from);
        if (i > 0) {
            ASSERT_EQ(ReadFile(ini), saved) << "the save is not the same every time";
        }
        saved = ReadFile(ini);
    }
    ASSERT_NE(saved, kOld);
    std::sort(ends.begin(), ends.end());
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(ends[1] / 2);

    const int tries = TriesFrom("TOVEL_KILL_TRIES", 30);
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<long> delay(0, span.count());
    int partial = 0;
    int leftBehind = 0;   // a lock file or a temporary file
    int temporaries = 0;  // a temporary file
    int oldKept = 0;
    for (int attempt = 0; attempt < tries; ++attempt) {
        WriteFile(ini, kOld);
        const pid_t pid = start();
        ASSERT_TRUE(waitReady(pid));
        kill(pid, SIGTERM);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(pid, SIGKILL);
        waitEnd(pid);
        const QByteArray now = ReadFile(ini);
        if (now == kOld)
            ++oldKept;
        else if (now != saved)
            ++partial;
        const QStringList left = strays();
        if (!left.isEmpty())
            ++leftBehind;
        if (left.size() > left.count("Tovelset.ini.lock"))
            ++temporaries;
    }
    std::printf("kills: %d tries over %lld us, %d partial files, %d left the old file, %d left files beside it"
                " (%d a temporary file)\n",
                tries, static_cast<long long>(span.count()), partial, oldKept, leftBehind, temporaries);
    EXPECT_EQ(partial, 0) << "of " << tries;

    // What killed saves left is a minute old by now, as far as the next
    // save can tell; that save removes it.
    for (const QString &name : strays()) {
        const timespec old[2] = {{time(nullptr) - 120, 0}, {time(nullptr) - 120, 0}};
        utimensat(AT_FDCWD, QFile::encodeName(program + "/" + name).constData(), old, 0);
    }
    WriteFile(ini, kOld);
    const pid_t pid = start();
    ASSERT_TRUE(waitReady(pid));
    kill(pid, SIGTERM);
    waitEnd(pid);
    EXPECT_EQ(ReadFile(ini), saved);
    EXPECT_EQ(strays(), QStringList());
}

}  // namespace

// "--help" and "--version" answer on standard output and end, without a
// window (none could open here: no display is named).
TEST(ProgramOptions, HelpAndVersionAnswerWithoutAWindow)
{
    const struct {
        const char *argument;
        const char *starts;
    } cases[] = {{"--version", "tovel (Tovel) "}, {"--help", "使い方: tovel"}, {"-h", "使い方: tovel"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.argument);
        const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ")
            + TOVEL_PROGRAM + " " + c.argument + " 2>&1";
        FILE *pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[256];
        while (const size_t n = fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        const int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
        EXPECT_EQ(out.rfind(c.starts, 0), 0u) << out;
    }
}
