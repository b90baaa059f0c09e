#include "TestSupport.h"

#include "commands/Kinds.h"
#include "mesh/Platform.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "TestPlatform.h"

namespace tarvel::test {

namespace {
// Every test program works with the whole program's classes and command kinds.
[[maybe_unused]] const bool kCoreAssembled = (AssembleCore(), true);
}  // namespace

TTempDir::TTempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("tarvel-test-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TTempDir::Write(const std::string& name, const std::string& text) const {
  // Names are UTF-8 (or, on Windows, 8-bit Latin-1) as the readers take them.
  const std::string file = platform::NameOf(path_ / platform::PathOf(name));
  std::ofstream out(platform::PathOf(file), std::ios::binary);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) throw std::runtime_error("cannot write " + file);
  return file;
}

std::vector<std::uint8_t> Hex(const std::string& text) {
  std::vector<std::uint8_t> out;
  std::string digits;
  for (char c : text)
    if (c != ' ' && c != '\n') digits += c;
  if (digits.size() % 2) throw std::invalid_argument("odd number of hex digits");
  for (std::size_t i = 0; i < digits.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02x ", b);
    out += buf;
  }
  return out;
}

}  // namespace tarvel::test
