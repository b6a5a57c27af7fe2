#include "serve/Answers.h"

#include <nlohmann/json.hpp>

namespace tessik_serve {

namespace {
std::string Dump(const nlohmann::json& json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
}  // namespace

Answer ErrorAnswer(unsigned status, const std::string& message) {
  return {status, "application/json", Dump({{"error", message}, {"status", status}}), 0};
}

Answer ListAnswer(const std::vector<std::string>& texts) {
  return {200, "application/json", Dump(texts), texts.size()};
}

}  // namespace tessik_serve
