// The JSON form of a stack: the same stack manager a stack file holds, as text for scripts,
// reviews and version control.
//
//   {"format": "tarvel-stack", "version": 1, "target": 1, "commands": [
//     {"kind": "select-group", "group": "lForeArm"},
//     {"kind": "translate", "offset": [0.25, -1.5, 3]}]}
//
// Every command is an object with its kind's name and the fields its kind walks (see
// ICommandFields), then its caption, display flags and view where they differ from what a new
// command starts with. A key left out takes that start value, so the writer leaves out what
// the reader would fill in anyway and binary -> JSON -> binary gives the same bytes. The
// initial command is implied unless it carries something of its own.
//
// Reading is as strict as for a stack file: anything wrong raises EStackJson with the file, the
// place of the offending value (`commands[3].offset[1]`, or a line and column for a syntax
// error) and what was expected; the result is built from new objects only.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "stack/StackMng.h"

namespace tarvel {

namespace stackjson {
inline constexpr const char* kFilter = "Stack as JSON (*.json)|*.json";
inline constexpr const char* kExtension = ".json";
inline constexpr const char* kFormat = "tarvel-stack";
inline constexpr int kVersion = 1;
// The line 0 of a stack, listed only when it carries something of its own.
inline constexpr const char* kInitialKind = "initial";
}  // namespace stackjson

class EStackJson : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The JSON text of the stack, ending with a line break. Raises EStackJson for a command whose
// kind has no name or that holds a number JSON cannot write (not finite).
std::string StackToJson(const TStackMng& stack);

// A new stack manager from JSON text, as ReadStackFile gives one: Target set; Pristine, Live
// and List empty; the commands not relinked yet. `source` names the text in messages.
std::unique_ptr<TStackMng> StackFromJson(std::string_view text, const std::string& source);

// The same with files. Writing goes through a temporary file that replaces `fileName` only
// once everything was written.
void WriteStackJson(const std::string& fileName, const TStackMng& stack,
                    IProgress* progress = nullptr);
std::unique_ptr<TStackMng> ReadStackJson(const std::string& fileName,
                                         IProgress* progress = nullptr);

// Text of the system (a path, a message) as JSON text: as it is when it is UTF-8, else taken as
// Latin-1. The JSON form of a stack takes every name and caption as Latin-1, as the window
// shows them, so that they come back as the same bytes.
std::string JsonText(std::string_view text);

// Whether a stack file name asks for the JSON form: it ends in ".json", in any case.
bool IsJsonStackFile(std::string_view fileName);

// Reads or writes the form the file name asks for: JSON for ".json", a stack file otherwise.
std::unique_ptr<TStackMng> ReadAnyStackFile(const std::string& fileName,
                                            IProgress* progress = nullptr);
void WriteAnyStackFile(const std::string& fileName, const TStackMng& stack,
                       IProgress* progress = nullptr);

}  // namespace tarvel
