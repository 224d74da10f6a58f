// The step analysis over many seeds of each kind of record, with the plant's
// own disturbances: how many results lie within the tolerances, how many are
// refused and how many lie outside (which must be none), and how long one
// analysis takes. bench_step_analysis [seeds per case, 1000 by default]
// [part/parts: every parts-th case from the part-th, to share out the cases]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "support/StepAnalysisCases.h"

int main(int argc, char** argv)
{
    const int seeds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    int part = 0, parts = 1;
    if (argc > 2 && std::sscanf(argv[2], "%d/%d", &part, &parts) != 2)
        part = 0, parts = 1;
    parts = std::max(1, parts);
    double seconds = 0.0;
    long analyses = 0;
    std::printf("%-50s %8s %8s %8s\n", "case", "within", "refused", "outside");
    const std::vector<StepAnalysisCase> cases = stepAnalysisCases();
    for (size_t i = 0; i < cases.size(); ++i) {
        if (int(i % size_t(parts)) != part)
            continue;
        const StepAnalysisCase& c = cases[i];
        int counts[3] = {0, 0, 0};
        for (int seed = 1; seed <= seeds; ++seed) {
            SyntheticStepRecord record = c.record;
            record.seed = 1000003ULL * unsigned(seed);
            const std::vector<double> u = record.stimulus(), y = record.response();
            const auto start = std::chrono::steady_clock::now();
            const StepResponseResult r = analyseStepResponse(u, y, record.bias, record.step, record.sampleRate);
            seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ++analyses;
            ++counts[int(judgeStepResult(record, r))];
        }
        std::printf("%-50s %8d %8d %8d\n", c.name.c_str(), counts[int(StepOutcome::Within)],
                    counts[int(StepOutcome::Refused)], counts[int(StepOutcome::Outside)]);
        std::fflush(stdout);
    }
    std::printf("%d seeds per case, %.1f ms per analysis\n", seeds, 1e3 * seconds / double(analyses));
    return 0;
}
