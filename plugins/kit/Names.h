// The names the reference plugins agree on with the programs that read
// their answers: the fields a term may be restricted to and the properties
// every hit carries. The tessik command checks its options against these.
#ifndef TESSIK_PLUGINS_KIT_NAMES_H_
#define TESSIK_PLUGINS_KIT_NAMES_H_

#include <array>
#include <string_view>

namespace tessik_plugins {

// Fields of a term: "title", or the text ("text"; "body" and "content" are
// other names for it). Matched without regard to case.
inline constexpr std::string_view kFieldTitle = "title";
inline constexpr std::array<std::string_view, 3> kFieldText = {"text", "body", "content"};

// Properties of a hit. Every hit has the first four; "category" when its
// document has one.
inline constexpr std::array<std::string_view, 5> kHitProperties = {"domain", "id", "title", "snippet", "category"};

// An entry that reports a failure instead of a hit carries "error" (in
// words) and "status" (a status code as decimal text), and score 0.
inline constexpr std::string_view kErrorProperty = "error";
inline constexpr std::string_view kStatusProperty = "status";

// Facts about the whole search ride on the plugin's last hit (see
// tessik/Plugin.h). "more" = "true": the plugin had more matches than it
// returned, its limit cut them.
inline constexpr std::string_view kMoreProperty = "more";

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_NAMES_H_
