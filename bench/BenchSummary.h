// What the benchmark programs share: a console reporter that also keeps the
// counters of each run (the median when there are repetitions) for a summary
// printed after the table, and the main that runs it.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quarvbench {

class CollectingReporter : public benchmark::ConsoleReporter {
public:
  explicit CollectingReporter(bool color) : ConsoleReporter(color ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      mMedians = mMedians || median;
      // Keyed by the function name and its arguments, without the iteration
      // and repetition suffixes; the median, which comes last, replaces the
      // single runs.
      std::string key = run.run_name.function_name;
      if (!run.run_name.args.empty()) key += "/" + run.run_name.args;
      if (!mValues.count(key)) mOrder.push_back(key);
      for (const auto& [name, counter] : run.counters) mValues[key][name] = counter.value;
    }
  }

  virtual void PrintSummary() const = 0;

protected:
  double Value(const std::string& run, const std::string& counter) const {
    const auto r = mValues.find(run);
    if (r == mValues.end()) return 0.0;
    const auto c = r->second.find(counter);
    return c == r->second.end() ? 0.0 : c->second;
  }

  std::map<std::string, std::map<std::string, double>> mValues;
  std::vector<std::string> mOrder;
  bool mMedians = false;
};

// Each iteration processes framesPerIteration stereo frames: items per second,
// and the ns_per_frame counter (seconds per frame once finished).
inline void CountFrames(benchmark::State& state, int64_t framesPerIteration) {
  state.SetItemsProcessed(state.iterations() * framesPerIteration);
  state.counters["ns_per_frame"] = benchmark::Counter(
      static_cast<double>(framesPerIteration),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <typename Reporter>
int RunWithSummary(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Reporter reporter(isatty(STDOUT_FILENO) != 0);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}

}  // namespace quarvbench
