#pragma once
// A scratch file for the fuzz targets that read from a path: one file per
// fuzzing process, rewritten for every input and removed at exit.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>
#include <unistd.h>

// The process's scratch file, made on the first call; name goes into the
// file's name, so that two targets never share one.
inline const QString &ScratchPath(const char *name)
{
    static const QString path = [name] {
        QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/tovel_fuzz_" + name + "_XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        ::close(fd);
        return QFile::decodeName(pattern);
    }();
    static const int removeAtExit = std::atexit([] { QFile::remove(path); });
    (void)removeAtExit;
    return path;
}
