// The one reading of an option that takes a value: "--name VALUE" or
// "--name=VALUE", for every command.
#ifndef TESSIK_TOOLS_COMMON_ARGUMENTS_H_
#define TESSIK_TOOLS_COMMON_ARGUMENTS_H_

#include <span>
#include <string>

namespace tessik_cli {

// Splits arguments[i] (an option) into `name` and `value`, taking the value
// from the next argument when the option holds no "=" (and moving `i` past
// it). False, with `error` set, when there is no value or it is empty.
inline bool OptionValue(std::span<char* const> arguments, size_t& i, std::string& name, std::string& value,
                        std::string& error) {
  const std::string arg = arguments[i];
  name = arg;
  value.clear();
  if (const size_t equals = arg.find('='); equals != std::string::npos) {
    name = arg.substr(0, equals);
    value = arg.substr(equals + 1);
  } else if (i + 1 < arguments.size()) {
    value = arguments[++i];
  } else {
    error = "option " + arg + " needs a value";
    return false;
  }
  if (value.empty()) {
    error = "option " + name + " needs a value";
    return false;
  }
  return true;
}

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_COMMON_ARGUMENTS_H_
