// The XML frame: parsing text in memory, and documents that try to make the
// parser read files, reach the network or expand entities without bound.
#include <gtest/gtest.h>

#include <xercesc/dom/DOM.hpp>

#include <cstdio>
#include <fstream>

#include "query/XMLManager.h"
#include "tests/common/ProcessTag.h"
#include "tests/common/Watchdog.h"
#include "tests/query/QueryTestUtil.h"

namespace {

using Tessik::AsWide;
using Tessik::DocumentPtr;
using Tessik::ParseXMLDocument;

int32_t Status(const TString& xml) {
  IQuery* query = nullptr;
  int32_t status = Tessik_ParseQueryFromXML(xml.c_str(), &query);
  Tessik_ReleaseQuery(query);
  return status;
}

TEST(XmlFrame, ParsesTextInPlace) {
  EXPECT_EQ(ParseXMLDocument(nullptr), nullptr);
  EXPECT_EQ(ParseXMLDocument(TX("")), nullptr);
  EXPECT_EQ(ParseXMLDocument(TX("<a><b></a>")), nullptr);  // and ASan sees nothing left behind

  TString text =
      TX("<?xml version='1.0' encoding='UTF-16'?><R\u00e9sum\u00e9>\u4e2d\u6587 \U0001F50D</R\u00e9sum\u00e9>");
  const TString before = text;
  DocumentPtr document(ParseXMLDocument(text.c_str()));
  // The caller's buffer is neither changed nor needed after the call.
  EXPECT_EQ(text, before);
  text.assign(text.size(), TessikChar('x'));
  ASSERT_NE(document, nullptr);
  const xercesc::DOMElement* root = document->getDocumentElement();
  EXPECT_EQ(TString(AsWide(root->getNodeName())), TX("R\u00e9sum\u00e9"));
  EXPECT_EQ(TString(AsWide(root->getTextContent())), TX("\u4e2d\u6587 \U0001F50D"));
}

TEST(XmlFrame, HostileDocuments) {
  Watchdog watchdog(std::chrono::seconds(60), "HostileDocuments");
  // External entities are not resolved: neither a file that is there nor a URL is read.
  // The file's name is this process's own: another run may be removing its file.
  const std::string secret = "external-entity-" + ProcessTag() + ".txt";
  { std::ofstream(secret) << "secret"; }
  EXPECT_EQ(Status(T("<!DOCTYPE q [<!ENTITY x SYSTEM '" + secret + "'>]><q><Category>&x;</Category></q>")),
            TESSIK_E_XML_INVALID);
  EXPECT_EQ(Status(TX("<!DOCTYPE q [<!ENTITY x SYSTEM 'http://127.0.0.1:9/x'>]><q><Category>&x;</Category></q>")),
            TESSIK_E_XML_INVALID);
  std::remove(secret.c_str());
  // An external DTD is not fetched, and the document is read as usual.
  IQuery* query = nullptr;
  ASSERT_EQ(Tessik_ParseQueryFromXML(TX("<!DOCTYPE q SYSTEM 'http://127.0.0.1:9/q.dtd'><q><Category>c</Category></q>"),
                                     &query),
            TESSIK_OK);
  EXPECT_EQ(Categories(query), std::vector<TString>{T("c")});
  Tessik_ReleaseQuery(query);

  // Nested entities that would expand to 10^7 copies stop at the limit.
  std::string laughs = "<!DOCTYPE q [<!ENTITY l0 'lol'>";
  for (int level = 1; level <= 7; ++level) {
    laughs += "<!ENTITY l" + std::to_string(level) + " '";
    for (int i = 0; i < 10; ++i) laughs += "&l" + std::to_string(level - 1) + ";";
    laughs += "'>";
  }
  laughs += "]><q><Category>&l7;</Category></q>";
  EXPECT_EQ(Status(T(laughs)), TESSIK_E_XML_INVALID);

  // Declared entities within the limit parse, and the count starts afresh
  // with every document (parsers are reused).
  std::string many = "<!DOCTYPE q [<!ENTITY e 'E'>]><q><Category>";
  for (int i = 0; i < 800; ++i) many += "&e;";
  many += "</Category></q>";
  for (int round = 0; round < 3; ++round) EXPECT_EQ(Status(T(many)), TESSIK_OK) << round;
  // The limit is about a thousand expansions, far below the parser's own default.
  std::string tooMany = "<!DOCTYPE q [<!ENTITY e 'E'>]><q><Category>";
  for (int i = 0; i < 1200; ++i) tooMany += "&e;";
  EXPECT_EQ(Status(T(tooMany + "</Category></q>")), TESSIK_E_XML_INVALID);

  // Predefined entities and character references are not counted.
  std::string plain = "<q>";
  for (int i = 0; i < 20000; ++i) plain += "<Category>&amp;&#x41;&lt;" + std::to_string(i) + "</Category>";
  plain += "</q>";
  ASSERT_EQ(Tessik_ParseQueryFromXML(T(plain).c_str(), &query), TESSIK_OK);
  EXPECT_EQ(Categories(query).size(), 20000u);
  EXPECT_EQ(Str(query->GetCategory(true)), T("&A<0"));
  Tessik_ReleaseQuery(query);
}

}  // namespace
