#include "view/SceneGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "mesh/HugePageAdvice.h"
#include "stack/StackCommand.h"

namespace tarvel::view {

namespace {

std::uint8_t Byte(float v) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
}

void SetColour(std::uint8_t out[4], const TColorVector& c) {
  out[0] = Byte(c.R);
  out[1] = Byte(c.G);
  out[2] = Byte(c.B);
  out[3] = Byte(c.A);
}

void SetColour(std::uint8_t out[4], const TRgb8& c) {
  out[0] = c.R;
  out[1] = c.G;
  out[2] = c.B;
  out[3] = 255;
}

void SetNormal(std::int16_t out[4], double x, double y, double z) {
  const double l = std::sqrt(x * x + y * y + z * z);
  const double k = l > 0 ? 32767 / l : 0;
  out[0] = static_cast<std::int16_t>(std::lround(x * k));
  out[1] = static_cast<std::int16_t>(std::lround(y * k));
  out[2] = static_cast<std::int16_t>(std::lround(z * k));
  out[3] = 0;
}

// The position of a corner in its group: the shaped one, so that dials and moves show.
const TBaseVertex& CornerPosition(const TObjData& mesh, const TGroup& group, const TFaceVert& c) {
  if (c.GroupVertexIndex >= 0 && c.GroupVertexIndex < group.Vertices.Count())
    return group.Vertices[c.GroupVertexIndex].Shaped;
  return mesh.CornerVertex(c);
}

// Twice the area-weighted normal of a polygon (Newell), following its corner order.
TBaseVertex PolygonNormal(const TObjData& mesh, const TGroup& group,
                          std::span<const TFaceVert> corners) {
  TBaseVertex n;
  if (corners.empty()) return n;
  const TBaseVertex* first = &CornerPosition(mesh, group, corners[0]);
  const TBaseVertex* a = first;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const TBaseVertex* b =
        i + 1 < corners.size() ? &CornerPosition(mesh, group, corners[i + 1]) : first;
    n.X += (a->Y - b->Y) * (a->Z + b->Z);
    n.Y += (a->Z - b->Z) * (a->X + b->X);
    n.Z += (a->X - b->X) * (a->Y + b->Y);
    a = b;
  }
  return n;
}

}  // namespace

TGroupStyle StyleOf(const TObjData& mesh, const TGroup& group) {
  const std::uint8_t mode = group.Tracking ? mesh.TrackingMode : 0;
  if (mode == 1) return TGroupStyle::Box;
  if (mode == 2 || mesh.DisplayMode == 0) return TGroupStyle::Wire;
  return TGroupStyle::Faces;
}

void TSceneGeometry::Build(const TMultiObjData& live, TStackCommand* overlay,
                           bool vertexPointsShown, bool outlines) {
  Vertices.clear();
  WeightColours.clear();
  Indices.clear();
  Points.clear();
  Groups.clear();
  Meshes.clear();
  Lines.clear();
  LineBatches.clear();
  pointVertices_.clear();
  BuiltWhileTracking = false;
  BuiltOutlines = outlines;
  Reserve(live, vertexPointsShown, outlines);
  live_ = &live;
  pointsShown_ = vertexPointsShown;
  live.Render(*this);
  if (overlay) overlay->DrawOverlay(*this);
  live_ = nullptr;
}

void TSceneGeometry::Reserve(const TMultiObjData& live, bool vertexPointsShown, bool outlines) {
  // Enough for every face of every group: a polygon of n corners draws at most n corners,
  // 3 (n - 2) triangle indices and n + 1 outline indices; a box 24 corners and 30 indices. The
  // arrays are allocated once at that size and then filled in place, build after build; what
  // shared corners leave unused is never touched.
  std::size_t corners = 0, faces = 0, groups = 0, points = 0;
  for (std::int32_t i = 0; i < live.MeshCount(); ++i) {
    const TObjData& mesh = *live.Mesh(i);
    corners += mesh.Faces.AllCorners().size();
    faces += static_cast<std::size_t>(mesh.Faces.Count());
    groups += static_cast<std::size_t>(mesh.Groups.Count());
    if (vertexPointsShown) points += static_cast<std::size_t>(mesh.Vertices.Count());
  }
  ReserveHuge(Vertices, corners + 24 * groups);
  const std::size_t polygonIndices = outlines ? 4 * corners - std::min(4 * corners, 5 * faces)
                                              : 3 * corners - std::min(3 * corners, 6 * faces);
  ReserveHuge(Indices, polygonIndices + 30 * groups);
  ReserveHuge(Points, points);
  ReserveHuge(pointVertices_, points);
  Groups.reserve(groups);
}

