// What the reference plugin tests share: query documents, a session over
// chosen plugins, and the hits of a results document.
#ifndef TESSIK_TESTS_PLUGINS_PLUGINHOST_H_
#define TESSIK_TESTS_PLUGINS_PLUGINHOST_H_

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tessik/Hits.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"

namespace plugin_test {

struct Word {
  Word(std::string t, std::vector<std::string> f = {}) : text(std::move(t)), fields(std::move(f)) {}
  std::string text;
  std::vector<std::string> fields;
};

// A query document; every part optional.
struct QueryForm {
  struct Domain {
    Domain(std::string n, std::string d = "", std::string l = "", std::string e = "",
           std::vector<std::pair<std::string, std::string>> o = {})
        : name(std::move(n)), data(std::move(d)), limit(std::move(l)), engine(std::move(e)), others(std::move(o)) {}
    std::string name;
    std::string data;    // the "data" property; empty: none
    std::string limit;   // the "limit" property; empty: none
    std::string engine;  // the "engine" property; empty: none
    // Further properties ("table", "text-columns", ...), as written, in
    // this order.
    std::vector<std::pair<std::string, std::string>> others;
  };
  QueryForm(std::vector<Word> w = {}, std::string c = "And", std::vector<std::string> cats = {},
            std::vector<Domain> d = {})
      : words(std::move(w)), compose(std::move(c)), categories(std::move(cats)), domains(std::move(d)) {}
  std::vector<Word> words;
  std::string compose;
  std::vector<std::string> categories;
  std::vector<Domain> domains;
  bool stemming = false, synonyms = false, caseSensitive = false;

  std::string Xml() const {
    auto flag = [](bool on) { return on ? "true" : "false"; };
    std::string xml = std::string("<Query synonym=\"") + flag(synonyms) + "\" stemming=\"" + flag(stemming) +
                      "\" case_sensitivity=\"" + flag(caseSensitive) + "\">";
    for (const Domain& d : domains) {
      xml += "<Domain><Name>" + d.name + "</Name>";
      if (!d.data.empty()) xml += "<Property name=\"data\">" + d.data + "</Property>";
      if (!d.limit.empty()) xml += "<Property name=\"limit\">" + d.limit + "</Property>";
      if (!d.engine.empty()) xml += "<Property name=\"engine\">" + d.engine + "</Property>";
      for (const auto& [name, value] : d.others) xml += "<Property name=\"" + name + "\">" + value + "</Property>";
      xml += "</Domain>";
    }
    for (const std::string& c : categories) xml += "<Category>" + c + "</Category>";
    xml += "<TermGroup compose=\"" + compose + "\">";
    for (const Word& w : words) {
      xml += "<Term><Text>" + w.text + "</Text>";
      for (const std::string& f : w.fields) xml += "<Field>" + f + "</Field>";
      xml += "</Term>";
    }
    return xml + "</TermGroup></Query>";
  }
};

struct Found {
  std::string id, domain, title, error, status, more;
  std::basic_string<TessikChar> rawTitle, rawSnippet;  // as the plugin wrote them
  // "path", "url", "modified", "size" and "type" where the engine knows them.
  std::map<std::string, std::string> document;
  double score = 0;
  // The hit's other properties that it has, of those kOtherProperties names.
  std::map<std::string, std::string> properties;
};

// The properties beside the standard ones that tests look at: a
// document's (plugins/kit/Names.h) and the few an engine adds of its own.
inline const char* const kOtherProperties[] = {"snippet",     "category",       "path",
                                               "url",         "modified",       "size",
                                               "type",        "author",         "source-rank",
                                               "bm25-length", "bm25-tf",        "digest",
                                               "statistics",  "bm25-documents", "bm25-average-length",
                                               "bm25-df"};

inline std::string Narrow(const TessikChar* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += static_cast<char>(*text < 0x80 ? *text : '?');
  return out;
}

// The hits of a results document, in document order; a null or empty text
// (what a search gives when no plugin answered) has none.
inline std::vector<Found> Hits(const TessikChar* text) {
  std::vector<Found> found;
  if (text == nullptr || *text == 0) return found;  // no plugin answered
  IHitList* list = nullptr;
  EXPECT_EQ(Tessik_ConvertXMLToHitList(text, &list), TESSIK_OK);
  if (list == nullptr) return found;
  CHitSelector all;
  for (IHit* hit = list->GetNextHit(true, all); hit != nullptr; hit = list->GetNextHit(false, all)) {
    Found f;
    f.id = Narrow(hit->GetProperty(TX("id")));
    f.domain = Narrow(hit->GetProperty(TX("domain")));
    f.title = Narrow(hit->GetProperty(TX("title")));
    f.error = Narrow(hit->GetProperty(TX("error")));
    f.status = Narrow(hit->GetProperty(TX("status")));
    f.more = Narrow(hit->GetProperty(TX("more")));
    if (const TessikChar* t = hit->GetProperty(TX("title"))) f.rawTitle = t;
    if (const TessikChar* t = hit->GetProperty(TX("snippet"))) f.rawSnippet = t;
    for (const char* name : {"path", "url", "modified", "size", "type"})
      if (const TessikChar* t = hit->GetProperty(T(name).c_str())) f.document[name] = Narrow(t);
    f.score = hit->GetNormScore();
    for (const char* name : kOtherProperties)
      if (const TessikChar* value = hit->GetProperty(T(name).c_str())) f.properties[name] = Narrow(value);
    found.push_back(f);
  }
  Tessik_ReleaseHitList(list);
  return found;
}

inline std::vector<std::string> Ids(const std::vector<Found>& found) {
  std::vector<std::string> ids;
  for (const Found& f : found) ids.push_back(f.id);
  return ids;
}

// One session with the plugins at `paths`, its searches ready.
class Session {
 public:
  explicit Session(const std::vector<std::string>& paths) {
    EXPECT_EQ(Tessik_OpenSession(nullptr, &id_), TESSIK_OK);
    for (const std::string& p : paths) EXPECT_EQ(Tessik_LoadPluginByPath(id_, T(p).c_str()), TESSIK_OK) << p;
    EXPECT_EQ(Tessik_InitSearch(id_), TESSIK_OK);
  }
  ~Session() { EXPECT_EQ(Tessik_CloseSession(id_), TESSIK_OK); }
  uint32_t id() const { return id_; }

  std::vector<Found> Search(const QueryForm& form) {
    IQuery* query = nullptr;
    EXPECT_EQ(Tessik_ParseQueryFromXML(T(form.Xml()).c_str(), &query), TESSIK_OK);
    TessikChar* text = nullptr;
    EXPECT_EQ(Tessik_SyncSearch(id_, query, &text, 0), TESSIK_OK);
    std::vector<Found> found = Hits(text);
    Tessik_Release(text);
    Tessik_ReleaseQuery(query);
    return found;
  }

 private:
  uint32_t id_ = 0;
};

}  // namespace plugin_test

#endif  // TESSIK_TESTS_PLUGINS_PLUGINHOST_H_
