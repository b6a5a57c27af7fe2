#include "files/Indexer.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "files/Content.h"
#include "files/Schema.h"
#include "files/platform/System.h"
#include "kit/Digest.h"
#include "kit/Fts5.h"
#include "kit/Quote.h"
#include "kit/Text.h"

namespace tessik_plugins::folder {
namespace {

namespace fs = std::filesystem;
namespace schema = folder_schema;

// ---------------------------------------------------------------- SQLite

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

class Statement {
 public:
  Statement(sqlite3* db, const char* sql, const std::string& where) : db_(db), where_(where) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) Fail();
    s_.reset(raw);
  }
  Statement& Bind(int i, int64_t v) {
    sqlite3_bind_int64(s_.get(), i, v);
    return *this;
  }
  Statement& Text(int i, std::string_view v) {
    sqlite3_bind_text(s_.get(), i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    return *this;
  }
  Statement& Blob(int i, std::string_view v) {
    sqlite3_bind_blob(s_.get(), i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    return *this;
  }
  Statement& Null(int i) {
    sqlite3_bind_null(s_.get(), i);
    return *this;
  }
  // One step: true while there is a row.
  bool Step() {
    const int rc = sqlite3_step(s_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail();
    return false;
  }
  void Run() {
    Step();
    Reset();
  }
  void Reset() {
    sqlite3_reset(s_.get());
    sqlite3_clear_bindings(s_.get());
  }
  int64_t Int(int column) const { return sqlite3_column_int64(s_.get(), column); }
  std::string Column(int column) const {
    const void* data = sqlite3_column_blob(s_.get(), column);
    return data ? std::string(static_cast<const char*>(data), sqlite3_column_bytes(s_.get(), column)) : std::string();
  }

 private:
  [[noreturn]] void Fail() {
    throw std::runtime_error("the index " + where_ + ": " + sqlite3_errmsg(db_));
  }
  sqlite3* db_;
  const std::string& where_;
  std::unique_ptr<sqlite3_stmt, Closer> s_;
};

std::unique_ptr<sqlite3, Closer> Open(const std::string& file, int flags, const std::string& what) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<sqlite3, Closer> db(raw);
  if (rc != SQLITE_OK)
    throw std::runtime_error("cannot open " + what + " " + file + ": " + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  return db;
}

void Exec(sqlite3* db, const char* sql, const std::string& where) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    throw std::runtime_error("the index " + where + ": " + message);
  }
}

bool HasTable(sqlite3* db, const char* name, const std::string& where) {
  Statement s(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1", where);
  s.Text(1, name);
  return s.Step();
}

std::string Meta(sqlite3* db, const char* key, const std::string& where) {
  Statement s(db, schema::kGetMeta, where);
  s.Text(1, key);
  return s.Step() ? s.Column(0) : std::string();
}

// The meta table of an index, or nothing when the file holds no tables at
// all; throws when it is some other database, which an update must not
// overwrite.
bool ReadMeta(sqlite3* db, const std::string& where) {
  auto refuse = [&] { return std::runtime_error(where + " is a database but no folder index; it is left as it is"); };
  // A table named "meta" alone does not make a folder index: an update of
  // another layout drops every table, which must never hit someone else's
  // database. Every layout's meta names its format and its folder.
  if (HasTable(db, "meta", where)) {
    bool ours = false;
    try {
      ours = !Meta(db, "format", where).empty() && !Meta(db, "root", where).empty();
    } catch (const std::runtime_error&) {
      ours = false;  // a meta table of other columns
    }
    if (!ours) throw refuse();
    return true;
  }
  Statement any(db, "SELECT 1 FROM sqlite_master", where);
  if (any.Step()) throw refuse();
  return false;
}

// ------------------------------------------------------------ the walk

std::string Display(std::string_view bytes) { return CleanText(bytes); }

// '*' any run of characters ('/' too), '?' one character, '[...]' one of
// a set ("[!...]" or "[^...]" none of it, "a-z" a range), '\' the next
// character itself. Character by character in UTF-8.
size_t CharLength(std::string_view s, size_t i) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  size_t n = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  return std::min(n, s.size() - i);
}

bool Glob(std::string_view p, std::string_view t) {
  size_t pi = 0, ti = 0, starP = std::string_view::npos, starT = 0;
  while (ti < t.size()) {
    if (pi < p.size()) {
      const char c = p[pi];
      if (c == '*') {
        starP = ++pi;
        starT = ti;
        continue;
      }
      if (c == '?') {
        ++pi;
        ti += CharLength(t, ti);
        continue;
      }
      if (c == '[') {
        size_t q = pi + 1;
        const bool negate = q < p.size() && (p[q] == '!' || p[q] == '^');
        if (negate) ++q;
        const size_t setStart = q;
        const size_t len = CharLength(t, ti);
        const std::string_view ch = t.substr(ti, len);
        bool match = false;
        while (q < p.size() && (p[q] != ']' || q == setStart)) {
          const size_t l = CharLength(p, q);
          const std::string_view lo = p.substr(q, l);
          q += l;
          if (q + 1 < p.size() && p[q] == '-' && p[q + 1] != ']') {
            const size_t l2 = CharLength(p, q + 1);
            const std::string_view hi = p.substr(q + 1, l2);
            q += 1 + l2;
            match = match || (ch >= lo && ch <= hi && ch.size() == lo.size());
          } else {
            match = match || ch == lo;
          }
        }
        if (q < p.size() && match != negate) {
          pi = q + 1;
          ti += len;
          continue;
        }
        if (q >= p.size() && t[ti] == '[') {  // no closing bracket: a plain '['
          ++pi;
          ++ti;
          continue;
        }
      } else {
        size_t l = 1;
        size_t at = pi;
        if (c == '\\' && pi + 1 < p.size()) at = pi + 1;
        l = CharLength(p, at);
        if (t.compare(ti, l, p.substr(at, l)) == 0) {
          pi = at + l;
          ti += l;
          continue;
        }
      }
    }
    if (starP == std::string_view::npos) return false;
    pi = starP;
    ti = starT += CharLength(t, starT);
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

struct Entry {
  std::string rel;  // below the root, '/'-separated bytes
  fs::path path;
  uint64_t size = 0;
  int64_t mtime = 0;  // nanoseconds since 1970 (UTC)
};

class Walker {
 public:
  Walker(const IndexOptions& options, const std::atomic<bool>& stop, std::vector<Skip>* skips)
      : options_(options), stop_(stop), skips_(skips) {}

  // Every file below `root`, by path; false when stopped.
  bool Walk(const fs::path& root, std::vector<Entry>& out) {
    std::error_code ec;
    fs::path canon = fs::canonical(root, ec);
    if (ec) canon = fs::absolute(root, ec);
    visited_.insert(Utf8Of(canon));
    // An index kept inside its own folder is not one of its documents,
    // nor are the files SQLite keeps beside it.
    const fs::path index = fs::weakly_canonical(PathOf(options_.index), ec);
    if (!ec) {
      const std::u8string inside = index.lexically_relative(canon).generic_u8string();
      if (!inside.empty() && inside.rfind(u8"..", 0) != 0) {
        const std::string rel(inside.begin(), inside.end());
        for (const char* suffix : {"", "-wal", "-shm", "-journal", "-lock", "-lock-journal"}) own_.insert(rel + suffix);
      }
    }
    if (!Folder(root, "", canon, out)) return false;
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.rel < b.rel; });
    return true;
  }

 private:
  void Skipped(const std::string& rel, std::string reason, bool leftOut = false) {
    if (skips_) skips_->push_back({Display(rel), std::move(reason), leftOut});
  }

  bool Excluded(const std::string& rel, const std::string& name, std::string& pattern) const {
    for (const std::string& p : options_.excludes) {
      if (Glob(p, rel) || Glob(p, name)) {
        pattern = p;
        return true;
      }
    }
    return false;
  }

  bool Folder(const fs::path& dir, const std::string& relDir, const fs::path& canon, std::vector<Entry>& out) {
    std::error_code ec;
    // By name, as strings: comparing paths goes component by component.
    std::vector<std::pair<std::string, fs::directory_entry>> children;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
      children.emplace_back(Utf8Of(it->path().filename()), *it);
    if (ec) {
      Skipped(relDir.empty() ? "." : relDir, "unreadable folder: " + ec.message());
      return true;
    }
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, child] : children) {
      if (stop_) return false;
      const fs::path file = child.path().filename();
      const std::string rel = relDir.empty() ? name : relDir + "/" + name;
      if (!own_.empty() && own_.count(rel)) continue;
      // A Windows name may hold half a surrogate pair, which UTF-8 cannot
      // carry: under the name the index would keep, it could be neither
      // opened again nor told from another.
      if (PathOf(name) != file) {
        Skipped(rel, "its name holds half a UTF-16 surrogate pair, which no UTF-8 text can carry");
        continue;
      }
      if (!options_.includeHidden && !name.empty() && name[0] == '.') {
        Skipped(rel, name == ".git" ? "version control folder (.git)" : "hidden", true);
        continue;
      }
      std::string pattern;
      if (Excluded(rel, name, pattern)) {
        Skipped(rel, "excluded by " + pattern, true);
        continue;
      }
      // The type the folder listing gave, so that only links cost a call.
      const bool link = child.is_symlink(ec);
      const bool isFolder = child.is_directory(ec);
      const bool isFile = !ec && !isFolder && child.is_regular_file(ec);
      if (ec || (!isFolder && !isFile && !child.exists(ec))) {
        Skipped(rel, link ? "broken link" : "vanished");
        continue;
      }
      if (isFolder) {
        fs::path sub = canon / file;
        if (link) {
          sub = fs::canonical(child.path(), ec);
          if (ec) {
            Skipped(rel, "broken link");
            continue;
          }
        }
        // Each folder once, however many links lead to it: a link to an
        // ancestor would never end.
        if (!visited_.insert(Utf8Of(sub)).second) {
          Skipped(rel, "a link to a folder indexed already");
          continue;
        }
        if (!Folder(child.path(), rel, sub, out)) return false;
        continue;
      }
      if (!isFile) {
        Skipped(rel, "not a regular file");
        continue;
      }
      Entry e;
      if (!FileFacts(child.path(), e.size, e.mtime)) {
        Skipped(rel, "vanished");
        continue;
      }
      e.rel = rel;
      e.path = child.path();
      out.push_back(std::move(e));
    }
    return true;
  }

  const IndexOptions& options_;
  const std::atomic<bool>& stop_;
  std::vector<Skip>* skips_;
  std::unordered_set<std::string> visited_;
  std::unordered_set<std::string> own_;  // the index's files, below the root
};

