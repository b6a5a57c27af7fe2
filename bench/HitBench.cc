// Hit lists: both sorts of a million hits, and the hit-list XML writer and
// reader on 20,000 hits of five properties, each against the bare work of
// the platform in the same run.
#include <benchmark/benchmark.h>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <unicode/ucol.h>

#include "bench/Pairs.h"
#include "hits/Hit.h"
#include "hits/HitListXml.h"
#include "query/XMLManager.h"
#include "tessik/TessikClient.h"
#include "tests/hits/DomWriter.h"

using Tessik::CNSHit;
using Tessik::CNSHitList;

namespace {

constexpr int kSortHits = 1000000;
constexpr int kXmlHits = 20000;

std::u16string RandomText(std::mt19937& random, size_t length, const std::u16string& alphabet) {
  std::u16string text(length, u' ');
  for (auto& c : text) c = alphabet[random() % alphabet.size()];
  return text;
}

const std::u16string kLetters = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";

const TessikChar* Wide(const std::u16string& text) { return reinterpret_cast<const TessikChar*>(text.c_str()); }

// Random 12-character titles, the same in both halves of the pair.
const std::vector<std::u16string>& Titles() {
  static const std::vector<std::u16string> titles = [] {
    std::mt19937 random(1);
    std::vector<std::u16string> t;
    for (int i = 0; i < kSortHits; ++i) t.push_back(RandomText(random, 12, kLetters));
    return t;
  }();
  return titles;
}

// A list of a million hits with a title each; with `tiedScores`, scores of
// which about one hit in ten shares its score with another.
CNSHitList& SortList(bool tiedScores) {
  static CNSHitList* lists[2] = {};
  CNSHitList*& list = lists[tiedScores];
  if (list == nullptr) {
    list = new CNSHitList;
    std::mt19937 random(2);
    for (const auto& title : Titles()) {
      auto* hit = new CNSHit;
      hit->SetProperty(TESSIK_TEXT("title"), Wide(title));
      if (tiedScores) hit->SetNormScore(static_cast<double>(random() % 9500000) / 9500000.0);
      list->AddHit(hit);
    }
  }
  return *list;
}

void Shuffle(CNSHitList& list) {
  std::mt19937 random(3);
  std::shuffle(list.HitsUnlocked().begin(), list.HitsUnlocked().end(), random);
}

void SortByProperty1M_ours(benchmark::State& state) {
  CNSHitList& list = SortList(false);
  for (auto _ : state) {
    state.PauseTiming();
    Shuffle(list);
    state.ResumeTiming();
    list.SortByProperty(TESSIK_TEXT("title"));
  }
}

void SortByProperty1M_floor(benchmark::State& state) {
  // The collator of the library's comparison in this environment.
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open("", &status);
  ucol_setStrength(collator, UCOL_SECONDARY);
  std::vector<std::string> keys;
  for (const auto& title : Titles()) {
    uint8_t key[128];
    int32_t size = ucol_getSortKey(collator, title.data(), static_cast<int32_t>(title.size()), key, sizeof key);
    keys.emplace_back(reinterpret_cast<const char*>(key), static_cast<size_t>(size));
  }
  ucol_close(collator);
  for (auto _ : state) {
    state.PauseTiming();
    std::mt19937 random(3);
    std::shuffle(keys.begin(), keys.end(), random);
    state.ResumeTiming();
    std::sort(keys.begin(), keys.end());
    benchmark::DoNotOptimize(keys.data());
  }
}

void SortByScore1M_ours(benchmark::State& state) {
  CNSHitList& list = SortList(true);
  std::vector<const TessikChar*> names{TESSIK_TEXT("title")};
  for (auto _ : state) {
    state.PauseTiming();
    Shuffle(list);
    state.ResumeTiming();
    list.SortByScore(&names);
  }
}

void SortByScore1M_floor(benchmark::State& state) {
  std::vector<double> scores;
  for (CNSHit* hit : SortList(true).HitsUnlocked()) scores.push_back(hit->NormScore());
  std::vector<double> work;
  for (auto _ : state) {
    state.PauseTiming();
    work = scores;
    std::mt19937 random(3);
    std::shuffle(work.begin(), work.end(), random);
    state.ResumeTiming();
    std::sort(work.begin(), work.end(), std::greater<double>());
    benchmark::DoNotOptimize(work.data());
  }
}

// --- XML ------------------------------------------------------------------------

const char16_t* const kNames[] = {u"author", u"date", u"path", u"summary", u"title"};
const std::u16string kProse = u"abcdefghijklmnopqrstuvwxyz ABCDEFGHIJ 0123456789 .,;-/\\&<>\"";

// 20,000 hits of five properties, written in name order.
CNSHitList& XmlList() {
  static CNSHitList* list = [] {
    auto* l = new CNSHitList;
    std::mt19937 random(4);
    for (int i = 0; i < kXmlHits; ++i) {
      auto* hit = new CNSHit;
      hit->SetNormScore(static_cast<double>(random()) / 4294967296.0);
      for (const char16_t* name : kNames) {
        hit->SetProperty(reinterpret_cast<const TessikChar*>(name),
                         Wide(RandomText(random, 8 + random() % 40, kProse)));
      }
      l->AddHit(hit);
    }
    return l;
  }();
  return *list;
}

const std::basic_string<TessikChar>& XmlDocument() {
  static const std::basic_string<TessikChar> text = [] {
    TessikChar* t = nullptr;
    Tessik_ConvertHitListToXML(&XmlList(), &t);
    std::basic_string<TessikChar> copy(t);
    Tessik_Release(t);
    return copy;
  }();
  return text;
}

void HitListToXml20k_ours(benchmark::State& state) {
  CNSHitList& list = XmlList();
  for (auto _ : state) {
    TessikChar* text = nullptr;
    if (Tessik_ConvertHitListToXML(&list, &text) != TESSIK_OK) state.SkipWithError("writer failed");
    Tessik_Release(text);
  }
}

// The same text appended piece by piece to a string of the right size: the
// names, values and scores escaped and formatted beforehand, held as
// strings of their own as a hit holds them.
void HitListToXml20k_floor(benchmark::State& state) {
  struct Hit {
    std::u16string score;
    std::vector<std::pair<std::u16string, std::u16string>> properties;
  };
  auto escape = [](const vel::ulmo::WString& text, bool attribute) {
    std::u16string escaped;
    for (const TessikChar* c = text.CStr(); *c != 0; ++c) {
      if (*c == '<')
        escaped += u"&lt;";
      else if (*c == '&')
        escaped += u"&amp;";
      else if (*c == '>' && !attribute)
        escaped += u"&gt;";
      else if (*c == '"' && attribute)
        escaped += u"&quot;";
      else
        escaped += static_cast<char16_t>(*c);
    }
    return escaped;
  };
  std::vector<Hit> hits;
  size_t size = 100;
  for (CNSHit* hit : XmlList().HitsUnlocked()) {
    TessikChar score[32];
    uint32_t n = Tessik::FormatScore(hit->NormScore(), score);
    hits.push_back({std::u16string(score, score + n), {}});
    size += 40 + n;
    hit->ForEachProperty([&](const vel::ulmo::WString& name, const vel::ulmo::WString& value) {
      hits.back().properties.emplace_back(escape(name, true), escape(value, false));
      size += 30 + hits.back().properties.back().first.size() + hits.back().properties.back().second.size();
    });
  }
  for (auto _ : state) {
    std::u16string text;
    text.reserve(size);
    text += u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><Results>";
    for (const Hit& hit : hits) {
      text += u"<Result norm_score=\"";
      text += hit.score;
      text += u"\">";
      for (const auto& [name, value] : hit.properties) {
        text += u"<Property name=\"";
        text += name;
        text += u"\">";
        text += value;
        text += u"</Property>";
      }
      text += u"</Result>";
    }
    text += u"</Results>";
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size * 2));
}

