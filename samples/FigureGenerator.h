// Makes Poser-style figures: a torso chain (hip, abdomen, chest, neck, head), two arms
// (collar, shoulder, forearm, hand) and two legs (thigh, shin, foot), each part a band of a
// tube. Neighbouring parts share their seam rings, the figure is exactly mirror-symmetric about
// x = 0 with vertices on x = 0, it is about 0.7 units tall, and every vertex has a texture
// coordinate. Lines end with CR LF.
#pragma once

#include <cstdint>
#include <string>

namespace tarvel::samples {

struct TFigureShape {
  int Segments = 16;     // vertices around each ring; a multiple of 4
  int RingsPerPart = 3;  // ring intervals per body part
  double Scale = 1;      // every coordinate times this (texture coordinates stay)
};

// The shape of the bundled sample figure, samples/figure.obj.
inline TFigureShape SampleShape() { return {24, 4}; }
// The shape whose vertex count comes closest to `vertices` from above.
TFigureShape ShapeForVertexCount(std::int64_t vertices);
// The number of vertices a shape makes.
std::int64_t VertexCount(const TFigureShape& shape);

// The height (y extent) of the figure a shape makes.
double FigureHeight(const TFigureShape& shape);

// The whole OBJ text.
std::string GenerateFigure(const TFigureShape& shape);
// Writes it to a file; throws std::runtime_error on failure.
void WriteFigure(const TFigureShape& shape, const std::string& fileName);

}  // namespace tarvel::samples