std::int32_t TSceneGeometry::MeshIndex(const TObjData& mesh) const {
  for (std::int32_t i = 0; live_ && i < live_->MeshCount(); ++i)
    if (live_->Mesh(i) == &mesh) return i;
  return -1;
}

void TSceneGeometry::DrawMesh(const TObjData& mesh) {
  TMeshDraw draw;
  draw.Mesh = MeshIndex(mesh);
  draw.FirstGroup = static_cast<std::uint32_t>(Groups.size());
  BuiltWhileTracking = BuiltWhileTracking || mesh.TrackingActive;
  VertexNormals(mesh);
  materialColours_.clear();
  if (mesh.ColourMode == 2)
    mesh.Materials.ForEach([&](const TMaterial& m) {
      SetColour(materialColours_.emplace_back().data(), m.ColorVector);
    });
  mesh.Groups.ForEach([&](const TGroup& g) { AddGroup(mesh, draw.Mesh, g); });
  draw.GroupCount = static_cast<std::uint32_t>(Groups.size()) - draw.FirstGroup;
  Meshes.push_back(draw);
}

void TSceneGeometry::VertexNormals(const TObjData& mesh) {
  // Normals follow the shaped surface as it is now, so that moved parts and dialled morphs are
  // lit as they look. Each vertex takes the sum of the unit normals of every face that uses it,
  // shown or not, so that the shading of a seam neither breaks between groups nor changes
  // with the side view. A vertex whose sum is 0 has no normal of its own.
  const auto count = static_cast<std::size_t>(mesh.Vertices.Count());
  ReserveHuge(normalSums_, count * 3);
  normalSums_.assign(count * 3, 0.0f);
  mesh.Groups.ForEach([&](const TGroup& group) {
    for (const std::int32_t fi : group.Faces) {
      const auto corners = mesh.Faces.Corners(mesh.Faces[fi]);
      const TBaseVertex n = PolygonNormal(mesh, group, corners);
      const double l = std::sqrt(n.X * n.X + n.Y * n.Y + n.Z * n.Z);
      if (l <= 0) continue;
      for (const TFaceVert& c : corners) {
        float* out = &normalSums_[static_cast<std::size_t>(c.VertexIndex) * 3];
        out[0] += static_cast<float>(n.X / l);
        out[1] += static_cast<float>(n.Y / l);
        out[2] += static_cast<float>(n.Z / l);
      }
    }
  });
}

std::uint32_t TSceneGeometry::AddCorner(const TDrawVertex& v, std::int32_t groupVertex,
                                        std::int32_t vertexNormal) {
  TShared* slot = groupVertex >= 0 && static_cast<std::size_t>(groupVertex) < shared_.size()
                      ? &shared_[static_cast<std::size_t>(groupVertex)]
                      : nullptr;
  if (slot && slot->Entry != kRestartIndex &&
      std::memcmp(&Vertices[slot->Entry], &v, sizeof(TDrawVertex)) == 0)
    return slot->Entry;
  const auto index = static_cast<std::uint32_t>(Vertices.size());
  Vertices.push_back(v);
  if (slot) *slot = {index, vertexNormal};
  return index;
}

