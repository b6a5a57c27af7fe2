#include "wordnet/Database.h"

#include <unordered_set>

namespace wordnet {

namespace {

const char* const kPosNames[kPosCount] = {"noun", "verb", "adj", "adv"};

struct SuffixRule {
  std::string_view suffix;
  std::string_view ending;
};

// The regular inflections of each part of speech, undone: "ches" back to
// "ch", "ing" back to "e" or to nothing. A candidate counts only when the
// index holds it, so a rule may well produce nonsense on the way.
const SuffixRule kNounRules[] = {{"s", ""},      {"ses", "s"},   {"xes", "x"},   {"zes", "z"},
                                 {"ches", "ch"}, {"shes", "sh"}, {"men", "man"}, {"ies", "y"}};
const SuffixRule kVerbRules[] = {{"s", ""},   {"ies", "y"}, {"es", "e"},  {"es", ""},
                                 {"ed", "e"}, {"ed", ""},   {"ing", "e"}, {"ing", ""}};
const SuffixRule kAdjectiveRules[] = {{"er", ""}, {"est", ""}, {"er", "e"}, {"est", "e"}};

struct RuleSet {
  const SuffixRule* first;
  const SuffixRule* last;
};

RuleSet RulesOf(Pos pos) {
  switch (pos) {
    case kNoun: return {std::begin(kNounRules), std::end(kNounRules)};
    case kVerb: return {std::begin(kVerbRules), std::end(kVerbRules)};
    case kAdjective: return {std::begin(kAdjectiveRules), std::end(kAdjectiveRules)};
    default: return {nullptr, nullptr};
  }
}

// The text up to the first space.
std::string_view FirstField(std::string_view line) { return line.substr(0, line.find(' ')); }

// Splits a line into its space-separated fields, skipping empty ones (the
// files end their lines with two spaces).
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (at < line.size()) {
    size_t end = line.find(' ', at);
    if (end == std::string_view::npos) end = line.size();
    if (end > at) fields.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return fields;
}

bool ParseNumber(std::string_view text, int base, uint64_t& value) {
  if (text.empty() || text.size() > 16) return false;
  value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    if (digit >= base) return false;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  return true;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The synset offsets of an index line: lemma pos synset_cnt p_cnt
// [ptr_symbol...] sense_cnt tagsense_cnt synset_offset...
std::vector<uint64_t> SynsetOffsets(std::string_view line) {
  std::vector<uint64_t> offsets;
  std::vector<std::string_view> fields = Fields(line);
  uint64_t synsets = 0, pointers = 0;
  if (fields.size() < 4 || !ParseNumber(fields[2], 10, synsets) || !ParseNumber(fields[3], 10, pointers)) {
    return offsets;
  }
  size_t first = 4 + pointers + 2;
  if (first > fields.size() || fields.size() - first < synsets) return offsets;
  for (size_t i = 0; i < synsets; ++i) {
    uint64_t offset = 0;
    if (ParseNumber(fields[first + i], 10, offset)) offsets.push_back(offset);
  }
  return offsets;
}

}  // namespace

std::string ToLemma(std::string_view word) {
  std::string lemma;
  lemma.reserve(word.size());
  bool gap = false;
  for (char c : word) {
    if (c == ' ' || c == '_' || c == '\t' || c == '\r' || c == '\n') {
      gap = true;
      continue;
    }
    if (gap && !lemma.empty()) lemma.push_back('_');
    gap = false;
    lemma.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return lemma;
}

std::string ToText(std::string_view lemma) {
  std::string text(lemma);
  for (char& c : text) {
    if (c == '_') c = ' ';
  }
  return text;
}

std::string_view FindLine(std::string_view text, std::string_view key) {
  // [low, high) always starts at a line and ends at one (or at the end).
  size_t low = 0, high = text.size();
  while (low < high) {
    size_t start = low + (high - low) / 2;
    while (start > low && text[start - 1] != '\n') --start;
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos || end > high) end = high;
    std::string_view line = text.substr(start, end - start);
    int order = FirstField(line).compare(key);
    if (order == 0) return line;
    if (order < 0) {
      low = end + 1;
    } else {
      high = start;
    }
  }
  return {};
}

std::unique_ptr<Database> Database::Open(const std::string& folder) {
  std::unique_ptr<Database> database(new Database);
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/' && prefix.back() != MappedFile::Separator()) {
    prefix.push_back(MappedFile::Separator());
  }
  for (int pos = 0; pos < kPosCount; ++pos) {
    std::string name = kPosNames[pos];
    if (!database->index_[pos].Open(prefix + "index." + name) || !database->data_[pos].Open(prefix + "data." + name) ||
        !database->exceptions_[pos].Open(prefix + name + ".exc")) {
      return nullptr;
    }
    // The licence text at the top: lines that start with a space.
    std::string_view text = database->index_[pos].Text();
    size_t start = 0;
    while (start < text.size() && text[start] == ' ') {
      size_t end = text.find('\n', start);
      start = end == std::string_view::npos ? text.size() : end + 1;
    }
    database->indexStart_[pos] = start;
  }
  return database;
}

std::string_view Database::FindIndexLine(Pos pos, std::string_view lemma) const {
  if (lemma.empty()) return {};
  return FindLine(index_[pos].Text().substr(indexStart_[pos]), lemma);
}

std::vector<std::string_view> Database::Lemmas(Pos pos) const {
  std::vector<std::string_view> lemmas;
  std::string_view text = index_[pos].Text().substr(indexStart_[pos]);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    if (end > at) lemmas.push_back(FirstField(text.substr(at, end - at)));
    at = end + 1;
  }
  return lemmas;
}

