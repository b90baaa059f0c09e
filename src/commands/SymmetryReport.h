// How symmetric a figure is about the plane x = 0: the mirror pairing of the symmetry command
// over every vertex, counted per group and for the whole mesh, with the distances that tell a
// morph maker how far the figure is from symmetric.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/ObjData.h"

namespace tarvel {

struct TSymmetryCounts {
  std::int32_t Vertices = 0;
  std::int32_t OnCentreLine = 0;
  // Off the centre line, yet closer to their own mirror image than the tolerance: such a vertex
  // is usually meant to lie on the centre line.
  std::int32_t NearCentreLine = 0;
  // Off the centre line without a mirror partner within the tolerance.
  std::int32_t OutOfSymmetry = 0;
  // Mirror matches beyond the first, as the symmetry command's Info counts them.
  std::int32_t CrossLinked = 0;
  // The largest distance between a vertex's mirror image and the partner it is paired with.
  double LargestPairDistance = 0;
  // Every off-centre vertex finds a partner at any tolerance above this; infinite when some
  // vertex has no other vertex to pair with at all.
  double ToleranceForAll = 0;
};

struct TGroupSymmetry {
  std::string Group;
  TSymmetryCounts Counts;
};

struct TSymmetryReport {
  float Tolerance = 0;
  TSymmetryCounts Total;
  std::vector<TGroupSymmetry> Groups;  // in mesh order; a shared vertex counts in each group
};

// Pairs every vertex of the mesh as the symmetry command pairs the vertices taking part, with
// `tolerance` as its precision.
TSymmetryReport AnalyseSymmetry(const TObjData& mesh, float tolerance);

// For each point, the smallest box distance (largest of the per-axis differences) between its
// mirror image (-x, y, z) and another point; infinite when there is no other finite point.
std::vector<double> NearestMirrorDistances(const std::vector<TBaseVertex>& points);

}  // namespace tarvel
