// "tessik sources": the list of sources a search runs over (add, list,
// update, remove), and what a search needs of it.
#ifndef TESSIK_TOOLS_SOURCES_SOURCES_H_
#define TESSIK_TOOLS_SOURCES_SOURCES_H_

#include <span>
#include <string>

#include "sources/SourceList.h"

namespace tessik_cli {

int Sources(std::span<char* const> arguments);

extern const char kSourcesHelp[];

// The sources a search runs over: the list at `config` (none: the default
// list); when that list does not exist, the bundled samples (samples.conf
// beside the program), whose list then does not "exist" either. Throws
// SourceError for a list that cannot be read.
SourceList ListToSearch(const std::string& config);

// A source as "tessik sources list" shows it: "-" for what is not known;
// state "ready", "path missing", "unreadable..." or the folder index's own.
struct SourceState {
  std::string name, engine, path, documents, indexed, state;
};
SourceState Describe(const SourceList& list, const Source& source);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SOURCES_SOURCES_H_
