#include "ranking/Collections.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>

#include "files/Content.h"
#include "files/Indexer.h"
#include "kit/Text.h"
#include "kit/Tsv.h"

namespace tessik_ranking {

namespace fs = std::filesystem;
namespace folder = tessik_plugins::folder;
using tessik_plugins::SampleDocument;

namespace {

void ReadTsv(const std::string& path, const std::string& domain, bool lastWins,
             const std::function<void(Document&&)>& each) {
  std::map<std::string, Document> byId;
  tessik_plugins::ReadSampleDocuments(path, [&](const SampleDocument& d) {
    Document doc{domain, d.id, d.title, d.text};
    if (lastWins) byId.insert_or_assign(d.id, std::move(doc));
    else byId.emplace(d.id, std::move(doc));
  });
  for (auto& [id, doc] : byId) each(std::move(doc));
}

bool Hidden(const fs::path& name) {
  const std::string s = tessik_plugins::Utf8Of(name);
  return !s.empty() && s[0] == '.';
}

void ReadFolder(const fs::path& root, const std::string& domain, const std::function<void(Document&&)>& each) {
  if (!fs::is_directory(root)) throw std::runtime_error("no folder " + tessik_plugins::Utf8Of(root));
  const uint64_t maxSize = folder::IndexOptions{}.maxSize;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    if (Hidden(it->path().filename())) {
      if (it->is_directory()) it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file() || it->file_size() > maxSize) continue;
    std::ifstream in(it->path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) throw std::runtime_error("cannot read " + tessik_plugins::Utf8Of(it->path()));
    if (folder::LooksBinary(bytes)) continue;
    std::string utf8, failure;
    if (!folder::Decode(bytes, utf8, failure)) continue;
    const std::string name = tessik_plugins::Utf8Of(it->path().filename());
    folder::Content content = folder::Extract(name, folder::TypeOf(name), std::move(utf8));
    // '/'-separated, as the index stores it: the yardstick runs on Linux only.
    const std::string rel = tessik_plugins::Utf8Of(it->path().lexically_relative(root));
    const size_t slash = rel.rfind('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = rel.rfind('.');
    std::string id = tessik_plugins::CleanText(dot != std::string::npos && dot > base ? rel.substr(0, dot) : rel);
    each(Document{domain, std::move(id), std::move(content.title), std::move(content.text)});
  }
}

}  // namespace

void ReadSamples(const std::string& sampleDir, const std::function<void(Document&&)>& each) {
  const fs::path dir = tessik_plugins::PathOf(sampleDir);
  ReadTsv(tessik_plugins::Utf8Of(dir / "text" / "glosses.tsv"), "glosses", true, each);
  ReadTsv(tessik_plugins::Utf8Of(dir / "text" / "manpages.tsv"), "manpages", false, each);
  ReadFolder(dir / "quotes", "quotes", each);
}

}  // namespace tessik_ranking
