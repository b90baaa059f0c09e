#include "stack/StackJson.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "mesh/SafeFile.h"
#include "stack/CommandFields.h"
#include "stack/SelectCommands.h"
#include "stack/StackFile.h"

namespace tarvel {

namespace {

using TJson = nlohmann::ordered_json;

// The most entries one list of a view may unfold into; a stack of any real figure stays far
// below, a hostile run length does not get to allocate gigabytes.
constexpr std::int64_t kMaxListEntries = std::int64_t{1} << 26;

// The name keys a command cannot do without: the objects it looks for.
bool IsRequiredName(std::string_view key) {
  return key == "group" || key == "material" || key == "target";
}

std::string Member(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string Element(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

const char* TypeName(const TJson& j) {
  switch (j.type()) {
    case TJson::value_t::object:
      return "an object";
    case TJson::value_t::array:
      return "an array";
    case TJson::value_t::string:
      return "a string";
    case TJson::value_t::boolean:
      return "a boolean";
    case TJson::value_t::null:
      return "null";
    case TJson::value_t::number_float:
      return "a number with a fraction";
    default:
      return "a whole number";
  }
}

// ---------------------------------------------------------------------------------------------
// Writing

bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n;
  }
  return true;
}

// 8-bit text (names, captions) as JSON text: every byte is the Latin-1 character of its value,
// as the window shows it; the reader turns the characters back into the same bytes.
std::string Latin1ToUtf8(std::string_view s) {
  std::string out;
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

[[noreturn]] void NotFinite(const std::string& path) {
  throw EStackJson(path + ": holds a value that is not a finite number, which JSON cannot write");
}

// A single in its shortest form that reads back to the same bits: a whole number as an
// integer, anything else as the double nearest to the single's shortest decimal, which the
// library writes with those same digits.
TJson SingleJson(float f, const std::string& path) {
  if (!std::isfinite(f)) NotFinite(path);
  if (f == std::trunc(f) && std::fabs(f) < 9.0e15f && !(f == 0 && std::signbit(f)))
    return TJson(static_cast<std::int64_t>(f));
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, f).ptr;
  double d = 0;
  std::from_chars(buf, end, d);
  return TJson(d);
}

TJson DoubleJson(double d, const std::string& path) {
  if (!std::isfinite(d)) NotFinite(path);
  if (d == std::trunc(d) && std::fabs(d) < 9.0e15 && !(d == 0 && std::signbit(d)))
    return TJson(static_cast<std::int64_t>(d));
  return TJson(d);
}

// Collects a command's fields as JSON values, in walking order.
class TJsonOut : public ICommandFields {
 public:
  explicit TJsonOut(std::string path) : path_(std::move(path)) {}
  bool Reading() const override { return false; }
  void Field(const char* key, std::int32_t& v) override { Object[key] = v; }
  void Field(const char* key, float& v) override {
    Object[key] = SingleJson(v, Member(path_, key));
  }
  void Field(const char* key, double& v) override {
    Object[key] = DoubleJson(v, Member(path_, key));
  }
  void Field(const char* key, bool& v) override { Object[key] = v; }
  void Field(const char* key, std::string& v) override { Object[key] = Latin1ToUtf8(v); }
  void Vector(const char* key, float& x, float& y, float& z) override {
    const std::string at = Member(path_, key);
    Object[key] = TJson::array({SingleJson(x, Element(at, 0)), SingleJson(y, Element(at, 1)),
                                SingleJson(z, Element(at, 2))});
  }
  void Choice(const char* key, std::int32_t& v, std::span<const char* const> names) override {
    if (v >= 0 && static_cast<std::size_t>(v) < names.size())
      Object[key] = names[static_cast<std::size_t>(v)];
    else
      Object[key] = v;
  }
  TJson Object = TJson::object();