// --------------------------------------------------------- the documents

std::string Iso8601(int64_t nanoseconds) {
  using namespace std::chrono;
  return tessik_plugins::Iso8601(
      system_clock::time_point(duration_cast<system_clock::duration>(std::chrono::nanoseconds(nanoseconds))));
}

std::string NowIso8601() { return tessik_plugins::Iso8601(std::chrono::system_clock::now()); }

// A file made into a document, or the reason it is none.
struct Document {
  Content content;
  std::string type, category;
  std::string reason;     // "" when it is a document
  bool lasting = false;   // the reason holds while the file is unchanged
  uint64_t bytes = 0;     // read
};

std::string Megabytes(uint64_t bytes) {
  return bytes % (1u << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes) + " bytes";
}

class Reader {
 public:
  explicit Reader(const IndexOptions& options) : options_(options) {}

  Document Read(const Entry& e) {
    Document doc;
    const size_t slash = e.rel.find('/');
    if (slash != std::string::npos) doc.category = CleanText(e.rel.substr(0, slash));
    const std::string name = e.rel.substr(e.rel.rfind('/') + 1);
    doc.type = TypeOf(name);
    if (e.size > options_.maxSize) return Fail(doc, "larger than " + Megabytes(options_.maxSize), true);
    std::string utf8;
    if (doc.type == "application/pdf") {
      if (!Pdf(e, doc, utf8)) return doc;
    } else {
      std::string bytes;
      if (!ReadAll(e, doc, bytes)) return doc;
      if (LooksBinary(bytes)) return Fail(doc, "binary (a NUL byte in its first 8 KiB)", true);
      std::string failure;
      if (!Decode(bytes, utf8, failure)) return Fail(doc, failure, true);
    }
    doc.content = Extract(Display(name), doc.type, std::move(utf8));
    return doc;
  }

