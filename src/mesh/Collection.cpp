#include "mesh/Collection.h"

#include <algorithm>

namespace tarvel {

TCollectionHeader TCollectionHeader::Read(TObjectStream& s, std::size_t minItemBytes) {
  TCollectionHeader h;
  h.Count = s.ReadCount(minItemBytes, "collection items");
  const std::int64_t at = s.Position();
  h.Capacity = s.ReadInt32();
  if (h.Capacity < 0) s.FailAt(at, "negative collection capacity " + std::to_string(h.Capacity));
  h.Delta = s.ReadInt16();
  return h;
}

void TCollectionHeader::Write(TObjectStream& s, std::int32_t count, std::int32_t capacity) {
  s.WriteInt32(count);
  s.WriteInt32(capacity);
  s.WriteInt16(16);
}

TCollection::TCollection(std::int32_t capacity) : capacity_(std::max(capacity, 0)) {}

TCollection::TCollection(TObjectStream& s) : capacity_(0) { LoadItems(s); }

TCollection::~TCollection() = default;

void TCollection::LoadItems(TObjectStream& s) {
  // Every item is at least its 2-byte type id.
  const TCollectionHeader h = TCollectionHeader::Read(s, 2);
  capacity_ = h.Capacity;
  delta_ = kDelta;
  items_.reserve(static_cast<std::size_t>(h.Count));
  for (std::int32_t i = 0; i < h.Count; ++i) Insert(GetItem(s));
  // The capacity read back is kept even if the items outgrew it in between.
  capacity_ = std::max(capacity_, Count());
}

void TCollection::StoreItems(TObjectStream& s) const {
  TCollectionHeader::Write(s, Count(), capacity_);
  for (const auto& item : items_) PutItem(s, *item);
}

void TCollection::Store(TObjectStream& s) const { StoreItems(s); }

std::unique_ptr<TStreamableObject> TCollection::GetItem(TObjectStream& s) { return s.Get(); }

void TCollection::PutItem(TObjectStream& s, const TStreamableObject& item) const { s.Put(item); }

void TCollection::Grow() {
  if (Count() >= capacity_) capacity_ += delta_;
}

std::int32_t TCollection::Insert(std::unique_ptr<TStreamableObject> item) {
  const std::int32_t index = Count();
  AtInsert(index, std::move(item));
  return index;
}

std::int32_t TCollection::IndexOf(const TStreamableObject* item) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return static_cast<std::int32_t>(i);
  return -1;
}

void TCollection::CheckIndex(std::int32_t index, std::int32_t limit) const {
  if (index < 0 || index > limit)
    throw ECollectionError("List index out of bounds (" + std::to_string(index) + ")");
}

TStreamableObject* TCollection::At(std::int32_t index) const {
  CheckIndex(index, Count() - 1);
  return items_[static_cast<std::size_t>(index)].get();
}

void TCollection::AtInsert(std::int32_t index, std::unique_ptr<TStreamableObject> item) {
  if (!item)
    throw ECollectionError("Attempt to insert a nil pointer " + std::string(kClassName) +
                           " in collection");
  CheckIndex(index, Count());
  if (PrepareItem(item.get()) != item.get())
    throw ECollectionError("PrepareItem must return the item it was given");
  Grow();
  items_.insert(items_.begin() + index, std::move(item));
}

std::unique_ptr<TStreamableObject> TCollection::AtDelete(std::int32_t index) {
  CheckIndex(index, Count() - 1);
  auto item = std::move(items_[static_cast<std::size_t>(index)]);
  items_.erase(items_.begin() + index);
  return item;
}

void TCollection::Free(TStreamableObject* item) {
  const std::int32_t index = IndexOf(item);
  if (index < 0) throw ECollectionError("Item to free is not in the collection");
  FreeItem(AtDelete(index));
}

void TCollection::FreeAll() {
  auto items = std::move(items_);
  items_.clear();
  for (auto& item : items) FreeItem(std::move(item));
}

void TCollection::Pack() {
  std::erase_if(items_, [](const auto& item) { return item == nullptr; });
}

bool TSortedCollection::Search(TKey key, std::int32_t& index) const {
  std::int32_t lo = 0;
  std::int32_t hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const std::int32_t mid = (lo + hi) / 2;
    const int c = Compare(KeyOf(items_[static_cast<std::size_t>(mid)].get()), key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (!Duplicates) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

std::int32_t TSortedCollection::TryInsert(std::unique_ptr<TStreamableObject>& item) {
  if (!item)
    throw ECollectionError("Attempt to insert a nil pointer " + std::string(kClassName) +
                           " in collection");
  std::int32_t index = Count();
  if (!AppendOnly) {
    const bool found = Search(KeyOf(item.get()), index);
    if (found && !Duplicates) return index;
  }
  AtInsert(index, std::move(item));
  return index;
}

void TSortedCollection::Store(TObjectStream& s) const {
  StoreItems(s);
  s.WriteBool(Duplicates);
  s.WriteBool(AppendOnly);
}

void TSortedCollection::LoadSorted(TObjectStream& s) {
  // Items arrive in stored order; they are appended as they come.
  const bool wasAppendOnly = AppendOnly;
  AppendOnly = true;
  LoadItems(s);
  AppendOnly = wasAppendOnly;
  Duplicates = s.ReadBool();
  AppendOnly = s.ReadBool();
}

}  // namespace tarvel
