// A list of plain value records (vertices, points, corners) kept in one contiguous array and
// streamed exactly as a collection of objects: count, capacity, Delta, then every record
// preceded by its type id. Millions of vertices cost one allocation instead of millions, and a
// large list lies on huge pages.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mesh/Collection.h"
#include "mesh/HugePages.h"
#include "mesh/ObjectStream.h"

namespace tarvel {

template <class T>
class TRecordList {
 public:
  explicit TRecordList(std::int32_t initialCapacity = 100) : initial_(initialCapacity) {}

  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  T& operator[](std::int32_t i) { return items_[static_cast<std::size_t>(i)]; }
  const T& operator[](std::int32_t i) const { return items_[static_cast<std::size_t>(i)]; }
  // The item at i, or none when i is outside the list.
  T* Find(std::int32_t i) { return i >= 0 && i < Count() ? &(*this)[i] : nullptr; }
  const T* Find(std::int32_t i) const { return i >= 0 && i < Count() ? &(*this)[i] : nullptr; }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  std::span<T> Span() { return items_; }
  std::span<const T> Span() const { return items_; }
  THugeVector<T>& Items() { return items_; }
  const THugeVector<T>& Items() const { return items_; }

  T& Add(const T& item) {
    items_.push_back(item);
    return items_.back();
  }
  void Reserve(std::size_t n) { items_.reserve(n); }
  // The capacity a list read from a stream reported.
  void SetLoadedCapacity(std::int32_t capacity) { loadedCapacity_ = capacity; }
  void Clear() { items_.clear(); }

  // The capacity the list reports in its record: what was read back, or the growth of the
  // initial capacity by 10 slots at a time.
  std::int32_t Capacity() const {
    const std::int32_t grown = GrownCapacity(initial_, Count(), TCollection::kDelta);
    return loadedCapacity_ >= Count() ? loadedCapacity_ : grown;
  }

  // The capacity the record reports from now on, as a reader that rebuilds a stored list sets
  // it; one below the count gives way to the grown capacity.
  void SetCapacity(std::int32_t capacity) { loadedCapacity_ = capacity; }
  std::int32_t InitialCapacity() const { return initial_; }

  // The record body: count, capacity, Delta 16, then each item with its type id.
  void StoreBody(TObjectStream& s) const {
    TCollectionHeader::Write(s, Count(), Capacity());
    if (items_.empty()) return;
    const std::uint16_t id = s.IdForClass(ClassOf<T>());
    for (const T& item : items_) {
      s.WriteUInt16(id);
      item.Store(s);
    }
  }
  void LoadBody(TObjectStream& s) {
    const TCollectionHeader h = TCollectionHeader::Read(s, 2 + T::kMinStoredBytes);
    items_.clear();
    items_.resize(static_cast<std::size_t>(h.Count));
    std::uint16_t cached = 0;
    for (T& item : items_) {
      s.GetItemHeader(ClassOf<T>(), cached);
      item.Load(s);
    }
    loadedCapacity_ = h.Capacity;
  }
  // The whole object: the collection's type id, then the body.
  void Put(TObjectStream& s) const {
    s.PutHeader(ClassOf<TCollection>());
    StoreBody(s);
  }
  void Get(TObjectStream& s) {
    s.GetHeader(ClassOf<TCollection>());
    LoadBody(s);
  }

 private:
  THugeVector<T> items_;
  std::int32_t initial_;
  std::int32_t loadedCapacity_ = -1;
};

}  // namespace tarvel
