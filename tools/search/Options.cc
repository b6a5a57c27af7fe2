#include "search/Options.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "common/Arguments.h"
#include "kit/Names.h"
#include "kit/Text.h"

namespace tessik_cli {

const char kSearchHelp[] =
    "usage: tessik search [OPTIONS] WORDS...\n"
    "\n"
    "Runs one search through the plugins and prints the merged hits, best first.\n"
    "\n"
    "What to search (every source in the list when none of these is given; see\n"
    "tessik help sources):\n"
    "  --source NAME      search the source NAME from the list (repeatable)\n"
    "  --config FILE      the list of sources to read (default: the user's)\n"
    "Or plugins directly, for those who know them:\n"
    "  --plugin PATH      load the plugin library at PATH (repeatable)\n"
    "  --domain D         ask domain D only; without --plugin, load Plugins/D (repeatable)\n"
    "  --data D=PATH      --domain D, and have its plugin search the documents at PATH\n"
    "\n"
    "The query (or --query FILE.xml, a whole query document, instead of these):\n"
    "  WORDS              every word must match (with --any: one is enough)\n"
    "  --any              hits need one of the words, not all\n"
    "  --not WORD         leave out documents that hold WORD (repeatable)\n"
    "  --field F          look for the words in field F only: title, or text (also\n"
    "                     body, content)\n"
    "  --category C       search category C only (repeatable)\n"
    "  --stem             match other forms of the words (stems)\n"
    "  --synonyms         match the words' synonyms too\n"
    "  --case             match case exactly (no stems or synonyms then)\n"
    "\n"
    "Running and output:\n"
    "  --async            asynchronous search: hits appear batch by batch; Ctrl-C\n"
    "                     aborts it and prints what arrived\n"
    "  --poll MS          with --async: merge and deliver every MS milliseconds (10)\n"
    "  --sort KEY         score (the default) or a property: domain, id, title,\n"
    "                     snippet, category\n"
    "  --limit N          the best N hits of every source together\n"
    "  --source-limit N   ask each source for its best N (default: the larger of\n"
    "                     --limit and 100, up to its plugin's max)\n"
    "  --merge M          how hits from different sources are ranked together:\n"
    "                     stats (the default: scored again as one index over every\n"
    "                     source would), rrf (by their ranks in their sources),\n"
    "                     minmax (each source's scores scaled to 0..1), or plugin\n"
    "                     (each plugin's own score, its best hit 1)\n"
    "  --format F         table (the default, fitted to the terminal), json, jsonl\n"
    "                     (with --async one JSON object per batch, then the final\n"
    "                     one), or xml (the merged results document)\n"
    "\n"
    "Exit status:\n"
    "  0    the search ran and every plugin answered without failing\n"
    "  1    the search ran, but a plugin failed or could not be loaded, or no\n"
    "       plugin answered the query (its hits, if any, are still printed)\n"
    "  2    the command line is wrong\n"
    "  3    the query file cannot be read or is no query document\n"
    "  4    the library failed (opening the session, starting or running the search)\n"
    "  130  interrupted (Ctrl-C) during an asynchronous search; what arrived is printed\n";

namespace {

bool ParseCount(const char* text, uint32_t& out) {
  const char* end = text + std::strlen(text);
  auto [at, problem] = std::from_chars(text, end, out);
  return problem == std::errc() && at == end && end != text;
}

bool IsField(const std::string& name) {
  const std::string folded = tessik_plugins::Fold(name);
  return folded == tessik_plugins::kFieldTitle ||
         std::find(tessik_plugins::kFieldText.begin(), tessik_plugins::kFieldText.end(), folded) !=
             tessik_plugins::kFieldText.end();
}

bool IsSortKey(const std::string& key) {
  const auto& names = tessik_plugins::kHitProperties;
  return key == "score" || std::find(names.begin(), names.end(), key) != names.end();
}

// A word the plugins can search for: no control characters (no query
// document can carry them), and at least one letter or digit.
bool CheckWord(const std::string& word, std::string& error) {
  for (const char32_t c : tessik_plugins::ToCodePoints(word)) {
    if (tessik_plugins::IsXmlIllegal(c) || c == '\t' || c == '\n' || c == '\r') {
      error = "the word \"" + tessik_plugins::CleanText(word) + "\" holds a control character; words are text";
      return false;
    }
  }
  if (tessik_plugins::Words(word).empty()) {
    error = "\"" + word + "\" has nothing to search for: a word needs a letter or a digit";
    return false;
  }
  return true;
}

}  // namespace

bool ParseSearchOptions(std::span<char* const> arguments, SearchOptions& o, std::string& error) {
  bool wordsOnly = false;  // after "--"
  bool queryOptions = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string arg = arguments[i];
    if (wordsOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      o.words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      wordsOnly = true;
      continue;
    }
    // Options without a value.
    bool* flag = arg == "--any"                   ? &o.any
                 : arg == "--stem"                ? &o.stemming
                 : arg == "--synonyms"            ? &o.synonyms
                 : arg == "--case"                ? &o.caseSensitive
                 : arg == "--async"               ? &o.async
                 : arg == "--help" || arg == "-h" ? &o.help
                                                  : nullptr;
    if (flag != nullptr) {
      *flag = true;
      queryOptions |= flag != &o.async && flag != &o.help;
      continue;
    }
    std::string name, value;
    if (!OptionValue(arguments, i, name, value, error)) return false;
    if (name == "--domain") {
      o.domains.push_back({value, ""});
    } else if (name == "--data") {
      const size_t split = value.find('=');
      if (split == 0 || split == std::string::npos || split + 1 == value.size()) {
        error = "--data takes DOMAIN=PATH, not \"" + value + "\"";
        return false;
      }
      o.domains.push_back({value.substr(0, split), value.substr(split + 1)});
    } else if (name == "--plugin") {
      o.plugins.push_back(value);
    } else if (name == "--source") {
      o.sources.push_back(value);
    } else if (name == "--config") {
      o.config = value;
    } else if (name == "--not") {
      o.excluded.push_back(value);
      queryOptions = true;
    } else if (name == "--field") {
      if (!IsField(value)) {
        error = "--field takes title or text (also body, content), not \"" + value + "\"";
        return false;
      }
      o.field = value;
      queryOptions = true;
    } else if (name == "--category") {
      o.categories.push_back(value);
      queryOptions = true;
    } else if (name == "--query") {
      o.queryFile = value;
    } else if (name == "--poll") {
      if (!ParseCount(value.c_str(), o.pollMs) || o.pollMs == 0) {
        error = "--poll takes a number of milliseconds above 0, not \"" + value + "\"";
        return false;
      }
    } else if (name == "--sort") {
      if (!IsSortKey(value)) {
        error = "--sort takes score, domain, id, title, snippet or category, not \"" + value + "\"";
        return false;
      }
      o.sort = value;
    } else if (name == "--limit") {
      uint32_t limit = 0;
      if (!ParseCount(value.c_str(), limit) || limit == 0) {
        error = "--limit takes a number above 0, not \"" + value + "\"";
        return false;
      }
      o.limit = limit;
    } else if (name == "--source-limit") {
      uint32_t limit = 0;
      if (!ParseCount(value.c_str(), limit) || limit == 0) {
        error = "--source-limit takes a number above 0, not \"" + value + "\"";
        return false;
      }
      o.sourceLimit = limit;
    } else if (name == "--merge") {
      if (!ParseMerge(value, o.merge)) {
        error = "--merge takes stats, rrf, minmax or plugin, not \"" + value + "\"";
        return false;
      }
    } else if (name == "--format") {
      if (value == "jsonl") {
        o.format = Format::kJsonLines;
      } else if (value == "table") {
        o.format = Format::kTable;
      } else if (value == "json") {
        o.format = Format::kJson;
      } else if (value == "xml") {
        o.format = Format::kXml;
      } else {
        error = "--format takes table, json, jsonl or xml, not \"" + value + "\"";
        return false;
      }
    } else {
      error = "unknown option " + name;
      return false;
    }
  }
  if (o.help) return true;
  if (!o.sources.empty() && (!o.domains.empty() || !o.plugins.empty())) {
    error = "--source searches sources from the list; --domain, --data and --plugin address plugins directly: "
            "give one or the other";
    return false;
  }
  if (!o.queryFile.empty()) {
    if (queryOptions || !o.words.empty()) {
      error =
          "--query reads the whole query from its file: give no words, --not, --field, --category, "
          "--any, --stem, --synonyms or --case with it";
      return false;
    }
    return true;
  }
  for (const std::vector<std::string>* list : {&o.words, &o.excluded}) {
    for (const std::string& word : *list) {
      if (!CheckWord(word, error)) return false;
    }
  }
  // --not alone would select every document but a few.
  if (o.words.empty() && o.categories.empty()) {
    error = "nothing to search for: give words, or --category (--not only leaves documents out)";
    return false;
  }
  return true;
}

}  // namespace tessik_cli
