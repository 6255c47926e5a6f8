#include "image/resample/axis.h"

#include <algorithm>
#include <cmath>

namespace image {

ResampleKernel KernelForAxis(uint32_t sourceLength, uint32_t targetLength, bool nearest, bool linear) {
  if (nearest) return ResampleKernel::Nearest;
  if (targetLength <= sourceLength) return ResampleKernel::Area;
  return linear ? ResampleKernel::Linear : ResampleKernel::CatmullRom;
}

ResampleAxis::ResampleAxis(uint32_t sourceLength, uint32_t targetLength, ResampleKernel kernel) {
  first_.reserve(targetLength);
  count_.reserve(targetLength);
  offset_.reserve(targetLength);
  for (uint32_t i = 0; i < targetLength; ++i) {
    if (kernel == ResampleKernel::Area) {
      AddArea(i, sourceLength, targetLength);
    } else if (kernel == ResampleKernel::Nearest) {
      const uint64_t s = ((2 * uint64_t{i} + 1) * sourceLength) / (2 * uint64_t{targetLength});
      AddRun(static_cast<uint32_t>(std::min<uint64_t>(s, sourceLength - 1)), {1.0});
    } else {
      AddTaps(sourceLength, (i + 0.5) * sourceLength / targetLength - 0.5, kernel);
    }
  }
}

int32_t ResampleAxis::WeightOf(uint32_t i, uint32_t s) const {
  if (s < first_[i] || s > Last(i)) return 0;
  return weights_[offset_[i] + (s - first_[i])];
}

// Exact integer geometry: source pixel k spans [k*T, (k+1)*T) and output pixel i spans
// [i*S, (i+1)*S), so partial coverage carries no floating-point error even at 6000:1.
void ResampleAxis::AddArea(uint32_t i, uint32_t sourceLength, uint32_t targetLength) {
  const uint64_t s = sourceLength, t = targetLength;
  const uint64_t start = i * s, end = start + s;
  const uint64_t first = start / t, last = (end - 1) / t;
  first_.push_back(static_cast<uint32_t>(first));
  count_.push_back(static_cast<uint32_t>(last - first + 1));
  offset_.push_back(static_cast<uint32_t>(weights_.size()));
  // Rounding the running total, not each weight, keeps the error of any partial sum below one
  // unit and makes the weights add up to kResampleOne exactly.
  int64_t previous = 0;
  for (uint64_t k = first; k <= last; ++k) {
    const uint64_t covered = std::min(end, (k + 1) * t) - start;
    const int64_t total = static_cast<int64_t>((covered * kResampleOne * 2 + s) / (2 * s));
    weights_.push_back(static_cast<int32_t>(total - previous));
    previous = total;
  }
}

void ResampleAxis::AddTaps(uint32_t sourceLength, double centre, ResampleKernel kernel) {
  const double base = std::floor(centre);
  const double t = centre - base;
  double w[4] = {0, 0, 0, 0};  // taps base-1 .. base+2
  if (kernel == ResampleKernel::Linear) {
    w[1] = 1.0 - t;
    w[2] = t;
  } else {
    const double t2 = t * t, t3 = t2 * t;
    w[0] = (-t3 + 2 * t2 - t) / 2;
    w[1] = (3 * t3 - 5 * t2 + 2) / 2;
    w[2] = (-3 * t3 + 4 * t2 + t) / 2;
    w[3] = (t3 - t2) / 2;
  }
  // Taps beyond the edges read the edge pixel: fold their weight onto it.
  const auto clampIndex = [&](double x) {
    return static_cast<int64_t>(std::clamp(x, 0.0, static_cast<double>(sourceLength - 1)));
  };
  const int64_t lo = clampIndex(base - 1), hi = clampIndex(base + 2);
  std::vector<double> run(static_cast<size_t>(hi - lo + 1), 0.0);
  for (int k = 0; k < 4; ++k) run[static_cast<size_t>(clampIndex(base - 1 + k) - lo)] += w[k];
  AddRun(static_cast<uint32_t>(lo), run);
}

void ResampleAxis::AddRun(uint32_t first, const std::vector<double>& weights) {
  first_.push_back(first);
  count_.push_back(static_cast<uint32_t>(weights.size()));
  offset_.push_back(static_cast<uint32_t>(weights_.size()));
  double sum = 0;
  int64_t previous = 0;
  for (size_t k = 0; k < weights.size(); ++k) {
    sum += weights[k];
    const int64_t total = k + 1 == weights.size() ? kResampleOne : std::llround(sum * kResampleOne);
    weights_.push_back(static_cast<int32_t>(total - previous));
    previous = total;
  }
}

}  // namespace image
