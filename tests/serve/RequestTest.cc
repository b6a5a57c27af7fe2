// What a request may ask, read as the command reads its command line, and
// the page's escaping of what documents say.
#include <gtest/gtest.h>

#include "serve/Html.h"
#include "serve/Request.h"

namespace {

using tessik_serve::Output;
using tessik_serve::Params;
using tessik_serve::SearchRequest;

bool Read(const std::string& query, SearchRequest& request, std::string& error) {
  Params params;
  return tessik_serve::ParseParams(query, params, error) &&
         tessik_serve::ReadSearchRequest(params, {"quotes", "glosses"}, request, error);
}

TEST(ServeRequest, ParametersMirrorTheCommandsOptions) {
  SearchRequest r;
  std::string error;
  ASSERT_TRUE(Read("q=caf%C3%A9++au%09lait&source=quotes&source=glosses&not=milk&field=title&category=food&any=1&"
                   "stem=true&synonyms=0&case=false&limit=7&offset=3&sort=title&merge=rrf&format=html",
                   r, error))
      << error;
  EXPECT_EQ(r.options.words, (std::vector<std::string>{"café", "au", "lait"}));
  EXPECT_EQ(r.options.sources, (std::vector<std::string>{"quotes", "glosses"}));
  EXPECT_EQ(r.options.excluded, (std::vector<std::string>{"milk"}));
  EXPECT_EQ(r.options.field, "title");
  EXPECT_EQ(r.options.categories, (std::vector<std::string>{"food"}));
  EXPECT_TRUE(r.options.any);
  EXPECT_TRUE(r.options.stemming);
  EXPECT_FALSE(r.options.synonyms);
  EXPECT_FALSE(r.options.caseSensitive);
  EXPECT_EQ(r.limit, 7u);
  EXPECT_EQ(r.offset, 3u);
  EXPECT_EQ(r.options.limit, 10u);  // the ranking keeps the pages before this one too
  EXPECT_EQ(r.options.sort, "title");
  EXPECT_EQ(r.options.merge, tessik_cli::Merge::kRrf);
  EXPECT_EQ(r.output, Output::kHtml);

  // Words that look like options stay words; no limit means every hit.
  ASSERT_TRUE(Read("q=--data+x%3D%2Fetc+--plugin", r, error)) << error;
  EXPECT_EQ(r.options.words, (std::vector<std::string>{"--data", "x=/etc", "--plugin"}));
  EXPECT_TRUE(r.options.domains.empty());
  EXPECT_TRUE(r.options.plugins.empty());
  EXPECT_FALSE(r.options.limit.has_value());
}

TEST(ServeRequest, RefusesWhatTheCommandWouldAndWhatNamesAFile) {
  const char* refused[] = {"",           "q=",          "q=%%",        "q=a&q=b",      "q=%C3",
                           "q=a&limit=", "q=a&limit=x", "q=a&offset=-1", "q=a&field=body2",
                           "q=a&source=nowhere",        "q=a&data=/etc",  "q=a&plugin=x",   "q=a&query=f.xml",
                           "q=a&config=x",              "q=a&poll=1",     "q=a&format=",    "q=!!!",
                           "q=a%01b"};
  for (const char* query : refused) {
    SearchRequest r;
    std::string error;
    EXPECT_FALSE(Read(query, r, error)) << query;
    EXPECT_FALSE(error.empty()) << query;
  }
}

TEST(ServeHtml, DocumentTextIsEscapedAndOnlyWebLinksAreLinks) {
  tessik_cli::Ranked hit;
  hit.row.title = "<script>alert(1)</script>";
  hit.row.snippet = "a \"quoted\" <b>water</b> & more";
  hit.row.domain = "quotes<x>";
  hit.row.properties = {{"url", "javascript:alert(2)"}};
  hit.sources = {{"quotes<x>", 1}};
  SearchRequest request;
  request.text = "\"><script>alert(3)</script>";
  request.options.words = {"water"};
  const std::string page = tessik_serve::ResultsPage(request, {{"p", "quotes<x>", TESSIK_OK, 1, ""}}, {hit}, {});
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("javascript:"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;<mark>water</mark>&lt;/b&gt; &amp; more"), std::string::npos);
  EXPECT_NE(page.find("value=\"&quot;&gt;&lt;script&gt;"), std::string::npos);

  EXPECT_EQ(tessik_serve::SafeLink("https://example.org/a"), "https://example.org/a");
  EXPECT_EQ(tessik_serve::SafeLink("FILE:///home/a.txt"), "FILE:///home/a.txt");
  for (const char* bad : {"javascript:alert(1)", "JavaScript:x", "data:text/html,x", "vbscript:x", "/relative", ""})
    EXPECT_EQ(tessik_serve::SafeLink(bad), "") << bad;
}

}  // namespace
