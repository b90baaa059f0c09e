// Writes the seed corpus of every fuzz target: fuzz_make_seeds FOLDER
#include <cstdio>
#include <exception>

#include "FuzzBodies.h"
#include "commands/Kinds.h"

int main(int argc, char** argv) {
  tarvel::AssembleCore();
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds FOLDER\n");
    return 2;
  }
  try {
    tarvel::fuzz::MakeSeeds(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fuzz_make_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
