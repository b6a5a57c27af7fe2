// The search manager from inside: the session registry, plugin names and the
// result merge.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "search/SessionMgr.h"
#include "search/Markers.h"
#include "search/SearchMgr.h"
#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/Text.h"
#include "tests/common/TestText.h"

using Tessik::CSearchMgr;
using Tessik::CSessionMgr;
using vel::ulmo::AString;
using vel::ulmo::WString;
namespace markers = Tessik::markers;

namespace {

uint32_t ViaLoweredCopy(TString text, const char* marker) {
  vel::ulmo::osdep::LowerText(text.data(), static_cast<uint32_t>(text.size()));
  size_t at = text.find(T(marker));
  return at == TString::npos ? WString::npos : static_cast<uint32_t>(at);
}

TString Merge(std::initializer_list<TString> documents) {
  CSearchMgr searchMgr(nullptr);
  for (const auto& d : documents) searchMgr.MergeResults(d.data(), static_cast<uint32_t>(d.size()));
  const WString& r = searchMgr.Results();
  return TString(r.CStr(), r.Length());
}

}  // namespace

TEST(SessionRegistry, IdentifiersCountUpWrapAndSkipUsedOnes) {
  CSessionMgr& registry = CSessionMgr::Instance();
  EXPECT_EQ(registry.AddSession(nullptr, nullptr), TESSIK_E_NULL_ARGUMENT);

  uint32_t a = 0, b = 0;
  ASSERT_EQ(registry.AddSession(new CSearchMgr(nullptr), &a), TESSIK_OK);
  ASSERT_EQ(registry.AddSession(new CSearchMgr(TX("named")), &b), TESSIK_OK);
  EXPECT_EQ(b, a + 1);
  CSearchMgr* found = nullptr;
  ASSERT_EQ(registry.GetSearchMgr(b, &found), TESSIK_OK);
  EXPECT_EQ(found->GetSessionId(), b);

  // Wrap: from 0xFFFFFFFF the next is the smallest free identifier above 0.
  registry.SetLastIssuedForTesting(0xFFFFFFFEu);
  uint32_t top = 0, wrapped = 0;
  ASSERT_EQ(registry.AddSession(new CSearchMgr(nullptr), &top), TESSIK_OK);
  EXPECT_EQ(top, 0xFFFFFFFFu);
  ASSERT_EQ(registry.AddSession(new CSearchMgr(nullptr), &wrapped), TESSIK_OK);
  uint32_t smallestFree = 1;
  while (smallestFree == a || smallestFree == b) ++smallestFree;
  EXPECT_EQ(wrapped, smallestFree);

  // No identifier written, but registered all the same.
  CSearchMgr* silent = new CSearchMgr(nullptr);
  ASSERT_EQ(registry.AddSession(silent, nullptr), TESSIK_OK);
  EXPECT_NE(silent->GetSessionId(), 0u);

  for (uint32_t id : {a, b, top, wrapped, silent->GetSessionId()}) EXPECT_EQ(registry.RemoveSession(id), TESSIK_OK);
  found = reinterpret_cast<CSearchMgr*>(1);
  EXPECT_EQ(registry.GetSearchMgr(a, &found), TESSIK_E_NO_SESSION);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(registry.RemoveSession(a), TESSIK_E_NO_SESSION);
}

