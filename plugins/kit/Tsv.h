// The sample documents as the indexers read them: one per line, "id TAB
// category TAB title TAB text" (plugins/data/extract-sample writes them).
#ifndef TESSIK_PLUGINS_KIT_TSV_H_
#define TESSIK_PLUGINS_KIT_TSV_H_

#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

namespace tessik_plugins {

struct SampleDocument {
  std::string id, category, title, text;
};

// Calls `each` for every well-formed line of `path` in file order; returns
// how many there were. Throws std::runtime_error when the file cannot be read.
inline size_t ReadSampleDocuments(const std::string& path, const std::function<void(const SampleDocument&)>& each) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string line;
  size_t count = 0;
  while (std::getline(in, line)) {
    SampleDocument doc;
    std::string* fields[] = {&doc.id, &doc.category, &doc.title, &doc.text};
    size_t start = 0;
    for (int f = 0; f < 4; ++f) {
      const size_t tab = f < 3 ? line.find('\t', start) : std::string::npos;
      if (f < 3 && tab == std::string::npos) break;
      *fields[f] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      start = tab + 1;
    }
    if (doc.id.empty() || doc.title.empty()) continue;
    each(doc);
    ++count;
  }
  return count;
}

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_TSV_H_
