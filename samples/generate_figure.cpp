// Writes a Poser-style sample figure.
//   generate_figure OUT.obj                 the bundled sample figure
//   generate_figure OUT.obj --vertices N    a figure of at least N vertices
//   ... --height H                          the figure H units tall instead of about 0.7
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "FigureGenerator.h"

int main(int argc, char** argv) {
  tarvel::samples::TFigureShape shape = tarvel::samples::SampleShape();
  double height = 0;
  bool ok = argc >= 2 && argc % 2 == 0;
  for (int i = 2; ok && i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--vertices")
      shape = tarvel::samples::ShapeForVertexCount(std::atoll(argv[i + 1]));
    else if (option == "--height")
      ok = (height = std::atof(argv[i + 1])) > 0;
    else
      ok = false;
  }
  if (!ok) {
    std::fprintf(stderr, "usage: generate_figure OUT.obj [--vertices N] [--height H]\n");
    return 2;
  }
  try {
    if (height > 0) shape.Scale = height / tarvel::samples::FigureHeight(shape);
    tarvel::samples::WriteFigure(shape, argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "generate_figure: %s\n", e.what());
    return 1;
  }
  std::printf("%s: %lld vertices\n", argv[1],
              static_cast<long long>(tarvel::samples::VertexCount(shape)));
  return 0;
}
