// What the viewport sends to the GPU, built on the CPU from the edit state: the polygons of
// every group with their shaped positions, normals, texture coordinates and colours, the
// groups' boxes for the camera-move drawing, the vertex points and the current command's
// overlay lines. It makes no OpenGL call, so it is tested alone.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "stack/MultiObjData.h"
#include "stack/Overlay.h"

namespace tarvel {
class TStackCommand;
}

namespace tarvel::view {

struct TRgb8 {
  std::uint8_t R = 0, G = 0, B = 0;
  bool operator==(const TRgb8&) const = default;
};

// Display colours.
constexpr TRgb8 kBackground{0, 128, 128};
constexpr TRgb8 kUnselectedFace{180, 180, 180};
constexpr TRgb8 kSelectedFace{230, 133, 26};
constexpr TRgb8 kHighlightVertex{0, 0, 255};
constexpr TRgb8 kAnchorVertex{255, 255, 0};
// Where the soft-weight colouring ends, at weight 1.
constexpr TRgb8 kFullWeight{255, 72, 0};

// The soft-weight colour of a corner: `base` at weight 0 blending into kFullWeight at 1.
void WeightColour(const std::uint8_t base[4], float weight, std::uint8_t out[4]);

// One polygon corner as the GPU reads it (24 bytes). The mesh is drawn untextured, so a
// corner carries no texture coordinate. Corners of one group that come out alike (one group
// vertex in one colour) share one entry.
struct TDrawVertex {
  float Position[3];
  std::uint8_t Colour[4];
  std::int16_t Normal[4];  // unit normal x 32767; the fourth is padding, always 0
};
static_assert(sizeof(TDrawVertex) == 24);

// One vertex point: an instance of the little cube (16 bytes).
struct TPointInstance {
  float Centre[3];
  std::uint8_t Colour[4];
};
static_assert(sizeof(TPointInstance) == 16);

// One end of an overlay line. Both ends carry the segment's start, from which the stipple
// pattern is counted.
struct TLineVertex {
  float Position[3];
  float Colour[3];
  float Start[3];
};

// The index that ends one polygon and starts the next.
constexpr std::uint32_t kRestartIndex = 0xFFFFFFFFu;

// A run of triangles or polygons in the index array.
struct TIndexRange {
  std::uint32_t First = 0;
  std::uint32_t Count = 0;
};

// What one group draws. Its pick id is its position in TSceneGeometry::Groups plus 1.
struct TGroupDraw {
  std::int32_t Mesh = -1;
  std::int32_t Group = -1;
  TIndexRange Faces;     // triangles, three indices each: the filled drawing
  TIndexRange Outlines;  // the same faces as polygons ended by kRestartIndex: the lines
  TIndexRange Box;       // six quads as polygons
};

struct TMeshDraw {
  std::int32_t Mesh = -1;
  std::uint32_t FirstGroup = 0, GroupCount = 0;
  // The vertex points in TSceneGeometry::Points; none when they were not drawn.
  std::uint32_t FirstPoint = 0, PointCount = 0;
};

struct TLineBatch {
  TLineStyle Style;
  std::uint32_t First = 0, Count = 0;  // vertices in TSceneGeometry::Lines
};

// How a group is drawn at this moment.
enum class TGroupStyle {
  Faces,  // filled fronts; backs filled or as lines as the view settings say
  Wire,   // every polygon as lines
  Box,    // its bounding box
};
// Normal drawing follows the mesh's display mode; while the group follows the camera's move,
// its tracking mode: 0 as normal, 1 the box, 2 lines.
TGroupStyle StyleOf(const TObjData& mesh, const TGroup& group);

class TSceneGeometry final : public IMeshRenderer, public IOverlayPainter {
 public:
  // Everything again from the edit state, then the overlay of `overlay` (none for no command).
  // The arrays keep their capacity between builds. WeightColours are left empty; without
  // `outlines` the groups' Outlines are too (they are drawn only in some view settings).
  void Build(const TMultiObjData& live, TStackCommand* overlay, bool vertexPointsShown,
             bool outlines = true);
  // WeightColours for what the last Build made from `live`, which has not changed since.
  void BuildWeightColours(const TMultiObjData& live);

