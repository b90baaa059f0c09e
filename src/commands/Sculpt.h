// "Use sculpted shape": a whole-figure sculpt made in another program, exported as an OBJ file
// with the figure's vertex order, brought in as a step of the stack. Each vertex taking part
// moves by Strength x weight x (sculpt position - pristine position), so the sculpt can be
// limited by a (soft) selection, held back by padlocks, mirrored and dialled like any other
// change. The positions are read once and kept in the command's record, so a stack holding it
// replays without the file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/Specular.h"

namespace tarvel {

namespace sculpttexts {
inline constexpr const char* kCaption = "Use sculpted shape";
inline constexpr const char* kScaled =
    "The sculpt looks scaled or moved: was it exported with another scale?";
inline constexpr const char* kNoFile = "No sculpt file chosen";
// "The sculpt has N vertices, the figure M".
std::string WrongCount(std::size_t sculpt, std::int64_t figure);
}  // namespace sculpttexts

class TSCUseSculpt : public TSCModifier {
 public:
  static constexpr std::string_view kClassName = "TSCUseSculpt";
  static constexpr std::uint16_t kStreamId = 6035;
  static constexpr std::int32_t kCommandId = 1503;

  explicit TSCUseSculpt(TStackMng* manager);
  explicit TSCUseSculpt(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  // Asks for the sculpt file when the command has none and a chooser is installed.
  void SetObject(const TSceneObject& object) override;
  void Prepare() override;
  void Execute() override;
  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void ControlChanged(IParamControl& sender) override;
  void UpdateCaption() override;
  void Release() override;
  // "file" and "strength". The positions are not walked: a reader that fills the command from a
  // text form calls ReadSculptFile afterwards to take them from the named file.
  void Fields(ICommandFields& fields) override;
  // A recipe names the sculpt file, relative to the recipe's folder; its positions are read now.
  void FieldsRead(const std::string& source) override;

  // Reads the positions from FileName again, replacing the stored ones. Raises EObjRead when
  // the file cannot be read; the stored positions are then unchanged.
  void ReadSculptFile();
  // Takes another file: reads it and, while the command is current, applies it at once. A
  // file that cannot be read is reported on the panel and in Problem(); false then.
  bool SetFile(const std::string& fileName);
  // Reads the file again and applies it (the "Reload" button); false when it cannot be read.
  bool Reload();
  // Puts the live state back to the start of the command's turn and applies the command's
  // current positions (given directly rather than read from the file).
  void Reapply();

  // The vertex count of the sculpt.
  std::size_t SculptVertexCount() const { return Positions.size() / 3; }
  // Why the last Execute changed nothing ("The sculpt has N vertices, the figure M", or why the
  // file could not be read); empty when it applied.
  const std::string& Problem() const { return problem_; }
  // True when the sculpt's box differs from the figure's by more than a factor 2 in size, or
  // its centre lies further from the figure's than the figure's height.
  bool LooksScaled() const { return scaled_; }

  std::string CaptionFormat = "Use sculpted shape <b>%0:s</b>";
  std::string FileName;
  double Strength = 1;
  std::vector<double> Positions;  // x, y, z of every sculpt vertex, in vertex order

 private:
  struct TCopy {
    std::int32_t Index;
    float Weight;  // 1 for a vertex that moves fully
    double X, Y, Z;
  };
  // Puts every vertex and morph position the last Execute wrote back to its copy.
  void Restore();
  void ShowState();
  std::string CaptionText() const;
  // The pristine position p of vertex i and the sculpt's displacement d from it; false when d
  // is zero or the vertex has no sculpt position.
  bool Displacement(std::int32_t i, double (&p)[3], double (&d)[3]) const;

  TObjData* mesh_ = nullptr;            // the mesh the sculpt applies to, while prepared
  const TObjData* pristine_ = nullptr;  // its pristine copy, or the live mesh itself
  std::vector<TCopy> copies_;           // vertices taking part, as Prepare found them
  std::vector<double> start_;           // without a pristine copy: every position at Prepare
  std::vector<std::unique_ptr<TMTGroupInfoList>> morphEntries_;
  bool prepared_ = false;
  std::string problem_;
  bool scaled_ = false;

  IButton* fileButton_ = nullptr;
  IButton* reloadButton_ = nullptr;
  INumberEdit* strength_ = nullptr;
  ITextLine* fileLine_ = nullptr;
  ITextLine* messageLine_ = nullptr;
};

}  // namespace tarvel