 private:
  std::string path_;
};

TJson PointJson(const TPoint3& p, const std::string& path) {
  return TJson::array({SingleJson(p.X, Element(path, 0)), SingleJson(p.Y, Element(path, 1)),
                       SingleJson(p.Z, Element(path, 2))});
}

TJson ColourJson(const TColorVector& c, const std::string& path) {
  return TJson::array({SingleJson(c.R, Element(path, 0)), SingleJson(c.G, Element(path, 1)),
                       SingleJson(c.B, Element(path, 2)), SingleJson(c.A, Element(path, 3))});
}

// Vertex and face entries as runs [first Id, count, shown] of consecutive Ids.
template <class T>
TJson RunsJson(const TInfoList<T>& list) {
  TJson runs = TJson::array();
  for (std::int32_t i = 0; i < list.Count();) {
    const T& first = list[i];
    std::int32_t n = 1;
    while (i + n < list.Count() && list[i + n].Shown == first.Shown &&
           static_cast<std::int64_t>(list[i + n].Id) == std::int64_t{first.Id} + n)
      ++n;
    runs.push_back(TJson::array({first.Id, n, first.Shown}));
    i += n;
  }
  return runs;
}

template <class T>
void PutCapacity(TJson& j, const char* key, const TInfoList<T>& list) {
  if (list.Capacity() != GrownCapacity(list.InitialCapacity(), list.Count(), TCollection::kDelta))
    j[key] = list.Capacity();
}

TJson MeshViewJson(const TInfoObjData& m, const std::string& path) {
  TJson j;
  j["id"] = m.Id;
  if (m.Reserved) j["reserved"] = m.Reserved;
  j["visible"] = m.Visible;
  j["vertices"] = RunsJson(m.Vertices);
  PutCapacity(j, "vertices-capacity", m.Vertices);
  TJson groups = TJson::array();
  for (std::int32_t i = 0; i < m.Groups.Count(); ++i) {
    const TInfoGroup& g = m.Groups[i];
    TJson e = {{"id", g.Id}, {"visible", g.Visible}, {"expanded", g.Expanded}};
    TJson entries = TJson::array();
    for (const TInfoGMat& x : g.GroupMats)
      entries.push_back(TJson::array({x.Id, x.Visible, x.Expanded}));
    e["entries"] = entries;
    PutCapacity(e, "entries-capacity", g.GroupMats);
    e["colour"] = g.ColorValue;
    e["colour-vector"] = ColourJson(g.ColorVector, Element(path + ".groups", std::size_t(i)));
    groups.push_back(e);
  }
  j["groups"] = groups;
  PutCapacity(j, "groups-capacity", m.Groups);
  TJson materials = TJson::array();
  for (std::int32_t i = 0; i < m.Materials.Count(); ++i) {
    const TInfoMat& x = m.Materials[i];
    materials.push_back({{"id", x.Id},
                         {"visible", x.Visible},
                         {"expanded", x.Expanded},
                         {"colour", x.ColorValue},
                         {"colour-vector", ColourJson(x.ColorVector, Element(path + ".materials",
                                                                             std::size_t(i)))}});
  }
  j["materials"] = materials;
  PutCapacity(j, "materials-capacity", m.Materials);
  j["faces"] = RunsJson(m.Faces);
  PutCapacity(j, "faces-capacity", m.Faces);
  return j;
}

TJson ViewJson(const TStatusInfo& v, const std::string& path) {
  TJson j;
  if (v.Reserved) j["reserved"] = v.Reserved;
  const TViewOptions& o = v.Options;
  j["pick-mode"] = o.PickMode;
  j["camera-mode"] = o.CameraMode;
  j["tracking-mode"] = o.TrackingMode;
  j["colour-mode"] = o.ColourMode;
  j["display-mode"] = o.DisplayMode;
  j["face-culling"] = o.FaceCulling;
  j["back-face-mode"] = o.BackFaceMode;
  j["side"] = o.Side;
  j["camera"] = PointJson(v.CameraPosition, path + ".camera");
  j["light"] = PointJson(v.LightPosition, path + ".light");
  j["target"] = PointJson(v.TargetPosition, path + ".target");
  if (v.Objects && v.Objects->Count() > 0) {
    TJson meshes = TJson::array();
    std::size_t i = 0;
    v.Objects->ForEach([&](const TInfoObjData& m) {
      meshes.push_back(MeshViewJson(m, Element(path + ".meshes", i++)));
    });
    j["meshes"] = meshes;
  }
  // A snapshot taken by the program has room for exactly its meshes.
  if (v.Objects && v.Objects->Capacity() != v.Objects->Count())
    j["meshes-capacity"] = v.Objects->Capacity();
  return j;
}

// The kind of every command class the target offers, by stream id.
std::map<std::uint16_t, const TKindInfo*> KindsByStreamId(const TStackTarget& target) {
  std::map<std::uint16_t, const TKindInfo*> kinds;
  for (const auto& item : target.Commands) {
    const auto& d = static_cast<const TCommandDescriptor&>(*item);
    const TKindInfo* kind = target.FindKind(d.CommandId);
    if (auto c = kind && kind->Factory ? kind->Factory(nullptr) : nullptr)
      kinds.emplace(c->StreamId(), kind);
  }
  return kinds;
}

// The caption the reader gives a command whose "caption" is left out.
void BuildCaption(TStackCommand& c) {
  std::string named = c.NamedCaption();
  if (named.empty())
    c.UpdateCaption();
  else
    c.Caption = std::move(named);
}

void ReadFieldsInto(TStackCommand& c, const TJson& fields, const std::string& path,
                    const std::string& source);

TJson CommandJson(const TStackMng& stack, std::int32_t index,
                  const std::map<std::uint16_t, const TKindInfo*>& kinds) {
  TStackCommand& c = *stack.Command(index);
  const std::string path = Element("commands", static_cast<std::size_t>(index));
  TJson j;
  std::unique_ptr<TStackCommand> fresh;
  const bool initial = c.StreamId() == TSCInit::kStreamId;
  if (initial) {
    j["kind"] = stackjson::kInitialKind;
    fresh = std::make_unique<TSCInit>(nullptr);
  } else {
    const auto kind = kinds.find(c.StreamId());
    if (kind == kinds.end())
      throw EStackJson(path + ": a command of stream class " + std::to_string(c.StreamId()) +
                       ", a kind the JSON form has no name for");
    j["kind"] = kind->second->KindName;
    fresh = kind->second->Factory(nullptr);
  }
  TJsonOut now(path), start(path);
  c.Fields(now);
  fresh->Fields(start);
  TJson fields = TJson::object();
  for (auto& [key, value] : now.Object.items()) {
    const auto was = start.Object.find(key);
    if (IsRequiredName(key) || was == start.Object.end() || was->dump() != value.dump())
      fields[key] = value;
  }
  // The caption is left out when the reader would build the same one.
  std::string built;
  if (initial) {
    built = stack.Target ? stack.Target->Description : std::string();
  } else {
    ReadFieldsInto(*fresh, fields, path, path);
    BuildCaption(*fresh);
    built = fresh->Caption;
  }
  j.update(fields);
  if (c.Caption != built) j["caption"] = Latin1ToUtf8(c.Caption);
  if (c.DisplayFlags != fresh->DisplayFlags) j["display-flags"] = c.DisplayFlags;
  if (c.Reserved) j["reserved"] = c.Reserved;
  if (c.Reserved2) j["reserved2"] = c.Reserved2;
  if (c.StatusInfo) {
    TJson view = ViewJson(*c.StatusInfo, path + ".view");
    if (view.dump() != ViewJson(TStatusInfo(), path).dump()) j["view"] = std::move(view);
  }
  return j;
}

// The value on one line, with a blank after every comma and colon.
std::string Flat(const TJson& j) {
  if (!j.is_structured()) return j.dump(-1, ' ', false, TJson::error_handler_t::strict);
  std::string out = j.is_object() ? "{" : "[";
  bool first = true;
  for (auto it = j.begin(); it != j.end(); ++it) {
    if (!first) out += ", ";
    first = false;
    if (j.is_object()) out += TJson(it.key()).dump() + ": ";
    out += Flat(*it);
  }
  return out + (j.is_object() ? "}" : "]");
}

// One line for a value that fits, else one line per member or element.
void Layout(const TJson& j, std::string& out, int indent) {
  constexpr std::size_t kWidth = 100;
  const std::string flat = Flat(j);
  if (!j.is_structured() || j.empty() || flat.size() + static_cast<std::size_t>(indent) <= kWidth) {
    out += flat;
    return;
  }
  const std::string pad(static_cast<std::size_t>(indent + 2), ' ');
  out += j.is_object() ? "{\n" : "[\n";
  bool first = true;
  for (auto it = j.begin(); it != j.end(); ++it) {
    if (!first) out += ",\n";
    first = false;
    out += pad;
    if (j.is_object()) out += TJson(it.key()).dump() + ": ";
    Layout(*it, out, indent + 2);
  }
  out += "\n" + std::string(static_cast<std::size_t>(indent), ' ') + (j.is_object() ? "}" : "]");
}

// ---------------------------------------------------------------------------------------------
// Reading

[[noreturn]] void Fail(const std::string& source, const std::string& path,
                       const std::string& what) {
  throw EStackJson(source + ": " + (path.empty() ? "" : path + ": ") + what);
}

class TJsonIn : public ICommandFields {
 public:
  TJsonIn(const TJson& object, std::string path, const std::string& source, std::string what)
      : object_(object), path_(std::move(path)), source_(source), what_(std::move(what)) {
    if (!object_.is_object())
      Fail(source_, path_, "expected an object, found " + std::string(TypeName(object_)));
  }

