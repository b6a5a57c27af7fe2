#include "ranking/Bm25Weight.h"

#include <cmath>

namespace tessik_ranking {

double Bm25Idf(double documents, double termDocuments) {
  return std::log(1 + (documents - termDocuments + 0.5) / (termDocuments + 0.5));
}

Bm25Weight::Bm25Weight() {
  need_stat(COLLECTION_SIZE);
  need_stat(TERMFREQ);
  need_stat(AVERAGE_LENGTH);
  need_stat(DOC_LENGTH);
  need_stat(WDF);
}

void Bm25Weight::init(double factor) {
  factor_ = factor;
  // Xapian also calls init(0) for the term-independent part, which has no term.
  if (factor == 0) return;
  idf_ = Bm25Idf(static_cast<double>(get_collection_size()), static_cast<double>(get_termfreq()));
  const double average = get_average_length();
  averageLength_ = average > 0 ? average : 1;
}

double Bm25Weight::get_sumpart(Xapian::termcount wdf, Xapian::termcount doclen, Xapian::termcount) const {
  if (wdf == 0) return 0;
  const double tf = static_cast<double>(wdf);
  const double norm = kK1 * (1 - kB + kB * static_cast<double>(doclen) / averageLength_);
  return factor_ * idf_ * tf * (kK1 + 1) / (tf + norm);
}

// tf / (tf + norm) stays below 1 whatever the document.
double Bm25Weight::get_maxpart() const { return factor_ * idf_ * (kK1 + 1); }

}  // namespace tessik_ranking
