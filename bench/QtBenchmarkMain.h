#pragma once

#include <QCoreApplication>
#include <benchmark/benchmark.h>

// A benchmark's main: the ports, clocks and processes want Qt's application object.
inline int runQtBenchmarks(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