  bool Reading() const override { return true; }
  void Field(const char* key, std::int32_t& v) override {
    if (const TJson* j = Take(key))
      v = Int(*j, At(key), std::numeric_limits<std::int32_t>::min(),
              std::numeric_limits<std::int32_t>::max());
  }
  void Field(const char* key, float& v) override {
    if (const TJson* j = Take(key)) v = Single(*j, At(key));
  }
  void Field(const char* key, double& v) override {
    if (const TJson* j = Take(key)) v = Double(*j, At(key));
  }
  void Field(const char* key, bool& v) override {
    if (const TJson* j = Take(key)) v = Bool(*j, At(key));
  }
  void Field(const char* key, std::string& v) override {
    const TJson* j = Take(key);
    if (!j && IsRequiredName(key))
      Fail(
          source_, path_,
          "a \"" + what_ + "\" command needs \"" + key + "\", the name of the object it looks for");
    if (j) v = String(*j, At(key));
  }
  void Vector(const char* key, float& x, float& y, float& z) override {
    const TJson* j = Take(key);
    if (!j) return;
    const TJson& a = Array(*j, At(key), 3);
    x = Single(a[0], Element(At(key), 0));
    y = Single(a[1], Element(At(key), 1));
    z = Single(a[2], Element(At(key), 2));
  }
  void Choice(const char* key, std::int32_t& v, std::span<const char* const> names) override {
    if (const TJson* j = Take(key))
      v = ChoiceOf(*j, At(key), names, std::numeric_limits<std::int32_t>::min(),
                   std::numeric_limits<std::int32_t>::max());
  }
  void Choice(const char* key, std::uint8_t& v, std::span<const char* const> names) override {
    if (const TJson* j = Take(key))
      v = static_cast<std::uint8_t>(ChoiceOf(*j, At(key), names, 0, 255));
  }

