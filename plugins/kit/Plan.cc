#include "kit/Plan.h"

namespace tessik_plugins {

Plan MakePlan(const Request& request) {
  Plan plan;
  plan.any = request.compose == Compose::kOr;
  plan.categories = request.categories;
  plan.stemming = request.stemming;
  plan.synonyms = request.synonyms;
  plan.caseSensitive = request.caseSensitive;
  for (const Term& term : request.terms) {
    const bool excluded = term.excluded || request.compose == Compose::kNot;
    (excluded ? plan.excluded : plan.required).push_back(term);
  }
  // Terms were given, but none (or none of those a hit needs) has a word.
  const bool unusable =
      (request.termsGiven > 0 && request.terms.empty()) || (request.requiredGiven > 0 && plan.required.empty());
  plan.nothing = unusable || (plan.required.empty() && plan.categories.empty());
  return plan;
}

}  // namespace tessik_plugins