 private:
  static Document& Fail(Document& doc, std::string reason, bool lasting) {
    doc.reason = std::move(reason);
    doc.lasting = lasting;
    return doc;
  }

  bool ReadAll(const Entry& e, Document& doc, std::string& bytes) {
    switch (ReadWholeFile(e.path, e.size, options_.maxSize, bytes)) {
      case ReadResult::kRead:
        doc.bytes = bytes.size();
        return true;
      case ReadResult::kMissing: Fail(doc, "vanished", false); break;
      case ReadResult::kDenied: Fail(doc, "unreadable (no permission to read it)", false); break;
      case ReadResult::kTooLarge: Fail(doc, "larger than " + Megabytes(options_.maxSize), false); break;
      case ReadResult::kFailed: Fail(doc, "unreadable (a read error)", false); break;
    }
    return false;
  }

  bool Pdf(const Entry& e, Document& doc, std::string& utf8) {
    if (!pdftotextLooked_) {
      pdftotext_ = FindProgram("pdftotext");
      pdftotextLooked_ = true;
    }
    if (pdftotext_.empty()) {
      Fail(doc, "pdftotext is not installed", false);
      return false;
    }
    std::error_code ec;
    if (!fs::exists(e.path, ec)) {
      Fail(doc, "vanished", false);
      return false;
    }
    std::string out;
    if (!RunProgram(pdftotext_, {"-q", "-enc", "UTF-8", Utf8Of(e.path), "-"}, out, options_.maxSize * 4 + 4096)) {
      Fail(doc, "pdftotext could not read it", true);
      return false;
    }
    doc.bytes = e.size;
    // Pages are separated by form feeds.
    std::replace(out.begin(), out.end(), '\f', '\n');
    utf8 = CleanText(out);
    return true;
  }

