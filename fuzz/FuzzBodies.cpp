#include "FuzzBodies.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "FigureGenerator.h"
#include "commands/SoftSelection.h"
#include "commands/Specular.h"
#include "commands/Transforms.h"
#include "commands/UseMorphTarget.h"
#include "mesh/Collection.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "mesh/ObjectStream.h"
#include "mesh/SafeFile.h"
#include "stack/ProjectFile.h"
#include "stack/QuietWindow.h"
#include "stack/StackController.h"
#include "stack/StackFile.h"
#include "stack/StackJson.h"

namespace tarvel::fuzz {

namespace {

[[noreturn]] void Violation(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

// A file in memory with a name that open() accepts, so the readers that take file names read
// the input without touching the disk.
class TMemFile {
 public:
  explicit TMemFile(TBytes data) {
    fd_ = ::memfd_create("fuzz", MFD_CLOEXEC);
    if (fd_ < 0) Violation("memfd_create failed");
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t put = ::write(fd_, data.data() + done, data.size() - done);
      if (put <= 0) Violation("writing the input failed");
      done += static_cast<std::size_t>(put);
    }
    name_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~TMemFile() { ::close(fd_); }
  TMemFile(const TMemFile&) = delete;
  TMemFile& operator=(const TMemFile&) = delete;
  const std::string& Name() const { return name_; }

 private:
  int fd_ = -1;
  std::string name_;
};

// Every control of the current command as the user would use it: numbers nudged, boxes
// toggled, buttons clicked.
void UseAll(TQuietPanel& panel) {
  for (std::size_t i = 0; i < panel.Count(); ++i) {
    IParamControl& c = panel.Control(i);
    if (auto* edit = dynamic_cast<INumberEdit*>(&c)) edit->SetValue(edit->Value() + 0.5);
    if (auto* box = dynamic_cast<ICheckBox*>(&c)) box->SetChecked(!box->Checked());
    if (auto* radio = dynamic_cast<IRadioButton*>(&c)) radio->SetChecked(true);
    // A change may rebuild the panel; then the remaining controls are gone.
    const std::size_t before = panel.Count();
    c.Changed();
    if (panel.Count() != before) return;
  }
}

// The quiet window, naming every morph target as proposed and checking that the controller
// keeps its command list in step.
class TCheckingWindow : public TQuietWindow {
 public:
  TCheckingWindow()
      : TQuietWindow([](const TMorphNameRequest& request) {
          return std::optional<std::string>(request.Proposed);
        }) {}
  void ListClear() override { lines_ = 0; }
  void ListInsert(int index, std::string_view) override {
    if (index < 0 || index > lines_) Violation("a line inserted outside the list");
    ++lines_;
  }
  void ListRemove(int index) override {
    if (index < 0 || index >= lines_) Violation("a line removed outside the list");
    --lines_;
  }
  void ListSetText(int index, std::string_view) override {
    if (index < 0 || index >= lines_) Violation("the text of a line outside the list");
  }

 private:
  int lines_ = 0;
};

void ExerciseMesh(TObjData& mesh) {
  mesh.UpdateVertexFlags();
  mesh.SetSide(1);
  mesh.SetSide(2);
  mesh.SetSide(0);
  mesh.LinkShapedPositions();
  bool found = false;
  mesh.SelectionCentre(found);
  mesh.GroupsCentre();
  mesh.Groups.ForEach([](TGroup& g) {
    g.GroupMats.ForEach([](TGroupMatInfo& e) { (void)e.Name(); });
    g.SetVisible(true);
    g.ApplyMorphTargets();
  });
  mesh.InvertFaceSelection();
  auto backup = mesh.BackupSelection();
  // What was read must store and read back.
  auto copy = CopyMesh(mesh);
  if (copy->Vertices.Count() != mesh.Vertices.Count() || copy->Faces.Count() != mesh.Faces.Count())
    Violation("a copied mesh lost records");
}

std::vector<std::uint8_t> ToVector(TBytes data) { return {data.begin(), data.end()}; }

// A folder of this process for the text files the targets write; it holds nothing between
// two exports.
const std::filesystem::path& OutputFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvel-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) Violation("no folder for the written files");
    return std::filesystem::path(pattern);
  }();
  return folder;
}

bool FolderIsEmpty() {
  return std::filesystem::directory_iterator(OutputFolder()) ==
         std::filesystem::directory_iterator();
}

