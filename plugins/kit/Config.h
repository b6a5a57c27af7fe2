// The configuration file beside a plugin library: "<name>.conf" next to
// "<name>.so" / "<name>.dll", lines of "key = value", "#" starts a comment.
// The build writes it; the library itself reads no configuration.
#ifndef TESSIK_PLUGINS_KIT_CONFIG_H_
#define TESSIK_PLUGINS_KIT_CONFIG_H_

#include <map>
#include <string>

namespace tessik_plugins {

struct Config {
  std::string name;    // the plugin library's base name
  std::string domain;  // "domain", else the base name
  std::string data;    // "data": the engine's data (folder, database, stub file)
  size_t limit = 100;  // "limit": most hits per search
  size_t batch = 20;   // "batch": hits per document of an asynchronous search
  std::map<std::string, std::string> values;
};

// The configuration of the plugin library this code is linked into, read
// once; missing file or keys leave the defaults.
const Config& PluginConfig();

// Parses the text of a configuration file.
Config ParseConfig(const std::string& text, const std::string& name);

// The full path (UTF-8) of the module holding this code. Defined per
// platform in kit/platform.
std::string ThisModulePath();

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_CONFIG_H_
