// The answers the server gives besides the search itself: errors as JSON.
#ifndef TESSIK_TOOLS_SERVE_ANSWERS_H_
#define TESSIK_TOOLS_SERVE_ANSWERS_H_

#include <string>
#include <vector>

#include "serve/Searches.h"

namespace tessik_serve {

// {"error": message, "status": status}, as JSON.
Answer ErrorAnswer(unsigned status, const std::string& message);
// A JSON list of texts.
Answer ListAnswer(const std::vector<std::string>& texts);

}  // namespace tessik_serve

#endif  // TESSIK_TOOLS_SERVE_ANSWERS_H_
