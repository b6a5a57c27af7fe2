// For applications and plugin authors: hits and hit lists.
//
// A hit carries a raw score, a normalised score and named text properties.
// A hit list holds hits in an order of its own, sorts them and hands them out
// through a selector. Make them with Tessik_NewHit and Tessik_NewHitList,
// turn a list into a results document and back with
// Tessik_ConvertHitListToXML and Tessik_ConvertXMLToHitList, and give them
// back with Tessik_ReleaseHit and Tessik_ReleaseHitList (either name destroys
// either kind).
//
// The operations of each interface are declared in the order they keep for
// ever: that order is the binary interface between the library, plugins and
// applications. Only the library implements IHit and IHitList; an object of
// another implementation is refused where a library object is required.
//
// Ownership:
//  - A hit belongs to whoever received it until it is added to a list
//    (AddHit, operator+=); from then on it belongs to that list, which
//    destroys it on Clear or when the list itself is destroyed. Do not
//    release a hit that is in a list, nor add it a second time to any list.
//  - Append moves the other list's hits: they then belong to this list.
//  - A hit returned by GetNextHit stays owned by its list.
//
// Returned texts: GetProperty returns a copy owned by the hit, valid until
// the same property of the same hit is asked for again, or the hit is
// destroyed; copy it to keep it longer. Texts are NUL-terminated UTF-16.
//
// Null arguments make an operation do nothing rather than fail: see each
// operation.
//
// Threads: every operation of every hit list, in this process and in every
// other process on the machine that uses the library, runs under one shared
// lock, so lists may be used from any thread. The lock is recursive: a
// selector's Accept, which runs under it, may call operations of any list on
// its own thread, but a selector that waits for another thread's list
// operation deadlocks. There is no state kept per thread: a list has one
// selection cursor, shared by every thread that uses it. Hits have no lock:
// a hit is used by one thread at a time (GetProperty changes the hit, as it
// replaces the text it hands out), and a list is not changed while it is
// being written as XML.
//
// Failures: operations of a list raise the library's system error when the
// shared lock cannot be waited for (the list is then unchanged), and
// std::bad_alloc when memory runs out while hits are added (both lists keep
// what they held). Append raises std::bad_cast for a list of another
// implementation.
#ifndef TESSIK_HITS_H_
#define TESSIK_HITS_H_

#include <stdint.h>

#include <vector>

#include "tessik/Char.h"
#include "tessik/Object.h"

class IHit : public Tessik::IObject {
 public:
  // The raw score, as last set (0 for a new hit).
  virtual int32_t GetRawScore() = 0;
  // The normalised score, as last set (0.0 for a new hit). Any double,
  // including infinities and NaN; the library never computes it.
  virtual double GetNormScore() = 0;
  virtual void SetRawScore(int32_t score) = 0;
  virtual void SetNormScore(double score) = 0;
  // The value of the property whose name equals `name` but for case (the
  // library's case-insensitive, locale-aware comparison), or null when there
  // is none or `name` is null. See "Returned texts" above.
  virtual const TessikChar* GetProperty(const TessikChar* name) = 0;
  // Stores copies of `name` and `value`. A property whose name equals `name`
  // but for case keeps its first value and its first spelling: nothing is
  // replaced. Either argument null: nothing happens.
  virtual void SetProperty(const TessikChar* name, const TessikChar* value) = 0;
};

// Chooses the hits GetNextHit hands out. Derive from it and override
// Accept; the base accepts every hit. It has no virtual destructor, on
// purpose: one would move Accept's place in the binary interface. Never
// delete a derived selector through a CHitSelector pointer.
class CHitSelector {
 public:
  // True when `hit` (never null) is to be handed out. Runs under the hit
  // lists' shared lock (see Threads).
  virtual bool Accept(IHit* /*hit*/) { return true; }
};

class IHitList : public Tessik::IObject {
 public:
  // True when the list holds no hit.
  virtual bool IsEmpty() = 0;
  // Destroys every hit of the list, in list order. The selection cursor is
  // left where it was.
  virtual void Clear() = 0;
  // Orders the hits by normalised score, highest first. Hits of equal score
  // are ordered by the properties named in `tieBreakNames`, in turn, as
  // SortByProperty orders them; hits whose score is NaN come after all
  // others and are ordered among themselves like equal scores. `tieBreakNames`
  // may be null or empty (no tie-break); a null name in it compares every
  // hit equal. Hits found equal end in no particular order: the sort is not
  // stable.
  virtual void SortByScore(const std::vector<const TessikChar*>* tieBreakNames) = 0;
  // Orders the hits by the value of the property `name`, ascending in the
  // library's case-insensitive, locale-aware order; hits without it come
  // last. Not stable. A null `name` does nothing.
  virtual void SortByProperty(const TessikChar* name) = 0;
  // The number of hits.
  virtual uint32_t GetCount() = 0;
  // Hands out the hits that `selector` accepts, in list order: call with
  // `first` true to start at the first hit, then with `first` false until
  // null comes back (and stays null). A call with `first` true starts over
  // at any time. Before any selection, a call with `first` false returns
  // null. After the list has changed (hits added, cleared, sorted, appended)
  // a call with `first` false goes on from the same position in the new
  // order, or returns null when that position is past the end: start over
  // after changing a list.
  virtual IHit* GetNextHit(bool first, CHitSelector& selector) = 0;
  // Moves every hit of `other`, in its order, to the end of this list and
  // leaves `other` empty. Nothing happens when `other` is this list.
  // Raises std::bad_cast when `other` is of another implementation.
  virtual void Append(IHitList& other) = 0;
  // Adds `hit` at the end; the list owns it from then on. A null hit, or a
  // hit of another implementation, is not added (the caller keeps it).
  virtual void AddHit(IHit* hit) = 0;
  // AddHit, then returns this list.
  virtual IHitList& operator+=(IHit* hit) = 0;
};

#endif  // TESSIK_HITS_H_
