// The hit-list XML writer and reader: the exact text, the reader's
// leniency, round trips, status codes, the numeric locale, and the writer
// held against the XML library's own serialiser.
#include <gtest/gtest.h>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include "hits/Hit.h"
#include "hits/HitListXml.h"
#include "query/XMLManager.h"
#include "tests/common/ProcessTag.h"
#include "tests/hits/DomWriter.h"
#include "tests/hits/HitTestUtil.h"

namespace {

using Tessik::CNSHitList;

const TString kDeclaration = T("<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>");

// The writer's status and text (empty when none came back).
std::pair<int32_t, TString> Write(IHitList* list) {
  TessikChar* text = nullptr;
  int32_t status = Tessik_ConvertHitListToXML(list, &text);
  TString out = text != nullptr ? TString(text) : TString();
  Tessik_Release(text);
  return {status, out};
}

HitListPtr Read(const TString& xml) {
  IHitList* list = nullptr;
  EXPECT_EQ(Tessik_ConvertXMLToHitList(xml.c_str(), &list), TESSIK_OK) << std::string(xml.begin(), xml.end());
  return HitListPtr(list);
}

TEST(HitXmlWriter, ExactText) {
  HitListPtr list(Tessik_NewHitList());
  EXPECT_EQ(Write(list.get()), std::make_pair(int32_t{TESSIK_OK}, kDeclaration + T("<Results/>")));

  IHit* hit = NewHit(0.75, {{T("title"), T("Report")}, {T("path"), T("C:\\x")}});
  hit->SetRawScore(3);
  *list += hit;
  *list += NewHit(-12.5);
  *list += NewHit(1, {{T("q\"<>&'\t\n\r"), T("v\"<>&'\t\n\r]]>")}, {T("e"), T("")}});
  const TString expected =
      kDeclaration +
      T("<Results><Result norm_score=\"7.500000e-01\"><Property name=\"path\">C:\\x</Property>"
        "<Property name=\"title\">Report</Property></Result><Result norm_score=\"-1.250000e+01\"/>"
        "<Result norm_score=\"1.000000e+00\"><Property name=\"e\"></Property>"
        "<Property name=\"q&quot;&lt;>&amp;'&#x9;&#xA;&#xD;\">v\"&lt;&gt;&amp;'\t\n&#xD;]]&gt;</Property></Result>"
        "</Results>");
  EXPECT_EQ(Write(list.get()), std::make_pair(int32_t{TESSIK_OK}, expected));

  // Scores as printf's "%7.6e" writes them, padding of non-finite ones included.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<std::pair<double, std::string>> formats{{0, "0.000000e+00"},
                                                      {1, "1.000000e+00"},
                                                      {INFINITY, "    inf"},
                                                      {-INFINITY, "   -inf"},
                                                      {nan, "    nan"},
                                                      {-nan, "   -nan"},
                                                      {1e300, "1.000000e+300"},
                                                      {5e-324, "4.940656e-324"},
                                                      {0.1234565, "1.234565e-01"},
                                                      {-0.0, "-0.000000e+00"},
                                                      {9.9999995e9, "1.000000e+10"}};
  for (const auto& [score, text] : formats) {
    TessikChar out[32];
    EXPECT_EQ(TString(out, Tessik::FormatScore(score, out)), T(text)) << text;
  }
}