  // IMeshRenderer
  void DrawMesh(const TObjData& mesh) override;
  void DrawVertexPoints(const TObjData& mesh) override;
  bool VertexPointsShown() const override { return pointsShown_; }
  // IOverlayPainter
  void DrawLines(std::span<const TOverlaySegment> segments, const TLineStyle& style) override;

  // The mesh and vertex of a vertex-point pick id (its position in Points plus 1); -1s for
  // an id that names none.
  TMeshPos PointVertex(std::uint32_t id) const;
  // The mesh and group of a group pick id; -1s for none.
  TMeshPos GroupOf(std::uint32_t id) const;

  std::vector<TDrawVertex> Vertices;
  // One RGBA colour per entry of Vertices: the corner's soft weight as a colour, drawn in place
  // of the others while the weights are shown; made only when they are (BuildWeightColours).
  std::vector<std::uint8_t> WeightColours;
  std::vector<std::uint32_t> Indices;
  std::vector<TPointInstance> Points;
  std::vector<TGroupDraw> Groups;
  std::vector<TMeshDraw> Meshes;
  std::vector<TLineVertex> Lines;
  std::vector<TLineBatch> LineBatches;
  // Whether any mesh was in its camera-move drawing while this was built (its vertex points
  // were then left out).
  bool BuiltWhileTracking = false;
  // Whether the groups' Outlines were made.
  bool BuiltOutlines = true;

 private:
  // Room for everything the state can draw, so the arrays never grow while they are filled.
  void Reserve(const TMultiObjData& live, bool vertexPointsShown, bool outlines);
  std::int32_t MeshIndex(const TObjData& mesh) const;
  void AddGroup(const TObjData& mesh, std::int32_t meshIndex, const TGroup& group);
  void AddBox(const TGroup& group);
  // The index of `v` in Vertices: the entry made for the same group vertex when it is alike,
  // else a new one. `vertexNormal` is the mesh vertex whose normal `v` carries, -1 for a
  // polygon's own.
  std::uint32_t AddCorner(const TDrawVertex& v, std::int32_t groupVertex,
                          std::int32_t vertexNormal);
  // The polygons of the group's corners (cornerIndices_, polygonSizes_), as triangles and,
  // when BuiltOutlines, as outlines.
  void AddIndices(TGroupDraw& draw);
  void VertexNormals(const TObjData& mesh);

  const TMultiObjData* live_ = nullptr;
  bool pointsShown_ = false;
  std::vector<TMeshPos> pointVertices_;
  // The entry of Vertices made last for a group vertex, and the mesh vertex whose normal it
  // carries (-1 for a polygon's own).
  struct TShared {
    std::uint32_t Entry = kRestartIndex;
    std::int32_t VertexNormal = -1;
  };
  // Scratch, kept between builds: per mesh vertex the sum of its faces' unit normals; per group
  // vertex its shared entry; per corner of the group its entry; per face of the group its
  // corner count; per material of the mesh its colour.
  std::vector<float> normalSums_;
  std::vector<TShared> shared_;
  std::vector<std::uint32_t> cornerIndices_;
  std::vector<std::uint32_t> polygonSizes_;
  std::vector<std::array<std::uint8_t, 4>> materialColours_;
};

// Pick ids travel through the colour buffer as four bytes, lowest first; 0 is nothing.
void EncodeId(std::uint32_t id, std::uint8_t out[4]);
std::uint32_t DecodeId(const std::uint8_t in[4]);
// The id of the nearest object among the pixels around the cursor; 0 when none shows one.
std::uint32_t NearestId(std::span<const std::uint32_t> ids, std::span<const float> depths);
// The id shown nearest to the centre of a side x side square of pixels (rows of `side`); of
// equally near ones the nearest to the camera; 0 when none shows one.
std::uint32_t NearestToCentre(std::span<const std::uint32_t> ids, std::span<const float> depths,
                              int side);

}  // namespace tarvel::view