  const TJson* Take(std::string_view key) {
    const auto it = object_.find(key);
    if (it == object_.end()) return nullptr;
    used_.insert(std::string(key));
    return &*it;
  }
  std::string At(std::string_view key) const { return Member(path_, key); }
  const std::string& Path() const { return path_; }

  // Refuses keys that nothing asked for, so that a misspelt key is not silently dropped.
  void CheckAllUsed() const {
    for (auto it = object_.begin(); it != object_.end(); ++it)
      if (!used_.count(it.key()))
        Fail(source_, At(it.key()), "not a key of " + Article(what_) + " \"" + what_ + "\"");
  }

  std::int64_t Int(const TJson& j, const std::string& at, std::int64_t lo, std::int64_t hi) const {
    if (!j.is_number_integer())
      Fail(source_, at, "expected a whole number, found " + std::string(TypeName(j)));
    if (j.is_number_unsigned() ? j.get<std::uint64_t>() > static_cast<std::uint64_t>(hi)
                               : j.get<std::int64_t>() < lo || j.get<std::int64_t>() > hi)
      Fail(source_, at,
           j.dump() + " is outside what the field can hold (" + std::to_string(lo) + " to " +
               std::to_string(hi) + ")");
    return j.get<std::int64_t>();
  }
  float Single(const TJson& j, const std::string& at) const {
    const double d = Double(j, at);
    // Up to half a step beyond the largest single still rounds to it.
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (std::fabs(d) >= 0x1.ffffffp127)
      Fail(source_, at, j.dump() + " is outside what a single can hold");
    if (std::fabs(d) > kLargest) return static_cast<float>(std::copysign(kLargest, d));
    return static_cast<float>(d);
  }
  double Double(const TJson& j, const std::string& at) const {
    if (!j.is_number()) Fail(source_, at, "expected a number, found " + std::string(TypeName(j)));
    const double d = j.get<double>();
    if (!std::isfinite(d)) Fail(source_, at, "expected a finite number");
    return d;
  }
  bool Bool(const TJson& j, const std::string& at) const {
    if (!j.is_boolean())
      Fail(source_, at, "expected true or false, found " + std::string(TypeName(j)));
    return j.get<bool>();
  }
  std::string String(const TJson& j, const std::string& at) const {
    if (!j.is_string()) Fail(source_, at, "expected a string, found " + std::string(TypeName(j)));
    // The parser has checked the UTF-8; each character becomes one byte.
    const auto& s = j.get_ref<const std::string&>();
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const auto c = static_cast<unsigned char>(s[i]);
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if ((c == 0xC2 || c == 0xC3) && i + 1 < s.size()) {
        out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(s[++i]) & 0x3F));
      } else {
        Fail(source_, at,
             "a character beyond Latin-1 in " + j.dump() + ": names and captions are 8-bit text");
      }
    }
    if (out.size() > 0xFFFF) Fail(source_, at, "a text longer than 65535 bytes");
    return out;
  }
  const TJson& Array(const TJson& j, const std::string& at, std::size_t size = 0) const {
    if (!j.is_array()) Fail(source_, at, "expected an array, found " + std::string(TypeName(j)));
    if (size && j.size() != size)
      Fail(source_, at,
           "expected an array of " + std::to_string(size) + " values, found " +
               std::to_string(j.size()));
    return j;
  }
  std::int32_t ChoiceOf(const TJson& j, const std::string& at, std::span<const char* const> names,
                        std::int64_t lo, std::int64_t hi) const {
    if (j.is_string()) {
      for (std::size_t i = 0; i < names.size(); ++i)
        if (j.get_ref<const std::string&>() == names[i]) return static_cast<std::int32_t>(i);
    } else if (j.is_number_integer()) {
      return static_cast<std::int32_t>(Int(j, at, lo, hi));
    }
    std::string expected;
    for (std::size_t i = 0; i < names.size(); ++i)
      expected +=
          std::string(i ? (i + 1 == names.size() ? " or " : ", ") : "") + "\"" + names[i] + "\"";
    Fail(source_, at,
         "expected " + expected + ", found " + (j.is_structured() ? TypeName(j) : j.dump()));
  }
  const std::string& Source() const { return source_; }

 private:
  static std::string Article(const std::string& word) {
    return word.find_first_of("aeiou") == 0 ? "an" : "a";
  }

  const TJson& object_;
  std::string path_;
  const std::string& source_;
  std::string what_;
  std::set<std::string> used_;
};

