// tovelconv: converts a value between the units of Tovel's series files. See
// RunTovelConv.
#include "convert/command/BatchConv.h"
#include "convert/command/ConvCommand.h"

#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// Writes all of bytes to the file descriptor; false with errno set when it
// cannot (a closed pipe, a full disk).
bool WriteAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// The folder the program really lives in: a link in bin/ leads here.
QString ProgramDirectory()
{
    char path[4096];
    const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path);
    if (size <= 0 || size_t(size) == sizeof path)
        return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    const QString program = QFile::decodeName(QByteArray(path, size));
    const qsizetype slash = program.lastIndexOf(u'/');
    return slash > 0 ? program.left(slash) : QStringLiteral("/");
}

// The program ends once everything is written. The output went out with
// write(2), and no file is left open for writing: freeing the converter and
// running the libraries' teardown (their destructors and exit handlers)
// would only make a script that starts tovelconv for every value wait
// longer, about 3.5 % of a conversion. Under AddressSanitizer the program
// frees everything and ends the usual way, so that leaks are still reported.
#if defined(__SANITIZE_ADDRESS__)
constexpr ConvMemory kMemory = ConvMemory::Free;
int End(int status)
{
    return status;
}
#else
constexpr ConvMemory kMemory = ConvMemory::LeaveToProcessEnd;
int End(int status)
{
    std::_Exit(status);
}
#endif

}  // namespace

int main(int argc, char **argv)
{
    // A closed pipe is reported as an error, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromUtf8(argv[i]);

    const BatchStreams streams;
    const ConvResult result = RunTovelConv(arguments, FoldersOf(ProgramDirectory()), &streams, kMemory);
    WriteAll(STDERR_FILENO, result.err);
    if (!WriteAll(STDOUT_FILENO, result.out)) {
        const int error = errno;
        WriteAll(STDERR_FILENO, "tovelconv: 標準出力に書き込めません: " + QByteArray(std::strerror(error)) + '\n');
        return End(1);
    }
    return End(result.status);
}
