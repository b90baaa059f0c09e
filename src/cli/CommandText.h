// A stack command as one line of text: its caption without markup and the parameters it
// stores.
#pragma once

#include <set>
#include <string>

#include "stack/StackCommand.h"

namespace tarvel::cli {

// "name=value" pairs separated by blanks; empty for kinds that store nothing of their own.
std::string StoredParameters(const TStackCommand& command);

// A name with the characters that file systems refuse replaced by "_"; "_" when empty.
std::string SafeFileName(const std::string& name);

// `base`, or `base` followed by "-2", "-3" ... when that is already in `used`; the result is
// added to `used`.
std::string UniqueName(std::set<std::string>& used, const std::string& base);

}  // namespace tarvel::cli