  const IndexOptions& options_;
  bool pdftotextLooked_ = false;
  std::string pdftotext_;
};

// Reads the files to index on a thread of its own, in order, a bounded
// stretch ahead of the thread that writes them: reading and SQLite's work
// overlap on two cores.
class Prefetcher {
 public:
  Prefetcher(const IndexOptions& options, const std::vector<const Entry*>& entries)
      : reader_(options), entries_(entries), thread_([this] { Work(); }) {}
  ~Prefetcher() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      cancelled_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  Prefetcher(const Prefetcher&) = delete;
  Prefetcher& operator=(const Prefetcher&) = delete;

  // The next file's document, in the order of the entries.
  Document Next() {
    std::unique_lock<std::mutex> lock(mu_);
    changed_.wait(lock, [&] { return !ready_.empty() || failure_; });
    if (ready_.empty()) std::rethrow_exception(failure_);
    // Wakes the reader only when it waits for room.
    const bool full = ready_.size() >= kAhead;
    Document doc = std::move(ready_.front());
    ready_.pop_front();
    if (full) changed_.notify_all();
    return doc;
  }

 private:
  static constexpr size_t kAhead = 256;

  void Work() {
    try {
      for (const Entry* e : entries_) {
        {
          std::unique_lock<std::mutex> lock(mu_);
          changed_.wait(lock, [&] { return cancelled_ || ready_.size() < kAhead; });
          if (cancelled_) return;
        }
        Document doc = reader_.Read(*e);
        std::lock_guard<std::mutex> lock(mu_);
        // Wakes the writer only when it waits for a document.
        const bool empty = ready_.empty();
        ready_.push_back(std::move(doc));
        if (empty) changed_.notify_all();
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mu_);
      failure_ = std::current_exception();
      changed_.notify_all();
    }
  }