void TSceneGeometry::AddGroup(const TObjData& mesh, std::int32_t meshIndex, const TGroup& group) {
  TGroupDraw draw;
  draw.Mesh = meshIndex;
  draw.Group = mesh.Groups.IndexOf(&group);
  polygonSizes_.clear();
  cornerIndices_.clear();
  shared_.assign(static_cast<std::size_t>(group.Vertices.Count()), TShared{});

  const std::uint8_t colourMode = mesh.ColourMode;
  const bool perCorner = colourMode < 1 || colourMode > 3;
  std::uint8_t groupColour[4], selected[4], unselected[4], none[4];
  SetColour(groupColour, group.ColorVector);
  SetColour(selected, kSelectedFace);
  SetColour(unselected, kUnselectedFace);
  SetColour(none, TColorVector{});
  bool anyShown = false;
  for (const std::int32_t fi : group.Faces) {
    const TObjFace& face = mesh.Faces[fi];
    const auto corners = mesh.Faces.Corners(face);
    if (!face.Shown || corners.size() < 3) continue;
    anyShown = true;

    const std::uint8_t* faceColour = none;  // colour mode 0: each corner its vertex's colour
    if (colourMode == 1) {
      faceColour = groupColour;
    } else if (colourMode == 2) {
      const std::int32_t m = face.MaterialIndex;
      if (m >= 0 && static_cast<std::size_t>(m) < materialColours_.size())
        faceColour = materialColours_[static_cast<std::size_t>(m)].data();
    } else if (colourMode == 3) {
      faceColour = face.Selected ? selected : unselected;
    }

    for (const TFaceVert& c : corners) {
      TDrawVertex v;
      if (perCorner)
        SetColour(v.Colour, mesh.CornerVertex(c).Colour);
      else
        std::copy(faceColour, faceColour + 4, v.Colour);
      const float* n = &normalSums_[static_cast<std::size_t>(c.VertexIndex) * 3];
      const bool own = n[0] != 0 || n[1] != 0 || n[2] != 0;
      const std::int32_t groupVertex =
          c.GroupVertexIndex < group.Vertices.Count() ? c.GroupVertexIndex : -1;
      // The entry made for this group vertex with this vertex's normal sits at the same
      // position with the same normal: only the colour can differ.
      if (own && groupVertex >= 0) {
        const TShared& slot = shared_[static_cast<std::size_t>(groupVertex)];
        if (slot.Entry != kRestartIndex && slot.VertexNormal == c.VertexIndex &&
            std::memcmp(Vertices[slot.Entry].Colour, v.Colour, 4) == 0) {
          cornerIndices_.push_back(slot.Entry);
          continue;
        }
      }
      const TBaseVertex& p = CornerPosition(mesh, group, c);
      v.Position[0] = static_cast<float>(p.X);
      v.Position[1] = static_cast<float>(p.Y);
      v.Position[2] = static_cast<float>(p.Z);
      if (own) {
        SetNormal(v.Normal, n[0], n[1], n[2]);
      } else {
        // Where the faces around a vertex cancel out, the polygon's own normal.
        const TBaseVertex fn = PolygonNormal(mesh, group, corners);
        SetNormal(v.Normal, fn.X, fn.Y, fn.Z);
      }
      cornerIndices_.push_back(AddCorner(v, groupVertex, own ? c.VertexIndex : -1));
    }
    polygonSizes_.push_back(static_cast<std::uint32_t>(corners.size()));
  }
  AddIndices(draw);
  // A group with nothing shown has no box either: hidden parts stay hidden while the camera
  // moves.
  draw.Box.First = static_cast<std::uint32_t>(Indices.size());
  if (anyShown) AddBox(group);
  draw.Box.Count = static_cast<std::uint32_t>(Indices.size()) - draw.Box.First;
  Groups.push_back(draw);
}

void TSceneGeometry::AddIndices(TGroupDraw& draw) {
  // Filled faces go as triangle fans, which software renderers draw far faster than polygons;
  // lines need the polygons themselves, so that no fan diagonal shows.
  draw.Faces.First = static_cast<std::uint32_t>(Indices.size());
  const std::uint32_t* corner = cornerIndices_.data();
  for (const std::uint32_t n : polygonSizes_) {
    for (std::uint32_t k = 1; k + 1 < n; ++k) {
      Indices.push_back(corner[0]);
      Indices.push_back(corner[k]);
      Indices.push_back(corner[k + 1]);
    }
    corner += n;
  }
  draw.Faces.Count = static_cast<std::uint32_t>(Indices.size()) - draw.Faces.First;
  draw.Outlines.First = static_cast<std::uint32_t>(Indices.size());
  corner = cornerIndices_.data();
  for (const std::uint32_t n :
       BuiltOutlines ? std::span(polygonSizes_) : std::span<std::uint32_t>()) {
    Indices.insert(Indices.end(), corner, corner + n);
    Indices.push_back(kRestartIndex);
    corner += n;
  }
  draw.Outlines.Count = static_cast<std::uint32_t>(Indices.size()) - draw.Outlines.First;
}

