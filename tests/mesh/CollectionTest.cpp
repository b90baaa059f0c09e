// Owned collections and sorted collections: list operations, ownership, sorting, capacity and
// their stream records.
#include "mesh/Collection.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace tarvel {
namespace {

using test::Hex;
using test::ToHex;

int gDestroyed = 0;

// An item with an int key that counts its destructions.
class TIntItem : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TIntItem";
  static constexpr std::uint16_t kStreamId = 901;
  explicit TIntItem(std::int32_t key) : Key(key) {}
  explicit TIntItem(TObjectStream& s) : Key(s.ReadInt32()) {}
  ~TIntItem() override { ++gDestroyed; }
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override { s.WriteInt32(Key); }
  std::int32_t Key;
};

// A sorted collection of TIntItem ordered by key.
class TIntSorted : public TSortedCollection {
 public:
  static constexpr std::string_view kClassName = "TIntSorted";
  static constexpr std::uint16_t kStreamId = 250;
  explicit TIntSorted(std::int32_t capacity = 0) : TSortedCollection(capacity) {}
  explicit TIntSorted(TObjectStream& s) { LoadSorted(s); }
  int Compare(TKey a, TKey b) const override {
    const std::int32_t x = *static_cast<const std::int32_t*>(a);
    const std::int32_t y = *static_cast<const std::int32_t*>(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  TKey KeyOf(const TStreamableObject* item) const override {
    return &static_cast<const TIntItem*>(item)->Key;
  }
  std::int32_t KeyAt(std::int32_t i) const { return static_cast<TIntItem*>(At(i))->Key; }
  std::vector<std::int32_t> Keys() const {
    std::vector<std::int32_t> keys;
    for (std::int32_t i = 0; i < Count(); ++i) keys.push_back(KeyAt(i));
    return keys;
  }
};

const TStreamRegistry& TestRegistry() {
  static const TStreamRegistry registry = [] {
    TStreamRegistry r;
    r.Register(ClassOf<TCollection>());
    r.Register(ClassOf<TCollection>(), 80);
    r.Register(ClassOf<TIntItem>());
    r.Register(ClassOf<TIntSorted>());
    return r;
  }();
  return registry;
}

std::unique_ptr<TIntItem> Item(std::int32_t key) { return std::make_unique<TIntItem>(key); }

std::vector<std::int32_t> KeysOf(const TCollection& c) {
  std::vector<std::int32_t> keys;
  for (std::int32_t i = 0; i < c.Count(); ++i) keys.push_back(static_cast<TIntItem*>(c.At(i))->Key);
  return keys;
}

std::vector<std::uint8_t> Stored(const TStreamableObject& obj) {
  TObjectStream s;
  s.SetRegistry(TestRegistry());
  s.Put(obj);
  return s.Bytes();
}

template <class T>
std::unique_ptr<T> Reloaded(const std::vector<std::uint8_t>& bytes) {
  TObjectStream s(bytes);
  s.SetRegistry(TestRegistry());
  auto obj = s.GetAs<T>();
  EXPECT_EQ(s.BytesLeft(), 0);
  return obj;
}

// ---------------------------------------------------------------------------------------------
// TCollection

TEST(CollectionTest, EmptyCollectionIsTenBytesAfterItsTypeId) {
  const struct {
    std::int32_t Capacity;
    const char* Bytes;
  } cases[] = {
      {0, "96 00 00 00 00 00 00 00 00 00 10 00"},
      {7, "96 00 00 00 00 00 07 00 00 00 10 00"},
      {100, "96 00 00 00 00 00 64 00 00 00 10 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Capacity);
    TCollection list(c.Capacity);
    EXPECT_EQ(list.Delta(), 10);
    const auto bytes = Stored(list);
    EXPECT_EQ(bytes.size(), 12u);
    EXPECT_EQ(ToHex(bytes), ToHex(Hex(c.Bytes)));
    auto back = Reloaded<TCollection>(bytes);
    EXPECT_EQ(back->Count(), 0);
    EXPECT_EQ(back->Capacity(), c.Capacity);
    EXPECT_EQ(back->Delta(), 10) << "Delta goes back to 10 in memory";
  }
}

TEST(CollectionTest, ItemsAreWrittenInOrderWithTheirTypeIds) {
  TCollection list(2);
  list.Insert(Item(5));
  list.Insert(Item(-1));
  EXPECT_EQ(ToHex(Stored(list)), ToHex(Hex("96 00 02 00 00 00 02 00 00 00 10 00"
                                           "85 03 05 00 00 00 85 03 ff ff ff ff")));
  auto back = Reloaded<TCollection>(Stored(list));
  EXPECT_EQ(KeysOf(*back), (std::vector<std::int32_t>{5, -1}));
}

TEST(CollectionTest, ListOperations) {
  const TIntItem stranger(9);
  gDestroyed = 0;
  {
    TCollection list;
    EXPECT_EQ(list.Insert(Item(1)), 0);
    EXPECT_EQ(list.Insert(Item(3)), 1);
    list.AtInsert(1, Item(2));
    list.AtInsert(3, Item(4));  // at the end
    list.AtInsert(0, Item(0));
    EXPECT_EQ(KeysOf(list), (std::vector<std::int32_t>{0, 1, 2, 3, 4}));

    TStreamableObject* three = list.At(3);
    EXPECT_EQ(list.IndexOf(three), 3);
    EXPECT_EQ(list.IndexOf(&stranger), -1);
    EXPECT_EQ(list.IndexOf(nullptr), -1);

    // AtDelete hands the item over without destroying it.
    auto taken = list.AtDelete(3);
    EXPECT_EQ(taken.get(), three);
    EXPECT_EQ(gDestroyed, 0);
    EXPECT_EQ(KeysOf(list), (std::vector<std::int32_t>{0, 1, 2, 4}));
    taken.reset();
    EXPECT_EQ(gDestroyed, 1);

    // Free removes and destroys.
    list.Free(list.At(0));
    EXPECT_EQ(gDestroyed, 2);
    EXPECT_EQ(KeysOf(list), (std::vector<std::int32_t>{1, 2, 4}));

    list.FreeAll();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(gDestroyed, 5);

    list.Insert(Item(7));
    list.Insert(Item(8));
  }
  EXPECT_EQ(gDestroyed, 7) << "destroying a collection destroys its items";
}

TEST(CollectionTest, MisuseRaisesCollectionErrors) {
  TIntItem outside(1);
  const struct {
    const char* Name;
    std::function<void(TCollection&)> Action;
    const char* Message;  // exact text, or empty when only the class matters
  } cases[] = {
      {"insert none", [](TCollection& c) { c.Insert(nullptr); },
       "Attempt to insert a nil pointer TCollection in collection"},
      {"insert none at", [](TCollection& c) { c.AtInsert(0, nullptr); },
       "Attempt to insert a nil pointer TCollection in collection"},
      {"At past the end", [](TCollection& c) { c.At(2); }, ""},
      {"At negative", [](TCollection& c) { c.At(-1); }, ""},
      {"AtInsert beyond the end", [](TCollection& c) { c.AtInsert(3, Item(9)); }, ""},
      {"AtDelete past the end", [](TCollection& c) { c.AtDelete(2); }, ""},
      {"Free of a stranger", [&](TCollection& c) { c.Free(&outside); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TCollection list;
    list.Insert(Item(1));
    list.Insert(Item(2));
    try {
      c.Action(list);
      ADD_FAILURE() << "no ECollectionError";
    } catch (const ECollectionError& e) {
      if (*c.Message) {
        EXPECT_EQ(std::string(e.what()), c.Message);
      }
    }
    EXPECT_EQ(KeysOf(list), (std::vector<std::int32_t>{1, 2})) << "the list is unchanged";
  }
}

TEST(CollectionTest, CapacityGrowsByDelta) {
  const struct {
    std::int32_t Initial, Count, Capacity;
  } cases[] = {
      {0, 0, 0},       {0, 1, 10},  {3, 3, 3},     {3, 4, 13},      {5, 6, 15},
      {5, 15, 15},     {5, 16, 25}, {100, 0, 100}, {100, 101, 110}, {100, 110, 110},
      {100, 111, 120}, {4, 24, 24}, {4, 25, 34},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Initial << " then " << c.Count << " items");
    EXPECT_EQ(GrownCapacity(c.Initial, c.Count, 10), c.Capacity);
    TCollection list(c.Initial);
    for (std::int32_t i = 0; i < c.Count; ++i) list.Insert(Item(i));
    EXPECT_EQ(list.Capacity(), c.Capacity);
  }
}

TEST(CollectionTest, CapacityIsKeptThroughStoreAndReload) {
  TCollection list(7);
  list.Insert(Item(1));
  list.Insert(Item(2));
  const auto bytes = Stored(list);
  auto back = Reloaded<TCollection>(bytes);
  EXPECT_EQ(back->Capacity(), 7);
  EXPECT_EQ(ToHex(Stored(*back)), ToHex(bytes));

  // After reloading, the list grows from the capacity read back, by 10.
  for (int i = 0; i < 6; ++i) back->Insert(Item(3 + i));
  EXPECT_EQ(back->Capacity(), 17);

  // A capacity smaller than the count (a foreign file) does not hide items.
  auto odd =
      Reloaded<TCollection>(Hex("96 00 02 00 00 00 01 00 00 00 10 00"
                                "85 03 05 00 00 00 85 03 06 00 00 00"));
  EXPECT_EQ(KeysOf(*odd), (std::vector<std::int32_t>{5, 6}));
  EXPECT_GE(odd->Capacity(), 2);
}

TEST(CollectionTest, DamagedCollectionRecords) {
  const struct {
    const char* Name;
    const char* Bytes;
  } cases[] = {
      {"negative count", "96 00 ff ff ff ff 00 00 00 00 10 00"},
      {"count beyond the bytes left", "96 00 ff ff ff 7f 00 00 00 00 10 00 85 03 01 00 00 00"},
      {"negative capacity", "96 00 00 00 00 00 fe ff ff ff 10 00"},
      {"item cut", "96 00 01 00 00 00 01 00 00 00 10 00 85 03 01 00"},
      {"unknown item", "96 00 01 00 00 00 01 00 00 00 10 00 86 03 01 00 00 00"},
      {"header cut", "96 00 01 00 00 00 01 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    gDestroyed = 0;
    TObjectStream s(Hex(c.Bytes));
    s.SetRegistry(TestRegistry());
    try {
      s.Get();
      ADD_FAILURE() << "no EObjectStream";
    } catch (const EObjectStream& e) {
      EXPECT_NE(std::string(e.what()).find("byte offset"), std::string::npos) << e.what();
    }
  }
}

// ---------------------------------------------------------------------------------------------
// TSortedCollection

std::unique_ptr<TIntSorted> SortedOf(std::initializer_list<std::int32_t> keys, bool duplicates) {
  auto list = std::make_unique<TIntSorted>();
  list->AppendOnly = true;  // as given, even when out of order
  for (std::int32_t k : keys) list->Insert(Item(k));
  list->AppendOnly = false;
  list->Duplicates = duplicates;
  return list;
}

TEST(SortedCollectionTest, SearchFindsTheFirstEqualItemOrTheInsertPosition) {
  const struct {
    std::initializer_list<std::int32_t> Keys;
    bool Duplicates;
    std::int32_t Key;
    bool Found;
    std::int32_t Index;
  } cases[] = {
      {{}, true, 5, false, 0},
      {{1, 3, 5, 7}, false, 5, true, 2},
      {{1, 3, 5, 7}, false, 1, true, 0},
      {{1, 3, 5, 7}, false, 7, true, 3},
      {{1, 3, 5, 7}, false, 4, false, 2},
      {{1, 3, 5, 7}, false, 0, false, 0},
      {{1, 3, 5, 7}, false, 9, false, 4},
      {{1, 3, 3, 3, 5}, true, 3, true, 1},
      {{3, 3, 3, 3, 3, 3}, true, 3, true, 0},
      {{1, 3, 3, 3, 5}, true, 4, false, 4},
      {{1, 3, 3, 3, 5}, true, 6, false, 5},
      {{1, 3, 5, 7}, true, 7, true, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "key " << c.Key << " among " << c.Keys.size());
    const auto list = SortedOf(c.Keys, c.Duplicates);
    std::int32_t index = -99;
    EXPECT_EQ(list->Search(&c.Key, index), c.Found);
    EXPECT_EQ(index, c.Index);
  }
}

TEST(SortedCollectionTest, InsertKeepsKeyOrder) {
  gDestroyed = 0;
  TIntSorted list;
  EXPECT_TRUE(list.Duplicates) << "duplicates are allowed after creation";
  EXPECT_FALSE(list.AppendOnly);
  for (std::int32_t k : {5, 1, 9, 3, 7}) list.Insert(Item(k));
  EXPECT_EQ(list.Keys(), (std::vector<std::int32_t>{1, 3, 5, 7, 9}));

  // A duplicate goes in front of the equal items.
  auto dup = Item(5);
  TIntItem* dupRaw = dup.get();
  EXPECT_EQ(list.Insert(std::move(dup)), 2);
  EXPECT_EQ(list.At(2), dupRaw);
  EXPECT_EQ(list.Count(), 6);
}

TEST(SortedCollectionTest, WithoutDuplicatesAnEqualKeyIsNotInserted) {
  gDestroyed = 0;
  auto list = SortedOf({1, 3, 5}, false);
  std::unique_ptr<TStreamableObject> again = Item(3);
  EXPECT_EQ(list->TryInsert(again), 1) << "the index of the existing item";
  ASSERT_NE(again, nullptr) << "the caller keeps the refused item";
  EXPECT_EQ(list->Keys(), (std::vector<std::int32_t>{1, 3, 5}));

  EXPECT_EQ(list->Insert(std::move(again)), 1);
  EXPECT_EQ(gDestroyed, 1) << "Insert destroys a refused duplicate";
  EXPECT_EQ(list->Insert(Item(4)), 2);
  EXPECT_EQ(list->Keys(), (std::vector<std::int32_t>{1, 3, 4, 5}));
}

TEST(SortedCollectionTest, AppendOnlyAppends) {
  auto list = SortedOf({1, 3, 5}, false);
  list->AppendOnly = true;
  EXPECT_EQ(list->Insert(Item(0)), 3);
  EXPECT_EQ(list->Insert(Item(3)), 4) << "not even a duplicate check";
  EXPECT_EQ(list->Keys(), (std::vector<std::int32_t>{1, 3, 5, 0, 3}));
}

TEST(SortedCollectionTest, InsertingNoneRaises) {
  TIntSorted list;
  EXPECT_THROW(list.Insert(nullptr), ECollectionError);
  std::unique_ptr<TStreamableObject> none;
  EXPECT_THROW(list.TryInsert(none), ECollectionError);
  EXPECT_EQ(list.Count(), 0);
}

TEST(SortedCollectionTest, StoredWithItsFlagsAndReadBackInStoredOrder) {
  TIntSorted list(3);
  list.AppendOnly = true;
  list.Insert(Item(9));
  list.Insert(Item(2));
  list.Duplicates = false;
  const auto bytes = Stored(list);
  EXPECT_EQ(ToHex(bytes), ToHex(Hex("fa 00 02 00 00 00 03 00 00 00 10 00"
                                    "85 03 09 00 00 00 85 03 02 00 00 00 00 01")));
  auto back = Reloaded<TIntSorted>(bytes);
  EXPECT_EQ(back->Keys(), (std::vector<std::int32_t>{9, 2}));
  EXPECT_FALSE(back->Duplicates);
  EXPECT_TRUE(back->AppendOnly);
  EXPECT_EQ(back->Capacity(), 3);
  EXPECT_EQ(ToHex(Stored(*back)), ToHex(bytes));
}

}  // namespace
}  // namespace tarvel
