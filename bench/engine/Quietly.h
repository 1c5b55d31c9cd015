#pragma once
// Runs `work` with standard output sent to /dev/null (the engine's progress lines).

#include <cstdio>

#include <unistd.h>

template <typename Work>
void Quietly(Work work)
{
    std::fflush(stdout);
    const int saved = dup(1);
    FILE* null = std::fopen("/dev/null", "w");
    dup2(fileno(null), 1);
    work();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::fclose(null);
}
