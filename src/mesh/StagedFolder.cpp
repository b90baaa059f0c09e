#include "mesh/StagedFolder.h"

#include "mesh/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace tarvel {

namespace fs = std::filesystem;

TStagedFolder::TStagedFolder(const fs::path& parent, const std::string& hint) : parent_(parent) {
  fs::create_directories(parent_);
  const std::string stem = platform::NameOf(parent_ / ("." + hint + ".part-"));
  std::string name;
  if (!platform::MakeUniqueFolder(stem, name))
    throw fs::filesystem_error("cannot make a temporary folder", platform::PathOf(stem),
                               std::error_code(errno, std::generic_category()));
  temp_ = platform::PathOf(name);
}

TStagedFolder::~TStagedFolder() {
  std::error_code ec;
  fs::remove_all(temp_, ec);
}

void TStagedFolder::MoveOut(const std::string& entry) {
  const fs::path from = temp_ / entry;
  const fs::path to = parent_ / entry;
  // What was there moves into the temporary folder, which goes at the end; a folder cannot
  // be renamed over a folder that is not empty.
  const fs::path old = temp_ / (".replaced-" + std::to_string(++replaced_));
  std::error_code ec;
  const bool existed = fs::symlink_status(to, ec).type() != fs::file_type::not_found && !ec;
  if (existed) fs::rename(to, old);
  try {
    fs::rename(from, to);
  } catch (...) {
    if (existed) fs::rename(old, to, ec);
    throw;
  }
}

}  // namespace tarvel
