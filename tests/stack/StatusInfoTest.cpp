#include "stack/StatusInfo.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "stack/EditStateFixture.h"
#include "stack/MultiObjData.h"

namespace tarvel {
namespace {

using test::Hex;
using test::StoredBytes;
using test::ToHex;

// ---------------------------------------------------------------------------------------------
// Records written by hand from their layouts. Singles: 1 = 00 00 80 3f, 0.5 = 00 00 00 3f,
// 2 = 00 00 00 40, 0.25 = 00 00 80 3e, -1 = 00 00 80 bf.

const char* const kVertHex = "00 04  07 00 00 00  01";
const char* const kFaceHex = "fd 03  02 01 00 00  00";
const char* const kGMatHex = "ff 03  09 00 00 00  01 01";
const char* const kMatHex =
    "fb 03  03 00 00 00  00 00  ff 00 00 00  00 00 80 3f 00 00 00 00 00 00 00 00 00 00 80 3f";
const char* const kGroupHex =
    "fe 03  02 00 00 00  01 00"
    // the group-material list: count 1, capacity 4, Delta 16, the item, Duplicates, AppendOnly
    "  fc 03  01 00 00 00  04 00 00 00  10 00  ff 03 09 00 00 00 01 01  01 00"
    "  00 ff 00 00  00 00 00 00 00 00 80 3f 00 00 00 00 00 00 00 3f";

TInfoVert Vert() { return {7, true}; }
TInfoFace Face() { return {0x0102, false}; }
TInfoGMat GMat() { return {9, true, true}; }
TInfoMat Mat() { return {3, false, false, RGBValue(255, 0, 0), {1, 0, 0, 1}}; }
TInfoGroup Group() {
  TInfoGroup g;
  g.Id = 2;
  g.Visible = true;
  g.Expanded = false;
  g.GroupMats.Insert(GMat());
  g.ColorValue = RGBValue(0, 255, 0);
  g.ColorVector = {0, 1, 0, 0.5f};
  return g;
}

std::unique_ptr<TInfoObjData> ObjData() {
  auto info = std::make_unique<TInfoObjData>();
  info->Id = 0x11223344;
  info->Visible = true;
  info->Vertices.Insert(Vert());
  info->Groups.Insert(Group());
  info->Materials.Insert(Mat());
  info->Faces.Insert(Face());
  return info;
}

std::string ObjDataHex() {
  return std::string("f6 03  00 00 00 00  44 33 22 11  01") +
         "  fa 00  01 00 00 00  64 00 00 00  10 00  " + kVertHex + "  01 00" +
         "  f8 03  01 00 00 00  14 00 00 00  10 00  " + kGroupHex + "  01 00" +
         "  f9 03  01 00 00 00  14 00 00 00  10 00  " + kMatHex + "  01 00" +
         "  fa 03  01 00 00 00  64 00 00 00  10 00  " + kFaceHex + "  01 00";
}

template <class T>
std::vector<std::uint8_t> RecordBytes(const T& value) {
  TRecordBox<T> box;
  box.Value = value;
  return StoredBytes(box);
}

template <class T>
T ReadRecord(const std::vector<std::uint8_t>& bytes) {
  TObjectStream s(bytes);
  auto box = s.GetAs<TRecordBox<T>>();
  EXPECT_EQ(s.BytesLeft(), 0);
  return box->Value;
}

TEST(StatusInfoTest, ItemRecordsMatchTheirLayouts) {
  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Written;
    const char* Expected;
  };
  const TCase cases[] = {
      {"TInfoVert", RecordBytes(Vert()), kVertHex},    {"TInfoFace", RecordBytes(Face()), kFaceHex},
      {"TInfoGMat", RecordBytes(GMat()), kGMatHex},    {"TInfoMat", RecordBytes(Mat()), kMatHex},
      {"TInfoGroup", RecordBytes(Group()), kGroupHex},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Written, Hex(c.Expected)) << ToHex(c.Written);
  }
}