void TSceneGeometry::AddBox(const TGroup& group) {
  const TBaseVertex& lo = group.BoxMin;
  const TBaseVertex& hi = group.BoxMax;
  if (lo.X > hi.X || lo.Y > hi.Y || lo.Z > hi.Z) return;
  const float x[2] = {static_cast<float>(lo.X), static_cast<float>(hi.X)};
  const float y[2] = {static_cast<float>(lo.Y), static_cast<float>(hi.Y)};
  const float z[2] = {static_cast<float>(lo.Z), static_cast<float>(hi.Z)};
  // Six quads, counter-clockwise seen from outside: corners as (x, y, z) bit triples.
  struct TQuad {
    int Corner[4];
    double N[3];
  };
  static constexpr TQuad kQuads[6] = {
      {{0b000, 0b001, 0b011, 0b010}, {-1, 0, 0}}, {{0b100, 0b110, 0b111, 0b101}, {1, 0, 0}},
      {{0b000, 0b100, 0b101, 0b001}, {0, -1, 0}}, {{0b010, 0b011, 0b111, 0b110}, {0, 1, 0}},
      {{0b000, 0b010, 0b110, 0b100}, {0, 0, -1}}, {{0b001, 0b101, 0b111, 0b011}, {0, 0, 1}},
  };
  for (const TQuad& q : kQuads) {
    for (const int c : q.Corner) {
      TDrawVertex v;
      v.Position[0] = x[(c >> 2) & 1];
      v.Position[1] = y[(c >> 1) & 1];
      v.Position[2] = z[c & 1];
      SetNormal(v.Normal, q.N[0], q.N[1], q.N[2]);
      SetColour(v.Colour, group.ColorVector);
      Indices.push_back(static_cast<std::uint32_t>(Vertices.size()));
      Vertices.push_back(v);
    }
    Indices.push_back(kRestartIndex);
  }
}

void TSceneGeometry::BuildWeightColours(const TMultiObjData& live) {
  // Every entry starts in its own colour, which the boxes keep; the corners of the faces, found
  // again through the triangles in the order they were added, take their vertex's weight.
  WeightColours.resize(Vertices.size() * 4);
  for (std::size_t i = 0; i < Vertices.size(); ++i)
    std::copy(Vertices[i].Colour, Vertices[i].Colour + 4, &WeightColours[i * 4]);
  for (const TGroupDraw& draw : Groups) {
    const TObjData* mesh = live.Mesh(draw.Mesh);
    const TGroup* group = mesh ? mesh->Group(draw.Group) : nullptr;
    if (!group) continue;
    std::size_t at = draw.Faces.First;
    const std::size_t end = std::size_t{draw.Faces.First} + draw.Faces.Count;
    for (const std::int32_t fi : group->Faces) {
      const TObjFace& face = mesh->Faces[fi];
      const auto corners = mesh->Faces.Corners(face);
      const std::size_t n = corners.size();
      if (!face.Shown || n < 3) continue;
      if (at + 3 * (n - 2) > end || end > Indices.size()) break;
      // The fan of a polygon: triangle k is corners 0, k + 1 and k + 2.
      const std::uint32_t* fan = &Indices[at];
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t index = i == 0      ? fan[0]
                                    : i + 1 < n ? fan[3 * (i - 1) + 1]
                                                : fan[3 * (n - 3) + 2];
        if (index >= Vertices.size()) continue;
        const TObjVertex& vertex = mesh->CornerVertex(corners[i]);
        WeightColour(Vertices[index].Colour, vertex.Selected ? 1.0f : vertex.SoftWeight,
                     &WeightColours[static_cast<std::size_t>(index) * 4]);
      }
      at += 3 * (n - 2);
    }
  }
}