  Reader reader_;
  const std::vector<const Entry*>& entries_;
  std::mutex mu_;
  std::condition_variable changed_;
  std::deque<Document> ready_;  // guarded by mu_
  bool cancelled_ = false;      // guarded by mu_
  std::exception_ptr failure_;  // guarded by mu_
  std::thread thread_;          // last: it reads the members above
};

// ------------------------------------------------------------- the update

std::string OptionsText(const IndexOptions& o) {
  std::string text = "max-size=" + std::to_string(o.maxSize) + ";hidden=" + (o.includeHidden ? "1" : "0");
  for (const std::string& e : o.excludes) text += ";exclude=" + e;
  return text;
}

std::string RootText(const std::string& root) {
  std::error_code ec;
  fs::path absolute = fs::absolute(PathOf(root), ec);
  if (ec) absolute = PathOf(root);
  const std::u8string generic = absolute.lexically_normal().generic_u8string();
  std::string text(generic.begin(), generic.end());
  while (text.size() > 1 && text.back() == '/' && !(text.size() == 3 && text[1] == ':')) text.pop_back();
  return text;
}

void CheckRoot(const std::string& root) {
  std::error_code ec;
  const fs::file_status status = fs::status(PathOf(root), ec);
  if (!fs::exists(status)) throw std::runtime_error("no folder at " + root);
  if (!fs::is_directory(status)) throw std::runtime_error(root + " is a file, not a folder");
}

// Held for a whole update: an exclusive transaction on a companion file,
// which the system releases when the process ends, however it ends.
class WriterLock {
 public:
  explicit WriterLock(const std::string& index) {
    const std::string file = LockFileOf(index);
    db_ = Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, "the lock file");
    if (sqlite3_exec(db_.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
      if (sqlite3_errcode(db_.get()) == SQLITE_BUSY || sqlite3_errcode(db_.get()) == SQLITE_LOCKED)
        throw Busy("the index " + index + " is being updated by another process");
      throw std::runtime_error("cannot lock the index " + index + ": " + sqlite3_errmsg(db_.get()));
    }
  }

 private:
  std::unique_ptr<sqlite3, Closer> db_;
};

struct Row {
  int64_t id = 0;
  uint64_t size = 0;
  int64_t mtime = 0;
  bool text = false;  // it has a document (no lasting reason)
  std::string reason;
  bool seen = false;
};

class Updater {
 public:
  Updater(const IndexOptions& options, const std::function<void(const Progress&)>& onProgress,
          const std::atomic<bool>& stop)
      : options_(options), onProgress_(onProgress), stop_(stop), where_(options.index) {}

  Summary Run() {
    CheckRoot(options_.root);
    const fs::path index = PathOf(options_.index);
    std::error_code ec;
    if (fs::is_directory(index, ec)) throw std::runtime_error("the index " + options_.index + " is a folder");
    if (index.has_parent_path() && !fs::exists(index.parent_path(), ec)) {
      fs::create_directories(index.parent_path(), ec);
      if (ec) throw std::runtime_error("cannot make the folder of the index " + options_.index + ": " + ec.message());
    }
    WriterLock lock(options_.index);
    db_ = Open(options_.index, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, "the index");
    sqlite3_busy_timeout(db_.get(), 5000);
    fts5::Register(db_.get());
    Exec(db_.get(), schema::kPragmas, where_);
    Exec(db_.get(), schema::kWriterPragmas, where_);
    Prepare();
    LoadRows();

    std::vector<Entry> entries;
    if (!Walker(options_, stop_, &summary_.skips).Walk(PathOf(options_.root), entries)) return Stopped();
    summary_.total = entries.size();
    for (const Skip& skip : summary_.skips) ++(skip.leftOut ? summary_.leftOut : summary_.skipped);
    Report();

    // What changed, by size and modification time; files of the index the
    // walk did not find are gone (or renamed: gone here, new there).
    std::vector<const Entry*> changed;
    std::vector<int64_t> removedText, removedRows;
    for (const Entry& e : entries) {
      auto it = rows_.find(e.rel);
      if (it != rows_.end()) {
        Row& row = it->second;
        row.seen = true;
        // New options may make a skipped file a document, or (a lower
        // max-size) a document a skipped file: those are read again.
        const bool keep = !optionsChanged_ || (row.text && e.size <= options_.maxSize);
        if (row.size == e.size && row.mtime == e.mtime && keep) {
          ++summary_.seen;
          if (row.text) {
            ++summary_.unchanged;
          } else {
            ++summary_.skipped;
            summary_.skips.push_back({Display(e.rel), row.reason});
          }
          continue;
        }
      }
      changed.push_back(&e);
    }
    for (auto& [rel, row] : rows_)
      if (!row.seen) (row.text ? removedText : removedRows).push_back(row.id);

    if (changed.empty() && removedText.empty() && removedRows.empty() && complete_) {
      Begin();
      SetMeta("indexed-at", NowIso8601());
      SetMeta("options", OptionsText(options_));
      Commit();
      return Done();
    }

    // Reading starts at once, while the deletions are written.
    Prefetcher prefetcher(options_, changed);
    Begin();
    SetMeta("complete", "0");
    for (int64_t id : removedText) {
      if (stop_) return Stopped();
      Delete(id, true);
      ++summary_.removed;
      Batched();
    }
    for (int64_t id : removedRows) {
      if (stop_) return Stopped();
      Delete(id, false);
      Batched();
    }
    for (const Entry* e : changed) {
      if (stop_) return Stopped();
      Index(*e, prefetcher.Next());
      Batched();
    }
    SetMeta("complete", "1");
    SetMeta("indexed-at", NowIso8601());
    SetMeta("options", OptionsText(options_));
    Commit();
    return Done();
  }

