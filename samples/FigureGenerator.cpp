#include "FigureGenerator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace tarvel::samples {

namespace {

struct TPart {
  const char* Group;
  const char* Material;
  double Radius;  // at the part's far end
};

// A chain of parts along a straight axis. Vertical chains run along y with rings in the xz
// plane; horizontal ones along x with rings in the yz plane.
struct TChain {
  bool Vertical;
  double CentreX, CentreY;  // fixed coordinates of the axis (x for vertical, y for horizontal)
  double From, To;          // along the axis
  double StartRadius;
  std::vector<TPart> Parts;
  bool CapStart;
  const char* StartCapMaterial;
  const char* EndCapMaterial;
  double StartPole, EndPole;  // axis positions of the cap poles
};

std::vector<TChain> Chains() {
  return {
      {true,
       0.0,
       0.0,
       0.34,
       0.665,
       0.055,
       {{"hip", "Torso", 0.07},
        {"abdomen", "Torso", 0.06},
        {"chest", "Torso", 0.075},
        {"neck", "Head", 0.025},
        {"head", "Head", 0.045}},
       true,
       "Torso",
       "Scalp",
       0.33,
       0.70},
      {false,
       0.06,
       0.585,
       0.06,
       0.35,
       0.03,
       {{"lCollar", "Arms", 0.028},
        {"lShldr", "Arms", 0.024},
        {"lForeArm", "Arms", 0.02},
        {"lHand", "Arms", 0.018}},
       false,
       "",
       "Nails",
       0.0,
       0.365},
      {true,
       0.05,
       0.0,
       0.34,
       0.01,
       0.045,
       {{"lThigh", "Legs", 0.035}, {"lShin", "Legs", 0.028}, {"lFoot", "Legs", 0.025}},
       false,
       "",
       "Nails",
       0.0,
       0.0},
  };
}

// Right-side parts are the left ones with "l" replaced by "r".
std::string SideName(const char* name, bool right) {
  std::string s = name;
  if (right && !s.empty() && s[0] == 'l') s[0] = 'r';
  return s;
}

class TWriter {
 public:
  void Text(std::string_view t) { out_.append(t); }
  void Number(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v == 0 ? 0.0 : v, std::chars_format::fixed, 6);
    out_.append(buf, r.ptr);
  }
  void Int(std::int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out_.append(buf, r.ptr);
  }
  void EndLine() { out_.append("\r\n"); }
  std::string& Out() { return out_; }

 private:
  std::string out_;
};

struct TBuilder {
  const TFigureShape& Shape;
  TWriter V;  // vertex and texture lines
  TWriter F;  // face lines
  std::int64_t Count = 0;
  double Low = 1e300, High = -1e300;  // the y extent of the vertices written
  std::vector<double> Sin, Cos;

  explicit TBuilder(const TFigureShape& shape) : Shape(shape) {
    const int n = shape.Segments;
    Sin.assign(static_cast<std::size_t>(n), 0);
    Cos.assign(static_cast<std::size_t>(n), 0);
    // Exact symmetry: sin is 0 at k = 0 and n/2, and the second half mirrors the first.
    for (int k = 0; k <= n / 2; ++k) {
      const double a = 2 * std::numbers::pi * k / n;
      Sin[static_cast<std::size_t>(k)] = (k == 0 || 2 * k == n) ? 0.0 : std::sin(a);
      Cos[static_cast<std::size_t>(k)] = std::cos(a);
    }
    for (int k = n / 2 + 1; k < n; ++k) {
      Sin[static_cast<std::size_t>(k)] = -Sin[static_cast<std::size_t>(n - k)];
      Cos[static_cast<std::size_t>(k)] = Cos[static_cast<std::size_t>(n - k)];
    }
  }

  std::int64_t Vertex(double x, double y, double z, double u, double v) {
    V.Text("v ");
    V.Number(x * Shape.Scale);
    V.Text(" ");
    V.Number(y * Shape.Scale);
    V.Text(" ");
    V.Number(z * Shape.Scale);
    Low = std::min(Low, y * Shape.Scale);
    High = std::max(High, y * Shape.Scale);
    V.EndLine();
    V.Text("vt ");
    V.Number(u);
    V.Text(" ");
    V.Number(v);
    V.EndLine();
    return ++Count;  // 1-based, and texture numbers match vertex numbers
  }

  void Face(std::initializer_list<std::int64_t> corners) {
    F.Text("f");
    for (std::int64_t c : corners) {
      F.Text(" ");
      F.Int(c);
      F.Text("/");
      F.Int(c);
    }
    F.EndLine();
  }

  void Use(const std::string& group, const char* material) {
    F.Text("g ");
    F.Text(group);
    F.EndLine();
    F.Text("usemtl ");
    F.Text(material);
    F.EndLine();
  }

