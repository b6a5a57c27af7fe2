// For plugin authors: the query a search hands to every plugin.
//
// A query holds one term group of terms, a set of search domains with named
// properties, a set of categories, and three option flags. The library only
// builds it (Tessik_ParseQueryFromXML) and carries it to the plugins; what
// the terms, fields, domains, categories, compose codes and flags mean is
// for each plugin to decide. A plugin receives the query as the `const void*`
// of its search entry points and casts it to `IQuery*`.
//
// The operations of each interface are declared in the order they keep for
// ever: that order is the binary interface between the library and plugins.
//
// Ownership and lifetime:
//  - The application owns the query and destroys it with Tessik_ReleaseQuery
//    once no search uses it; every pointer reached through it (groups,
//    terms, domains, texts) is invalid from then on. A plugin never destroys
//    or changes anything it reaches through a query.
//  - A returned text is owned by the object that returned it. It stays valid
//    until the same stored text is returned again on the same thread, or
//    until the query is destroyed, whichever comes first; copy it to keep it
//    longer. Texts are NUL-terminated UTF-16.
//
// Enumerations (GetField, GetTerm, GetDomain, GetCategory): call once with
// `first` true, then with `first` false until null comes back. A call with
// `first` true starts over at any time; once past the last member, every
// further call with `first` false returns null. Calling with `first` false
// before any call with `first` true returns null.
//
// Order of members: terms and domains come in no particular order (not the
// document's); fields and categories come in the library's case-insensitive,
// locale-aware order and hold no two members equal but for case; property
// names are looked up by that same comparison.
//
// Threads: a query may be read by several threads at once (an asynchronous
// search hands the same query to every plugin, and a plugin may read it on
// threads of its own). Every thread has its own enumeration positions and its
// own returned texts: one thread's enumeration neither moves nor cuts short
// another's, and a text returned to one thread is not replaced by a call on
// another. So an enumeration is begun and continued on one thread: a call
// with `first` false on a thread that did not begin it returns null.
//
// Failures: an operation that returns a text copies it, and throws
// std::bad_alloc when memory runs out; nothing else throws.
//
// Binary interface: the interfaces keep the slot layout of the GCC/Clang C++
// ABI (on Windows, mingw-w64), in which a virtual destructor takes two
// slots. Plugins must be built with a compiler of that ABI; a compiler that
// gives the destructor one slot would call the wrong operations.
#ifndef TESSIK_QUERY_H_
#define TESSIK_QUERY_H_

#include <stdint.h>

#include "tessik/Char.h"
#include "tessik/Object.h"

// The composition of a term group, as GetCompose returns it.
enum Compose : uint32_t {
  TESSIK_COMPOSE_AND = 0,  // every term ("And"; also a group that names none)
  TESSIK_COMPOSE_OR = 1,   // any term ("Or")
  TESSIK_COMPOSE_NOT = 2,  // none of the terms ("Not")
};

// One search term. Never destroyed through this interface.
class ITerm {
 public:
  // True for a term, false for a term group.
  virtual bool IsTerm() = 0;
  // True for a term group, false for a term.
  virtual bool IsTermGroup() = 0;
  // The term's text; null when the term has none (an empty text is "", not
  // null). A term group returns null.
  virtual const TessikChar* GetText() = 0;
  // Enumerates the field names the term is restricted to (none: no
  // restriction). A term group returns null.
  virtual const TessikChar* GetField(bool first) = 0;

 protected:
  ~ITerm() = default;
};

// The query's terms joined by one composition. Groups never nest: the terms
// of a group are always plain terms (IsTerm true).
class ITermGroup : public ITerm {
 public:
  // Enumerates the group's terms.
  virtual ITerm* GetTerm(bool first) = 0;
  // The Compose code.
  virtual uint32_t GetCompose() = 0;

 protected:
  ~ITermGroup() = default;
};

// One search domain with its named properties.
class IDomain {
 public:
  // Only the library destroys domains.
 protected:
  virtual ~IDomain() = default;

 public:
  // The domain's name, or null when it has none.
  virtual const TessikChar* GetName() = 0;
  // The value of the property whose name equals `name` but for case, or null
  // when there is none. A null `name` looks up the empty name.
  virtual const TessikChar* GetProperty(const TessikChar* name) = 0;
};

class IQuery : public Tessik::IObject {
 public:
  // The three flags hold for the whole query.
  virtual bool UseStemming() = 0;
  virtual bool UseSynonym() = 0;
  virtual bool IsCaseSensitive() = 0;
  // Enumerates the domains; two domains may share a name.
  virtual IDomain* GetDomain(bool first) = 0;
  // Enumerates the categories.
  virtual const TessikChar* GetCategory(bool first) = 0;
  // The query's term group, or null when it has none.
  virtual ITermGroup* GetTermGroup() = 0;
};

#endif  // TESSIK_QUERY_H_
