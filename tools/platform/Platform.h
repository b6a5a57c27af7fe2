// What tessik asks of the operating system beyond standard C++: whether a
// stream is a terminal, how wide the terminal is, and where the program
// itself lies (its plugins are beside it). One source per platform:
// PlatformPosix.cc, PlatformWin32.cc. How wide a character is on the
// terminal is the same rule everywhere, in Width.cc.
#ifndef TESSIK_TOOLS_PLATFORM_PLATFORM_H_
#define TESSIK_TOOLS_PLATFORM_PLATFORM_H_

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Text.h"

namespace tessik_cli {

bool IsTerminal(std::FILE* stream);
// The columns of the terminal `stream` writes to; 0 when it is none.
int TerminalColumns(std::FILE* stream);
// Its lines; 0 when it is none.
int TerminalRows(std::FILE* stream);
// Whether the terminal `stream` writes to moves the cursor on ANSI escape
// sequences (switched on where the console must be asked to): what redraws
// a table in place needs.
bool TerminalEscapes(std::FILE* stream);
// The columns a terminal gives `c`: 2 for East Asian wide and fullwidth
// characters and emoji, 0 for combining marks, zero-width characters and
// controls, 1 for the rest.
int CharColumns(char32_t c);
// The folder of the running program; empty when it cannot be found.
std::filesystem::path ProgramFolder();
// How plugin libraries end: ".so", ".dll".
const char* PluginSuffix();
// A path as the library's load functions take it.
TString PathText(const std::filesystem::path& path);
// The program's arguments as UTF-8 (Windows hands `argv` over in the ANSI
// code page, which cannot spell every file name).
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// The environment variable `name` as UTF-8; empty when it is not set.
std::string EnvironmentValue(const char* name);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_PLATFORM_PLATFORM_H_
