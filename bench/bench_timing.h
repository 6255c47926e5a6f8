#pragma once
// Timing for the benchmarks: a high-resolution clock, medians, and a ratio table. Absolute times
// drift on shared machines, so the programs report ratios to a baseline measured in the same
// rounds, interleaved with the work it is compared with.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

inline double Best(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Named pieces of work, each with an untimed setup, run once per round in turn so that the
// baseline (the first entry) and the others see the same conditions.
class Rounds {
 public:
  using Step = std::function<void()>;
  void Add(std::string name, Step setup, Step work, double aim = 0) {
    entries_.push_back({std::move(name), std::move(setup), std::move(work), aim, false, {}});
  }
  // A second baseline: the entries after it are measured against it instead of the first.
  void AddBaseline(std::string name, Step setup, Step work) {
    entries_.push_back({std::move(name), std::move(setup), std::move(work), 0, true, {}});
  }
  void Run(int rounds) {
    for (int r = 0; r < rounds; ++r) {
      for (Entry& e : entries_) {
        if (e.setup) e.setup();
        const double start = NowMs();
        e.work();
        e.times.push_back(NowMs() - start);
      }
    }
  }
  // One line per entry: median time and its ratio to its baseline's median (the first entry or
  // the last baseline before it), the same for the fastest run (the least disturbed one on a
  // busy machine), and the aim for the median ratio.
  void Print() const {
    if (entries_.empty()) return;
    double base = Median(entries_.front().times);
    double base_best = Best(entries_.front().times);
    std::printf("%-42s %9s %8s %9s %8s %6s\n", "", "median ms", "ratio", "best ms", "ratio", "aim");
    for (const Entry& e : entries_) {
      if (e.baseline) {
        base = Median(e.times);
        base_best = Best(e.times);
      }
      const double ms = Median(e.times);
      const double best = Best(e.times);
      std::printf("%-42s %9.1f %7.2fx %9.1f %7.2fx", e.name.c_str(), ms, ms / base, best,
                  best / base_best);
      if (e.aim > 0) std::printf(" %5.2fx %s", e.aim, ms / base <= e.aim ? "ok" : "OVER");
      std::printf("\n");
    }
  }

 private:
  struct Entry {
    std::string name;
    Step setup;
    Step work;
    double aim;
    bool baseline;
    std::vector<double> times;
  };
  std::vector<Entry> entries_;
};

}  // namespace bench