void ReadFieldsInto(TStackCommand& c, const TJson& fields, const std::string& path,
                    const std::string& source) {
  TJsonIn in(fields, path, source, "command");
  c.Fields(in);
}

TPoint3 ReadPoint(TJsonIn& in, const char* key) {
  TPoint3 p;
  in.Vector(key, p.X, p.Y, p.Z);
  return p;
}

void ReadColour(TJsonIn& in, std::int32_t& value, TColorVector& c) {
  in.Field("colour", value);
  if (const TJson* v = in.Take("colour-vector")) {
    const std::string at = in.At("colour-vector");
    const TJson& a = in.Array(*v, at, 4);
    c = {in.Single(a[0], Element(at, 0)), in.Single(a[1], Element(at, 1)),
         in.Single(a[2], Element(at, 2)), in.Single(a[3], Element(at, 3))};
  }
}

template <class T>
void ReadCapacity(TJsonIn& in, const char* key, TInfoList<T>& list) {
  std::int32_t capacity = -1;
  in.Field(key, capacity);
  if (in.Take(key)) {
    if (capacity < 0) Fail(in.Source(), in.At(key), "a capacity cannot be negative");
    list.SetCapacity(capacity);
  }
}

// Appends an entry, refusing Ids that do not ascend: the stored lists are kept in Id order.
template <class T>
void Append(TInfoList<T>& list, const T& item, const TJsonIn& in, const std::string& at) {
  if (list.Count() > 0 && list[list.Count() - 1].Id >= item.Id)
    Fail(in.Source(), at, "the Ids of a view's list must ascend");
  list.Insert(item);
}

template <class T>
void ReadRuns(TJsonIn& in, const char* key, TInfoList<T>& list) {
  const TJson* j = in.Take(key);
  if (!j) return;
  const std::string at = in.At(key);
  const TJson& runs = in.Array(*j, at);
  std::int64_t total = 0;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const std::string rat = Element(at, r);
    const TJson& run = in.Array(runs[r], rat, 3);
    const std::int64_t first =
        in.Int(run[0], Element(rat, 0), std::numeric_limits<std::int32_t>::min(),
               std::numeric_limits<std::int32_t>::max());
    const std::int64_t count =
        in.Int(run[1], Element(rat, 1), 1, std::numeric_limits<std::int32_t>::max());
    const bool shown = in.Bool(run[2], Element(rat, 2));
    total += count;
    if (total > kMaxListEntries || first + count - 1 > std::numeric_limits<std::int32_t>::max())
      Fail(in.Source(), rat, "more entries than a view can hold");
    for (std::int64_t k = 0; k < count; ++k) {
      T item;
      item.Id = static_cast<std::int32_t>(first + k);
      item.Shown = shown;
      Append(list, item, in, rat);
    }
  }
}

