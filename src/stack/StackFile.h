// The stack file: one stack manager with its commands and each command's view, on an object
// stream. The meshes are never part of it; the commands find their objects again by name.
//
// Reading is strict: the file must hold exactly one stack manager of a registered target
// whose first command is the initial command, and nothing after it. Anything else raises
// EObjectStream (or ECollectionError) with a message that names the file and what is wrong,
// and nothing of the caller's work is touched: the result is built from new objects only.
#pragma once

#include <memory>
#include <string>

#include "mesh/ObjectStream.h"
#include "stack/StackMng.h"

namespace tarvel {

// The dialogs' texts for stack files.
namespace stackfile {
inline constexpr const char* kSaveTitle = "Save stack on file";
inline constexpr const char* kLoadTitle = "Load stack from file";
inline constexpr const char* kFilter = "Stack STK (*.stk)|*.stk";
inline constexpr const char* kExtension = ".stk";
}  // namespace stackfile

// Writes the stack as a stack file: through a temporary file beside `fileName` that replaces
// it only once everything was written, so a failed save leaves the old file as it was.
// `progress` (or none) shows one step per command written. Raises EObjectStream or EFileWrite.
void WriteStackFile(const std::string& fileName, const TStackMng& stack,
                    IProgress* progress = nullptr);

// Reads a stack file into a new stack manager whose Target is set and whose Pristine, Live
// and List are empty. `progress` (or none) shows one step per command read.
std::unique_ptr<TStackMng> ReadStackFile(const std::string& fileName,
                                         IProgress* progress = nullptr);

// The same from a stream positioned at the stack record's type id; fails when anything is left
// after it.
std::unique_ptr<TStackMng> ReadStack(TObjectStream& s);

// Reads one stack manager record (its type id first) and checks what a stack must be: a
// registered target, at least the initial command first, and views whose options are in range.
// Sets Target. Shared by stack and project files.
std::unique_ptr<TStackMng> GetStackRecord(TObjectStream& s);

// What is wrong with view options read from a file ("an unknown side"), or none when every
// option is one the window knows.
const char* WrongViewOption(const TViewOptions& options);

// Fails at the stream's position when bytes are left after the last object.
void CheckAtEnd(TObjectStream& s);

}  // namespace tarvel