TEST(StatusInfoTest, ItemRecordsReadBack) {
  const TInfoVert v = ReadRecord<TInfoVert>(Hex(kVertHex));
  EXPECT_EQ(v.Id, 7);
  EXPECT_TRUE(v.Shown);
  const TInfoFace f = ReadRecord<TInfoFace>(Hex(kFaceHex));
  EXPECT_EQ(f.Id, 0x0102);
  EXPECT_FALSE(f.Shown);
  const TInfoMat m = ReadRecord<TInfoMat>(Hex(kMatHex));
  EXPECT_EQ(m.Id, 3);
  EXPECT_FALSE(m.Visible);
  EXPECT_EQ(m.ColorValue, RGBValue(255, 0, 0));
  EXPECT_EQ(m.ColorVector, (TColorVector{1, 0, 0, 1}));
  const TInfoGroup g = ReadRecord<TInfoGroup>(Hex(kGroupHex));
  EXPECT_EQ(g.Id, 2);
  EXPECT_TRUE(g.Visible);
  EXPECT_FALSE(g.Expanded);
  ASSERT_EQ(g.GroupMats.Count(), 1);
  EXPECT_EQ(g.GroupMats[0].Id, 9);
  EXPECT_TRUE(g.GroupMats[0].Expanded);
  EXPECT_EQ(g.ColorVector, (TColorVector{0, 1, 0, 0.5f}));
}

TEST(StatusInfoTest, EmptyListsCarryTheirIdsAndCapacities) {
  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Written;
    const char* Expected;
  };
  const TCase cases[] = {
      {"vertices", StoredBytes(TInfoListVert()), "fa 00 00 00 00 00 64 00 00 00 10 00 01 00"},
      {"groups", StoredBytes(TInfoListGroups()), "f8 03 00 00 00 00 14 00 00 00 10 00 01 00"},
      {"materials", StoredBytes(TInfoListMat()), "f9 03 00 00 00 00 14 00 00 00 10 00 01 00"},
      {"faces", StoredBytes(TInfoListFaces()), "fa 03 00 00 00 00 64 00 00 00 10 00 01 00"},
      {"entries", StoredBytes(TInfoListGMat()), "fc 03 00 00 00 00 04 00 00 00 10 00 01 00"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Written, Hex(c.Expected)) << ToHex(c.Written);
  }
}

TEST(StatusInfoTest, ListCapacityGrowsByTenPastItsStart) {
  TInfoListGMat list;
  for (int id = 1; id <= 5; ++id) list.List.Insert({id, true, false});
  const std::vector<std::uint8_t> bytes = StoredBytes(list);
  // Count 5 in a list made for 4: capacity 14.
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 12),
            Hex("fc 03 05 00 00 00 0e 00 00 00 10 00"));
}

TEST(StatusInfoTest, ObjDataMatchesItsLayout) {
  const auto info = ObjData();
  const std::vector<std::uint8_t> bytes = StoredBytes(*info);
  EXPECT_EQ(bytes, Hex(ObjDataHex())) << ToHex(bytes);

  TObjectStream s(bytes);
  auto back = s.GetAs<TInfoObjData>();
  EXPECT_EQ(s.BytesLeft(), 0);
  EXPECT_EQ(back->Id, 0x11223344);
  EXPECT_EQ(back->Vertices.Count(), 1);
  EXPECT_EQ(back->Groups.Count(), 1);
  EXPECT_EQ(back->Materials.Count(), 1);
  EXPECT_EQ(back->Faces.Count(), 1);
  EXPECT_EQ(StoredBytes(*back), bytes);
}

TEST(StatusInfoTest, StatusInfoMatchesItsLayout) {
  TStatusInfo info;
  info.Options = {3, 2, 1, 3, 0, 1, 1, 2};
  info.Objects = std::make_unique<TTypedCollection<TInfoObjData>>(1);
  info.Objects->Add(ObjData());
  info.CameraPosition = {1, 2, 0.5f};
  info.LightPosition = {0, -1, 0};
  info.TargetPosition = {0.25f, 0, 0};
  const std::vector<std::uint8_t> bytes = StoredBytes(info);
  const std::string expected = "f5 03  00 00 00 00  03 02 01 03 00 01 01 02" +
                               std::string("  96 00  01 00 00 00  01 00 00 00  10 00  ") +
                               ObjDataHex() +
                               "  00 00 80 3f 00 00 00 40 00 00 00 3f"
                               "  00 00 00 00 00 00 80 bf 00 00 00 00"
                               "  00 00 80 3e 00 00 00 00 00 00 00 00";
  EXPECT_EQ(bytes, Hex(expected)) << ToHex(bytes);

  TObjectStream s(bytes);
  auto back = s.GetAs<TStatusInfo>();
  EXPECT_EQ(s.BytesLeft(), 0);
  EXPECT_EQ(back->Options, info.Options);
  EXPECT_EQ(back->CameraPosition, info.CameraPosition);
  EXPECT_EQ(back->LightPosition, info.LightPosition);
  EXPECT_EQ(back->TargetPosition, info.TargetPosition);
  ASSERT_TRUE(back->Objects);
  EXPECT_EQ(back->Objects->Count(), 1);
  EXPECT_EQ(StoredBytes(*back), bytes);
}