 private:
  void Prepare() {
    if (ReadMeta(db_.get(), where_)) {
      const std::string format = Meta(db_.get(), "format", where_);
      const std::string root = Meta(db_.get(), "root", where_);
      if (format == "2" && root == RootText(options_.root) && !HasDigests()) AddDigests();
      if (Meta(db_.get(), "format", where_) == std::to_string(kFormatVersion) && root == RootText(options_.root)) {
        complete_ = Meta(db_.get(), "complete", where_) == "1";
        optionsChanged_ = Meta(db_.get(), "options", where_) != OptionsText(options_);
        Statements();
        return;
      }
      // Another layout, or another folder: nothing in it can be kept.
      Begin();
      Drop();
    } else {
      Begin();
    }
    Exec(db_.get(), schema::kCreate, where_);
    Statements();
    SetMeta("format", std::to_string(kFormatVersion));
    SetMeta("root", RootText(options_.root));
    SetMeta("complete", "0");
    SetMeta("options", OptionsText(options_));
    Commit();
    complete_ = false;
  }

  // Format 2 came in two kinds: the words normalised, without digests, or
  // the digests with FTS5's unicode61 words. The first lacks only the
  // digests; the second must be read again whole.
  bool HasDigests() {
    Statement column(db_.get(), schema::kHasDigest, where_);
    return column.Step();
  }

  // Format 2 without digests to 3: the digest of every document from its
  // text in "plain", in one transaction, which reads no file (so it does
  // not stop halfway: a stop would leave format 2, which Prepare would then
  // give its digests again).
  void AddDigests() {
    Begin();
    Exec(db_.get(), schema::kAddDigest, where_);
    {
      Statement texts(db_.get(), schema::kListTexts, where_);
      Statement set(db_.get(), schema::kSetDigest, where_);
      while (texts.Step()) {
        const std::string digest = Digest(texts.Column(1), texts.Column(2));
        set.Bind(1, texts.Int(0)).Text(2, digest).Run();
      }
    }
    setMeta_ = std::make_unique<Statement>(db_.get(), schema::kSetMeta, where_);
    SetMeta("format", std::to_string(kFormatVersion));
    Commit();
  }

  void Drop() {
    for (const char* kind : {"CREATE VIRTUAL TABLE%", "%"}) {
      std::vector<std::string> tables;
      {
        Statement list(db_.get(),
                       "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"
                       " AND sql LIKE ?1",
                       where_);
        list.Text(1, kind);
        while (list.Step()) tables.push_back(list.Column(0));
      }
      for (const std::string& t : tables) Exec(db_.get(), ("DROP TABLE IF EXISTS " + Quoted(t)).c_str(), where_);
    }
  }

