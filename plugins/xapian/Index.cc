// tessik-index-xapian: builds the Xapian plugin's database from sample
// documents. Usage: tessik-index-xapian DOCUMENTS.tsv DATABASE [K/N]
// With K/N only every N-th document from the K-th on (K counts from 0) goes
// in: one shard of N. The database is built beside DATABASE and moved into
// place when complete, so a reader never sees half of it.
#include <xapian.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "kit/Digest.h"
#include "kit/Text.h"
#include "kit/Tsv.h"
#include "xapian/Scheme.h"

using namespace tessik_plugins;
namespace scheme = tessik_plugins::xapian_scheme;

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s DOCUMENTS.tsv DATABASE [K/N]\n", argv[0]);
    return 2;
  }
  unsigned shard = 0, shards = 1;
  if (argc == 4 && (std::sscanf(argv[3], "%u/%u", &shard, &shards) != 2 || shards == 0 || shard >= shards)) {
    std::fprintf(stderr, "%s: bad shard %s (K/N with K < N)\n", argv[0], argv[3]);
    return 2;
  }
  const std::string target = argv[2];
  const std::string building = target + ".building";
  try {
    std::filesystem::remove_all(building);
    Xapian::WritableDatabase db(building, Xapian::DB_CREATE_OR_OVERWRITE);
    Xapian::TermGenerator generator;
    generator.set_stemmer(Xapian::Stem(scheme::kLanguage));
    generator.set_stemming_strategy(Xapian::TermGenerator::STEM_SOME);
    size_t line = 0, added = 0;
    ReadSampleDocuments(argv[1], [&](const SampleDocument& d) {
      if (line++ % shards != shard) return;
      Xapian::Document doc;
      generator.set_document(doc);
      generator.index_text_without_positions(d.title, 1, scheme::kTitle);
      generator.index_text_without_positions(d.title);
      generator.index_text_without_positions(d.text, 1, scheme::kText);
      generator.index_text_without_positions(d.text);
      for (const std::string& w : Words(d.title))
        if (w.size() <= scheme::kMaxTerm) doc.add_term(scheme::kExactTitle + w);
      for (const std::string& w : Words(d.text))
        if (w.size() <= scheme::kMaxTerm) doc.add_term(scheme::kExactText + w);
      // The words once each: the unprefixed terms, before the exact ones.
      uint64_t length = 0;
      for (Xapian::TermIterator t = doc.termlist_begin(); t != doc.termlist_end(); ++t)
        if (scheme::IsWordTerm(*t)) length += t.get_wdf();
      doc.add_value(scheme::kLengthSlot, std::to_string(length));
      doc.add_value(scheme::kDigestSlot, Digest(d.title, d.text));
      if (!d.category.empty()) doc.add_boolean_term(scheme::kCategory + Fold(d.category));
      doc.add_boolean_term(scheme::kId + d.id);
      doc.set_data(d.id + '\t' + d.category + '\t' + d.title + '\t' + d.text);
      db.replace_document(scheme::kId + d.id, doc);
      ++added;
    });
    // The lengths of the documents kept (a later one with the same id
    // replaced an earlier), read back once they are committed.
    db.commit();
    uint64_t total = 0;
    for (Xapian::ValueIterator v = db.valuestream_begin(scheme::kLengthSlot);
         v != db.valuestream_end(scheme::kLengthSlot); ++v)
      total += std::stoull(*v);
    db.set_metadata(scheme::kLengthTotalKey, std::to_string(total));
    db.set_metadata(scheme::kFormatKey, scheme::kFormat);
    db.commit();
    db.close();
    std::filesystem::remove_all(target);
    std::filesystem::rename(building, target);
    std::printf("%s: %zu documents\n", target.c_str(), added);
    return 0;
  } catch (const Xapian::Error& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.get_description().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
  }
  return 1;
}