// A text file the program wrote holds printable ASCII, CR and LF only, and no number that is
// not finite.
void CheckWrittenText(const std::string& text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 0x20 || c > 0x7E) && c != '\r' && c != '\n')
      Violation("a written file holds a byte outside printable ASCII, CR and LF");
  }
  for (const char* word : {"nan", "inf", "NAN", "INF"})
    if (text.find(word) != std::string::npos)
      Violation("a written file holds a number that is not finite");
}

// Exports the target as Poser target geometry and checks the file; an export may be refused
// (a position that is not finite), and then leaves no file behind.
void ExportAndCheck(const TMorphTarget& target) {
  const std::filesystem::path file = OutputFolder() / "target.obj";
  try {
    target.ExportTargetGeometry(file.string());
  } catch (const EFileWrite& e) {
    if (std::string(e.what()).find("not finite") == std::string::npos)
      Violation("an export failed for another reason than a number that is not finite");
    if (!FolderIsEmpty()) Violation("a refused export left a file");
    return;
  }
  std::ifstream in(file, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  CheckWrittenText(text);
  std::filesystem::remove(file);
  if (!FolderIsEmpty()) Violation("an export left a temporary file");
}

void ExportEveryTarget(const TMultiObjData& state) {
  for (std::int32_t m = 0; m < state.MeshCount(); ++m)
    state.Mesh(m)->Groups.ForEach([](const TGroup& g) {
      g.MorphTargets.ForEach([](const TMorphTarget& t) { ExportAndCheck(t); });
    });
}

// Every line made current going forward and back, every control used, a vertex offered to
// every command, and the goal.
void WorkThrough(TStackController& controller, TCheckingWindow& window) {
  TStackMng* stack = controller.Stack();
  if (!stack) return;
  const int count = stack->Count();
  for (int line = 1; line < count; ++line) {
    controller.MakeCurrent(line);
    UseAll(window.Controls());
    if (TObjData* mesh = controller.Live().Mesh(0); mesh && mesh->Vertices.Count() > 0)
      controller.PickVertex(mesh->Vertices[line % mesh->Vertices.Count()]);
  }
  controller.MakeCurrent(count / 2);
  controller.MakeCurrent(0);
  controller.RunGoal(0);
  // The goal never makes a target of a position that is not finite or out of range.
  if (controller.Stack() && PositionFault(*controller.Stack()->Pristine))
    Violation("the goal made a target that is not finite");
  ExportEveryTarget(controller.Live());
}

std::string& FigureFileHolder() {
  static std::string text = samples::GenerateFigure({4, 1});
  return text;
}

// The figure, read once into memory.
const std::string& FigureFile() {
  static TMemFile file(TBytes(reinterpret_cast<const std::uint8_t*>(FigureFileHolder().data()),
                              FigureFileHolder().size()));
  return file.Name();
}

}  // namespace

const std::string& FuzzFigure() { return FigureFileHolder(); }

void ObjectStream(TBytes data) {
  const std::vector<std::uint8_t> bytes = ToVector(data);
  try {
    TObjectStream s(bytes);
    auto mesh = s.GetAs<TObjData>();
    ExerciseMesh(*mesh);
  } catch (const EObjectStream&) {
  } catch (const ECollectionError&) {
  }
  try {
    TObjectStream s(bytes);
    while (s.BytesLeft() > 0) {
      auto obj = s.Get();
      TObjectStream out;
      out.Put(*obj);
    }
  } catch (const EObjectStream&) {
  } catch (const ECollectionError&) {
  }
}

void ObjReader(TBytes data) {
  TMemFile file(data);
  auto mesh = std::make_unique<TObjData>();
  try {
    TObjReadOptions options;
    // Small chunks put lines across chunk borders.
    options.ChunkSize = 64;
    LoadFromObj(*mesh, file.Name(), options);
  } catch (const EObjRead&) {
    return;
  }
  ExerciseMesh(*mesh);
  // Every group's shaped positions as a target, written out.
  mesh->Groups.ForEach([](TGroup& g) {
    TMorphTarget target(&g);
    for (const TGroupVertex& e : g.Vertices) target.Positions.Add(e.Shaped);
    ExportAndCheck(target);
  });
}

void TargetGeometry(TBytes data) {
  TMemFile file(data);
  TRecordList<TBaseVertex> positions;
  try {
    ReadTargetGeometry(file.Name(), positions);
  } catch (const EObjRead&) {
    return;
  }
  for (std::int32_t i = 0; i < positions.Count(); ++i)
    if (positions[i].Index != i) Violation("target positions out of order");
  // Imported into a group of the figure, dialled, and exported again.
  TMultiObjData state;
  TObjData* mesh = state.AddObjFile(FigureFile());
  if (!mesh) Violation("the figure did not load");
  for (TGroup* group : {mesh->Groups[1], mesh->Groups[mesh->Groups.Count() - 1]}) {
    int code = -1;
    TMorphTarget* target = group->ImportMorphTarget(file.Name(), code);
    if ((code == 0) != (target != nullptr)) Violation("import result and code disagree");
    if (!target) continue;
    target->Value = 1;
    group->ApplyMorphTargets();
    ExportAndCheck(*target);
  }
}