std::unique_ptr<TInfoObjData> ReadMeshView(const TJson& j, const std::string& path,
                                           const std::string& source) {
  auto m = std::make_unique<TInfoObjData>();
  TJsonIn in(j, path, source, "view of a mesh");
  in.Field("id", m->Id);
  in.Field("reserved", m->Reserved);
  in.Field("visible", m->Visible);
  ReadRuns(in, "vertices", m->Vertices);
  ReadCapacity(in, "vertices-capacity", m->Vertices);
  if (const TJson* groups = in.Take("groups")) {
    const TJson& a = in.Array(*groups, in.At("groups"));
    for (std::size_t i = 0; i < a.size(); ++i) {
      const std::string at = Element(in.At("groups"), i);
      TJsonIn g(a[i], at, source, "view of a group");
      TInfoGroup item;
      g.Field("id", item.Id);
      g.Field("visible", item.Visible);
      g.Field("expanded", item.Expanded);
      if (const TJson* entries = g.Take("entries")) {
        const TJson& e = g.Array(*entries, g.At("entries"));
        for (std::size_t k = 0; k < e.size(); ++k) {
          const std::string eat = Element(g.At("entries"), k);
          const TJson& x = g.Array(e[k], eat, 3);
          TInfoGMat entry;
          entry.Id = static_cast<std::int32_t>(g.Int(x[0], Element(eat, 0),
                                                     std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max()));
          entry.Visible = g.Bool(x[1], Element(eat, 1));
          entry.Expanded = g.Bool(x[2], Element(eat, 2));
          Append(item.GroupMats, entry, g, eat);
        }
      }
      ReadCapacity(g, "entries-capacity", item.GroupMats);
      ReadColour(g, item.ColorValue, item.ColorVector);
      g.CheckAllUsed();
      Append(m->Groups, item, g, at);
    }
  }
  ReadCapacity(in, "groups-capacity", m->Groups);
  if (const TJson* materials = in.Take("materials")) {
    const TJson& a = in.Array(*materials, in.At("materials"));
    for (std::size_t i = 0; i < a.size(); ++i) {
      const std::string at = Element(in.At("materials"), i);
      TJsonIn x(a[i], at, source, "view of a material");
      TInfoMat item;
      x.Field("id", item.Id);
      x.Field("visible", item.Visible);
      x.Field("expanded", item.Expanded);
      ReadColour(x, item.ColorValue, item.ColorVector);
      x.CheckAllUsed();
      Append(m->Materials, item, x, at);
    }
  }
  ReadCapacity(in, "materials-capacity", m->Materials);
  ReadRuns(in, "faces", m->Faces);
  ReadCapacity(in, "faces-capacity", m->Faces);
  in.CheckAllUsed();
  return m;
}

std::unique_ptr<TStatusInfo> ReadView(const TJson& j, const std::string& path,
                                      const std::string& source) {
  auto v = std::make_unique<TStatusInfo>();
  TJsonIn in(j, path, source, "view");
  in.Field("reserved", v->Reserved);
  TViewOptions& o = v->Options;
  const std::pair<const char*, std::uint8_t*> options[] = {
      {"pick-mode", &o.PickMode},          {"camera-mode", &o.CameraMode},
      {"tracking-mode", &o.TrackingMode},  {"colour-mode", &o.ColourMode},
      {"display-mode", &o.DisplayMode},    {"face-culling", &o.FaceCulling},
      {"back-face-mode", &o.BackFaceMode}, {"side", &o.Side}};
  for (const auto& [key, value] : options)
    if (const TJson* x = in.Take(key))
      *value = static_cast<std::uint8_t>(in.Int(*x, in.At(key), 0, 255));
  if (const char* wrong = WrongViewOption(o))
    Fail(source, path, std::string("a view with ") + wrong);
  v->CameraPosition = ReadPoint(in, "camera");
  v->LightPosition = ReadPoint(in, "light");
  v->TargetPosition = ReadPoint(in, "target");
  if (const TJson* meshes = in.Take("meshes")) {
    const TJson& a = in.Array(*meshes, in.At("meshes"));
    v->Objects =
        std::make_unique<TTypedCollection<TInfoObjData>>(static_cast<std::int32_t>(a.size()));
    for (std::size_t i = 0; i < a.size(); ++i)
      v->Objects->Add(ReadMeshView(a[i], Element(in.At("meshes"), i), source));
  }
  std::int32_t capacity = -1;
  in.Field("meshes-capacity", capacity);
  if (in.Take("meshes-capacity")) {
    if (capacity < 0) Fail(source, in.At("meshes-capacity"), "a capacity cannot be negative");
    if (!v->Objects) v->Objects = std::make_unique<TTypedCollection<TInfoObjData>>();
    v->Objects->SetCapacity(capacity);
  }
  in.CheckAllUsed();
  return v;
}