TEST(StatusInfoTest, SnapshotNeverTakenIsWrittenEmpty) {
  TStatusInfo info;
  const std::vector<std::uint8_t> bytes = StoredBytes(info);
  // Default options, an empty collection, nine zero singles.
  EXPECT_EQ(bytes, Hex("f5 03 00 00 00 00  01 00 01 01 01 00 00 00"
                       "  96 00 00 00 00 00 00 00 00 00 10 00" +
                       std::string(9 * 8, '0')))
      << ToHex(bytes);
}

TEST(StatusInfoTest, SortedListPutsEqualIdsFirstAndFindsTheFirst) {
  TInfoList<TInfoVert> list(4);
  for (const TInfoVert v : {TInfoVert{5, false}, TInfoVert{2, false}, TInfoVert{9, false},
                            TInfoVert{5, true}, TInfoVert{-1, true}}) {
    list.Insert(v);
  }
  std::vector<std::pair<int, bool>> order;
  for (const TInfoVert& v : list) order.emplace_back(v.Id, v.Shown);
  // The later 5 goes before the earlier one.
  EXPECT_EQ(order, (std::vector<std::pair<int, bool>>{
                       {-1, true}, {2, false}, {5, true}, {5, false}, {9, false}}));
  ASSERT_NE(list.Find(5), nullptr);
  EXPECT_TRUE(list.Find(5)->Shown);
  EXPECT_EQ(list.Find(5), &list[2]);
  EXPECT_EQ(list.Find(9), &list[4]);
  EXPECT_EQ(list.Find(-1), &list[0]);
  EXPECT_EQ(list.Find(4), nullptr);
  EXPECT_EQ(list.Find(10), nullptr);
}

TEST(StatusInfoTest, ListOutOfOrderIsRefused) {
  // Two vertices with ids 7 and 3.
  const std::vector<std::uint8_t> bytes =
      Hex("fa 00 02 00 00 00 64 00 00 00 10 00  00 04 07 00 00 00 01  00 04 03 00 00 00 01  01 00");
  TObjectStream s(bytes);
  EXPECT_THROW(s.Get(), EObjectStream);
}

// The scene tree's expansion of group, entry and material nodes travels with the snapshot.
class TFakeExpansion : public ITreeNodeSink {
 public:
  void SetNodeChecked(void*, bool) override {}
  bool IsNodeExpanded(void* node) const override {
    auto it = Expanded.find(node);
    return it != Expanded.end() && it->second;
  }
  void SetNodeExpanded(void* node, bool expanded) override { Expanded[node] = expanded; }
  std::map<void*, bool> Expanded;
};

TEST(StatusInfoTest, TakeAndRestoreCarryTreeExpansion) {
  test::TTempDir dir;
  TMultiObjData state;
  TObjData& m = test::AddMesh(state, dir, test::kFigure);
  int nodes[3];
  m.Groups[test::kLeft]->TreeNode = &nodes[0];
  m.Groups[test::kLeft]->GroupMats[1]->TreeNode = &nodes[1];
  m.Materials[test::kSkin]->TreeNode = &nodes[2];
  TFakeExpansion tree;
  state.SetTreeNodes(&tree);
  tree.Expanded = {{&nodes[0], true}, {&nodes[1], true}, {&nodes[2], true}};

  const auto info = TInfoObjData::Take(m);
  const TInfoGroup* left = info->Groups.Find(m.Groups[test::kLeft]->Id);
  ASSERT_NE(left, nullptr);
  EXPECT_TRUE(left->Expanded);
  EXPECT_TRUE(left->GroupMats.Find(m.Groups[test::kLeft]->GroupMats[1]->Id)->Expanded);
  EXPECT_FALSE(left->GroupMats.Find(m.Groups[test::kLeft]->GroupMats[0]->Id)->Expanded);
  EXPECT_TRUE(info->Materials.Find(m.Materials[test::kSkin]->Id)->Expanded);
  EXPECT_FALSE(info->Groups.Find(m.Groups[test::kRight]->Id)->Expanded);

  tree.Expanded.clear();
  info->RestoreInto(m);
  EXPECT_EQ(tree.Expanded,
            (std::map<void*, bool>{{&nodes[0], true}, {&nodes[1], true}, {&nodes[2], true}}));
}

}  // namespace
}  // namespace tarvel
