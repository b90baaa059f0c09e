// Writes a Poser-style sample figure.
//   generate_figure OUT.obj                 the bundled sample figure
//   generate_figure OUT.obj --vertices N    a figure of at least N vertices
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "FigureGenerator.h"

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--vertices")) {
    std::fprintf(stderr, "usage: generate_figure OUT.obj [--vertices N]\n");
    return 2;
  }
  tarvel::samples::TFigureShape shape = tarvel::samples::SampleShape();
  if (argc == 4) shape = tarvel::samples::ShapeForVertexCount(std::atoll(argv[3]));
  try {
    tarvel::samples::WriteFigure(shape, argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "generate_figure: %s\n", e.what());
    return 1;
  }
  std::printf("%s: %lld vertices\n", argv[1],
              static_cast<long long>(tarvel::samples::VertexCount(shape)));
  return 0;
}