std::unique_ptr<TStackCommand> ReadCommand(const TJson& j, std::size_t index, TStackMng& stack,
                                           const std::string& source) {
  const std::string path = Element("commands", index);
  if (!j.is_object()) Fail(source, path, "expected an object, found " + std::string(TypeName(j)));
  const auto kindAt = j.find("kind");
  if (kindAt == j.end()) Fail(source, path, "a command needs its \"kind\"");
  if (!kindAt->is_string())
    Fail(source, Member(path, "kind"),
         "expected a string, found " + std::string(TypeName(*kindAt)));
  const std::string& kind = kindAt->get_ref<const std::string&>();
  std::unique_ptr<TStackCommand> c;
  if (kind == stackjson::kInitialKind) {
    if (index != 0)
      Fail(source, Member(path, "kind"), "only the first command can be the initial one");
    c = std::make_unique<TSCInit>(&stack);
    c->Caption = stack.Target->Description;
  } else {
    const TKindInfo* known = stack.Target->FindKind(kind);
    const std::int32_t id = known ? known->CommandId : -1;
    if (id < 0) Fail(source, Member(path, "kind"), "unknown command kind \"" + kind + "\"");
    if (!stack.Target->FindDescriptor(id))
      Fail(source, Member(path, "kind"),
           "\"" + kind + "\" is not a command of this stack's target");
    c = stack.Target->CreateCommand(id, &stack);
    if (!c) Fail(source, Member(path, "kind"), "\"" + kind + "\" is not built in this program");
  }
  TJsonIn in(j, path, source, kind);
  in.Take("kind");
  c->Fields(in);
  try {
    c->FieldsRead(source);
  } catch (const std::exception& e) {
    Fail(source, path, e.what());
  }
  if (const TJson* caption = in.Take("caption"))
    c->Caption = in.String(*caption, in.At("caption"));
  else if (kind != stackjson::kInitialKind)
    BuildCaption(*c);
  in.Field("display-flags", c->DisplayFlags);
  in.Field("reserved", c->Reserved);
  in.Field("reserved2", c->Reserved2);
  if (const TJson* view = in.Take("view")) c->StatusInfo = ReadView(*view, in.At("view"), source);
  in.CheckAllUsed();
  return c;
}

// The library's parser into a document, keeping where and why it stopped: a syntax error, or
// a number too large for any field (1e999), which the library reports the same way.
class TParser : public nlohmann::detail::json_sax_dom_parser<TJson> {
 public:
  explicit TParser(TJson& document) : json_sax_dom_parser(document, false) {}
  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& e) {
    // The position is the token's last character; the message points at its first.
    Position = position >= token.size() ? position + 1 - token.size() : position;
    // The library's own words after its position prefix.
    Error = e.what();
    if (const auto at = Error.find(": ", Error.find("column")); at != std::string::npos)
      Error = Error.substr(at + 2);
    else if (const auto end = Error.find("] "); end != std::string::npos)
      Error = Error.substr(end + 2);
    if (Error.empty()) Error = "not JSON";
    return false;
  }
  std::size_t Position = 0;
  std::string Error;
};

// "line 3, column 14" of a byte position counted from 1.
std::string LineAndColumn(std::string_view text, std::size_t byte) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

std::string StackToJson(const TStackMng& stack) {
  TJson root;
  root["format"] = stackjson::kFormat;
  root["version"] = stackjson::kVersion;
  root["target"] = stack.TargetId;
  if (stack.Reserved) root["reserved"] = stack.Reserved;
  const std::int32_t count = stack.Count();
  if (stack.Commands.Capacity() != GrownCapacity(10, count, TCollection::kDelta))
    root["capacity"] = stack.Commands.Capacity();
  const TStackTarget* target = stack.Target ? stack.Target : FindStackTarget(stack.TargetId);
  const auto kinds =
      target ? KindsByStreamId(*target) : std::map<std::uint16_t, const TKindInfo*>();
  TJson commands = TJson::array();
  for (std::int32_t i = 0; i < count; ++i) {
    TJson c = CommandJson(stack, i, kinds);
    // The initial command is implied while it holds nothing of its own.
    if (i == 0 && c.size() == 1 && stack.Command(0)->StreamId() == TSCInit::kStreamId) continue;
    commands.push_back(std::move(c));
  }
  root["commands"] = std::move(commands);
  std::string out;
  Layout(root, out, 0);
  return out + "\n";
}

