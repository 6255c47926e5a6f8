#pragma once
// The weights of one axis of a separable resampling: for every output pixel, the run of source
// pixels it reads and their fixed-point weights, which always sum to exactly kResampleOne so that
// a uniform picture stays exact.
#include <cstdint>
#include <vector>

namespace image {

inline constexpr int kResampleBits = 14;
inline constexpr int32_t kResampleOne = int32_t{1} << kResampleBits;

enum class ResampleKernel {
  Nearest,     // one source pixel, the one under the output pixel's centre
  Area,        // box filter: the mean of the covered source area, partial pixels by their share
  Linear,      // triangle through the two nearest source pixels
  CatmullRom,  // cubic through four source pixels; may overshoot, callers clamp
};

// The kernel for an axis: reductions average the covered area (except nearest-neighbour), and
// enlargements interpolate, linearly when asked for, by Catmull-Rom cubic otherwise.
ResampleKernel KernelForAxis(uint32_t sourceLength, uint32_t targetLength, bool nearest, bool linear);

class ResampleAxis {
 public:
  // Both lengths must be at least 1.
  ResampleAxis(uint32_t sourceLength, uint32_t targetLength, ResampleKernel kernel);

  uint32_t TargetLength() const { return static_cast<uint32_t>(first_.size()); }
  // Source pixels [First(i), Last(i)] feed output pixel i; both are non-decreasing in i.
  uint32_t First(uint32_t i) const { return first_[i]; }
  uint32_t Last(uint32_t i) const { return first_[i] + count_[i] - 1; }
  uint32_t Count(uint32_t i) const { return count_[i]; }
  const int32_t* Weights(uint32_t i) const { return weights_.data() + offset_[i]; }
  // The weight of source pixel s in output pixel i (0 outside the run).
  int32_t WeightOf(uint32_t i, uint32_t s) const;

 private:
  void AddArea(uint32_t i, uint32_t sourceLength, uint32_t targetLength);
  void AddTaps(uint32_t sourceLength, double centre, ResampleKernel kernel);
  void AddRun(uint32_t first, const std::vector<double>& cumulative);

  std::vector<uint32_t> first_;
  std::vector<uint32_t> count_;
  std::vector<uint32_t> offset_;
  std::vector<int32_t> weights_;
};

}  // namespace image
