#pragma once

// The resident memory of this process, from /proc (Linux).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

// kB from a /proc/self/status line such as "VmHWM:  1234 kB".
inline long statusKb(const char *key)
{
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    const size_t keyLen = std::strlen(key);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, key, keyLen) == 0) {
            kb = std::strtol(line + keyLen, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return kb;
}

// Resets the peak resident size to the current one (Linux: "5" > clear_refs).
inline bool resetPeakRss()
{
    std::FILE *f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}


// Page faults served without reading the disk so far: each is a fresh page of memory.
inline long minorFaults()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}