std::unique_ptr<TStackMng> StackFromJson(std::string_view text, const std::string& source) {
  TJson root;
  TParser parser(root);
  if (!TJson::sax_parse(text.begin(), text.end(), &parser) || !parser.Error.empty())
    Fail(source, LineAndColumn(text, parser.Position), parser.Error);
  if (!root.is_object())
    Fail(source, "", "expected an object at the top, found " + std::string(TypeName(root)));
  TJsonIn top(root, "", source, "stack");
  const TJson* format = top.Take("format");
  if (!format || !format->is_string() ||
      format->get_ref<const std::string&>() != stackjson::kFormat)
    Fail(source, "format", "expected \"format\": \"" + std::string(stackjson::kFormat) + "\"");
  std::int32_t version = -1;
  top.Field("version", version);
  if (version != stackjson::kVersion)
    Fail(source, "version",
         top.Take("version")
             ? "version " + std::to_string(version) + " is not one this program reads (" +
                   std::to_string(stackjson::kVersion) + ")"
             : "expected \"version\": " + std::to_string(stackjson::kVersion));
  std::int32_t targetId = 1;
  top.Field("target", targetId);
  const TStackTarget* target = FindStackTarget(targetId);
  if (!target)
    Fail(source, "target", "target " + std::to_string(targetId) + " is not one this program knows");
  auto stack = std::make_unique<TStackMng>(*target);
  top.Field("reserved", stack->Reserved);
  std::int32_t capacity = -1;
  top.Field("capacity", capacity);
  const bool hasCapacity = top.Take("capacity") != nullptr;
  if (hasCapacity && capacity < 0) Fail(source, "capacity", "a capacity cannot be negative");
  const TJson* commands = top.Take("commands");
  if (!commands)
    Fail(source, "commands", "a stack needs its \"commands\" (an empty array is fine)");
  const TJson& list = top.Array(*commands, "commands");
  top.CheckAllUsed();
  for (std::size_t i = 0; i < list.size(); ++i)
    stack->Commands.Add(ReadCommand(list[i], i, *stack, source));
  if (!stack->Command(0) || stack->Command(0)->StreamId() != TSCInit::kStreamId) {
    auto init = std::make_unique<TSCInit>(stack.get());
    init->Caption = target->Description;
    stack->Commands.AtInsert(0, std::move(init));
  }
  if (hasCapacity) stack->Commands.SetCapacity(capacity);
  return stack;
}

void WriteStackJson(const std::string& fileName, const TStackMng& stack, IProgress* progress) {
  if (progress) progress->SetRange(0, stack.Count());
  const std::string text = StackToJson(stack);
  TSafeFileWriter out(fileName);
  out.Write(text);
  out.Commit();
  if (progress) progress->SetPosition(0);
}

std::unique_ptr<TStackMng> ReadStackJson(const std::string& fileName, IProgress* progress) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EStackJson(fileName + ": the file cannot be opened");
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw EStackJson(fileName + ": the file cannot be read");
  auto stack = StackFromJson(text, fileName);
  if (progress) progress->SetPosition(0);
  return stack;
}

std::string JsonText(std::string_view text) {
  return IsUtf8(text) ? std::string(text) : Latin1ToUtf8(text);
}

bool IsJsonStackFile(std::string_view fileName) {
  const std::string_view ext = stackjson::kExtension;
  if (fileName.size() < ext.size()) return false;
  return SameText(fileName.substr(fileName.size() - ext.size()), ext);
}

std::unique_ptr<TStackMng> ReadAnyStackFile(const std::string& fileName, IProgress* progress) {
  return IsJsonStackFile(fileName) ? ReadStackJson(fileName, progress)
                                   : ReadStackFile(fileName, progress);
}

void WriteAnyStackFile(const std::string& fileName, const TStackMng& stack, IProgress* progress) {
  if (IsJsonStackFile(fileName))
    WriteStackJson(fileName, stack, progress);
  else
    WriteStackFile(fileName, stack, progress);
}

}  // namespace tarvel
