// Strings: the system-wide comparison against a direct call of the collator
// it wraps, and appending one unit at a time against std::u16string.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <unicode/ucol.h>

#include "bench/Pairs.h"
#include "ulmo/StringBase.h"

using vel::ulmo::WString;

namespace {

// Keys of 5 to 30 units, the size of plugin names, domains and XML keywords.
const std::vector<std::u16string>& Keys() {
  // clang-format off
  static const std::vector<std::u16string> keys = {
      u"Alpha",           u"alpha",          u"Docs",        u"DOCS.dll",        u"Plugins\\Gamma",
      u"SearchDomain",    u"searchdomain",   u"Title",       u"MaxResults",      u"CSearchMgr_PluginMap",
      u"Relevance Score", u"relevancescore", u"categoryList", u"ExtendedPropertyName", u"zeta-index-2026",
      u"Mail Archive 2025 October x"};
  // clang-format on
  return keys;
}

// The same keys with accented letters, where no ASCII shortcut applies.
const std::vector<std::u16string>& AccentedKeys() {
  static const std::vector<std::u16string> keys = [] {
    std::vector<std::u16string> accented;
    for (std::u16string k : Keys()) {
      for (auto& c : k) {
        if (c == u'e') c = u'\u00e9';
        if (c == u'a') c = u'\u00e0';
      }
      accented.push_back(k);
    }
    return accented;
  }();
  return keys;
}

template <const std::vector<std::u16string>& (*KeySet)()>
void Compare_ours(benchmark::State& state) {
  std::vector<WString> keys;
  for (const auto& k : KeySet()) keys.emplace_back(k.data(), k.size());
  size_t n = keys.size();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(WString::Compare(keys[i % n], keys[(i * 7 + 3) % n]));
    ++i;
  }
}

template <const std::vector<std::u16string>& (*KeySet)()>
void Compare_floor(benchmark::State& state) {
  // The same collator settings the library uses in this environment.
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open("", &status);
  ucol_setStrength(collator, UCOL_SECONDARY);
  const auto& keys = KeySet();
  size_t n = keys.size();
  size_t i = 0;
  for (auto _ : state) {
    const auto& a = keys[i % n];
    const auto& b = keys[(i * 7 + 3) % n];
    benchmark::DoNotOptimize(
        ucol_strcoll(collator, a.data(), static_cast<int32_t>(a.size()), b.data(), static_cast<int32_t>(b.size())));
    ++i;
  }
  ucol_close(collator);
}

void AppendUnit_ours(benchmark::State& state) {
  for (auto _ : state) {
    WString s;
    for (int i = 0; i < 1000; ++i) s.Append(1, u'x');
    benchmark::DoNotOptimize(s.CStr());
  }
}

void AppendUnit_floor(benchmark::State& state) {
  for (auto _ : state) {
    std::u16string s;
    for (int i = 0; i < 1000; ++i) s.push_back(u'x');
    benchmark::DoNotOptimize(s.data());
  }
}

}  // namespace

BENCHMARK(Compare_ours<Keys>)->Name("Compare/ours");
BENCHMARK(Compare_floor<Keys>)->Name("Compare/floor");
TESSIK_PAIR_TARGET(Compare, 1.15);
BENCHMARK(Compare_ours<AccentedKeys>)->Name("CompareAccented/ours");
BENCHMARK(Compare_floor<AccentedKeys>)->Name("CompareAccented/floor");
TESSIK_PAIR_TARGET(CompareAccented, 1.15);
BENCHMARK(AppendUnit_ours)->Name("AppendUnit/ours");
BENCHMARK(AppendUnit_floor)->Name("AppendUnit/floor");
TESSIK_PAIR_TARGET(AppendUnit, 2.0);
