// Prints the folder of the running program as Qt reports it (the tests check
// that it is the real folder when the program is started through a link).
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::puts(QCoreApplication::applicationDirPath().toLocal8Bit().constData());
    return 0;
}
