// How a stored command names one object of the scene: where it was in its owner's collection,
// its Id there, and its name. The selection commands find their object again by index (when
// the Id still agrees), else by Id, and after a stack was loaded by name.
#pragma once

#include <cstdint>
#include <string>

#include "mesh/Collection.h"
#include "mesh/ObjData.h"

namespace tarvel {

// One step of the way to an object, bound to the command's own stored fields, so the command
// keeps its record layout and its named fields.
struct TObjectRef {
  // The item at Index when it still has Id.
  template <class T>
  T* At(const TTypedCollection<T>& items) const {
    if (Index < 0 || Index >= items.Count()) return nullptr;
    T* item = items[Index];
    return item->Id == Id ? item : nullptr;
  }

  // The item with Id.
  template <class T>
  T* ById(const TTypedCollection<T>& items) const {
    for (std::int32_t i = 0; i < items.Count(); ++i)
      if (T* item = items[i]; item->Id == Id) return item;
    return nullptr;
  }

  // The item named Name, ignoring case.
  template <class T>
  T* ByName(const TTypedCollection<T>& items) const {
    for (std::int32_t i = 0; i < items.Count(); ++i)
      if (T* item = items[i]; SameText(NameOf(*item), Name)) return item;
    return nullptr;
  }

  // Takes the place and Id of an item of items; the name stays as it is.
  template <class T>
  void Link(const TTypedCollection<T>& items, const T& item) const {
    Index = items.IndexOf(&item);
    Id = item.Id;
  }

  // Names no object any more (the name stays).
  void Unlink() const { Index = Id = -1; }

  // Takes the item's present name.
  template <class T>
  void Rename(const T& item) const {
    Name = NameOf(item);
  }

  template <class T>
  static std::string NameOf(const T& item) {
    if constexpr (requires { item.Name(); })
      return item.Name();
    else
      return item.Name;
  }

  std::int32_t& Index;
  std::int32_t& Id;
  std::string& Name;
};

// An item of a collection held by an owner, named by the owner's reference and its own: by
// index while both Ids agree, else by the two Ids (the names follow the objects found).
template <class O, class T>
T* FindByRef(const TTypedCollection<O>& owners, const TObjectRef& owner,
             TTypedCollection<T> O::*items, const TObjectRef& item) {
  if (O* o = owner.At(owners))
    if (T* found = item.At(o->*items)) return found;
  if (O* o = owner.ById(owners))
    if (T* found = item.ById(o->*items)) {
      item.Rename(*found);
      owner.Rename(*o);
      return found;
    }
  return nullptr;
}

// After loading: the item of that name in the owner found by name, whose places and Ids both
// references take; when there is none, both name nothing.
template <class O, class T>
void RelinkByName(const TTypedCollection<O>& owners, O* found, const TObjectRef& owner,
                  TTypedCollection<T> O::*items, const TObjectRef& item) {
  if (T* t = found ? item.ByName(found->*items) : nullptr) {
    owner.Link(owners, *found);
    item.Link(found->*items, *t);
  } else {
    owner.Unlink();
    item.Unlink();
  }
}

}  // namespace tarvel