  void Chain(const TChain& c, bool right) {
    const int n = Shape.Segments;
    const int per = Shape.RingsPerPart;
    const int rings = static_cast<int>(c.Parts.size()) * per + 1;
    const double mirror = right ? -1.0 : 1.0;
    auto point = [&](double along, double radius, int k, double& x, double& y, double& z) {
      const double s = Sin[static_cast<std::size_t>(k)] * radius;
      const double co = Cos[static_cast<std::size_t>(k)] * radius;
      if (c.Vertical) {
        x = c.CentreX + s;
        y = along;
        z = co;
      } else {
        x = along;
        y = c.CentreY + co;
        z = s;
      }
      x *= mirror;
    };
    std::vector<std::int64_t> first(static_cast<std::size_t>(rings));
    for (int i = 0; i < rings; ++i) {
      const double t = static_cast<double>(i) / (rings - 1);
      const double along = c.From + (c.To - c.From) * t;
      // The radius eases from one part's end radius to the next.
      const int part = std::min(i / per, static_cast<int>(c.Parts.size()) - 1);
      const double r0 =
          part == 0 ? c.StartRadius : c.Parts[static_cast<std::size_t>(part - 1)].Radius;
      const double r1 = c.Parts[static_cast<std::size_t>(part)].Radius;
      const double f = static_cast<double>(i - part * per) / per;
      const double radius = r0 + (r1 - r0) * f;
      for (int k = 0; k < n; ++k) {
        double x, y, z;
        point(along, radius, k, x, y, z);
        const std::int64_t id = Vertex(x, y, z, static_cast<double>(k) / n, t);
        if (k == 0) first[static_cast<std::size_t>(i)] = id;
      }
    }
    auto at = [&](int ring, int k) { return first[static_cast<std::size_t>(ring)] + (k % n); };
    std::int64_t startPole = 0, endPole = 0;
    auto pole = [&](double along) {
      double x = c.Vertical ? c.CentreX : along;
      const double y = c.Vertical ? along : c.CentreY;
      x *= mirror;
      return Vertex(x, y, 0.0, 0.5, along);
    };
    if (c.CapStart) startPole = pole(c.StartPole);
    endPole = pole(c.EndPole);
    // Keep faces facing outwards on both sides of the figure: mirroring a chain and running
    // it downwards each turn the winding of its rings round.
    const bool reversed = right != (c.To < c.From);

    for (std::size_t p = 0; p < c.Parts.size(); ++p) {
      const std::string group = SideName(c.Parts[p].Group, right);
      Use(group, c.Parts[p].Material);
      F.Text("s 1");
      F.EndLine();
      if (p == 0 && c.CapStart) {
        for (int k = 0; k < n; ++k)
          if (reversed)
            Face({startPole, at(0, k), at(0, k + 1)});
          else
            Face({startPole, at(0, k + 1), at(0, k)});
      }
      for (int i = static_cast<int>(p) * per; i < static_cast<int>(p + 1) * per; ++i)
        for (int k = 0; k < n; ++k)
          if (reversed)
            Face({at(i, k), at(i + 1, k), at(i + 1, k + 1), at(i, k + 1)});
          else
            Face({at(i, k), at(i, k + 1), at(i + 1, k + 1), at(i + 1, k)});
      if (p + 1 == c.Parts.size()) {
        Use(group, c.EndCapMaterial);
        F.Text("s off");
        F.EndLine();
        for (int k = 0; k < n; ++k)
          if (reversed)
            Face({at(rings - 1, k + 1), at(rings - 1, k), endPole});
          else
            Face({at(rings - 1, k), at(rings - 1, k + 1), endPole});
      }
    }
  }
};

}  // namespace

std::int64_t VertexCount(const TFigureShape& shape) {
  std::int64_t total = 0;
  for (const TChain& c : Chains()) {
    const std::int64_t rings = static_cast<std::int64_t>(c.Parts.size()) * shape.RingsPerPart + 1;
    const std::int64_t one = rings * shape.Segments + 1 + (c.CapStart ? 1 : 0);
    total += c.CentreX == 0.0 && c.Vertical ? one : 2 * one;
  }
  return total;
}

TFigureShape ShapeForVertexCount(std::int64_t vertices) {
  // Rings about as fine along the body as around it.
  TFigureShape shape;
  shape.Segments = 16;
  shape.RingsPerPart = 3;
  while (VertexCount(shape) < vertices) {
    if (shape.Segments < 8 * shape.RingsPerPart)
      shape.Segments += 4;
    else
      shape.RingsPerPart += 1;
  }
  return shape;
}

namespace {
void CheckShape(const TFigureShape& shape) {
  if (shape.Segments < 4 || shape.Segments % 4 != 0 || shape.RingsPerPart < 1)
    throw std::invalid_argument("figure shape: segments must be a multiple of 4, rings >= 1");
}
}  // namespace

double FigureHeight(const TFigureShape& shape) {
  CheckShape(shape);
  TBuilder b(shape);
  for (const TChain& c : Chains()) b.Chain(c, false);
  return b.High - b.Low;
}

std::string GenerateFigure(const TFigureShape& shape) {
  CheckShape(shape);
  TBuilder b(shape);
  b.V.Text("# Tarvel sample figure: ");
  b.V.Int(VertexCount(shape));
  b.V.Text(" vertices, made by samples/generate_figure");
  b.V.EndLine();
  b.V.Text("mtllib figure.mtl");
  b.V.EndLine();
  b.V.Text("o figure");
  b.V.EndLine();
  const std::vector<TChain> chains = Chains();
  for (const TChain& c : chains) {
    b.Chain(c, false);
    if (!(c.Vertical && c.CentreX == 0.0)) b.Chain(c, true);
  }
  std::string out = std::move(b.V.Out());
  out.append(b.F.Out());
  return out;
}

void WriteFigure(const TFigureShape& shape, const std::string& fileName) {
  const std::string text = GenerateFigure(shape);
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(fileName.c_str(), "wb"), &std::fclose);
  if (!f) throw std::runtime_error("cannot create " + fileName);
  if (std::fwrite(text.data(), 1, text.size(), f.get()) != text.size())
    throw std::runtime_error("cannot write " + fileName);
  if (std::fclose(f.release()) != 0) throw std::runtime_error("cannot write " + fileName);
}

}  // namespace tarvel::samples
