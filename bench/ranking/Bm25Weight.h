// The reference's scoring: plain BM25 as it is usually written, over the
// statistics of the database it searches (N documents, df per term, the
// average length). Not Xapian's BM25Weight, whose parameters and idf are
// its own: the yardstick must say exactly what it scores with.
//   score = sum over the query's terms t of
//           idf(t) * tf * (k1 + 1) / (tf + k1 * (1 - b + b * len / avglen))
//   idf(t) = ln(1 + (N - df + 0.5) / (df + 0.5)),  k1 = 1.2, b = 0.75
// tf is the term's wdf in the document and len the document's length (the
// sum of its wdfs), so a document must be indexed with wdf = occurrences.
#ifndef TESSIK_BENCH_RANKING_BM25WEIGHT_H_
#define TESSIK_BENCH_RANKING_BM25WEIGHT_H_

#include <xapian.h>

#include <string>

namespace tessik_ranking {

inline constexpr double kK1 = 1.2;
inline constexpr double kB = 0.75;

// The idf above; N and df as doubles so the formula reads as written.
double Bm25Idf(double documents, double termDocuments);

class Bm25Weight : public Xapian::Weight {
 public:
  Bm25Weight();
  std::string name() const override { return "tessik-ranking-bm25"; }
  Bm25Weight* clone() const override { return new Bm25Weight; }
  void init(double factor) override;
  double get_sumpart(Xapian::termcount wdf, Xapian::termcount doclen, Xapian::termcount uniqterms) const override;
  double get_maxpart() const override;
  // No part independent of the terms.
  double get_sumextra(Xapian::termcount, Xapian::termcount) const override { return 0; }
  double get_maxextra() const override { return 0; }

 private:
  double factor_ = 0;  // OP_SCALE_WEIGHT's; 1 for the reference's queries
  double idf_ = 0, averageLength_ = 1;
};

}  // namespace tessik_ranking

#endif  // TESSIK_BENCH_RANKING_BM25WEIGHT_H_
