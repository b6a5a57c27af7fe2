// tessik: the command-line face of the library.
//   tessik COMMAND [ARGUMENTS...]
// Each command is one row of kCommands: its name, what it takes, one line of
// help, its longer help and the function that runs it. The usage text is
// made from that table, so a new command is one function and one row.
//
// Exit status: what the command returns (0 when it succeeded; the codes are
// in search/Search.h and in the help), or 2 for a command line that names no
// known command or gives a command arguments it does not take; then the
// usage goes to stderr.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "search/Options.h"
#include "search/Search.h"
#include "serve/Serve.h"
#include "sources/Sources.h"
#include "tessik/TessikClient.h"
#include "words/Words.h"

namespace {

using tessik_cli::kExitUsage;

using Arguments = std::span<char* const>;  // what follows the command's name

struct Command {
  const char* name;
  const char* synopsis;  // its arguments as the usage shows them; "" for none
  const char* summary;
  const char* help;  // the whole help of "tessik help NAME"; null: the summary
  // The arguments are those after the command's name, at most maxArguments
  // of them (the caller refuses more).
  int (*run)(Arguments arguments);
  size_t maxArguments;
};

int Help(Arguments);
int Version(Arguments);

constexpr size_t kAny = SIZE_MAX;

constexpr char kExitCodes[] =
    "Exit status: 0 success; 1 a plugin failed, could not be loaded or none answered\n"
    "(synonyms, stems: the look-up failed); 2 a wrong command line; 3 a query file\n"
    "that cannot be read or is no query; 4 the library failed; 130 an asynchronous\n"
    "search interrupted by Ctrl-C (what arrived is printed).\n";

constexpr Command kCommands[] = {
    {"search", "[OPTIONS] WORDS...", "search the sources (or plugins) and print the ranked hits", tessik_cli::kSearchHelp,
     tessik_cli::Search, kAny},
    {"sources", "add|list|update|remove ...", "the sources searches run over: add, list, update, remove",
     tessik_cli::kSourcesHelp, tessik_cli::Sources, kAny},
    {"serve", "[OPTIONS]", "serve the sources over HTTP: a search page and a JSON API", tessik_serve::kServeHelp,
     tessik_serve::Serve, kAny},
    {"synonyms", "WORD", "print the synonyms of WORD, one a line", nullptr, tessik_cli::Synonyms, 1},
    {"stems", "WORD", "print the base forms of WORD, one a line", nullptr, tessik_cli::Stems, 1},
    {"version", "", "print the library's version and check that it answers", nullptr, Version, 0},
    {"help", "[COMMAND]", "print this text, or a command's help (also -h, --help)", nullptr, Help, 1},
};

// Another name a command answers to.
struct Alias {
  const char* name;
  const char* command;
};
constexpr Alias kAliases[] = {{"-h", "help"}, {"--help", "help"}};

const Command* Find(const char* name) {
  for (const Alias& alias : kAliases) {
    if (std::strcmp(name, alias.name) == 0) name = alias.command;
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(name, command.name) == 0) return &command;
  }
  return nullptr;
}

int ShownLength(const Command& command) {
  size_t length = std::strlen(command.name);
  if (*command.synopsis != '\0') length += 1 + std::strlen(command.synopsis);
  return static_cast<int>(length);
}

void PrintUsage(std::FILE* out) {
  std::fputs("usage: tessik COMMAND [ARGUMENTS...]\n\ncommands:\n", out);
  int width = 0;
  for (const Command& command : kCommands) width = std::max(width, ShownLength(command));
  for (const Command& command : kCommands) {
    std::fprintf(out, "  %s%s%s%*s  %s\n", command.name, *command.synopsis != '\0' ? " " : "", command.synopsis,
                 width - ShownLength(command), "", command.summary);
  }
  std::fputs("\nWithout a command, tessik runs \"version\". \"tessik help COMMAND\" shows a command's help.\n\n", out);
  std::fputs(kExitCodes, out);
}

// The end of a command that wrote to stdout: a failed write is a failure.
int Flushed(int status) { return std::fflush(stdout) == 0 && !std::ferror(stdout) ? status : 1; }

int UsageError(const char* problem, const char* name) {
  std::fprintf(stderr, "tessik: %s \"%s\"\n\n", problem, name);
  PrintUsage(stderr);
  return kExitUsage;
}

int Help(Arguments arguments) {
  if (arguments.empty()) {
    PrintUsage(stdout);
    return Flushed(0);
  }
  const Command* command = Find(arguments[0]);
  if (command == nullptr) return UsageError("no help for unknown command", arguments[0]);
  if (command->help != nullptr) {
    std::fputs(command->help, stdout);
  } else {
    std::printf("usage: tessik %s%s%s\n\n%s.\n\n%s", command->name, *command->synopsis != '\0' ? " " : "",
                command->synopsis, command->summary, kExitCodes);
  }
  return Flushed(0);
}

int Version(Arguments) {
  TessikChar* probe = nullptr;
  int32_t status = Tessik_Allocate(&probe, 1);
  Tessik_Release(probe);
  std::printf("TessikClient %s (allocator check: %s)\n", TESSIK_VERSION_STRING, status == TESSIK_OK ? "ok" : "failed");
  return Flushed(status == TESSIK_OK ? 0 : 1);
}

}  // namespace

int main(int argc, char** narrowArgv) {
  // UTF-8 arguments on every platform, kept for the whole run.
  std::vector<std::string> texts = tessik_cli::Utf8Arguments(argc, narrowArgv);
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  char** argv = pointers.data();
  const char* name = argc > 1 ? argv[1] : "version";
  const Command* command = Find(name);
  if (command == nullptr) return UsageError("unknown command", name);
  Arguments arguments = argc > 2 ? Arguments(argv + 2, static_cast<size_t>(argc - 2)) : Arguments();
  if (arguments.size() > command->maxArguments) return UsageError("too many arguments for", command->name);
  // "tessik COMMAND --help" is "tessik help COMMAND" (search reads its own).
  if (arguments.size() == 1 && command->run != Help && command->help == nullptr &&
      (std::strcmp(arguments[0], "--help") == 0 || std::strcmp(arguments[0], "-h") == 0)) {
    char* const self[] = {argv[1]};
    return Help(Arguments(self, 1));
  }
  return command->run(arguments);
}
