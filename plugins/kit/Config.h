// The configuration file beside a plugin library: "<name>.conf" next to
// "<name>.so" / "<name>.dll", lines of "key = value", "#" starts a comment.
// The build writes it; the library itself reads no configuration.
#ifndef TESSIK_PLUGINS_KIT_CONFIG_H_
#define TESSIK_PLUGINS_KIT_CONFIG_H_

#include <map>
#include <string>

#include "kit/Request.h"

namespace tessik_plugins {

struct Config {
  std::string name;    // the plugin library's base name
  std::string domain;  // "domain", else the base name
  std::string data;    // "data": the engine's data (folder, database, stub file)
  // "limit": hits per search when the query's domain names no limit;
  // "max": the most a query's limit may ask for.
  size_t limit = 100;
  size_t max = 1000;
  size_t batch = 20;  // "batch": hits per document of an asynchronous search
  std::map<std::string, std::string> values;

  // The whole number above 0 under `key`, else `fallback`: for settings
  // of one engine's own.
  size_t Count(const std::string& key, size_t fallback) const;
};

// The configuration of the plugin library this code is linked into, read
// once; missing file or keys leave the defaults.
const Config& PluginConfig();

// The number of hits asked for `domain`: its "limit" property when that is
// a whole number above 0, else the configuration's limit; never more than
// the configuration's max.
size_t LimitOf(const Domain& domain, const Config& config);

// Parses the text of a configuration file.
Config ParseConfig(const std::string& text, const std::string& name);

// The full path (UTF-8) of the module holding this code. Defined per
// platform in kit/platform.
std::string ThisModulePath();

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_CONFIG_H_