TEST(Markers, SameAsSearchingALowerCasedCopy) {
  // What Locate must find in `text`: both markers looked for in a lower-cased
  // copy. It runs on a buffer of exactly the text's size (a read past the end
  // shows under ASan) and on one where `beyond` follows the text, units that
  // complete a marker cut off at its end (a read past it shows in any lane).
  auto agrees = [](const TString& text, const TString& beyond) {
    uint32_t end = ViaLoweredCopy(text, "</results>");
    uint32_t start = ViaLoweredCopy(text, "<result ");
    if (start != WString::npos && end != WString::npos && start > end) start = WString::npos;
    std::vector<TessikChar> exact(text.begin(), text.end());
    TString followed = text + beyond;
    const uint32_t length = static_cast<uint32_t>(text.size());
    for (const TessikChar* buffer : {exact.data(), followed.data()}) {
      markers::Positions found = markers::Locate(buffer, length);
      if (found.start != start || found.end != end) return false;
    }
    return true;
  };

  // Pieces that look like markers in any case, among units that lower-case
  // to ASCII letters (dotted I, Kelvin sign) or look alike, and runs of
  // filler that move everything across the 16- and 32-unit steps.
  // clang-format off
  const TString pieces[] = {TX("<result "), TX("<RESULT "), TX("<Result "), TX("<resul"), TX("</results>"),
                            TX("</RESULTS>"), TX("</Results"), TX("<"), TX("\u0130"), TX("\u212A"), TX("\u0280"),
                            TX("\uFF1C"), TX("e"), TX("S"), TX(" "), TX(">"), TX("<ResulT\u00a0"),
                            TX("</r\u0117sults>"), TX("x"), TX("0123456789abcde"),
                            TX("\uFF1E\u0120\u0100\u8000\uFFFF\u013C\u012F")};
  // clang-format on
  const TString beyond[] = {TX("</results>"), TX("results>"), TX("sults>"), TX(">"), TX("esult "), TX(" ")};
  std::mt19937 random(7);
  for (int round = 0; round < 6000; ++round) {
    TString text;
    for (int n = random() % 40; n > 0; --n) text += pieces[random() % std::size(pieces)];
    ASSERT_TRUE(agrees(text, beyond[random() % std::size(beyond)])) << "round " << round;
  }

  // Each marker, in mixed case, starting at every unit of texts from empty to
  // a few steps long, cut short where the text ends. The filler holds the
  // units a step looks at ('<', '>', ' ', '/', 'r') without making a marker.
  const TString filler = TX("<r/ x>  </Result> <R <resultsx </results <");
  for (const TString marker : {TX("</ReSuLtS>"), TX("<rEsUlT ")}) {
    for (size_t length = 0; length <= 110; ++length) {
      TString base;
      while (base.size() < length + marker.size()) base += filler;
      for (size_t at = 0; at <= length; ++at) {
        TString whole = base.substr(0, at) + marker + base.substr(at);
        ASSERT_TRUE(agrees(whole.substr(0, length), whole.substr(length))) << "at " << at << " of " << length;
      }
    }
  }
}

TEST(Merge, FirstWholeThenElementsOfDocumentsWithBothMarkers) {
  const TString hits = TX("<Results><Result id=\"A\"/></Results>");
  // Elements of later documents in order, in any case, with text beyond ASCII.
  const TString b = TX("<RESULTS><RESULT id=\"B\"/></RESULTS>"), c = TX("<results><result c>\u00e9</result></results>");
  EXPECT_EQ(Merge({hits, b, c}),
            TX("<Results><Result id=\"A\"/><RESULT id=\"B\"/><result c>\u00e9</result></Results>"));
  EXPECT_EQ(Merge({TX(""), hits}), hits);  // an empty text is no document
  // The empty list first: the next document with hits is taken whole.
  EXPECT_EQ(Merge({TX("<Results/>"), hits}), hits);
  EXPECT_EQ(Merge({TX("<Results/>"), TX("<Results/>")}), TX("<Results/>"));
  // After the first: documents without markers contribute nothing.
  EXPECT_EQ(Merge({hits, TX("<Results/>"), TX("garbage"), TX("<Result id=\"x\"/>")}), hits);
  // A closing tag before the first result element, or none after it.
  EXPECT_EQ(Merge({hits, TX("</Results><Result id=\"y\"/></Results>")}), hits);
  EXPECT_EQ(Merge({hits, TX("<Results><Result id=\"z\"/>")}), hits);
  // Markers cut off at the very end of a text are not read past it.
  EXPECT_EQ(Merge({hits, TX("<Results><Result")}), hits);
  EXPECT_EQ(Merge({hits, TX("<Result </results")}), hits);
}

TEST(PluginName, LastComponentUpToItsLastDot) {
  auto name = [](const std::string& path) {
    return std::string(AString(CSearchMgr::PluginName(WString(AString(path.c_str())))).CStr());
  };
  const std::string s(1, static_cast<char>(vel::ulmo::osdep::path::Separator()));
  EXPECT_EQ(name("x" + s + "Plugins" + s + "Docs.so"), "Docs");
  EXPECT_EQ(name("Docs.dll"), "Docs");
  EXPECT_EQ(name("Plugins" + s + "abc"), "abc");
  EXPECT_EQ(name("old.dir" + s + "lib"), "lib");  // dot only in a folder name
  EXPECT_EQ(name("a.b" + s + "c.d.e"), "c.d");
  EXPECT_EQ(name(""), "");
}
