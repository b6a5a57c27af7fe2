// The one reading of a request's terms that every engine searches by: which
// terms a hit needs, which it may not hold, and whether the query can match
// anything at all. Built once, in the kit, so And, Or and Not mean the same
// on every engine.
#ifndef TESSIK_PLUGINS_KIT_PLAN_H_
#define TESSIK_PLUGINS_KIT_PLAN_H_

#include <string>
#include <vector>

#include "kit/Request.h"

namespace tessik_plugins {

struct Plan {
  // Terms a hit needs: every one, or at least one when `any` ("Or").
  std::vector<Term> required;
  bool any = false;
  // Terms no hit may hold: the "not" field's, and every term under "Not".
  std::vector<Term> excluded;
  std::vector<std::string> categories;  // none: every category
  bool stemming = false, synonyms = false, caseSensitive = false;
  // True when the query can match no document: it gave terms but none with
  // a word to search for (such as "!!!"), or it has neither a term to rank
  // by nor a category to select by. Such a query must not return the
  // whole collection.
  bool nothing = false;

  // False when no term ranks the hits: every document the categories leave
  // (less the excluded ones) counts the same.
  bool Ranked() const { return !required.empty(); }
};

Plan MakePlan(const Request& request);

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_PLAN_H_
