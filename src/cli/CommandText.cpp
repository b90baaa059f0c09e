#include "cli/CommandText.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "stack/CommandFields.h"

namespace tarvel::cli {

namespace {

std::string Number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.7g", v);
  return buf;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The listing shows the objects a command looks for by name and the amounts it works with, so
// every kind's parameters appear without a list to keep up. It leaves to the JSON form what
// only finds the objects again fast (indices, Ids other than the start vertex's) and the
// caption formats.
bool Listed(std::string_view key) {
  auto ends = [&](std::string_view tail) {
    return key.size() >= tail.size() && key.substr(key.size() - tail.size()) == tail;
  };
  if (key == "vertex-id") return true;
  return !ends("-index") && !ends("-id") && !ends("caption-format") && key != "caption-text" &&
         key.substr(0, 5) != "base-";
}

// Writes the listed keys as "name=value" pairs.
class TListing : public ICommandFields {
 public:
  bool Reading() const override { return false; }
  void Field(const char* key, std::int32_t& v) override { Add(key, std::to_string(v)); }
  void Field(const char* key, float& v) override { Add(key, Number(v)); }
  void Field(const char* key, double& v) override { Add(key, Number(v)); }
  void Field(const char* key, bool& v) override { Add(key, v ? "yes" : "no"); }
  void Field(const char* key, std::string& v) override { Add(key, Quoted(v)); }
  void Vector(const char* key, float& x, float& y, float& z) override {
    Add(key, Number(x) + "," + Number(y) + "," + Number(z));
  }
  void Choice(const char* key, std::int32_t& v, std::span<const char* const> names) override {
    const bool named = v >= 0 && static_cast<std::size_t>(v) < names.size();
    Add(key, named ? std::string(names[static_cast<std::size_t>(v)]) : std::to_string(v));
  }
  std::string Text;

 private:
  void Add(const char* key, const std::string& value) {
    if (!Listed(key)) return;
    if (!Text.empty()) Text += ' ';
    Text += std::string(key) + "=" + value;
  }
};

}  // namespace

std::string StoredParameters(const TStackCommand& c) {
  // The walk only looks at the fields.
  TListing listing;
  const_cast<TStackCommand&>(c).Fields(listing);
  return listing.Text;
}

std::string SafeFileName(const std::string& name) {
  std::string out;
  for (const char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool refused = c < 32 || c == 127 || ch == '/' || ch == '\\' || ch == ':' || ch == '*' ||
                         ch == '?' || ch == '"' || ch == '<' || ch == '>' || ch == '|';
    out += refused ? '_' : ch;
  }
  if (out.empty() || out == "." || out == "..") return std::string(1, '_');
  return out;
}

std::string UniqueName(std::set<std::string>& used, const std::string& base) {
  std::string name = base;
  for (int k = 2; used.count(name); ++k) name = base + "-" + std::to_string(k);
  used.insert(name);
  return name;
}

}  // namespace tarvel::cli
