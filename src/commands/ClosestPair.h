// The smallest distance between two points of a set, for the "Info" pass of "Mirror
// selection": the distance between the two closest vertices taking part.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvel {

// A vertex taking part, in single precision.
struct TInfoPoint {
  float X = 0, Y = 0, Z = 0;
  std::int32_t Index = -1;
};

// Distance of two points in single precision, as Distance() takes it.
float InfoDistance(const TInfoPoint& a, const TInfoPoint& b);

// The smallest InfoDistance between two of the points, or `bound` when none is below it.
// Points are finite and carry distinct Index values; their order is not kept.
float SmallestDistance(std::vector<TInfoPoint>& points, float bound);

}  // namespace tarvel
