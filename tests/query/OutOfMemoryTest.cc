// Running out of memory while a query is read: every allocation of the
// reader fails in turn. A failure inside a term or term group leaves that
// element out and the reading goes on; elsewhere the caller gets
// TESSIK_E_OUT_OF_MEMORY. Nothing leaks either way (the asan lane checks).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "query/QueryReader.h"
#include "query/XMLManager.h"
#include "tests/query/QueryTestUtil.h"

namespace {
// Allocations left before one fails; negative: none fails.
std::atomic<long> g_allocationsLeft{-1};
std::atomic<long> g_failures{0};
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++g_allocations;
  if (g_allocationsLeft.load(std::memory_order_relaxed) >= 0 && g_allocationsLeft.fetch_sub(1) == 0) {
    ++g_failures;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
// The replacements pair malloc with free; the compiler, seeing delete call
// free, cannot know that new called malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

const TessikChar* const kDocument =
    TX("<q synonym='true'><Domain><Name>web</Name><Property name='k'>v</Property></Domain>"
       "<Category>c1</Category><Category>c2</Category><TermGroup compose='Or'>"
       "<Term><Text>one</Text><Field>title</Field></Term><Term><Text>two</Text></Term></TermGroup></q>");

TEST(QueryOutOfMemory, EveryAllocationOfTheReaderFailsInTurn) {
  Tessik::DocumentPtr document(Tessik::ParseXMLDocument(kDocument));
  ASSERT_NE(document, nullptr);
  const xercesc::DOMElement& root = *document->getDocumentElement();

  int thrown = 0, partial = 0, whole = 0;
  for (long k = 0;; ++k) {
    std::unique_ptr<Tessik::CNSQuery> query;
    long failuresBefore = g_failures.load();
    g_allocationsLeft = k;
    try {
      query = Tessik::BuildQuery(root);
    } catch (const std::bad_alloc&) {
      ++thrown;
    }
    g_allocationsLeft = -1;
    if (g_failures.load() == failuresBefore) {  // nothing failed: every allocation was tried
      ASSERT_NE(query, nullptr);
      ++whole;
      break;
    }
    if (query == nullptr) continue;
    // A query that came back is whole but for a left-out group or term.
    EXPECT_TRUE(query->UseSynonym());
    EXPECT_EQ(Categories(query.get()).size(), 2u);
    std::vector<IDomain*> domains = Domains(query.get());
    ASSERT_EQ(domains.size(), 1u);
    EXPECT_EQ(Str(domains[0]->GetName()), T("web"));
    EXPECT_EQ(Str(domains[0]->GetProperty(TX("k"))), T("v"));
    ITermGroup* group = query->GetTermGroup();
    if (group == nullptr || Terms(group).size() < 2) ++partial;
  }
  EXPECT_GT(thrown, 0);   // failures outside the term group reach the caller
  EXPECT_GT(partial, 0);  // failures inside it leave an element out, and reading goes on
  EXPECT_EQ(whole, 1);
}

TEST(QueryOutOfMemory, ThroughTheExport) {
  // The parser gives up memory it holds when it runs out (it may not be able
  // to free it safely), so the sweep starts after the parse: its allocations
  // are counted on a warm parser, which makes the same ones every time.
  IQuery* query = nullptr;
  ASSERT_EQ(Tessik_ParseQueryFromXML(kDocument, &query), TESSIK_OK);
  Tessik_ReleaseQuery(query);
  long before = g_allocations.load();
  Tessik::DocumentPtr(Tessik::ParseXMLDocument(kDocument)).reset();
  const long parse = g_allocations.load() - before;

  int outOfMemory = 0, whole = 0;
  for (long k = parse;; ++k) {
    long failuresBefore = g_failures.load();
    IQuery* sentinel = reinterpret_cast<IQuery*>(&k);
    query = sentinel;
    g_allocationsLeft = k;
    int32_t status = Tessik_ParseQueryFromXML(kDocument, &query);
    g_allocationsLeft = -1;
    if (status == TESSIK_OK) {
      ASSERT_NE(query, nullptr);
      Tessik_ReleaseQuery(query);
    } else {
      ASSERT_EQ(status, TESSIK_E_OUT_OF_MEMORY);
      EXPECT_EQ(query, nullptr);  // a query that failed is never delivered
      ++outOfMemory;
    }
    if (g_failures.load() == failuresBefore) {
      ++whole;
      break;
    }
  }
  EXPECT_GT(outOfMemory, 0);
  EXPECT_EQ(whole, 1);
}

}  // namespace