void StackFile(TBytes data) {
  std::unique_ptr<TStackMng> read;
  try {
    TObjectStream s(ToVector(data));
    read = ReadStack(s);
  } catch (const EObjectStream&) {
  } catch (const ECollectionError&) {
  }
  if (read) {
    // What was read writes and reads back to the same bytes.
    TObjectStream first;
    first.Put(*read);
    TObjectStream again(first.Bytes());
    auto reread = ReadStack(again);
    TObjectStream second;
    second.Put(*reread);
    if (first.Bytes() != second.Bytes()) Violation("a stack did not write back the same");
  }

  const TMemFile file(data);
  TCheckingWindow window;
  TStackController controller(window);
  controller.Live().AddObjFile(FigureFile());
  const bool loaded = controller.LoadStack(file.Name());
  if (loaded != (read != nullptr)) Violation("the controller and the reader disagree");
  if (!loaded) {
    if (window.Errors().size() != 1) Violation("a refused stack file gave no message");
    return;
  }
  WorkThrough(controller, window);
  // Merged into a stack of its own commands, then put in place of it.
  if (!controller.Stack()) controller.NewStack(*FindStackTarget(1));
  window.Answer = TAnswer::No;
  if (!controller.LoadStack(file.Name())) Violation("merging a readable stack failed");
  WorkThrough(controller, window);
}

void ProjectFile(TBytes data) {
  TProject read;
  try {
    TObjectStream s(ToVector(data));
    read = ReadProject(s);
  } catch (const EObjectStream&) {
  } catch (const ECollectionError&) {
  }
  if (read.State) {
    TObjectStream first;
    WriteProject(first, *read.State, read.Stack.get());
    TObjectStream again(first.Bytes());
    TProject reread = ReadProject(again);
    TObjectStream second;
    WriteProject(second, *reread.State, reread.Stack.get());
    if (first.Bytes() != second.Bytes()) Violation("a project did not write back the same");
  }

  const TMemFile file(data);
  TCheckingWindow window;
  TStackController controller(window);
  const bool loaded = controller.LoadProject(file.Name());
  if (loaded != (read.State != nullptr)) Violation("the controller and the reader disagree");
  if (!loaded) return;
  for (std::int32_t i = 0; i < controller.Live().MeshCount(); ++i)
    ExerciseMesh(*controller.Live().Mesh(i));
  ExportEveryTarget(controller.Live());
  WorkThrough(controller, window);
}