  void Statements() {
    setMeta_ = std::make_unique<Statement>(db_.get(), schema::kSetMeta, where_);
    insertFile_ = std::make_unique<Statement>(db_.get(), schema::kInsertFile, where_);
    insertPlain_ = std::make_unique<Statement>(db_.get(), schema::kInsertPlain, where_);
    insertStemmed_ = std::make_unique<Statement>(db_.get(), schema::kInsertStemmed, where_);
    deleteStemmed_ = std::make_unique<Statement>(db_.get(), schema::kDeleteStemmed, where_);
    deletePlain_ = std::make_unique<Statement>(db_.get(), schema::kDeletePlain, where_);
    deleteFile_ = std::make_unique<Statement>(db_.get(), schema::kDeleteFile, where_);
  }

  void LoadRows() {
    Statement list(db_.get(), schema::kListFiles, where_);
    while (list.Step()) {
      Row row;
      row.id = list.Int(0);
      row.size = static_cast<uint64_t>(list.Int(2));
      row.mtime = list.Int(3);
      row.reason = list.Column(4);
      row.text = row.reason.empty();
      rows_.emplace(list.Column(1), std::move(row));
    }
  }

  void SetMeta(const char* key, const std::string& value) { setMeta_->Text(1, key).Text(2, value).Run(); }
  void Begin() { Exec(db_.get(), "BEGIN IMMEDIATE", where_); }
  void Commit() { Exec(db_.get(), "COMMIT", where_); }

  void Delete(int64_t id, bool text) {
    if (text) {
      deleteStemmed_->Bind(1, id).Run();
      deletePlain_->Bind(1, id).Run();
    }
    deleteFile_->Bind(1, id).Run();
    ++batchFiles_;
  }

  void Index(const Entry& e, Document doc) {
    ++summary_.seen;
    summary_.bytes += doc.bytes;
    batchBytes_ += doc.bytes;
    auto it = rows_.find(e.rel);
    const Row* old = it == rows_.end() ? nullptr : &it->second;
    if (old) {
      Delete(old->id, old->text);
      --batchFiles_;
    }
    ++batchFiles_;
    if (!doc.reason.empty()) {
      ++summary_.skipped;
      summary_.skips.push_back({Display(e.rel), doc.reason});
      if (old && old->text) ++summary_.removed;
      if (!doc.lasting) return;
    }
    const std::string modified = Iso8601(e.mtime);
    Statement& f = *insertFile_;
    if (old) f.Bind(1, old->id);
    else f.Null(1);
    f.Blob(2, e.rel).Bind(3, static_cast<int64_t>(e.size)).Bind(4, e.mtime);
    const std::string digest = doc.reason.empty() ? Digest(doc.content.title, doc.content.text) : std::string();
    f.Text(5, doc.content.title).Text(6, doc.category).Text(7, doc.type).Text(8, modified).Text(9, doc.reason);
    f.Text(10, digest).Run();
    if (!doc.reason.empty()) return;
    const int64_t id = sqlite3_last_insert_rowid(db_.get());
    insertPlain_->Bind(1, id).Text(2, doc.content.title).Text(3, doc.content.text).Run();
    insertStemmed_->Bind(1, id).Text(2, doc.content.title).Text(3, doc.content.text).Run();
    ++summary_.indexed;
  }

  // Commits the batch when it is full.
  void Batched() {
    if (batchFiles_ < options_.batchFiles && batchBytes_ < options_.batchBytes) return;
    Commit();
    batchFiles_ = batchBytes_ = 0;
    Report();
    Begin();
  }

  void Report() {
    summary_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (onProgress_) onProgress_(summary_);
  }

  Summary Stopped() {
    if (sqlite3_get_autocommit(db_.get()) == 0) Commit();
    summary_.stopped = true;
    return Done();
  }

  Summary Done() {
    summary_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    return std::move(summary_);
  }

