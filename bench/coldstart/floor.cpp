// The least a Qt command-line program does: make its QCoreApplication and
// print one line, here the line tovelconv prints for "6 畳 平方メートル".
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::fputs("6 畳 = 9.72 平方メートル\n", stdout);
    return 0;
}