// What building the document element by element and serialising it costs.
void HitListToXmlVsDom20k_floor(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(SerialiseWithDom(XmlList()));
}

void XmlToHitList20k_ours(benchmark::State& state) {
  const auto& text = XmlDocument();
  for (auto _ : state) {
    IHitList* list = nullptr;
    if (Tessik_ConvertXMLToHitList(text.c_str(), &list) != TESSIK_OK) state.SkipWithError("reader failed");
    state.PauseTiming();
    Tessik_ReleaseHitList(list);
    state.ResumeTiming();
  }
}

void XmlToHitList20k_floor(benchmark::State& state) {
  const auto& text = XmlDocument();
  for (auto _ : state) {
    Tessik::DocumentPtr document(Tessik::ParseXMLDocument(text.c_str()));
    XMLSize_t results = document->getElementsByTagName(u"Result")->getLength();
    XMLSize_t properties = document->getElementsByTagName(u"Property")->getLength();
    benchmark::DoNotOptimize(results + properties);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}

}  // namespace

BENCHMARK(SortByProperty1M_ours)->Name("SortByProperty1M/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(SortByProperty1M_floor)->Name("SortByProperty1M/floor")->Unit(benchmark::kMillisecond);
TESSIK_PAIR_TARGET(SortByProperty1M, 3.0);
BENCHMARK(SortByScore1M_ours)->Name("SortByScore1M/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(SortByScore1M_floor)->Name("SortByScore1M/floor")->Unit(benchmark::kMillisecond);
TESSIK_PAIR_TARGET(SortByScore1M, 4.0);
BENCHMARK(HitListToXml20k_ours)->Name("HitListToXml20k/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(HitListToXml20k_floor)->Name("HitListToXml20k/floor")->Unit(benchmark::kMillisecond);
TESSIK_PAIR_TARGET(HitListToXml20k, 1.5);
// Here the floor is the DOM-and-serialiser writer: the ratio shows how far
// ahead writing the text directly is.
BENCHMARK(HitListToXml20k_ours)->Name("HitListToXmlVsDom20k/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(HitListToXmlVsDom20k_floor)->Name("HitListToXmlVsDom20k/floor")->Unit(benchmark::kMillisecond);
TESSIK_PAIR_TARGET(HitListToXmlVsDom20k, 0.25);
BENCHMARK(XmlToHitList20k_ours)->Name("XmlToHitList20k/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(XmlToHitList20k_floor)->Name("XmlToHitList20k/floor")->Unit(benchmark::kMillisecond);
TESSIK_PAIR_TARGET(XmlToHitList20k, 1.3);