void TSceneGeometry::DrawVertexPoints(const TObjData& mesh) {
  const std::int32_t meshIndex = MeshIndex(mesh);
  TMeshDraw* draw = nullptr;
  for (TMeshDraw& m : Meshes)
    if (m.Mesh == meshIndex) draw = &m;
  const auto first = static_cast<std::uint32_t>(Points.size());
  for (std::int32_t i = 0; i < mesh.Vertices.Count(); ++i) {
    const TObjVertex& v = mesh.Vertices[i];
    if (!v.Shown || !v.Editable) continue;
    const TBaseVertex& at = v.ShapedLink ? *v.ShapedLink : static_cast<const TBaseVertex&>(v);
    TPointInstance p;
    p.Centre[0] = static_cast<float>(at.X);
    p.Centre[1] = static_cast<float>(at.Y);
    p.Centre[2] = static_cast<float>(at.Z);
    if (v.Highlight)
      SetColour(p.Colour, kHighlightVertex);
    else if (v.Anchor)
      SetColour(p.Colour, kAnchorVertex);
    else
      SetColour(p.Colour, v.Colour);
    Points.push_back(p);
    pointVertices_.push_back({meshIndex, i});
  }
  if (draw) {
    draw->FirstPoint = first;
    draw->PointCount = static_cast<std::uint32_t>(Points.size()) - first;
  }
}

void TSceneGeometry::DrawLines(std::span<const TOverlaySegment> segments, const TLineStyle& style) {
  TLineBatch batch;
  batch.Style = style;
  batch.First = static_cast<std::uint32_t>(Lines.size());
  for (const TOverlaySegment& s : segments) {
    const float colour[3] = {s.Colour.R, s.Colour.G, s.Colour.B};
    const float start[3] = {s.From.X, s.From.Y, s.From.Z};
    for (const TPoint3& p : {s.From, s.To}) {
      TLineVertex v;
      v.Position[0] = p.X;
      v.Position[1] = p.Y;
      v.Position[2] = p.Z;
      std::copy(colour, colour + 3, v.Colour);
      std::copy(start, start + 3, v.Start);
      Lines.push_back(v);
    }
  }
  batch.Count = static_cast<std::uint32_t>(Lines.size()) - batch.First;
  if (batch.Count > 0) LineBatches.push_back(batch);
}

TMeshPos TSceneGeometry::PointVertex(std::uint32_t id) const {
  if (id == 0 || id > pointVertices_.size()) return {};
  return pointVertices_[id - 1];
}

TMeshPos TSceneGeometry::GroupOf(std::uint32_t id) const {
  if (id == 0 || id > Groups.size()) return {};
  return {Groups[id - 1].Mesh, Groups[id - 1].Group};
}

void WeightColour(const std::uint8_t base[4], float weight, std::uint8_t out[4]) {
  const float w = std::clamp(weight, 0.0f, 1.0f);
  const std::uint8_t end[3] = {kFullWeight.R, kFullWeight.G, kFullWeight.B};
  for (int i = 0; i < 3; ++i)
    out[i] = static_cast<std::uint8_t>(std::lround(base[i] + (end[i] - base[i]) * w));
  out[3] = base[3];
}

void EncodeId(std::uint32_t id, std::uint8_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(id >> (8 * i));
}

std::uint32_t DecodeId(const std::uint8_t in[4]) {
  std::uint32_t id = 0;
  for (int i = 0; i < 4; ++i) id |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return id;
}

std::uint32_t NearestToCentre(std::span<const std::uint32_t> ids, std::span<const float> depths,
                              int side) {
  std::uint32_t best = 0;
  int bestDistance = 0;
  float bestDepth = 0;
  const int centre = side / 2;
  for (std::size_t i = 0; i < ids.size() && i < depths.size(); ++i) {
    if (ids[i] == 0) continue;
    const int dx = static_cast<int>(i) % side - centre;
    const int dy = static_cast<int>(i) / side - centre;
    const int distance = dx * dx + dy * dy;
    if (best == 0 || distance < bestDistance ||
        (distance == bestDistance && depths[i] < bestDepth)) {
      best = ids[i];
      bestDistance = distance;
      bestDepth = depths[i];
    }
  }
  return best;
}

std::uint32_t NearestId(std::span<const std::uint32_t> ids, std::span<const float> depths) {
  std::uint32_t best = 0;
  float bestDepth = 0;
  for (std::size_t i = 0; i < ids.size() && i < depths.size(); ++i) {
    if (ids[i] == 0) continue;
    if (best == 0 || depths[i] < bestDepth) {
      best = ids[i];
      bestDepth = depths[i];
    }
  }
  return best;
}

}  // namespace tarvel::view
