#pragma once

// Generated downloads for the benchmarks: realistic records of 8 to 40
// characters behind valid timestamps, the same stream for the same size.
#include <QByteArray>

#include <map>
#include <random>

constexpr qsizetype MB = 1024 * 1024;

inline QByteArray makeStream(qsizetype bytes)
{
    static constexpr char Alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
    std::mt19937 rng(20261208);
    QByteArray s;
    s.reserve(bytes + 64);
    s += '\x02';
    s += "ZEV0004299999";
    while (s.size() < bytes) {
        const int clock[6] = {int(20 + rng() % 6), int(1 + rng() % 12), int(1 + rng() % 28),
                              int(rng() % 24), int(rng() % 60), int(rng() % 60)};
        for (int v : clock)
            s += char(v + 16);
        s += '0';
        const int len = 8 + int(rng() % 33);
        for (int k = 0; k < len; ++k)
            s += Alphabet[rng() % (sizeof(Alphabet) - 1)];
        s += "?\r";
    }
    return s;
}

inline const QByteArray &streamOf(qsizetype megabytes)
{
    static std::map<qsizetype, QByteArray> cache;
    auto it = cache.find(megabytes);
    if (it == cache.end())
        it = cache.emplace(megabytes, makeStream(megabytes * MB)).first;
    return it->second;
}
