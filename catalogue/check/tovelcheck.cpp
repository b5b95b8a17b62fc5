// tovelcheck: checks Tovel's series files. See RunTovelCheck.
#include "catalogue/check/SeriesCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString defaultFolder = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("units"));
    return RunTovelCheck(arguments, defaultFolder, out, err);
}