namespace {

void WriteSeed(const std::filesystem::path& file, std::string_view bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

// Adds a command of the kind with the object, and returns it as T.
template <class T = TStackCommand>
T& AddKind(TStackController& controller, std::int32_t commandId, const TSceneChoice& choice = {}) {
  controller.AddCommand(*FindStackTarget(1)->FindDescriptor(commandId), choice);
  auto* command = dynamic_cast<T*>(controller.SelectedCommand());
  if (!command) throw std::runtime_error("command " + std::to_string(commandId) + " not added");
  return *command;
}

}  // namespace

void StackJson(TBytes data) {
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  std::unique_ptr<TStackMng> read;
  try {
    read = StackFromJson(text, "fuzz.json");
  } catch (const EStackJson&) {
  }
  if (!read) return;
  // What was read writes a text that reads back to the same stack and writes the same again.
  const std::string first = StackToJson(*read);
  const std::unique_ptr<TStackMng> again = StackFromJson(first, "again.json");
  if (StackToJson(*again) != first) Violation("a JSON stack did not write back the same");
  TObjectStream a, b;
  a.Put(*read);
  b.Put(*again);
  if (a.Bytes() != b.Bytes()) Violation("a JSON stack changed on its way through its text");
}

void MakeSeeds(const std::string& folder) {
  const std::filesystem::path root(folder);
  const std::string& figure = FuzzFigure();
  WriteSeed(root / "obj_reader" / "figure.obj", figure);
  WriteSeed(root / "obj_reader" / "normals.obj",
            "# two groups, normals, texture coordinates, smoothing\r\n"
            "v 0 0 0\r\nv 1 0 0\r\nv 1 1 0\r\nv 0 1 0\r\nv -1 0.5 0\r\n"
            "vt 0 0\r\nvt 1 0\r\nvt 1 1\r\nvn 0 0 1\r\n"
            "g left\r\nusemtl skin\r\ns 1\r\nf 1/1/1 2/2/1 3/3/1 4/1/1\r\n"
            "g right\r\nusemtl cloth\r\ns off\r\nf 1//1 4//1 5//1\r\nf 1 5 4\r\n");

  TCheckingWindow window;
  TStackController controller(window);
  TObjData* mesh = controller.Live().AddObjFile(FigureFile());
  if (!mesh) throw std::runtime_error("the figure did not load");
  {
    TObjectStream s;
    s.Put(*mesh);
    const auto& bytes = s.Bytes();
    WriteSeed(root / "object_stream" / "figure.bin",
              std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }

  // A morph target of the chest: every vertex a little further out.
  TGroup* chest = mesh->GroupByName("chest");
  TGroup* head = mesh->GroupByName("head");
  if (!chest || !head) throw std::runtime_error("the figure lacks its groups");
  auto target = std::make_unique<TMorphTarget>(chest);
  target->Name = "wide";
  target->Id = chest->NewMorphTargetId();
  for (const TGroupVertex& e : chest->Vertices) {
    TBaseVertex p = e.Shaped;
    p.X *= 1.25;
    target->Positions.Add(p);
  }
  TMorphTarget* wide = chest->MorphTargets.Add(std::move(target));
  std::filesystem::create_directories(root / "target_geometry");
  wide->ExportTargetGeometry((root / "target_geometry" / "chest_wide.obj").string());

  controller.NewStack(*FindStackTarget(1));
  const std::filesystem::path stacks = root / "stack_file";
  std::filesystem::create_directories(stacks);
  if (!controller.SaveStack((stacks / "initial_only.stk").string()))
    throw std::runtime_error("cannot save a stack");
  for (std::int32_t id : {500, 501, 504, 505, 506, 507, 508, 509}) AddKind(controller, id);
  AddKind(controller, 1, {.Group = chest});
  AddKind(controller, 2, {.Group = head});
  AddKind(controller, 502, {.Group = head});
  AddKind(controller, 503, {.Group = head});
  AddKind(controller, 3, {.Material = mesh->MaterialByName("Torso")});
  AddKind(controller, 4, {.Material = mesh->MaterialByName("Arms")});
  TGroupMatInfo* entry = chest->GroupMats.Count() > 0 ? chest->GroupMats[0] : nullptr;
  AddKind(controller, 5, {.Entry = entry});
  AddKind(controller, 6, {.Entry = entry});
  AddKind(controller, 7);
  AddKind(controller, 8);
  AddKind(controller, 9);
  AddKind<TSCSoftSelection>(controller, 10);
  controller.PickVertex(mesh->Vertices[mesh->Vertices.Count() / 2]);
  AddKind<TSCSelectSurface>(controller, 13);
  controller.PickVertex(mesh->Vertices[0]);
  AddKind(controller, 100);
  AddKind<TSCTranslate>(controller, 101).Offset = {0.01f, -0.02f, 0.03f};
  AddKind<TSCRotate>(controller, 102).Angles = {10, 20, 30};
  AddKind<TSCScale>(controller, 103).Factors = {1.1f, 0.9f, 1};
  AddKind<TSCUseMorphTarget>(controller, 1000, {.MorphTarget = wide}).DialValue = 0.5f;
  AddKind<TSCSpecular>(controller, 1500).Mode = TSCSpecular::kRightToLeft;
  if (!controller.SaveStack((stacks / "every_kind.stk").string()))
    throw std::runtime_error("cannot save a stack");
  WriteSeed(root / "stack_json" / "every_kind.json", StackToJson(*controller.Stack()));
  WriteSeed(root / "stack_json" / "recipe.json",
            R"({"format": "tarvel-stack", "version": 1, "commands": [)"
            R"({"kind": "select-group", "group": "chest"}, {"kind": "soft-selection", "mode": )"
            R"("surface", "fallout": 0.35}, {"kind": "translate", "offset": [0.25, -1.5, 3]}]})");

  const std::filesystem::path projects = root / "project_file";
  std::filesystem::create_directories(projects);
  controller.MakeCurrent(controller.Stack()->Count() / 2);
  if (!controller.SaveProject((projects / "with_stack.vnx").string()))
    throw std::runtime_error("cannot save a project");
  while (controller.Stack()) controller.ClearStack();
  if (!controller.SaveProject((projects / "without_stack.vnx").string()))
    throw std::runtime_error("cannot save a project");
}

}  // namespace tarvel::fuzz
