// Owned, ordered lists of streamable objects, and their sorted variant. Destroying a
// collection destroys its items.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "mesh/ObjectStream.h"

namespace tarvel {

class ECollectionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The capacity a list created with `initial` slots reports after holding `count` items: it
// grows by `delta` slots whenever it is full.
inline std::int32_t GrownCapacity(std::int32_t initial, std::int32_t count, std::int32_t delta) {
  if (count <= initial) return initial;
  const std::int32_t over = count - initial;
  return initial + (over + delta - 1) / delta * delta;
}

// The list and Delta written into a collection record; shared by the heap-object collections
// and the value lists of the mesh.
struct TCollectionHeader {
  std::int32_t Count = 0;
  std::int32_t Capacity = 0;
  std::int16_t Delta = 0;
  // Reads count, capacity and Delta, checking that count items of at least minItemBytes each
  // fit into what is left of the stream.
  static TCollectionHeader Read(TObjectStream& s, std::size_t minItemBytes);
  static void Write(TObjectStream& s, std::int32_t count, std::int32_t capacity);
};

class TCollection : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TCollection";
  static constexpr std::uint16_t kStreamId = 150;
  static constexpr std::int16_t kDelta = 10;

  explicit TCollection(std::int32_t capacity = 0);
  explicit TCollection(TObjectStream& s);
  ~TCollection() override;

  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;
  void Cleanup() override { FreeAll(); }

  // Reads one item (a polymorphic Get) and writes one (a Put).
  virtual std::unique_ptr<TStreamableObject> GetItem(TObjectStream& s);
  virtual void PutItem(TObjectStream& s, const TStreamableObject& item) const;
  // Applied to every item before it is inserted; returns it unchanged unless overridden.
  virtual TStreamableObject* PrepareItem(TStreamableObject* item) { return item; }
  // Appends; returns the index.
  virtual std::int32_t Insert(std::unique_ptr<TStreamableObject> item);
  virtual std::int32_t IndexOf(const TStreamableObject* item) const;
  virtual void FreeItem(std::unique_ptr<TStreamableObject> item) { item.reset(); }

  TStreamableObject* At(std::int32_t index) const;
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  std::int32_t Capacity() const { return capacity_; }
  std::int16_t Delta() const { return delta_; }
  // The capacity the record reports, as a reader that rebuilds a stored list sets it; never
  // below the count.
  void SetCapacity(std::int32_t capacity) { capacity_ = std::max(capacity, Count()); }
  void AtInsert(std::int32_t index, std::unique_ptr<TStreamableObject> item);
  // Removes the item without destroying it; the caller takes it.
  std::unique_ptr<TStreamableObject> AtDelete(std::int32_t index);
  // Removes and destroys the item.
  void Free(TStreamableObject* item);
  void FreeAll();
  // Drops empty slots.
  void Pack();

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // Empties the collection and reads the body of a collection record into it (the type id
  // has been read by the caller).
  void LoadFrom(TObjectStream& s) {
    FreeAll();
    LoadItems(s);
  }

 protected:
  // For collection classes whose Load constructor first builds the base: reads the count,
  // capacity and Delta, then every item with GetItem.
  void LoadItems(TObjectStream& s);
  void StoreItems(TObjectStream& s) const;
  void CheckIndex(std::int32_t index, std::int32_t limit) const;
  std::vector<std::unique_ptr<TStreamableObject>> items_;

 private:
  void Grow();
  std::int32_t capacity_;
  std::int16_t delta_ = kDelta;
};

// A collection of T: every item read must be a T. Written as a plain TCollection.
template <class T>
class TTypedCollection : public TCollection {
 public:
  explicit TTypedCollection(std::int32_t capacity = 0) : TCollection(capacity) {}
  explicit TTypedCollection(TObjectStream& s) : TCollection(0) { LoadItems(s); }
  const std::type_info& StreamClass() const override { return typeid(TCollection); }
  std::unique_ptr<TStreamableObject> GetItem(TObjectStream& s) override { return s.GetAs<T>(); }
  T* operator[](std::int32_t index) const { return static_cast<T*>(At(index)); }
  T* Add(std::unique_ptr<T> item) {
    T* raw = item.get();
    Insert(std::move(item));
    return raw;
  }
  template <class F>
  void ForEach(F&& f) const {
    for (const auto& item : items_) f(*static_cast<T*>(item.get()));
  }
};

// A collection kept in key order.
class TSortedCollection : public TCollection {
 public:
  static constexpr std::string_view kClassName = "TSortedCollection";
  static constexpr std::uint16_t kStreamId = 250;
  using TKey = const void*;

  explicit TSortedCollection(std::int32_t capacity = 0) : TCollection(capacity) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  virtual int Compare(TKey a, TKey b) const = 0;
  virtual TKey KeyOf(const TStreamableObject* item) const { return item; }
  // Binary search: whether the key was found, and the index of the (first) equal item or
  // where the key would be inserted.
  virtual bool Search(TKey key, std::int32_t& index) const;
  // Inserts in key order (appends when AppendOnly). When the key exists and duplicates are
  // off, nothing is inserted and `item` stays with the caller; the result is then the index
  // of the existing item.
  std::int32_t TryInsert(std::unique_ptr<TStreamableObject>& item);
  // As TryInsert; a rejected duplicate is destroyed.
  std::int32_t Insert(std::unique_ptr<TStreamableObject> item) override { return TryInsert(item); }

  bool Duplicates = true;
  bool AppendOnly = false;

 protected:
  // The Load of a sorted collection: the items, then the two flags.
  void LoadSorted(TObjectStream& s);
};

}  // namespace tarvel
