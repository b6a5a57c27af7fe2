#include "kit/Fts5.h"

#include <new>
#include <stdexcept>

#include "kit/Normalise.h"

namespace tessik_plugins::fts5 {

namespace {

// The connection's FTS5 interface, as FTS5's documentation says to ask for
// it: its fts5() function hands it over through a pointer binding.
fts5_api* ApiOf(sqlite3* db) {
  fts5_api* api = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
    sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
  }
  sqlite3_finalize(statement);
  if (api == nullptr) throw std::runtime_error(std::string("SQLite has no FTS5: ") + sqlite3_errmsg(db));
  return api;
}

// The tokenizer keeps no state: every table and query shares one handle.
int Create(void*, const char**, int, Fts5Tokenizer** out) {
  static char handle;
  *out = reinterpret_cast<Fts5Tokenizer*>(&handle);
  return SQLITE_OK;
}

void Delete(Fts5Tokenizer*) {}

int Tokenize(Fts5Tokenizer*, void* context, int, const char* text, int length,
             int (*token)(void*, int, const char*, int, int, int)) {
  if (text == nullptr || length <= 0) return SQLITE_OK;
  int rc = SQLITE_OK;
  const std::string_view all(text, static_cast<size_t>(length));
  try {
    ForEachToken(all, [&](std::string_view t, size_t begin, size_t end) {
      if (rc == SQLITE_OK)
        rc = token(context, 0, t.data(), static_cast<int>(t.size()), static_cast<int>(begin), static_cast<int>(end));
    });
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  } catch (...) {
    return SQLITE_ERROR;  // no exception may cross into SQLite
  }
  return rc;
}

}  // namespace

void Register(sqlite3* db) {
  fts5_api* api = ApiOf(db);
  fts5_tokenizer methods{Create, Delete, Tokenize};
  if (api->xCreateTokenizer(api, kTokenizer, nullptr, &methods, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string("cannot make the FTS5 tokenizer known: ") + sqlite3_errmsg(db));
}

Tokenizer::Tokenizer(sqlite3* db, const std::vector<std::string>& words) {
  fts5_api* api = ApiOf(db);
  void* context = nullptr;
  const char* name = words.empty() ? nullptr : words[0].c_str();  // none: FTS5's default
  const std::string shown = words.empty() ? "unicode61" : words[0];
  if (api->xFindTokenizer(api, name, &context, &methods_) != SQLITE_OK)
    throw std::runtime_error("FTS5 knows no tokenizer " + shown);
  std::vector<const char*> arguments;
  for (size_t i = 1; i < words.size(); ++i) arguments.push_back(words[i].c_str());
  if (methods_.xCreate(context, arguments.data(), static_cast<int>(arguments.size()), &handle_) != SQLITE_OK)
    throw std::runtime_error("FTS5 refuses the tokenizer " + shown + " with these arguments");
}

Tokenizer::~Tokenizer() {
  if (handle_ != nullptr) methods_.xDelete(handle_);
}

std::vector<std::string> Tokenizer::Tokens(std::string_view text) const {
  std::vector<std::string> tokens;
  auto collect = [](void* context, int, const char* token, int length, int, int) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(token, static_cast<size_t>(length));
    return SQLITE_OK;
  };
  if (methods_.xTokenize(handle_, &tokens, FTS5_TOKENIZE_DOCUMENT, text.data(), static_cast<int>(text.size()),
                         collect) != SQLITE_OK)
    throw std::runtime_error("the FTS5 tokenizer failed");
  return tokens;
}

}  // namespace tessik_plugins::fts5
