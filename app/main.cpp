#include <cstdio>
int main()
{
    std::puts("Tovel: the main window is not built yet.");
    return 0;
}
