// The result merge: markers found without a lower-cased copy, and the splice.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "search/Markers.h"
#include "search/SearchMgr.h"
#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/Text.h"

using Tessik::CSearchMgr;
using vel::ulmo::WString;
namespace markers = Tessik::markers;

namespace {

uint32_t ViaLoweredCopy(std::u16string text, const char* marker) {
  vel::ulmo::osdep::LowerText(text.data(), static_cast<uint32_t>(text.size()));
  std::u16string m(marker, marker + std::strlen(marker));
  size_t at = text.find(m);
  return at == std::u16string::npos ? WString::npos : static_cast<uint32_t>(at);
}

std::u16string Merge(std::initializer_list<std::u16string> documents) {
  CSearchMgr searchMgr(nullptr);
  for (const auto& d : documents) searchMgr.MergeResults(d.data(), static_cast<uint32_t>(d.size()));
  const WString& r = searchMgr.Results();
  return std::u16string(r.CStr(), r.Length());
}

}  // namespace

TEST(Markers, SameAsSearchingALowerCasedCopy) {
  // Pieces that look like markers in any case, among units that lower-case
  // to ASCII letters (dotted I, Kelvin sign) or look alike.
  const std::u16string pieces[] = {u"<result ",  u"<RESULT ", u"<Result ", u"<resul",   u"</results>",
                                   u"</RESULTS>", u"</Results", u"<",        u"\u0130",   u"\u212A",
                                   u"\u0280",     u"\uFF1C",    u"e",        u"S",        u" ",
                                   u"<ResulT\u00a0", u"</r\u0117sults>", u"x"};
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::u16string text;
    int n = random() % 12;
    for (int i = 0; i < n; ++i) text += pieces[random() % std::size(pieces)];
    for (const char* marker : {markers::kResultStart, markers::kResultsEnd}) {
      ASSERT_EQ(markers::Find(text.data(), 0, static_cast<uint32_t>(text.size()), marker),
                ViaLoweredCopy(text, marker))
          << "round " << round;
    }
  }
}

TEST(Merge, FirstWholeLaterElementsBeforeItsClosingTag) {
  const std::u16string a = u"<?xml version=\"1.0\"?><Results><Result id=\"A\"/></Results>";
  const std::u16string b = u"<?xml version=\"1.0\"?><RESULTS><RESULT id=\"B\"/><RESULT id=\"C\"/></RESULTS>";
  const std::u16string c = u"<results><result id=\"D\">\u00e9</result></results>";
  EXPECT_EQ(Merge({a, b, c}), u"<?xml version=\"1.0\"?><Results><Result id=\"A\"/><RESULT id=\"B\"/>"
                              u"<RESULT id=\"C\"/><result id=\"D\">\u00e9</result></Results>");
  EXPECT_EQ(Merge({u"", a}), a);  // an empty text is no document
}

TEST(Merge, DocumentsWithoutMarkersNeverSwallowOrBreakOthers) {
  const std::u16string hits = u"<Results><Result id=\"A\"/></Results>";
  // The empty list first: the next document with hits is taken whole.
  EXPECT_EQ(Merge({u"<Results/>", hits}), hits);
  EXPECT_EQ(Merge({u"<Results/>", u"<Results/>"}), u"<Results/>");
  // After the first: documents without markers contribute nothing.
  EXPECT_EQ(Merge({hits, u"<Results/>", u"garbage", u"<Result id=\"x\"/>"}), hits);
  // A closing tag before the first result element, or none after it.
  EXPECT_EQ(Merge({hits, u"</Results><Result id=\"y\"/></Results>"}), hits);
  EXPECT_EQ(Merge({hits, u"<Results><Result id=\"z\"/>"}), hits);
  // Markers cut off at the very end of a text are not read past it.
  EXPECT_EQ(Merge({hits, u"<Results><Result"}), hits);
  EXPECT_EQ(Merge({hits, u"<Result </results"}), hits);
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
