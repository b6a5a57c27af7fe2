#include "serve/Serve.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "common/Arguments.h"
#include "search/Search.h"
#include "serve/Server.h"
#include "sources/Sources.h"

namespace tessik_serve {

const char kServeHelp[] =
    "Usage: tessik serve [OPTIONS]\n"
    "Serves the sources over HTTP: a search page at /, a JSON API at /search,\n"
    "results as they arrive at /search/stream (server-sent events).\n"
    "\n"
    "  --listen HOST:PORT  the address (default 127.0.0.1:8400; port 0: any free one)\n"
    "  --source NAME       serve this source of the list (repeatable; default: all)\n"
    "  --config FILE       the list of sources (default: the user's, else the samples)\n"
    "  --plugin FILE       serve a plugin file directly, as the source of its file's\n"
    "                      name (repeatable; without --source or --config, only these)\n"
    "  --max-searches N    searches at once (default: twice the cores); 32 more wait\n"
    "  --timeout MS        a search's longest time, then it answers with what arrived\n"
    "                      (default 10000)\n"
    "  --token FILE        the secret a client must send (needed off loopback):\n"
    "                      Authorization: Bearer SECRET, or open /?token=SECRET once\n"
    "  --host NAME         a Host name that passes besides the address (repeatable)\n"
    "  --cors ORIGIN       allow this one origin's pages to read the answers\n"
    "  --poll MS           how often the library hands over results (default 10)\n"
    "  --log-queries       log the query text too (the path only, by default)\n"
    "\n"
    "Once ready it prints \"tessik serve: listening on http://HOST:PORT/\". One line\n"
    "per request goes to standard error. SIGINT or SIGTERM stops it: running\n"
    "searches answer with what arrived, and it exits 0.\n";

namespace {

bool Number(const std::string& text, size_t least, size_t most, size_t& out) {
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), out);
  return problem == std::errc() && end == text.data() + text.size() && out >= least && out <= most;
}

bool Loopback(const std::string& host) { return host.rfind("127.", 0) == 0 || host == "::1" || host == "localhost"; }

int Usage(const std::string& problem) {
  std::fprintf(stderr, "tessik serve: %s\n(tessik help serve: the options)\n", problem.c_str());
  return tessik_cli::kExitUsage;
}

}  // namespace

int Serve(std::span<char* const> arguments) {
  ServerOptions o;
  o.maxSearches = std::max(2u, 2 * std::thread::hardware_concurrency());
  Catalogue catalogue;
  std::vector<std::string> sources;
  std::string config, tokenFile, problem;
  bool listed = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string arg = arguments[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kServeHelp, stdout);
      return tessik_cli::kExitOk;
    }
    if (arg == "--log-queries") {
      o.logQueries = true;
      continue;
    }
    std::string name, value;
    if (!tessik_cli::OptionValue(arguments, i, name, value, problem)) return Usage(problem);
    size_t n = 0;
    if (name == "--listen") {
      const size_t colon = value.rfind(':');
      if (colon == std::string::npos || colon == 0 || !Number(value.substr(colon + 1), 0, 65535, n))
        return Usage("--listen takes HOST:PORT, not \"" + value + "\"");
      o.host = value.substr(0, colon);
      if (o.host.size() > 2 && o.host.front() == '[' && o.host.back() == ']') o.host = o.host.substr(1, o.host.size() - 2);
      if (o.host == "localhost") o.host = "127.0.0.1";
      o.port = static_cast<uint16_t>(n);
    } else if (name == "--source") {
      sources.push_back(value);
      listed = true;
    } else if (name == "--config") {
      config = value;
      listed = true;
    } else if (name == "--plugin") {
      catalogue.plugins.push_back(value);
    } else if (name == "--max-searches") {
      if (!Number(value, 1, 256, o.maxSearches)) return Usage("--max-searches takes 1 to 256, not \"" + value + "\"");
    } else if (name == "--timeout") {
      if (!Number(value, 1, 3600000, n)) return Usage("--timeout takes milliseconds, 1 to 3600000, not \"" + value + "\"");
      o.timeout = std::chrono::milliseconds(n);
    } else if (name == "--poll") {
      if (!Number(value, 1, 10000, n)) return Usage("--poll takes milliseconds, 1 to 10000, not \"" + value + "\"");
      o.pollMs = static_cast<uint32_t>(n);
    } else if (name == "--token") {
      tokenFile = value;
    } else if (name == "--host") {
      o.hosts.push_back(value);
    } else if (name == "--cors") {
      o.cors = value;
    } else {
      return Usage("unknown option " + name);
    }
  }
  if (!tokenFile.empty()) {
    std::ifstream in(tokenFile, std::ios::binary);
    if (!in) return Usage("cannot read the token file " + tokenFile);
    o.token.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    while (!o.token.empty() && std::isspace(static_cast<unsigned char>(o.token.back()))) o.token.pop_back();
    if (o.token.size() < 16 || o.token.find_first_of(" \t\r\n;,") != std::string::npos)
      return Usage("the token in " + tokenFile + " must be one word of at least 16 characters");
  }
  if (!Loopback(o.host) && o.token.empty())
    return Usage("listening on " + o.host + ", which is not loopback, needs --token FILE");

  if (listed || catalogue.plugins.empty()) {
    try {
      catalogue.list = tessik_cli::ListToSearch(config);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tessik serve: %s\n", e.what());
      return tessik_cli::kExitPluginFailed;
    }
    if (!sources.empty()) {
      std::vector<tessik_cli::Source> chosen;
      for (const std::string& s : sources) {
        const tessik_cli::Source* found = catalogue.list.Find(s);
        if (found == nullptr) return Usage("no source named " + s + " (tessik sources list shows them)");
        if (std::none_of(chosen.begin(), chosen.end(), [&](const auto& c) { return c.name == s; }))
          chosen.push_back(*found);
      }
      catalogue.list.sources = std::move(chosen);
    }
  }

  Server server(o, std::move(catalogue));
  uint16_t port = 0;
  try {
    port = server.Listen();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessik serve: %s\n", e.what());
    return tessik_cli::kExitPluginFailed;
  }
  const std::string shown = o.host.find(':') != std::string::npos ? "[" + o.host + "]" : o.host;
  std::printf("tessik serve: listening on http://%s:%u/\n", shown.c_str(), static_cast<unsigned>(port));
  std::fflush(stdout);
  if (!server.Run()) {
    std::fprintf(stderr,
                 "tessik serve: another process holds the search lock; exiting without waiting for the searches "
                 "it holds up\n");
    std::fflush(stderr);
    std::fflush(stdout);
    // The workers still wait in the library: no destructor may run.
    std::_Exit(tessik_cli::kExitOk);
  }
  return tessik_cli::kExitOk;
}

}  // namespace tessik_serve