TEST(HitXmlWriter, StatusCodes) {
  TessikChar* text = reinterpret_cast<TessikChar*>(uintptr_t{1});
  EXPECT_EQ(Tessik_ConvertHitListToXML(nullptr, &text), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(text, reinterpret_cast<TessikChar*>(uintptr_t{1}));  // left as it was
  HitListPtr list(Tessik_NewHitList());
  EXPECT_EQ(Tessik_ConvertHitListToXML(list.get(), nullptr), TESSIK_E_NULL_ARGUMENT);
  ForeignList foreign;
  EXPECT_EQ(Tessik_ConvertHitListToXML(&foreign, &text), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(text, reinterpret_cast<TessikChar*>(uintptr_t{1}));

  // A character XML cannot carry: the serialiser refuses the document.
  for (TString bad : {T("a\x01"), TString(1, TessikChar(0xD800)), TString(1, TessikChar(0xDC00)) + T("x"),
                      TString(1, TessikChar(0xFFFF))}) {
    HitListPtr one(Tessik_NewHitList());
    *one += NewHit(1, {{T("n"), bad}});
    EXPECT_EQ(Write(one.get()), std::make_pair(int32_t{TESSIK_E_FAILED}, TString()));
    HitListPtr name(Tessik_NewHitList());
    *name += NewHit(1, {{bad, T("v")}});
    EXPECT_EQ(Write(name.get()).first, TESSIK_E_FAILED);
  }
}

TEST(HitXmlReader, Leniency) {
  HitListPtr list =
      Read(T("<?xml version='1.0'?><Other><Result norm_score='0.5' raw_score='2.9'><Property name='Size'>1</Property>"
             "<Property name='size'>2</Property><Property>no name</Property><Property name='empty'/></Result>"
             "<Result norm_score='9'/><result norm_score='8'><Property name='n'>lower-case element</Property></result>"
             "<x><y><Result NORM_SCORE='7' raw_score='-2.9'><z><Property name='n'>deep <b>text</b>"
             "<![CDATA[<c>]]>&amp;</Property></z></Result></y></x>"
             "<Result norm_score='1.5abc' raw_score='1e10'><Property Name='wrong case'>v</Property></Result>"
             "<Result norm_score=' \t+0x1p-1' raw_score='-1e10'><Property name='n'>hex</Property></Result>"
             "<Result norm_score='inf' raw_score='nan'><Property name='n'>inf</Property></Result>"
             "<Result norm_score='   -nan' raw_score='-inf'><Property name='n'>-nan</Property></Result></Other>"));
  ASSERT_EQ(list->GetCount(), 6u);
  std::vector<IHit*> hits = Hits(*list);
  EXPECT_EQ(hits[0]->GetNormScore(), 0.5);
  EXPECT_EQ(hits[0]->GetRawScore(), 2);
  EXPECT_EQ(Str(hits[0]->GetProperty(TX("SIZE"))), T("1"));
  EXPECT_EQ(Str(hits[0]->GetProperty(TX(""))), T("no name"));
  EXPECT_EQ(Str(hits[0]->GetProperty(TX("empty"))), T(""));
  EXPECT_EQ(hits[1]->GetNormScore(), 0.0);  // "NORM_SCORE" is not "norm_score"
  EXPECT_EQ(hits[1]->GetRawScore(), -2);
  EXPECT_EQ(Str(hits[1]->GetProperty(TX("n"))), T("deep text<c>&"));
  EXPECT_EQ(hits[2]->GetNormScore(), 1.5);
  EXPECT_EQ(hits[2]->GetRawScore(), INT32_MAX);
  EXPECT_EQ(Str(hits[2]->GetProperty(TX(""))), T("v"));
  EXPECT_EQ(hits[3]->GetNormScore(), 0.5);
  EXPECT_EQ(hits[3]->GetRawScore(), INT32_MIN);
  EXPECT_EQ(hits[4]->GetNormScore(), INFINITY);
  EXPECT_EQ(hits[4]->GetRawScore(), 0);
  EXPECT_TRUE(std::isnan(hits[5]->GetNormScore()));
  EXPECT_EQ(hits[5]->GetRawScore(), INT32_MIN);

  EXPECT_TRUE(Read(T("<Results/>"))->IsEmpty());
  EXPECT_TRUE(Read(kDeclaration + T("<Results/>"))->IsEmpty());
}

TEST(HitXmlReader, StatusCodes) {
  IHitList* list = reinterpret_cast<IHitList*>(uintptr_t{1});
  EXPECT_EQ(Tessik_ConvertXMLToHitList(TX("<Results><Result></Results>"), &list), TESSIK_E_XML_INVALID);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(Tessik_ConvertXMLToHitList(TX(""), &list), TESSIK_E_XML_INVALID);
  EXPECT_EQ(Tessik_ConvertXMLToHitList(nullptr, &list), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(Tessik_ConvertXMLToHitList(TX("<Results/>"), nullptr), TESSIK_E_NULL_ARGUMENT);
}

TEST(HitXml, RoundTrips) {
  HitListPtr list(Tessik_NewHitList());
  IHit* first = NewHit(0.75, {{T("title"), TX("R\u00e9sum\u00e9 \u4e2d\U0001F600")}, {T("path"), T("C:\\x")}});
  first->SetRawScore(3);
  *list += first;
  *list += NewHit(0.123456789, {{T("a&b \"q\" <t>"), T("x < y & z > \"w\"\r\n\t")}});
  *list += NewHit(1);  // without properties: lost on the way back
  *list += NewHit(-INFINITY, {{TX("\u00c9"), TX("\u00e9")}});
  auto [status, text] = Write(list.get());
  ASSERT_EQ(status, TESSIK_OK);
  HitListPtr back = Read(text);
  ASSERT_EQ(back->GetCount(), 3u);
  std::vector<IHit*> hits = Hits(*back);
  EXPECT_EQ(hits[0]->GetNormScore(), 0.75);
  EXPECT_EQ(hits[0]->GetRawScore(), 0);  // the raw score is not written
  EXPECT_EQ(Str(hits[0]->GetProperty(TX("TITLE"))), TX("R\u00e9sum\u00e9 \u4e2d\U0001F600"));
  EXPECT_EQ(Str(hits[0]->GetProperty(TX("path"))), T("C:\\x"));
  EXPECT_EQ(hits[1]->GetNormScore(), 0.1234568);  // seven significant digits
  EXPECT_EQ(Str(hits[1]->GetProperty(TX("a&b \"q\" <t>"))), T("x < y & z > \"w\"\r\n\t"));
  EXPECT_EQ(hits[2]->GetNormScore(), -INFINITY);
  EXPECT_EQ(Str(hits[2]->GetProperty(TX("\u00e9"))), TX("\u00e9"));
  // Written again, the list read back gives the same text but for the lost hit.
  HitListPtr again(Tessik_NewHitList());
  again->Append(*back);
  EXPECT_EQ(Write(again.get()).second.size(), text.size() - T("<Result norm_score=\"1.000000e+00\"/>").size());
}

// Documents move between hosts: numbers are written and read with "."
// whatever the process's numeric locale.
TEST(HitXml, CommaLocale) {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  const char* names[] = {"de_DE.UTF-8", "German_Germany.1252", "de-DE"};
  const char* chosen = nullptr;
  std::string locales;  // where this test compiled the locale, if it did
  for (int attempt = 0; attempt < 2 && chosen == nullptr; ++attempt) {
    for (const char* name : names) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        chosen = name;
        break;
      }
    }
#ifndef _WIN32
    // Not installed: compiled into a folder of this process's own (another
    // run could be compiling into a shared one meanwhile), where LOCPATH
    // points the C library at it.
    if (chosen == nullptr && attempt == 0) {
      locales = "locales-" + ProcessTag();
      std::string make = "mkdir -p " + locales + " && localedef -i de_DE -f UTF-8 " + locales +
                         "/de_DE.UTF-8 >/dev/null 2>&1 || test -d " + locales + "/de_DE.UTF-8";
      if (std::system(make.c_str()) == 0) setenv("LOCPATH", locales.c_str(), 1);
    }
#endif
  }
#ifndef _WIN32
  // The chosen locale is loaded by now: its files may go.
  if (!locales.empty()) {
    unsetenv("LOCPATH");
    std::error_code ignored;
    std::filesystem::remove_all(locales, ignored);
  }
#endif
  if (chosen == nullptr) GTEST_SKIP() << "no German locale here, and localedef could not make de_DE.UTF-8";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  bool comma = std::string(probe) == "1,5";
  HitListPtr list(Tessik_NewHitList());
  *list += NewHit(0.75, {{T("n"), T("v")}});
  std::pair<int32_t, TString> written = Write(list.get());
  HitListPtr back = Read(T("<R><Result norm_score='1.5' raw_score='2.5e1'><Property name='n'/></Result></R>"));
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_TRUE(comma) << chosen << " has no decimal comma";
  EXPECT_NE(written.second.find(T("norm_score=\"7.500000e-01\"")), TString::npos);
  EXPECT_EQ(Hits(*back)[0]->GetNormScore(), 1.5);
  EXPECT_EQ(Hits(*back)[0]->GetRawScore(), 25);
}

// --- The writer against the XML library's own serialiser --------------------

using namespace xercesc;

TEST(HitXmlWriter, SameAsTheSerialiser) {
  std::mt19937 random(7);
  // Mostly ordinary text, with markup, white space, non-ASCII, surrogate
  // pairs, and now and then a character XML cannot carry.
  const std::vector<TString> pieces{T("a"),       T("Title"),   T("<"),       T(">"),       T("&"),
                                    T("\""),      T("'"),       T("\t"),      T("\n"),      T("\r"),
                                    T(" "),       T("]]>"),     TX("\u00e9"), TX("\u4e2d"), TX("\U0001F600"),
                                    TX("\u0085"), TX("\u2028"), TX("\ufffd"), T("\x7f"),    T("&amp;")};
  const std::vector<TString> bad{T("\x01"),
                                 T("\x1f"),
                                 TString(1, TessikChar(0xD800)),
                                 TString(1, TessikChar(0xDFFF)),
                                 TString(1, TessikChar(0xFFFE)),
                                 TString(1, TessikChar(0xFFFF))};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<double> special{0, -0.0, 1, INFINITY, -INFINITY, nan, -nan, 1e300, 5e-324, 0.75};
  auto text = [&](int units) {
    TString t;
    for (int i = 0; i < units; ++i) {
      t += random() % 300 == 0 ? bad[random() % bad.size()] : pieces[random() % pieces.size()];
    }
    return t;
  };
  int refused = 0, written = 0;
  for (int round = 0; round < 400; ++round) {
    HitListPtr list(Tessik_NewHitList());
    int count = static_cast<int>(random() % 6);
    for (int h = 0; h < count; ++h) {
      double score = random() % 2 ? special[random() % special.size()]
                                  : std::ldexp(static_cast<double>(random()) - 2147483648.0, int(random() % 200) - 100);
      IHit* hit = NewHit(score);
      int properties = static_cast<int>(random() % 4);
      for (int p = 0; p < properties; ++p) {
        hit->SetProperty(text(static_cast<int>(random() % 4)).c_str(), text(static_cast<int>(random() % 24)).c_str());
      }
      *list += hit;
    }
    std::pair<int32_t, TString> ours = Write(list.get());
    std::pair<int32_t, TString> theirs = SerialiseWithDom(static_cast<CNSHitList&>(*list));
    ASSERT_EQ(ours, theirs) << "round " << round;
    (ours.first == TESSIK_OK ? written : refused)++;
  }
  EXPECT_GT(written, 100);
  EXPECT_GT(refused, 5);
}

}  // namespace
