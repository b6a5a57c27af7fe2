#include "kit/Config.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kit/Text.h"

namespace tessik_plugins {

namespace {

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

size_t Number(const std::string& text, size_t fallback) {
  try {
    const long long n = std::stoll(text);
    return n > 0 ? static_cast<size_t>(n) : fallback;
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace

size_t Config::Count(const std::string& key, size_t fallback) const {
  auto it = values.find(key);
  return it == values.end() ? fallback : Number(it->second, fallback);
}

Config ParseConfig(const std::string& text, const std::string& name) {
  Config config;
  config.name = name;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line.substr(0, line.find('#')));
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    config.values[Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
  }
  auto get = [&](const char* key) {
    auto it = config.values.find(key);
    return it == config.values.end() ? std::string() : it->second;
  };
  config.domain = get("domain").empty() ? name : get("domain");
  config.data = get("data");
  config.limit = Number(get("limit"), config.limit);
  config.max = Number(get("max"), config.max);
  config.limit = std::min(config.limit, config.max);
  config.batch = Number(get("batch"), config.batch);
  return config;
}

size_t LimitOf(const Domain& domain, const Config& config) {
  const std::string text = domain.Property("limit", "");
  size_t limit = config.limit;
  try {
    size_t used = 0;
    const long long asked = std::stoll(text, &used);
    if (used == text.size() && asked > 0) limit = static_cast<size_t>(asked);
  } catch (const std::exception&) {
    // No limit, or none that reads as a number: the plugin's own.
  }
  return std::min(limit, config.max);
}

const Config& PluginConfig() {
  static const Config config = [] {
    const std::filesystem::path self = PathOf(ThisModulePath());
    const std::string name = Utf8Of(self.stem());
    std::filesystem::path file = self;
    file.replace_extension(".conf");
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    Config c = ParseConfig(text.str(), name);
    // A relative data path is taken from the configuration file's folder.
    if (!c.data.empty()) {
      const std::filesystem::path data = PathOf(c.data);
      if (data.is_relative()) c.data = Utf8Of(self.parent_path() / data);
    }
    return c;
  }();
  return config;
}

}  // namespace tessik_plugins
