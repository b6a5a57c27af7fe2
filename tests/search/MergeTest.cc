// The result merge: markers found without a lower-cased copy, and the splice.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "search/Markers.h"
#include "search/SearchMgr.h"
#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/Text.h"
#include "tests/common/TestText.h"

using Tessik::CSearchMgr;
using vel::ulmo::WString;
namespace markers = Tessik::markers;

namespace {

uint32_t ViaLoweredCopy(TString text, const char* marker) {
  vel::ulmo::osdep::LowerText(text.data(), static_cast<uint32_t>(text.size()));
  TString m(marker, marker + std::strlen(marker));
  size_t at = text.find(m);
  return at == TString::npos ? WString::npos : static_cast<uint32_t>(at);
}

TString Merge(std::initializer_list<TString> documents) {
  CSearchMgr searchMgr(nullptr);
  for (const auto& d : documents) searchMgr.MergeResults(d.data(), static_cast<uint32_t>(d.size()));
  const WString& r = searchMgr.Results();
  return TString(r.CStr(), r.Length());
}

}  // namespace

TEST(Markers, SameAsSearchingALowerCasedCopy) {
  // Pieces that look like markers in any case, among units that lower-case
  // to ASCII letters (dotted I, Kelvin sign) or look alike.
  const TString pieces[] = {TX("<result "),  TX("<RESULT "), TX("<Result "), TX("<resul"),   TX("</results>"),
                                   TX("</RESULTS>"), TX("</Results"), TX("<"),        TX("\u0130"),   TX("\u212A"),
                                   TX("\u0280"),     TX("\uFF1C"),    TX("e"),        TX("S"),        TX(" "),
                                   TX("<ResulT\u00a0"), TX("</r\u0117sults>"), TX("x")};
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    TString text;
    int n = random() % 24;
    for (int i = 0; i < n; ++i) text += pieces[random() % std::size(pieces)];
    uint32_t end = ViaLoweredCopy(text, "</results>");
    uint32_t start = ViaLoweredCopy(text, "<result ");
    if (start != WString::npos && end != WString::npos && start > end) start = WString::npos;
    markers::Positions found = markers::Locate(text.data(), static_cast<uint32_t>(text.size()));
    ASSERT_EQ(found.end, end) << "round " << round;
    ASSERT_EQ(found.start, start) << "round " << round;
  }
}

TEST(Merge, FirstWholeLaterElementsBeforeItsClosingTag) {
  const TString a = TX("<?xml version=\"1.0\"?><Results><Result id=\"A\"/></Results>");
  const TString b = TX("<?xml version=\"1.0\"?><RESULTS><RESULT id=\"B\"/><RESULT id=\"C\"/></RESULTS>");
  const TString c = TX("<results><result id=\"D\">\u00e9</result></results>");
  EXPECT_EQ(Merge({a, b, c}), TX("<?xml version=\"1.0\"?><Results><Result id=\"A\"/><RESULT id=\"B\"/>")
                              TX("<RESULT id=\"C\"/><result id=\"D\">\u00e9</result></Results>"));
  EXPECT_EQ(Merge({TX(""), a}), a);  // an empty text is no document
}

TEST(Merge, DocumentsWithoutMarkersNeverSwallowOrBreakOthers) {
  const TString hits = TX("<Results><Result id=\"A\"/></Results>");
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
  auto name = [](const char* path) {
    WString w{vel::ulmo::AString(path)};
    WString n = CSearchMgr::PluginName(w);
    return std::string(vel::ulmo::AString(n).CStr());
  };
  const char sep = static_cast<char>(vel::ulmo::osdep::path::Separator());
  std::string s(1, sep);
  EXPECT_EQ(name(("x" + s + "Plugins" + s + "Docs.so").c_str()), "Docs");
  EXPECT_EQ(name("Docs.dll"), "Docs");
  EXPECT_EQ(name(("Plugins" + s + "abc").c_str()), "abc");
  EXPECT_EQ(name(("old.dir" + s + "lib").c_str()), "lib");  // dot only in a folder name
  EXPECT_EQ(name(("a.b" + s + "c.d.e").c_str()), "c.d");
  EXPECT_EQ(name(""), "");
}