std::vector<std::string> Database::BaseForms(Pos pos, std::string_view word) const {
  std::vector<std::string> forms;
  auto keep = [&](std::string_view candidate) {
    if (FindIndexLine(pos, candidate).empty()) return;
    for (const std::string& form : forms) {
      if (form == candidate) return;
    }
    forms.emplace_back(candidate);
  };
  if (word.empty()) return forms;
  keep(word);

  std::string_view irregular = FindLine(exceptions_[pos].Text(), word);
  if (!irregular.empty()) {
    std::vector<std::string_view> fields = Fields(irregular);
    for (size_t i = 1; i < fields.size(); ++i) keep(fields[i]);
    return forms;
  }

  // A noun such as "boxesful" is the plural of "box" with "ful" after it.
  std::string_view stem = word;
  std::string_view tail;
  if (pos == kNoun && EndsWith(word, "ful") && word.size() > 3) {
    stem = word.substr(0, word.size() - 3);
    tail = "ful";
  }
  // "glass" and "as" are no plurals.
  if (pos == kNoun && (EndsWith(stem, "ss") || stem.size() <= 2)) return forms;
  RuleSet rules = RulesOf(pos);
  for (const SuffixRule* rule = rules.first; rule != rules.last; ++rule) {
    if (stem.size() <= rule->suffix.size() || !EndsWith(stem, rule->suffix)) continue;
    std::string candidate(stem.substr(0, stem.size() - rule->suffix.size()));
    candidate.append(rule->ending);
    candidate.append(tail);
    keep(candidate);
  }
  return forms;
}

std::vector<std::string> Database::Stems(std::string_view word) const {
  std::string lemma = ToLemma(word);
  std::vector<std::string> stems;
  std::unordered_set<std::string> seen;
  for (int pos = 0; pos < kPosCount; ++pos) {
    for (std::string& form : BaseForms(static_cast<Pos>(pos), lemma)) {
      if (seen.insert(form).second) stems.push_back(ToText(form));
    }
  }
  return stems;
}

std::vector<std::string> Database::Synonyms(std::string_view word) const {
  std::string lemma = ToLemma(word);
  std::vector<std::string> words;
  std::unordered_set<std::string> seen{lemma};
  std::vector<std::string> members;
  for (int pos = 0; pos < kPosCount; ++pos) {
    for (const std::string& form : BaseForms(static_cast<Pos>(pos), lemma)) {
      for (uint64_t offset : SynsetOffsets(FindIndexLine(static_cast<Pos>(pos), form))) {
        members.clear();
        AppendSynsetWords(static_cast<Pos>(pos), offset, members);
        for (std::string& member : members) {
          if (seen.insert(ToLemma(member)).second) words.push_back(ToText(member));
        }
      }
    }
  }
  return words;
}

void Database::AppendSynsetWords(Pos pos, uint64_t offset, std::vector<std::string>& out) const {
  // synset_offset lex_filenum ss_type w_cnt word lex_id [word lex_id...] ...
  std::string_view text = data_[pos].Text();
  if (offset >= text.size()) return;
  size_t end = text.find('\n', offset);
  std::string_view line = text.substr(offset, end == std::string_view::npos ? std::string_view::npos : end - offset);
  std::vector<std::string_view> fields = Fields(line.substr(0, line.find('|')));
  uint64_t count = 0;
  // The count is the file's word: halve what the line holds rather than
  // double the count, which a damaged file can make overflow.
  if (fields.size() < 4 || !ParseNumber(fields[3], 16, count) || count > (fields.size() - 4) / 2) return;
  for (uint64_t i = 0; i < count; ++i) {
    std::string_view member = fields[4 + 2 * i];
    // Adjectives may carry where they stand: "galore(ip)", "elect(p)", "former(a)".
    if (pos == kAdjective && !member.empty() && member.back() == ')') {
      size_t open = member.rfind('(');
      if (open != std::string_view::npos && open > 0) member = member.substr(0, open);
    }
    out.emplace_back(member);
  }
}

}  // namespace wordnet