  const IndexOptions& options_;
  const std::function<void(const Progress&)>& onProgress_;
  const std::atomic<bool>& stop_;
  const std::string where_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::unique_ptr<sqlite3, Closer> db_;
  std::unique_ptr<Statement> setMeta_, insertFile_, insertPlain_, insertStemmed_, deleteStemmed_, deletePlain_,
      deleteFile_;
  std::unordered_map<std::string, Row> rows_;
  bool complete_ = false, optionsChanged_ = false;
  uint64_t batchFiles_ = 0, batchBytes_ = 0;
  Summary summary_;
};

}  // namespace

Summary Update(const IndexOptions& options, const std::function<void(const Progress&)>& onProgress,
               const std::atomic<bool>& stop) {
  return Updater(options, onProgress, stop).Run();
}

IndexState Inspect(const IndexOptions& options) {
  IndexState state;
  std::error_code ec;
  state.exists = fs::is_regular_file(PathOf(options.index), ec);
  if (!state.exists) {
    state.state = "missing";
    return state;
  }
  const std::string& where = options.index;
  auto db = Open(options.index, SQLITE_OPEN_READONLY, "the index");
  sqlite3_busy_timeout(db.get(), 5000);
  if (!ReadMeta(db.get(), where) || Meta(db.get(), "format", where) != std::to_string(kFormatVersion)) {
    state.state = "old format";
    return state;
  }
  state.indexedAt = Meta(db.get(), "indexed-at", where);
  std::unordered_map<std::string, std::pair<uint64_t, int64_t>> rows;
  {
    Statement list(db.get(), schema::kListFiles, where);
    while (list.Step()) {
      state.documents += list.Column(4).empty();
      rows.emplace(list.Column(1), std::make_pair(static_cast<uint64_t>(list.Int(2)), list.Int(3)));
    }
  }
  if (Meta(db.get(), "complete", where) != "1") {
    state.state = "incomplete";
    return state;
  }
  const std::string root = options.root.empty() ? Meta(db.get(), "root", where) : options.root;
  if (RootText(root) != Meta(db.get(), "root", where)) {
    state.state = "stale";
    return state;
  }
  std::vector<Entry> entries;
  const std::atomic<bool> never{false};
  state.state = "stale";
  if (!fs::is_directory(PathOf(root), ec) || !Walker(options, never, nullptr).Walk(PathOf(root), entries))
    return state;
  if (entries.size() != rows.size()) return state;
  for (const Entry& e : entries) {
    auto it = rows.find(e.rel);
    if (it == rows.end() || it->second != std::make_pair(e.size, e.mtime)) return state;
  }
  state.state = "ready";
  return state;
}

std::string LockFileOf(const std::string& index) { return index + "-lock"; }

void ReadDocuments(const IndexOptions& options, const std::function<void(const std::string& rel, Content&&)>& each) {
  CheckRoot(options.root);
  std::vector<Entry> entries;
  const std::atomic<bool> never{false};
  Walker(options, never, nullptr).Walk(PathOf(options.root), entries);
  Reader reader(options);
  for (const Entry& e : entries) {
    Document doc = reader.Read(e);
    if (doc.reason.empty()) each(e.rel, std::move(doc.content));
  }
}

void RemoveIndex(const std::string& index) {
  std::error_code ec;
  if (fs::is_directory(PathOf(index), ec)) throw std::runtime_error(index + " is a folder, not an index");
  auto remove = [&](std::initializer_list<const char*> suffixes) {
    for (const char* suffix : suffixes) {
      const fs::path file = PathOf(index + suffix);
      if (fs::is_directory(file, ec)) continue;
      fs::remove(file, ec);
      if (ec) throw std::runtime_error("cannot remove " + index + suffix + ": " + ec.message());
    }
  };
  if (fs::exists(PathOf(index), ec) || fs::exists(PathOf(LockFileOf(index)), ec)) {
    // Never from under an update that runs: it would go on writing an
    // index nobody finds, beside a new one. Busy says so.
    WriterLock lock(index);
    remove({"", "-wal", "-shm", "-journal"});
  }
  // The lock's own files once it is let go (Windows deletes no open file).
  remove({"-lock", "-lock-journal"});
}

}  // namespace tessik_plugins::folder
