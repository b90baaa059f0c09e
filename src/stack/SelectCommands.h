// The initial command of every stack and the selection commands.
#pragma once

#include <string>

#include "stack/StackCommand.h"

namespace tarvel {

// Intermediate of the selection commands; adds nothing.
class TSCSelect : public TStackCommand {
 public:
  using TStackCommand::TStackCommand;
  bool SelectsFacesOnly() const override { return true; }
};

// The first line of every stack; changes nothing.
class TSCInit : public TSCSelect {
 public:
  static constexpr std::string_view kClassName = "TSCInit";
  static constexpr std::uint16_t kStreamId = 6001;
  using TSCSelect::TSCSelect;
  std::uint16_t StreamId() const override { return kStreamId; }
  void SetObject(const TSceneObject&) override {}
};

// Names one group, found again at every replay by index, by Id, and after loading a stack by
// name. Also the base of the group padlocks and of dialling a morph target.
class TSCSelectGroup : public TSCSelect {
 public:
  static constexpr std::string_view kClassName = "TSCSelectGroup";
  static constexpr std::uint16_t kStreamId = 6003;

  explicit TSCSelectGroup(TStackMng* manager);
  explicit TSCSelectGroup(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void SetObject(const TSceneObject& object) override;
  void Execute() override;
  void UpdateCaption() override;
  void Relink() override;
  void Fields(ICommandFields& fields) override;
  std::string NamedCaption() const override;

  // The group by index when index and Ids agree, else by Ids (refreshing the names), else none.
  TGroup* FindGroup();

  std::int32_t MeshIndex = -1;
  std::int32_t GroupIndex = -1;
  std::int32_t MeshId = -1;
  std::int32_t GroupId = -1;
  std::string CaptionFormat = "Select group <b>%0:s</b>";
  std::string GroupName;
  std::string MeshName;

 protected:
  // What the command does to its group.
  virtual void Apply(TGroup& group) { group.SelectFaces(true); }
};

class TSCDeselectGroup : public TSCSelectGroup {
 public:
  static constexpr std::string_view kClassName = "TSCDeselectGroup";
  static constexpr std::uint16_t kStreamId = 6004;
  explicit TSCDeselectGroup(TStackMng* manager);
  explicit TSCDeselectGroup(TObjectStream& s) : TSCSelectGroup(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  void Apply(TGroup& group) override { group.SelectFaces(false); }
};

class TSCSelectMaterial : public TSCSelect {
 public:
  static constexpr std::string_view kClassName = "TSCSelectMaterial";
  static constexpr std::uint16_t kStreamId = 6005;

  explicit TSCSelectMaterial(TStackMng* manager);
  explicit TSCSelectMaterial(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void SetObject(const TSceneObject& object) override;
  void Execute() override;
  void UpdateCaption() override;
  void Relink() override;
  void Fields(ICommandFields& fields) override;
  std::string NamedCaption() const override;
  TMaterial* FindMaterial();

  std::int32_t MeshIndex = -1;
  std::int32_t MaterialIndex = -1;
  std::int32_t MeshId = -1;
  std::int32_t MaterialId = -1;
  std::string CaptionFormat = "Select material <b>%0:s</b>";
  std::string MaterialName;
  std::string MeshName;

 protected:
  virtual bool Selects() const { return true; }
};

class TSCDeselectMaterial : public TSCSelectMaterial {
 public:
  static constexpr std::string_view kClassName = "TSCDeselectMaterial";
  static constexpr std::uint16_t kStreamId = 6006;
  explicit TSCDeselectMaterial(TStackMng* manager);
  explicit TSCDeselectMaterial(TObjectStream& s) : TSCSelectMaterial(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  bool Selects() const override { return false; }
};

// Names the faces of one group that use one material.
class TSCSelectGroupMat : public TSCSelect {
 public:
  static constexpr std::string_view kClassName = "TSCSelectGroupMat";
  static constexpr std::uint16_t kStreamId = 6007;

  explicit TSCSelectGroupMat(TStackMng* manager);
  explicit TSCSelectGroupMat(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void SetObject(const TSceneObject& object) override;
  void Execute() override;
  void UpdateCaption() override;
  void Relink() override;
  void Fields(ICommandFields& fields) override;
  std::string NamedCaption() const override;
  TGroupMatInfo* FindEntry();

  std::int32_t MeshIndex = -1;
  std::int32_t GroupIndex = -1;
  std::int32_t EntryIndex = -1;
  std::int32_t MeshId = -1;
  std::int32_t GroupId = -1;
  std::int32_t EntryId = -1;
  std::string CaptionFormat = "Select material <b>%0:s</b> of group <b>%1:s</b>";
  std::string EntryName;
  std::string GroupName;
  std::string MeshName;

 protected:
  virtual bool Selects() const { return true; }
};

class TSCDeselectGroupMat : public TSCSelectGroupMat {
 public:
  static constexpr std::string_view kClassName = "TSCDeselectGroupMat";
  static constexpr std::uint16_t kStreamId = 6008;
  explicit TSCDeselectGroupMat(TStackMng* manager);
  explicit TSCDeselectGroupMat(TObjectStream& s) : TSCSelectGroupMat(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  bool Selects() const override { return false; }
};

// Select all, clear selection and invert selection: no object, a fixed caption.
class TSCWholeSelection : public TSCSelect {
 public:
  TSCWholeSelection(TStackMng* manager, std::string captionText);
  explicit TSCWholeSelection(TObjectStream& s);
  void Store(TObjectStream& s) const override;
  void SetObject(const TSceneObject& object) override;
  void UpdateCaption() override;
  void Fields(ICommandFields& fields) override;

  std::string CaptionText;
};

class TSCSelectAll : public TSCWholeSelection {
 public:
  static constexpr std::string_view kClassName = "TSCSelectAll";
  static constexpr std::uint16_t kStreamId = 6009;
  explicit TSCSelectAll(TStackMng* manager) : TSCWholeSelection(manager, "Select all") {}
  explicit TSCSelectAll(TObjectStream& s) : TSCWholeSelection(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  void Execute() override;
};

class TSCClearSelection : public TSCWholeSelection {
 public:
  static constexpr std::string_view kClassName = "TSCClearSelection";
  static constexpr std::uint16_t kStreamId = 6010;
  explicit TSCClearSelection(TStackMng* manager) : TSCWholeSelection(manager, "Clear selection") {}
  explicit TSCClearSelection(TObjectStream& s) : TSCWholeSelection(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  void Execute() override;
};

class TSCInvertSelection : public TSCWholeSelection {
 public:
  static constexpr std::string_view kClassName = "TSCInvertSelection";
  static constexpr std::uint16_t kStreamId = 6011;
  explicit TSCInvertSelection(TStackMng* manager)
      : TSCWholeSelection(manager, "Invert selection") {}
  explicit TSCInvertSelection(TObjectStream& s) : TSCWholeSelection(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  void Execute() override;
};

}  // namespace tarvel
