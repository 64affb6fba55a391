// A small long-running process whose id owns some of the generated rows.
// Prints "pid=<id>" and sleeps until it is ended.

#include <windows.h>

#include <cstdio>

int main()
{
    std::printf("pid=%lu\n", GetCurrentProcessId());
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
