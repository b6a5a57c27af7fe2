// The library's query objects: CNSQuery and the term group, terms and domains
// it owns. Plugins read them through the interfaces of tessik/Query.h; the
// building operations are for the query reader (and tests) only.
//
// Reading moves enumeration positions and hands out copies of texts; both
// are kept per reading thread (PerThread), so several plugins may read one
// query at once. Building is not guarded: a query is complete before anyone
// reads it.
#ifndef TESSIK_QUERY_QUERY_H_
#define TESSIK_QUERY_QUERY_H_

#include <map>
#include <memory>
#include <set>

#include "tessik/Query.h"
#include "ulmo/NSString.h"
#include "ulmo/PerThread.h"

namespace Tessik {

// The texts handed out to one reading thread. Each call hands out a fresh
// copy of a stored text and frees the copy handed out for that same stored
// text before, so a returned text stays valid until the same text is asked
// for again (or its owner goes), and a caller that writes into one cannot
// change what is stored.
class HandedOutTexts {
 public:
  const WChar* Hand(const NSString& stored);

 private:
  std::map<const NSString*, std::unique_ptr<WChar[]>> copies_;
};

// An enumeration position in an ordered set: before the first call it is
// nowhere (and yields null), then at a member, then past the last one.
template <class Set>
class Cursor {
 public:
  const typename Set::value_type* Move(const Set& set, bool first) {
    if (first) {
      at_ = set.begin();
      started_ = true;
    } else {
      if (!started_ || at_ == set.end()) return nullptr;
      ++at_;
    }
    return at_ == set.end() ? nullptr : &*at_;
  }

 private:
  typename Set::const_iterator at_{};
  bool started_ = false;
};

using TextSet = std::set<NSString>;  // case-insensitive order, no two equal

class CNSTerm : public ITerm {
 public:
  CNSTerm() = default;
  CNSTerm(const CNSTerm&) = delete;
  CNSTerm& operator=(const CNSTerm&) = delete;

  bool IsTerm() override { return true; }
  bool IsTermGroup() override { return false; }
  const TessikChar* GetText() override;
  const TessikChar* GetField(bool first) override;
  // After the four operations of ITerm: the interface order stays intact.
  virtual ~CNSTerm() = default;

  // Replaces the text with a copy of `text` (null: nothing happens).
  void SetText(const WChar* text);
  // Adds a copy of `field` unless an equal one is there (null: nothing).
  void AddField(const WChar* field);

 private:
  struct Reader {
    Cursor<TextSet> fields;
    HandedOutTexts texts;
  };

  NSString text_;  // unset until SetText
  TextSet fields_;
  vel::ulmo::PerThread<Reader> readers_;
};

class CNSTermGroup : public ITermGroup {
 public:
  CNSTermGroup() = default;
  CNSTermGroup(const CNSTermGroup&) = delete;
  CNSTermGroup& operator=(const CNSTermGroup&) = delete;

  bool IsTerm() override { return false; }
  bool IsTermGroup() override { return true; }
  const TessikChar* GetText() override { return nullptr; }
  const TessikChar* GetField(bool) override { return nullptr; }
  ITerm* GetTerm(bool first) override;
  uint32_t GetCompose() override { return compose_; }
  virtual ~CNSTermGroup() = default;

  // The group owns the term from then on (null: nothing happens).
  void AddTerm(std::unique_ptr<CNSTerm> term);
  void SetCompose(uint32_t code) { compose_ = code; }

 private:
  // Ordered by the terms' addresses, so not in the order they were added.
  using Terms = std::set<std::unique_ptr<CNSTerm>>;

  Terms terms_;
  // A group whose document names no composition joins its terms with "And".
  uint32_t compose_ = TESSIK_COMPOSE_AND;
  vel::ulmo::PerThread<Cursor<Terms>> readers_;
};

class CNSDomain : public IDomain {
 public:
  CNSDomain() = default;
  CNSDomain(const CNSDomain&) = delete;
  CNSDomain& operator=(const CNSDomain&) = delete;
  ~CNSDomain() override = default;

  const TessikChar* GetName() override;
  const TessikChar* GetProperty(const TessikChar* name) override;

  // Replaces the name with a copy of `name` (null: nothing happens).
  void SetName(const WChar* name);
  // Adds copies of the pair unless a property of an equal name is there:
  // the first value stored under a name stays. Either null: nothing.
  void AddProperty(const WChar* name, const WChar* value);

 private:
  NSString name_;  // unset until SetName
  std::map<NSString, NSString> properties_;
  vel::ulmo::PerThread<HandedOutTexts> readers_;
};

class CNSQuery : public IQuery {
 public:
  CNSQuery() = default;
  CNSQuery(const CNSQuery&) = delete;
  CNSQuery& operator=(const CNSQuery&) = delete;
  // The term group with its terms first, then the domains, then the
  // categories.
  ~CNSQuery() override;

  bool UseStemming() override { return stemming_; }
  bool UseSynonym() override { return synonym_; }
  bool IsCaseSensitive() override { return caseSensitive_; }
  IDomain* GetDomain(bool first) override;
  const TessikChar* GetCategory(bool first) override;
  ITermGroup* GetTermGroup() override { return termGroup_.get(); }

  void SetFlags(bool synonym, bool stemming, bool caseSensitive);
  // The query owns the domain from then on (null: nothing happens). Two
  // domains of one name are two members.
  void AddDomain(std::unique_ptr<CNSDomain> domain);
  // Adds a copy of `category` unless an equal one is there (null: nothing).
  void AddCategory(const WChar* category);
  // Destroys the group held so far, if any, and holds `group`.
  void SetTermGroup(std::unique_ptr<CNSTermGroup> group) { termGroup_ = std::move(group); }

 private:
  // Ordered by the domains' addresses.
  using Domains = std::set<std::unique_ptr<CNSDomain>>;
  struct Reader {
    Cursor<Domains> domains;
    Cursor<TextSet> categories;
    HandedOutTexts texts;
  };

  bool synonym_ = false;
  bool stemming_ = false;
  bool caseSensitive_ = false;
  Domains domains_;
  TextSet categories_;
  std::unique_ptr<CNSTermGroup> termGroup_;
  vel::ulmo::PerThread<Reader> readers_;
};

}  // namespace Tessik

#endif  // TESSIK_QUERY_QUERY_H_
