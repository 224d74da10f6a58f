#pragma once
// The two output records of a step-response run (low and high) and which
// display words carry the stimulus and the response.
#include <array>

struct StepStimulus
{
    enum Loop { LoopX = 0, LoopY = 1, LoopI0 = 2 };
    static constexpr int LOOPS = 3;
    static constexpr int OUTPUT_CHANNELS = 4;

    std::array<double, OUTPUT_CHANNELS> low{};   // volts, output channels 1..4
    std::array<double, OUTPUT_CHANNELS> high{};
    double bias = 0.0;       // of the selected loop
    double step = 0.0;       // of the selected loop
    int outputChannel = 0;   // index of the selected loop's output, 0..3 when valid
    std::array<int, LOOPS> channels{};  // every loop's output index, as the map gave it
    int stimulusWord = 8;    // the output-voltage word of that channel
    int responseWord = 0;    // position or intensity word of the observed monitor

    // False when the selected loop's output lies outside the unit's four
    // channels: then no record carries its step and no word shows it.
    bool valid() const { return outputChannel >= 0 && outputChannel < OUTPUT_CHANNELS; }

    // bias[], step[] and dacChannel[] are indexed by Loop. A loop whose channel
    // is outside 0..3 writes nothing; a later loop overwrites an earlier one on
    // the same channel.
    static StepStimulus build(const double bias[LOOPS], const double step[LOOPS], const int dacChannel[LOOPS],
                              Loop selected, bool useBpm2);
};
