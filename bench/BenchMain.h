#pragma once

// The main of the benchmarks that need a Qt application: App is
// QCoreApplication, or QApplication for widgets. afterwards runs while the
// application still exists.
#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <functional>

template <typename App = QCoreApplication>
int runBenchmarks(int argc, char **argv, const std::function<void()> &afterwards = {})
{
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (afterwards)
        afterwards();
    return 0;
}

// Widgets need a screen: without one named they draw off screen.
inline void drawOffScreenUnlessTold()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
