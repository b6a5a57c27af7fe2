// The one thing a reference plugin supplies: an engine that answers a
// request over its data. The kit (Entry.cc) turns it into the five entry
// points, the asynchronous search thread and the results documents.
#ifndef TESSIK_PLUGINS_KIT_ENGINE_H_
#define TESSIK_PLUGINS_KIT_ENGINE_H_

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "kit/Plan.h"
#include "kit/Results.h"

namespace tessik_plugins {

// What an engine throws when it cannot answer (data missing, server down);
// the message goes into the plugin's error entry.
struct EngineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Engine {
 public:
  virtual ~Engine() = default;
  // The best `limit` hits for `plan` over the documents of `domain` (its
  // "data" property names them; kit/Names.h lists the others), best first,
  // scores in [0, 1], and whether more matched. The kit never calls it with
  // a plan that matches nothing. Called from several threads at once
  // (synchronous searches of different sessions and asynchronous search
  // threads), so any shared state is the engine's to guard. `abort` turns
  // true when the search is no longer wanted; an engine may then stop early
  // with what it has, or throw.
  //
  // When the domain asks for statistics (WantsStatistics, kit/Statistics.h)
  // the engine also fills in `statistics` of what it returns and counts
  // every hit (Hit::counted, length, tf, digest); an engine that cannot
  // leaves them, and then no statistics are written.
  virtual Found Search(const Plan& plan, const Domain& domain, size_t limit, const std::atomic<bool>& abort) = 0;

  // The statistics of the documents of `domain` for a plan that matches
  // nothing (whose required terms are none): the kit asks for them in place
  // of a search when the domain wants statistics. The default knows none.
  virtual Statistics CollectionStatistics(const Plan& plan, const Domain& domain, const std::atomic<bool>& abort);
};

// Defined by each plugin: its engine, made once, on the first search.
std::unique_ptr<Engine> MakeEngine();

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_ENGINE_H_
