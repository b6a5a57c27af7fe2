// The pieces of tessik that work without a search: its text conversions and
// column fitting, the query documents it writes and reads, and its command
// line, each against the library that will read what they make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "platform/Platform.h"
#include "search/Options.h"
#include "search/Query.h"
#include "search/QueryText.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"

namespace tessik_cli {
namespace {

TEST(CliText, Utf8AndUtf16RoundTripAndRepairMalformedBytes) {
  const std::string text = "K\xC3\xA4se \xE2\x82\xAC \xF0\x9F\x90\x9F";  // Käse € and a fish beyond the BMP
  const TString wide = Widen(text);
  ASSERT_EQ(wide.size(), 9u);  // the fish is a surrogate pair
  EXPECT_EQ(Narrow(wide), text);
  // A stray continuation byte, a truncated sequence, an overlong form and an
  // encoded surrogate become U+FFFD; the bytes after them survive.
  for (const std::string bad : {"a\x80z", "a\xE2\x82z", "a\xC0\xAFz", "a\xED\xA0\x80z"}) {
    const TString w = Widen(bad);
    ASSERT_GE(w.size(), 3u) << bad;
    EXPECT_EQ(w.front(), TessikChar('a'));
    EXPECT_EQ(w.back(), TessikChar('z'));
    for (size_t i = 1; i + 1 < w.size(); ++i) EXPECT_EQ(static_cast<char16_t>(w[i]), 0xFFFD) << bad;
  }
  const TessikChar lone[] = {'a', static_cast<TessikChar>(0xD800), 'b', 0};
  EXPECT_EQ(Narrow(lone),
            "a\xEF\xBF\xBD"
            "b");
  // Unpaired surrogates wherever they stand: first, before the high half of
  // a pair, last.
  const std::string r = "\xEF\xBF\xBD";
  const TString unpaired = {0xDC00, 'x', 0xDBFF, 0xD800, 0xDC00, 'y', 0xD83D};
  const std::string narrow = Narrow(unpaired);
  EXPECT_EQ(narrow, r + "x" + r + "\xF0\x90\x80\x80" + "y" + r);  // U+10000 between
  EXPECT_EQ(Widen(narrow), (TString{0xFFFD, 'x', 0xFFFD, 0xD800, 0xDC00, 'y', 0xFFFD}));
  EXPECT_EQ(Narrow(static_cast<const TessikChar*>(nullptr)), "");
}

TEST(CliText, ColumnsAreTerminalColumns) {
  // é, hiragana a, fullwidth A, halfwidth ideographic full stop, a Hangul
  // syllable, U+1F600, the heart that is text unless a selector asks for a
  // picture, an ideograph beyond the BMP; a combining acute, zero width
  // space, variation selectors 16 and 18; then both sides of run edges.
  const std::pair<char32_t, int> widths[] = {
      {'A', 1},     {0xE9, 1},   {0x3042, 2}, {0xFF21, 2}, {0xFF61, 1},  {0xD55C, 2},  {0x1F600, 2}, {0x2764, 1},
      {0x20BB7, 2}, {0x0301, 0}, {0x200B, 0}, {0xFE0F, 0}, {0xE0101, 0}, {0x115F, 2},  {0x1160, 0},  {0x11FF, 0},
      {0x1200, 1},  {0x303E, 2}, {0x303F, 1}, {0xA4C6, 2}, {0xA4D0, 1},  {0x10FFFF, 1}};
  for (const auto& [c, columns] : widths) EXPECT_EQ(CharColumns(c), columns) << std::hex << uint32_t{c};

  EXPECT_EQ(Columns(""), 0u);
  EXPECT_EQ(Columns("plain"), 5u);
  EXPECT_EQ(Columns("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"), 6u);  // 日本語
  EXPECT_EQ(Columns("\xF0\x9F\x98\x80"), 2u);                      // U+1F600
  EXPECT_EQ(Columns("Cafe\xCC\x81"), 4u);                          // e and a combining acute
  EXPECT_EQ(Columns("ae\xCC\x81\xE6\x97\xA5\xF0\x9F\x98\x80\xE2\x80\x8B!"), 7u);
}

TEST(CliText, FitCutsByColumnsBetweenCharacters) {
  EXPECT_EQ(Fit("short", 10), "short");
  EXPECT_EQ(Fit("exactly10!", 10), "exactly10!");
  EXPECT_EQ(Fit("a longer title", 8), "a lon...");
  EXPECT_EQ(Fit("abcdef", 2), "..");
  // Multi-byte characters are never split.
  const std::string umlauts = "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC";  // six characters
  EXPECT_EQ(Fit(umlauts, 6), umlauts);
  EXPECT_EQ(Fit(umlauts, 5), "\xC3\xA4\xC3\xB6...");

  // 日本語テキスト: seven characters, fourteen columns.
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88";
  EXPECT_EQ(Fit(japanese, 14), japanese);
  EXPECT_EQ(Fit(japanese, 9), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E...");  // 日本語...
  // The third character would take columns 5 and 6 of the 5 before "...".
  EXPECT_EQ(Fit(japanese, 8), "\xE6\x97\xA5\xE6\x9C\xAC...");
  EXPECT_EQ(Fit("ab\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 5), "ab...");
  // A combining accent stays with the letter it belongs to.
  EXPECT_EQ(Fit("e\xCC\x81-bcdef", 5), "e\xCC\x81-...");
  const std::string mixed = "x\xE6\x97\xA5y\xF0\x9F\x98\x80z\xCC\x81\xE3\x83\x86\xE3\x82\xAD!";
  for (size_t columns = 0; columns <= 12; ++columns) {
    const std::string fitted = Fit(mixed, columns);
    EXPECT_LE(Columns(fitted), columns) << fitted;
    EXPECT_GE(Columns(fitted) + 1, std::min<size_t>(columns, Columns(mixed))) << fitted;
  }

  EXPECT_EQ(OneLine("  two\n\tlines  here \r\n"), "two lines here");
}

// A document's text on the terminal: no control character of it reaches the
// terminal, whether the text is made one line first (titles, snippets) or
// only fitted (domains).
TEST(CliText, ControlsReachTheTerminalAsReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  // ESC, NUL, BEL, VT, FF, DEL, U+FFFE and a malformed byte.
  EXPECT_EQ(OneLine("a\x1B[31mred"), "a" + r + "[31mred");
  EXPECT_EQ(OneLine(std::string("nul\0bell\a", 9)), "nul" + r + "bell" + r);
  EXPECT_EQ(OneLine("v\vf\f~\x7F"), "v" + r + "f" + r + "~" + r);
  EXPECT_EQ(OneLine("\xEF\xBF\xBE|bad\xFF"), r + "|bad" + r);
  // C1: U+0080, NEL, CSI, U+009F; the no-break space and U+00A1 after them stay.
  EXPECT_EQ(OneLine("<\xC2\x80|\xC2\x85|\xC2\x9B|\xC2\x9F>"), "<" + r + "|" + r + "|" + r + "|" + r + ">");
  EXPECT_EQ(OneLine("\xC2\xA0\xC2\xA1"), "\xC2\xA0\xC2\xA1");
  EXPECT_EQ(OneLine("\t a\r\n\tb \n"), "a b");

  EXPECT_EQ(Fit("quo\x1Btes", 12), "quo" + r + "tes");
  EXPECT_EQ(Fit("quo\xC2\x9B_tes\x7F", 12), "quo" + r + "_tes" + r);
  EXPECT_EQ(Fit("a\tb\nc\rd", 12), "a b c d");
  EXPECT_EQ(Fit("\x1B\x1B\x1B\x1B\x1B\x1B", 5), r + r + "...");
  // Counted as shown, so that the table pads the field right.
  EXPECT_EQ(Columns("a\x1B\x1B"), 3u);
}

TEST(CliText, StatusesAreNamedWithTheirMeaning) {
  EXPECT_EQ(StatusName(TESSIK_E_PLUGIN_LOAD_FAILED), "TESSIK_E_PLUGIN_LOAD_FAILED");
  EXPECT_NE(DescribeStatus(TESSIK_E_XML_INVALID).find("TESSIK_E_XML_INVALID ("), std::string::npos);
  EXPECT_NE(DescribeStatus(-5).find("-5"), std::string::npos);
}

bool Parse(std::vector<std::string> words, SearchOptions& options, std::string& error) {
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  return ParseSearchOptions(argv, options, error);
}

TEST(CliOptions, ReadsEveryFormAndRefusesWhatMakesNoSearch) {
  SearchOptions o;
  std::string error;
  ASSERT_TRUE(Parse(
      {"--data", "quotes=/srv/q=1", "--not=dog", "--limit", "7", "--format=json", "--any", "--", "--literal", "cat"}, o,
      error))
      << error;
  ASSERT_EQ(o.domains.size(), 1u);
  EXPECT_EQ(o.domains[0].name, "quotes");
  EXPECT_EQ(o.domains[0].data, "/srv/q=1");  // only the first "=" splits
  EXPECT_EQ(o.excluded, std::vector<std::string>{"dog"});
  EXPECT_EQ(o.words, (std::vector<std::string>{"--literal", "cat"}));
  ASSERT_TRUE(o.limit.has_value());
  EXPECT_EQ(*o.limit, 7u);
  EXPECT_EQ(o.format, Format::kJson);
  EXPECT_TRUE(o.any);

  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{{},
                                                                                   {"--limit", "0", "w"},
                                                                                   {"--limit", "7x", "w"},
                                                                                   {"--poll", "0", "w"},
                                                                                   {"--data", "quotes", "w"},
                                                                                   {"--data", "=path", "w"},
                                                                                   {"--format", "yaml", "w"},
                                                                                   {"--field"},
                                                                                   {"--query", "q.xml", "w"},
                                                                                   {"--query", "q.xml", "--stem"},
                                                                                   {"--bogus", "w"},
                                                                                   {"--field", "titel", "fork"},
                                                                                   {"--sort", "nosuch", "w"},
                                                                                   {"--", ""},
                                                                                   {"!!!"},
                                                                                   {"\""},
                                                                                   {"-"},
                                                                                   {"a\x01b"},
                                                                                   {"fork", "--not", "x\by"},
                                                                                   {"--not", "apple"}}) {
    SearchOptions refused;
    error.clear();
    EXPECT_FALSE(Parse(bad, refused, error)) << (bad.empty() ? "(nothing)" : bad[0]);
    EXPECT_FALSE(error.empty());
  }
  SearchOptions onlyNot;
  EXPECT_TRUE(Parse({"--category", "cooking", "--not", "apple"}, onlyNot, error)) << error;
  SearchOptions checked;
  EXPECT_TRUE(Parse({"--field", "BODY", "--sort", "category", "don't"}, checked, error)) << error;
  // A query file may come with --data: the command, not the file, points the plugin.
  SearchOptions file;
  EXPECT_TRUE(Parse({"--query", "q.xml", "--data", "quotes=/srv/q", "--limit", "3"}, file, error)) << error;
}

// What the library reads back from a query the options wrote. Terms and
// domains come in no order the query promises (it changed with what earlier
// tests had allocated), so they are listed sorted.
std::string Read(IQuery* query) {
  std::string out;
  ITermGroup* group = query->GetTermGroup();
  if (group != nullptr) out += "op=" + std::to_string(group->GetCompose());
  out += std::string(" syn=") + (query->UseSynonym() ? "1" : "0") + " stem=" + (query->UseStemming() ? "1" : "0");
  std::vector<std::string> terms, domains;
  for (ITerm* term = group != nullptr ? group->GetTerm(true) : nullptr; term != nullptr; term = group->GetTerm(false)) {
    std::string entry = " [" + Narrow(term->GetText());
    for (const TessikChar* f = term->GetField(true); f != nullptr; f = term->GetField(false)) entry += "|" + Narrow(f);
    terms.push_back(entry + "]");
  }
  for (IDomain* d = query->GetDomain(true); d != nullptr; d = query->GetDomain(false)) {
    std::string entry = " <" + Narrow(d->GetName()) + " data=" + Narrow(d->GetProperty(TESSIK_TEXT("data")));
    if (const TessikChar* limit = d->GetProperty(TESSIK_TEXT("limit"))) entry += " limit=" + Narrow(limit);
    if (const TessikChar* engine = d->GetProperty(TESSIK_TEXT("engine"))) entry += " engine=" + Narrow(engine);
    domains.push_back(entry + ">");
  }
  for (std::vector<std::string>* list : {&terms, &domains}) {
    std::sort(list->begin(), list->end());
    for (const std::string& entry : *list) out += entry;
  }
  for (const TessikChar* c = query->GetCategory(true); c != nullptr; c = query->GetCategory(false))
    out += " #" + Narrow(c);
  return out;
}

TEST(CliQuery, TheLibraryReadsWhatTheOptionsMeant) {
  SearchOptions o;
  o.words = {"fish & <chips>"};
  o.excluded = {"vinegar"};
  o.field = "title";
  o.synonyms = true;
  o.categories = {"food \"hot\""};
  o.domains = {{"quotes", "/srv/a&b"}};
  IQuery* query = nullptr;
  const SearchQuery wanted = QueryFromOptions(o);
  EXPECT_EQ(wanted.domains, std::vector<std::string>{"quotes"});
  const DomainTarget target{"quotes", "/srv/a&b", 7, {{"engine", "fi<l>es"}}};
  ASSERT_EQ(Tessik_ParseQueryFromXML(Widen(QueryXml(wanted, {target})).c_str(), &query), TESSIK_OK);
  EXPECT_EQ(Read(query),
            "op=0 syn=1 stem=0 [fish & <chips>|title] [vinegar|not] <quotes data=/srv/a&b limit=7 engine=fi<l>es> "
            "#food \"hot\"");
  // Read back as a query file would be: "data" is refused there.
  SearchQuery back;
  std::string error;
  EXPECT_FALSE(QueryFromParsed(*query, back, error));
  EXPECT_NE(error.find("\"data\""), std::string::npos) << error;
  Tessik_ReleaseQuery(query);

  // Every domain the search core names carries the limit.
  ASSERT_EQ(Tessik_ParseQueryFromXML(Widen(QueryXml(wanted, {{"a", "", 3, {}}, {"b", "", 3, {}}})).c_str(), &query), TESSIK_OK);
  EXPECT_NE(Read(query).find("<a data= limit=3>"), std::string::npos) << Read(query);
  EXPECT_NE(Read(query).find("<b data= limit=3>"), std::string::npos) << Read(query);
  ASSERT_TRUE(QueryFromParsed(*query, back, error)) << error;
  std::sort(back.domains.begin(), back.domains.end());  // domains come in no particular order
  EXPECT_EQ(back.domains, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(back.terms.size(), 2u);
  Tessik_ReleaseQuery(query);

  // Only excluded words: "Not" over the categories.
  SearchOptions onlyNot;
  onlyNot.excluded = {"apple"};
  onlyNot.categories = {"cooking"};
  onlyNot.any = true;
  ASSERT_EQ(Tessik_ParseQueryFromXML(Widen(QueryXml(QueryFromOptions(onlyNot), {})).c_str(), &query), TESSIK_OK);
  EXPECT_EQ(Read(query), "op=2 syn=0 stem=0 [apple|not] #cooking");
  Tessik_ReleaseQuery(query);
}

// What a query file must hold to be a query: a term a hit needs with a word
// in it, or a category.
TEST(CliQuery, QueryFilesWithNothingToSelectByAreNoQuery) {
  const char* noQuery[] = {"<Foo/>", "<Query/>", "<Query><TermGroup><Term><Text>!!!</Text></Term></TermGroup></Query>",
                           "<Query><TermGroup compose=\"Not\"><Term><Text>a</Text></Term></TermGroup></Query>",
                           "<Query><TermGroup><Term><Text>a</Text><Field>not</Field></Term></TermGroup></Query>"};
  const char* queries[] = {"<Query><TermGroup><Term><Text>a</Text></Term></TermGroup></Query>",
                           "<Query><Category>c</Category></Query>"};
  for (const char* xml : noQuery) {
    IQuery* query = nullptr;
    ASSERT_EQ(Tessik_ParseQueryFromXML(Widen(xml).c_str(), &query), TESSIK_OK) << xml;
    SearchQuery wanted;
    std::string error;
    EXPECT_FALSE(QueryFromParsed(*query, wanted, error)) << xml;
    EXPECT_NE(error.find("no query"), std::string::npos) << error;
    Tessik_ReleaseQuery(query);
  }
  for (const char* xml : queries) {
    IQuery* query = nullptr;
    ASSERT_EQ(Tessik_ParseQueryFromXML(Widen(xml).c_str(), &query), TESSIK_OK) << xml;
    SearchQuery wanted;
    std::string error;
    EXPECT_TRUE(QueryFromParsed(*query, wanted, error)) << xml << ": " << error;
    Tessik_ReleaseQuery(query);
  }
}

TEST(CliQuery, QueryFilesInUtf8AndUtf16) {
  // Its own name: test programs of several lanes may run at once.
  const std::string path = testing::TempDir() + "tessik-query-" + std::to_string(std::random_device{}());
  // Käse and a fish beyond the BMP, a surrogate pair in UTF-16.
  const std::string xml =
      "<Query><TermGroup><Term><Text>K\xC3\xA4se \xF0\x9F\x90\x9F</Text></Term></TermGroup></Query>";
  TString text;
  std::string error;
  for (int form = 0; form < 3; ++form) {
    {
      std::ofstream file(path, std::ios::binary);
      if (form == 0) file << xml;
      for (TessikChar c : form == 0 ? TString() : TString(1, 0xFEFF) + Widen(xml)) {
        const auto unit = static_cast<char16_t>(c);
        if (form == 1) file << static_cast<char>(unit & 0xFF) << static_cast<char>(unit >> 8);
        if (form == 2) file << static_cast<char>(unit >> 8) << static_cast<char>(unit & 0xFF);
      }
    }
    ASSERT_TRUE(ReadQueryFile(path, text, error)) << error;
    EXPECT_EQ(Narrow(text), xml) << "form " << form;
  }
  // Half a code unit at the end of the little-endian form.
  std::ofstream(path, std::ios::binary | std::ios::app) << 'x';
  EXPECT_FALSE(ReadQueryFile(path, text, error));
  EXPECT_NE(error.find("odd number of bytes"), std::string::npos) << error;
  std::remove(path.c_str());
  EXPECT_FALSE(ReadQueryFile(path, text, error));
  EXPECT_NE(error.find(path), std::string::npos);
}

// What --query may name is anything, a folder or a device among them: only a
// regular file of one query document is read.
TEST(CliQuery, QueryFilesThatCannotHoldAQueryAreRefused) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(testing::TempDir()) / ("tessik-query-" + std::to_string(std::random_device{}()));
  ASSERT_TRUE(fs::create_directories(dir / "folder"));
  TString text;
  std::string error;
  auto refused = [&](const fs::path& path, const std::string& why) {
    error.clear();
    EXPECT_FALSE(ReadQueryFile(path.string(), text, error)) << path;
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  };
  refused(dir / "folder", "is a folder");
  refused(dir / "missing.xml", "cannot open");

  // 1 MiB is the most a query file may hold.
  const std::string query = "<Query><TermGroup><Term><Text>car</Text></Term></TermGroup></Query>";
  const fs::path big = dir / "big.xml";
  std::ofstream(big, std::ios::binary) << query << std::string((1 << 20) - query.size(), ' ');
  ASSERT_EQ(fs::file_size(big), 1u << 20);
  EXPECT_TRUE(ReadQueryFile(big.string(), text, error)) << error;
  EXPECT_EQ(text.size(), 1u << 20);
  std::ofstream(big, std::ios::binary | std::ios::app) << ' ';
  refused(big, "larger than 1 MiB");

#ifndef _WIN32
  refused("/dev/zero", "not a regular file");
  // A link is followed to what it names.
  fs::create_symlink(dir / "folder", dir / "to-folder");
  refused(dir / "to-folder", "is a folder");
  std::ofstream(dir / "small.xml", std::ios::binary) << query;
  fs::create_symlink(dir / "small.xml", dir / "to-small.xml");
  ASSERT_TRUE(ReadQueryFile((dir / "to-small.xml").string(), text, error)) << error;
  EXPECT_EQ(Narrow(text), query);
#endif
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tessik_cli
