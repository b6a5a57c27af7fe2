#include "ranking/Command.h"

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "kit/Text.h"
#include "ranking/platform/Process.h"

namespace tessik_ranking {

Command::Command(std::string program, const std::string& home, bool userCache) : program_(std::move(program)) {
  const std::filesystem::path root = tessik_plugins::PathOf(home);
  for (const char* name : {"config", "cache"}) std::filesystem::create_directories(root / name);
  environment_ = {{"XDG_CONFIG_HOME", tessik_plugins::Utf8Of(root / "config")}};
  if (!userCache) environment_.emplace_back("XDG_CACHE_HOME", tessik_plugins::Utf8Of(root / "cache"));
}

CommandRun Command::Search(const std::vector<std::string>& options, const std::vector<std::string>& words) const {
  std::vector<std::string> args = {"search"};
  args.insert(args.end(), options.begin(), options.end());
  args.insert(args.end(), {"--format", "json", "--"});
  args.insert(args.end(), words.begin(), words.end());
  CommandRun run;
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult p = RunProcess(program_, args, environment_);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.exitCode = p.started ? p.exitCode : -1;
  if (!p.started) {
    run.error = "cannot start " + program_;
    return run;
  }
  if (run.exitCode != 0 && run.exitCode != 1) {
    run.error = "exit status " + std::to_string(run.exitCode);
    return run;
  }
  try {
    const nlohmann::json out = nlohmann::json::parse(p.out);
    for (const nlohmann::json& h : out.at("hits"))
      run.hits.push_back({h.at("domain").get<std::string>(), h.at("id").get<std::string>(), h.at("score").get<double>()});
    for (const nlohmann::json& plugin : out.at("plugins"))
      if (plugin.contains("error"))
        run.error += (run.error.empty() ? "" : "; ") + plugin.value("domain", std::string()) + ": " +
                     plugin["error"].get<std::string>();
  } catch (const nlohmann::json::exception& e) {
    run.exitCode = -1;
    run.hits.clear();
    run.error = std::string("no search in the output: ") + e.what();
  }
  return run;
}

bool Command::Takes(const std::string& option) const {
  const ProcessResult p = RunProcess(program_, {"help", "search"}, environment_);
  if (!p.started || p.exitCode != 0) return false;
  // The option itself, not one whose name it begins ("--source" is not "--source-limit").
  for (size_t at = p.out.find(option); at != std::string::npos; at = p.out.find(option, at + 1)) {
    const size_t end = at + option.size();
    if (end == p.out.size() || p.out[end] == ' ' || p.out[end] == '=' || p.out[end] == '\n') return true;
  }
  return false;
}

}  // namespace tessik_ranking
