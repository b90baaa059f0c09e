// What each fuzz target does with one input. The libFuzzer entry points call these, and the
// test suite runs every input that once failed through them again. An input may be refused
// with the reader's exception; anything else that goes wrong (a crash, a sanitizer report, a
// broken invariant, which aborts) is a finding.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarvel::fuzz {

using TBytes = std::span<const std::uint8_t>;

// Any object, and a mesh in particular, from raw object-stream bytes.
void ObjectStream(TBytes data);
// A Poser OBJ file; a mesh that was read is stored, copied and walked.
void ObjReader(TBytes data);
// Poser target geometry, read and imported as a morph target of a group.
void TargetGeometry(TBytes data);
// A stack file: read, written again unchanged, loaded into a stack over the small figure,
// every line made current, merged, and its goal run.
void StackFile(TBytes data);
// A stack in its JSON form: read, and what was read written and read again unchanged.
void StackJson(TBytes data);
// A project file: read, written again unchanged, opened, every line made current, goal run.
void ProjectFile(TBytes data);

// The figure the stack and project targets load the stacks against (OBJ text).
const std::string& FuzzFigure();

// Writes the seed corpus of every target into folder/<target>/: valid files made by the
// program (figures, a morph target, stacks with commands of every kind, projects). Raises on
// failure.
void MakeSeeds(const std::string& folder);

}  // namespace tarvel::fuzz
