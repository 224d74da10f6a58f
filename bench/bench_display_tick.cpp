// Median cost of one display tick against the simulated controller, both BPMs
// present and every container registered, at each display buffer size.
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "Globals.h"
#include "SimControl.h"
#include "Updater.h"

namespace {
double medianMs(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void bindAll(Updater& updater, std::vector<GraphData>& keep)
{
    auto bind = [&](unsigned kind, int index) {
        keep.push_back(GraphData::create());
        updater.setGraphData(kind, index, keep.back());
    };
    for (int b = 0; b < 2; ++b) {
        bind(Updater::KindScatterBpm1 + b, 0);
        bind(Updater::KindSpectrum, b);
        bind(Updater::KindPositionX, b);
        bind(Updater::KindPositionY, b);
        bind(Updater::KindIntensity, b);
        for (int c = 0; c < 4; ++c)
            bind(Updater::KindCurrentsBpm1 + b, c);
    }
    for (int c = 0; c < 4; ++c)
        bind(Updater::KindOutputVoltage, c);
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SimControl::useSteppedClock();
    POS_SCALE_X[0] = POS_SCALE_Y[0] = POS_SCALE_X[1] = POS_SCALE_Y[1] = 1000.0;

    std::printf("display tick (Updater::updateGraphs), median of 50 ticks, 1 s of simulated time between ticks\n");
    std::printf("%10s %12s %14s\n", "records", "tick [ms]", "per record [ns]");
    for (int records : {1024, 2048, 4096, 8192, 14336}) {
        DISPLAY_BUFFER_BYTES = records * 256;
        Updater updater;
        std::vector<GraphData> containers;
        bindAll(updater, containers);
        std::vector<double> samples;
        for (int i = 0; i < 55; ++i) {
            // Advance the simulator outside the measurement: its cost is not the tick's.
            SimControl::step(1.0);
            const auto start = std::chrono::steady_clock::now();
            updater.updateGraphs();
            const auto end = std::chrono::steady_clock::now();
            if (i >= 5)
                samples.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        const double ms = medianMs(samples);
        std::printf("%10d %12.3f %14.1f\n", records, ms, ms * 1e6 / records);
    }
    return 0;
}
