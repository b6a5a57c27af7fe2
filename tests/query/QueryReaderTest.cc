// The XML query reader and the query objects, through the exports and the
// plugin interfaces.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "query/Query.h"
#include "tests/common/Watchdog.h"
#include "tests/query/QueryTestUtil.h"

namespace {

QueryPtr Parse(const TString& xml) {
  IQuery* query = nullptr;
  int32_t status = Tessik_ParseQueryFromXML(xml.c_str(), &query);
  EXPECT_EQ(status, TESSIK_OK) << "for " << std::string(xml.begin(), xml.end());
  return QueryPtr(query);
}

TEST(QueryReader, EmptyRootAndFlags) {
  QueryPtr empty = Parse(TX("<AnyName/>"));
  ASSERT_NE(empty, nullptr);
  EXPECT_FALSE(empty->UseSynonym() || empty->UseStemming() || empty->IsCaseSensitive());
  EXPECT_EQ(empty->GetTermGroup(), nullptr);
  EXPECT_EQ(empty->GetDomain(true), nullptr);
  EXPECT_EQ(empty->GetCategory(true), nullptr);

  // "true" in any case, nothing around it; attribute names are exact.
  QueryPtr set = Parse(TX("<q synonym='TRUE' stemming='true' case_sensitivity='tRuE'/>"));
  EXPECT_TRUE(set->UseSynonym() && set->UseStemming() && set->IsCaseSensitive());
  QueryPtr unset = Parse(TX("<q synonym='1' stemming='yes' case_sensitivity=' true'/>"));
  EXPECT_FALSE(unset->UseSynonym() || unset->UseStemming() || unset->IsCaseSensitive());
  QueryPtr wrongName = Parse(TX("<q Synonym='true' STEMMING='true'/>"));
  EXPECT_FALSE(wrongName->UseSynonym() || wrongName->UseStemming());
  // Only the stemming flag: the interface asks for it before the synonym flag.
  QueryPtr stem = Parse(TX("<q stemming='true'/>"));
  EXPECT_TRUE(stem->UseStemming());
  EXPECT_FALSE(stem->UseSynonym());
}

TEST(QueryReader, DomainsNamesAndProperties) {
  QueryPtr q =
      Parse(TX("<q><Domain><Name>Web</Name><Property name='Lang'>en</Property><Property name='LANG'>de</Property>"
               "<Property>anonymous</Property><property name='lower'>no</property><NAME>no</NAME></Domain>"
               "<domain><Property name='p'><Name>Inner</Name>v</Property><Name>Later</Name></domain>"
               "<DOMAIN/>"
               "<Domain><x><Name>Mail</Name></x></Domain><Domain><Name>Mail</Name></Domain></q>"));
  std::vector<IDomain*> domains = Domains(q.get());
  ASSERT_EQ(domains.size(), 5u);  // two of one name are two domains
  std::map<TString, IDomain*> byName;
  std::multiset<TString> names;
  for (IDomain* d : domains) {
    names.insert(Str(d->GetName()));
    byName[Str(d->GetName())] = d;
  }
  EXPECT_EQ(names, (std::multiset<TString>{T("<null>"), T("Inner"), T("Mail"), T("Mail"), T("Web")}));

  // Found by its name, not by the value under test: a wrong value must fail
  // here, not skip the checks.
  ASSERT_EQ(names.count(T("Web")), 1u);
  IDomain* web = byName[T("Web")];
  EXPECT_EQ(Str(web->GetProperty(TX("lang"))), T("en"));
  EXPECT_EQ(Str(web->GetProperty(TX("LANG"))), T("en"));      // the first value stays
  EXPECT_EQ(Str(web->GetProperty(nullptr)), T("anonymous"));  // no "name": the empty name
  EXPECT_EQ(Str(web->GetProperty(TX(""))), T("anonymous"));
  EXPECT_EQ(web->GetProperty(TX("lower")), nullptr);  // "property" is not "Property"
  EXPECT_EQ(web->GetProperty(TX("Lan")), nullptr);
  // The first "Name" in document order counts, even inside a "Property",
  // whose text content takes in the nested element's text.
  IDomain* inner = byName[T("Inner")];
  EXPECT_EQ(Str(inner->GetProperty(TX("P"))), T("Innerv"));
  EXPECT_EQ(byName[T("<null>")]->GetProperty(nullptr), nullptr);
}

TEST(QueryReader, Categories) {
  QueryPtr q =
      Parse(TX("<q><Category>b</Category><CATEGORY>A</CATEGORY><category>a</category><Category/>"
               "<x><Category>nested</Category></x></q>"));
  // Case-insensitive order, equal ones collapse into the first met.
  EXPECT_EQ(Categories(q.get()), (std::vector<TString>{T(""), T("A"), T("b")}));
}

TEST(QueryReader, TermGroups) {
  // The last group counts; compose keywords ignore case.
  QueryPtr two =
      Parse(TX("<q><TermGroup compose='Or'><Term><Text>x</Text></Term></TermGroup>"
               "<termgroup compose='nOT'><Term><Text>y</Text></Term></termgroup></q>"));
  ASSERT_NE(two->GetTermGroup(), nullptr);
  EXPECT_EQ(two->GetTermGroup()->GetCompose(), TESSIK_COMPOSE_NOT);
  EXPECT_EQ(TermTexts(two->GetTermGroup()), std::vector<TString>{T("y")});

  // Groups do not nest: only the direct "Term" children count. No
  // "compose", or no keyword in it, is "And".
  QueryPtr nested =
      Parse(TX("<q><TermGroup compose='Maybe'><TermGroup compose='Or'><Term><Text>inner</Text></Term></TermGroup>"
               "<Term><Text>outer</Text></Term><x><Term><Text>deeper</Text></Term></x></TermGroup></q>"));
  ITermGroup* group = nested->GetTermGroup();
  EXPECT_EQ(group->GetCompose(), TESSIK_COMPOSE_AND);
  EXPECT_EQ(TermTexts(group), std::vector<TString>{T("outer")});
  EXPECT_EQ(Parse(TX("<q><TermGroup compose='or'/></q>"))->GetTermGroup()->GetCompose(), TESSIK_COMPOSE_OR);
  EXPECT_EQ(Parse(TX("<q><TermGroup/></q>"))->GetTermGroup()->GetCompose(), TESSIK_COMPOSE_AND);

  // A group is not a term.
  EXPECT_TRUE(group->IsTermGroup());
  EXPECT_FALSE(group->IsTerm());
  EXPECT_EQ(group->GetText(), nullptr);
  EXPECT_EQ(group->GetField(true), nullptr);

  // An empty group is still a group.
  QueryPtr empty = Parse(TX("<q><TermGroup></TermGroup></q>"));
  ASSERT_NE(empty->GetTermGroup(), nullptr);
  EXPECT_EQ(empty->GetTermGroup()->GetTerm(true), nullptr);

  // The root's own name is never looked at, and a "Term" directly under it
  // adds nothing.
  EXPECT_EQ(Parse(TX("<TermGroup><Term><Text>x</Text></Term></TermGroup>"))->GetTermGroup(), nullptr);
}

TEST(QueryReader, Terms) {
  QueryPtr q =
      Parse(TX("<q><TermGroup><Term><Text>first</Text><TEXT>second</TEXT><Field>Title</Field>"
               "<field>TITLE</field><Field>body</Field><x><Field>nested</Field></x></Term>"
               "<term/><Term><Text/></Term><Term><Text>  two\n words\t</Text></Term>"
               "<Term><Text>D\u00f6k\u00fcmanlar \U0001F50D &amp; &#x41;</Text></Term></TermGroup></q>"));
  std::vector<ITerm*> terms = Terms(q->GetTermGroup());
  ASSERT_EQ(terms.size(), 5u);
  EXPECT_TRUE(std::is_sorted(terms.begin(), terms.end(), std::less<ITerm*>()));  // by address, not document order
  std::map<TString, ITerm*> byText;
  for (ITerm* t : terms) {
    EXPECT_TRUE(t->IsTerm());
    EXPECT_FALSE(t->IsTermGroup());
    byText[Str(t->GetText())] = t;
  }
  // The last "Text" counts; no "Text" is no text, an empty one the empty text.
  ASSERT_EQ(byText.size(), 5u);
  EXPECT_EQ(Fields(byText[T("second")]), (std::vector<TString>{T("body"), T("Title")}));
  EXPECT_TRUE(Fields(byText[T("<null>")]).empty());
  EXPECT_TRUE(byText.count(T("")));
  // Text is taken as written: white space kept, references resolved,
  // characters beyond ASCII (a surrogate pair too) intact.
  EXPECT_TRUE(byText.count(T("  two\n words\t")));
  EXPECT_TRUE(byText.count(TX("D\u00f6k\u00fcmanlar \U0001F50D & A")));
}

TEST(QueryReader, TextContent) {
  // Text of every text and CDATA node inside, entity references expanded,
  // comments and processing instructions left out.
  QueryPtr q =
      Parse(TX("<!DOCTYPE q [<!ENTITY e 'E<i>n</i>'><!ENTITY a 'At'>]><q><Category>a<!--c-->b<?pi "
               "x?><![CDATA[<c>]]><x>d<y>e</y></x>"
               "&amp;&e;z</Category><Domain><Property name='&a;'><!--x-->&e;</Property></Domain></q>"));
  EXPECT_EQ(Categories(q.get()), std::vector<TString>{T("ab<c>de&Enz")});
  EXPECT_EQ(Str(q->GetDomain(true)->GetProperty(TX("at"))), T("En"));

  // Nesting far deeper than any call stack would allow for a recursive walk.
  std::string open, close;
  for (int i = 0; i < 100000; ++i) open += "<d>", close += "</d>";
  QueryPtr nested = Parse(T("<q><Domain>" + open + "<Name>bottom</Name>" + close + "</Domain><Category>" + open +
                            "text" + close + "</Category></q>"));
  ASSERT_NE(nested, nullptr);
  EXPECT_EQ(Str(nested->GetDomain(true)->GetName()), T("bottom"));
  EXPECT_EQ(Categories(nested.get()), std::vector<TString>{T("text")});
}

TEST(QueryReader, OnlyElementsWithPlainNamesMatch) {
  // A processing instruction named like an element, and prefixed names, are
  // passed over.
  QueryPtr q =
      Parse(TX("<q><?Category pi?><x:Category>c</x:Category><TermGroup><?Term t?><p:Term>"
               "<Text>a</Text></p:Term><Term><x:Text>b</x:Text><!-- <Text>c</Text> --></Term>"
               "</TermGroup></q>"));
  EXPECT_EQ(q->GetCategory(true), nullptr);
  std::vector<ITerm*> terms = Terms(q->GetTermGroup());
  ASSERT_EQ(terms.size(), 1u);
  EXPECT_EQ(terms[0]->GetText(), nullptr);
}

TEST(QueryReader, Failures) {
  IQuery* sentinel = reinterpret_cast<IQuery*>(&sentinel);
  IQuery* query = sentinel;
  EXPECT_EQ(Tessik_ParseQueryFromXML(nullptr, &query), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(query, sentinel);  // not written
  EXPECT_EQ(Tessik_ParseQueryFromXML(TX("<q/>"), nullptr), TESSIK_E_NULL_ARGUMENT);
  for (const TessikChar* bad : {TX(""), TX("<q><a></q>"), TX("<q>"), TX("<!-- only a comment -->"), TX("text"),
                                TX("<q/><q/>"), TX("<q a='1' a='2'/>")}) {
    query = sentinel;
    EXPECT_EQ(Tessik_ParseQueryFromXML(bad, &query), TESSIK_E_XML_INVALID) << Str(bad).size();
    EXPECT_EQ(query, nullptr);
  }
  EXPECT_EQ(Tessik_ParseQueryFromText(), TESSIK_OK);
  EXPECT_EQ(Tessik_ReleaseQuery(nullptr), TESSIK_OK);
}

TEST(QueryReader, TextForms) {
  // The text is UTF-16 by contract, with or without a declaration or a
  // byte-order mark; a declaration naming another encoding does not change
  // how it is read.
  for (const TessikChar* xml :
       {TX("<?xml version='1.0' encoding='UTF-16'?><q><Category>\u00e9</Category></q>"),
        TX("<q><Category>\u00e9</Category></q>"), TX("\ufeff<q><Category>\u00e9</Category></q>"),
        TX("\ufeff<?xml version='1.0'?><q><Category>\u00e9</Category></q>"),
        TX("<?xml version='1.0' encoding='UTF-8'?><q><Category>\u00e9</Category></q>")}) {
    TString before(xml);
    QueryPtr q = Parse(xml);
    ASSERT_NE(q, nullptr) << before.size();
    EXPECT_EQ(Categories(q.get()), std::vector<TString>{TX("\u00e9")});
    EXPECT_EQ(TString(xml), before);
  }
}

TEST(QueryModel, EnumerationAndHandedOutTexts) {
  Tessik::CNSTerm term;
  EXPECT_EQ(term.GetField(false), nullptr);  // before any first call
  EXPECT_EQ(term.GetText(), nullptr);
  term.AddField(TX("beta"));
  term.AddField(TX("Alpha"));
  term.AddField(TX("ALPHA"));  // equal but for case: the first stays
  term.AddField(nullptr);
  term.SetText(TX("word"));

  const TessikChar* first = term.GetField(true);
  const TessikChar* second = term.GetField(false);
  EXPECT_EQ(Str(first), T("Alpha"));
  EXPECT_EQ(Str(second), T("beta"));
  EXPECT_EQ(term.GetField(false), nullptr);
  EXPECT_EQ(term.GetField(false), nullptr);  // stays past the end
  // A text stays valid while other texts are handed out, and is a copy:
  // writing into it does not change what is stored.
  EXPECT_EQ(Str(first), T("Alpha"));
  const TessikChar* text = term.GetText();
  const_cast<TessikChar*>(text)[0] = 'W';
  EXPECT_EQ(Str(term.GetText()), T("word"));
  EXPECT_EQ(Str(term.GetField(true)), T("Alpha"));  // starts over

  Tessik::CNSDomain domain;
  domain.AddProperty(TX("a"), TX("1"));
  domain.AddProperty(TX("b"), nullptr);  // ignored
  domain.AddProperty(TX("B"), TX("2"));
  const TessikChar* a = domain.GetProperty(TX("A"));
  const TessikChar* b = domain.GetProperty(TX("b"));
  EXPECT_EQ(Str(a), T("1"));
  EXPECT_EQ(Str(b), T("2"));

  // Replacing the term group destroys the one held before, with its terms.
  Tessik::CNSQuery query;
  auto group = std::make_unique<Tessik::CNSTermGroup>();
  group->AddTerm(std::make_unique<Tessik::CNSTerm>());
  query.SetTermGroup(std::move(group));
  query.SetTermGroup(std::make_unique<Tessik::CNSTermGroup>());
  EXPECT_EQ(query.GetTermGroup()->GetTerm(true), nullptr);
}

// The slots as a plugin built against the header of this release sees them,
// written out once more: were two declarations of tessik/Query.h ever
// swapped, calls through these would reach the wrong operations. (Outside
// the unnamed namespace: the compiler may not assume nothing implements them.)
}  // namespace
namespace frozen {
struct Term {
  virtual bool IsTerm() = 0;
  virtual bool IsTermGroup() = 0;
  virtual const TessikChar* GetText() = 0;
  virtual const TessikChar* GetField(bool first) = 0;
};
struct TermGroup : Term {
  virtual Term* GetTerm(bool first) = 0;
  virtual uint32_t GetCompose() = 0;
};
struct Domain {
  virtual ~Domain() = default;
  virtual const TessikChar* GetName() = 0;
  virtual const TessikChar* GetProperty(const TessikChar* name) = 0;
};
struct Query {
  virtual ~Query() = default;
  virtual bool UseStemming() = 0;
  virtual bool UseSynonym() = 0;
  virtual bool IsCaseSensitive() = 0;
  virtual Domain* GetDomain(bool first) = 0;
  virtual const TessikChar* GetCategory(bool first) = 0;
  virtual TermGroup* GetTermGroup() = 0;
};
}  // namespace frozen
namespace {

// Calls through another class's slots on purpose: the sanitizer's type check stays out.
__attribute__((no_sanitize("undefined"))) void ReadThroughFrozenSlots(IQuery* interface) {
  auto* query = reinterpret_cast<frozen::Query*>(interface);
  EXPECT_TRUE(query->UseStemming());
  EXPECT_FALSE(query->UseSynonym());
  EXPECT_FALSE(query->IsCaseSensitive());
  EXPECT_EQ(Str(query->GetCategory(true)), T("c"));
  frozen::Domain* domain = query->GetDomain(true);
  EXPECT_EQ(Str(domain->GetName()), T("d"));
  EXPECT_EQ(Str(domain->GetProperty(TX("k"))), T("v"));
  frozen::TermGroup* group = query->GetTermGroup();
  EXPECT_EQ(group->GetCompose(), TESSIK_COMPOSE_NOT);
  EXPECT_TRUE(group->IsTermGroup());
  EXPECT_FALSE(group->IsTerm());
  EXPECT_EQ(group->GetText(), nullptr);
  frozen::Term* term = group->GetTerm(true);
  EXPECT_TRUE(term->IsTerm());
  EXPECT_FALSE(term->IsTermGroup());
  EXPECT_EQ(Str(term->GetText()), T("t"));
  EXPECT_EQ(Str(term->GetField(true)), T("f"));
}

TEST(QueryBinaryInterface, SlotsKeepTheirOrder) {
  QueryPtr q =
      Parse(TX("<q stemming='true'><Domain><Name>d</Name><Property name='k'>v</Property></Domain>"
               "<Category>c</Category><TermGroup compose='Not'><Term><Text>t</Text><Field>f</Field></Term>"
               "</TermGroup></q>"));
  ReadThroughFrozenSlots(q.get());
}

// Everything a plugin can read from a query, as one text.
TString ReadAll(IQuery* query, std::vector<const TessikChar*>* kept) {
  TString out;
  out += query->UseSynonym() ? T("S") : T("s");
  for (const TessikChar* c = query->GetCategory(true); c != nullptr; c = query->GetCategory(false)) {
    out += T("c:") + c + T(";");
    kept->push_back(c);
  }
  std::vector<TString> domains;
  for (IDomain* d = query->GetDomain(true); d != nullptr; d = query->GetDomain(false)) {
    domains.push_back(Str(d->GetName()) + T("=") + Str(d->GetProperty(TX("key"))));
  }
  std::sort(domains.begin(), domains.end());
  for (const TString& d : domains) out += T("d:") + d + T(";");
  std::vector<TString> terms;
  ITermGroup* group = query->GetTermGroup();
  for (ITerm* t = group->GetTerm(true); t != nullptr; t = group->GetTerm(false)) {
    TString term = Str(t->GetText());
    for (const TessikChar* f = t->GetField(true); f != nullptr; f = t->GetField(false)) term += T("/") + f;
    terms.push_back(term);
  }
  std::sort(terms.begin(), terms.end());
  for (const TString& t : terms) out += T("t:") + t + T(";");
  return out;
}

TEST(QueryModel, ThreadsReadOneQueryAtOnce) {
  TString xml = T("<q synonym='true'><TermGroup>");
  for (int i = 0; i < 40; ++i) {
    std::string n = std::to_string(i);
    xml += T("<Term><Text>term" + n + "</Text><Field>f" + n + "</Field><Field>g" + n + "</Field></Term>");
  }
  xml += T("</TermGroup>");
  for (int i = 0; i < 20; ++i) {
    std::string n = std::to_string(i);
    xml += T("<Category>cat" + n + "</Category><Domain><Name>dom" + n + "</Name><Property name='key'>v" + n +
             "</Property></Domain>");
  }
  // The threads meet a query nobody has read yet: they race to be its first reader.
  QueryPtr query = Parse(xml + T("</q>"));
  QueryPtr twin = Parse(xml + T("</q>"));
  std::vector<const TessikChar*> firstRead;
  const TString expected = ReadAll(twin.get(), &firstRead);
  std::vector<TString> categories(firstRead.begin(), firstRead.end());
  ASSERT_EQ(categories.size(), 20u);

  Watchdog watchdog(std::chrono::seconds(90), "ThreadsReadOneQueryAtOnce");
  std::atomic<int> mismatches{0};
  // Three threads, as plugins reading on threads of their own would; then
  // three more, which the system may give the ended threads' identifiers.
  auto reader = [&] {
    for (int round = 0; round < 150; ++round) {
      std::vector<const TessikChar*> kept;
      if (ReadAll(query.get(), &kept) != expected) ++mismatches;
      // This thread's texts stay valid while the others read.
      if (std::vector<TString>(kept.begin(), kept.end()) != categories) ++mismatches;
    }
  };
  for (int wave = 0; wave < 2; ++wave) {
    std::thread a(reader), b(reader), c(reader);
    a.join();
    b.join();
    c.join();
  }
  // Texts a thread handed on stay valid after it ended and others read.
  std::vector<const TessikChar*> handedOn;
  std::thread([&] { ReadAll(query.get(), &handedOn); }).join();
  std::thread([&] { ReadAll(query.get(), &firstRead); }).join();
  EXPECT_EQ(std::vector<TString>(handedOn.begin(), handedOn.end()), categories);
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
