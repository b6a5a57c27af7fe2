// The folder index (plugins/files/Indexer.h) over small hand-made trees in
// a temporary folder, and the files plugin over the index it makes.
#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "files/Indexer.h"
#include "kit/Fts5.h"
#include "tests/common/ProcessTag.h"
#include "tests/common/Watchdog.h"
#include "tests/plugins/PluginHost.h"

namespace fs = std::filesystem;
namespace folder = tessik_plugins::folder;
using plugin_test::QueryForm;

namespace {

struct Document {
  std::string title, text, category, type;
};

class FolderIndexTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) / ("tessik-folder-" + ProcessTag() + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    root_ = dir_ / "root";
    fs::create_directories(root_);
    options_.root = root_.string();
    options_.index = (dir_ / "made" / "on demand" / "folder.index").string();
  }
  void TearDown() override {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  void Write(const std::string& rel, const std::string& bytes) {
    const fs::path file = root_ / rel;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
  }

  folder::Summary Run(const std::function<void(const folder::Progress&)>& onProgress = {}) {
    const std::atomic<bool> stop{false};
    return folder::Update(options_, onProgress, stop);
  }

  static std::map<std::string, std::string> Reasons(const folder::Summary& summary) {
    std::map<std::string, std::string> reasons;
    for (const folder::Skip& skip : summary.skips) reasons[skip.path] = skip.reason;
    return reasons;
  }

  // Every document of the index by its path bytes, read with SQLite itself.
  std::map<std::string, Document> Documents() {
    std::map<std::string, Document> docs;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(options_.index.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    tessik_plugins::fts5::Register(db);  // the FTS5 tables name it
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT f.path, p.title, p.text, f.category, f.type FROM files f"
                                 " JOIN plain p ON p.rowid = f.id",
                                 -1, &s, nullptr),
              SQLITE_OK);
    auto column = [&](int i) {
      const void* data = sqlite3_column_blob(s, i);
      return data ? std::string(static_cast<const char*>(data), sqlite3_column_bytes(s, i)) : std::string();
    };
    while (sqlite3_step(s) == SQLITE_ROW) docs[column(0)] = {column(1), column(2), column(3), column(4)};
    sqlite3_finalize(s);
    sqlite3_close(db);
    return docs;
  }

  void Sql(const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(options_.index.c_str(), &db), SQLITE_OK);
    tessik_plugins::fts5::Register(db);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }

  fs::path dir_, root_;
  folder::IndexOptions options_;
};

TEST_F(FolderIndexTest, EveryFileThatIsNoDocumentIsSkippedWithItsReason) {
  Write("kept.txt", "Kept\nplain words\n");
  Write("image.dat", std::string("GIF8\0\0\x01\x02", 8));
  Write("big.txt", std::string(300, 'x'));
  Write(".profile", "hidden file\n");
  Write(".git/config", "[core]\n");
  Write("build/out.txt", "made by a build\n");
  Write("sub/notes.tmp", "scratch\n");
  Write("sub/locked.txt", "secret\n");
  Write("gone.txt", "here for the walk only\n");
  fs::permissions(root_ / "sub/locked.txt", fs::perms::none);
  // Running as root, every file can be read: then nothing is unreadable.
  const bool unreadable = !std::ifstream(root_ / "sub/locked.txt").is_open();
  options_.maxSize = 100;
  options_.excludes = {"build", "*.tmp"};

  bool walked = false;
  const folder::Summary summary = Run([&](const folder::Progress&) {
    if (!walked) fs::remove(root_ / "gone.txt");  // after the walk, before it is read
    walked = true;
  });
  std::map<std::string, std::string> reasons = Reasons(summary);
  EXPECT_NE(reasons["image.dat"].find("binary"), std::string::npos);
  EXPECT_NE(reasons["big.txt"].find("larger than 100 bytes"), std::string::npos);
  EXPECT_EQ(reasons[".profile"], "hidden");
  EXPECT_NE(reasons[".git"].find(".git"), std::string::npos);
  EXPECT_EQ(reasons["build"], "excluded by build");
  EXPECT_EQ(reasons["sub/notes.tmp"], "excluded by *.tmp");
  EXPECT_EQ(reasons["gone.txt"], "vanished");
  if (unreadable) {
    EXPECT_NE(reasons["sub/locked.txt"].find("unreadable"), std::string::npos);
  }
  // Hidden, .git and excluded were left out by the options, the rest could
  // not be indexed.
  const uint64_t skips = unreadable ? 8 : 7;
  EXPECT_EQ(summary.skips.size(), skips);
  EXPECT_EQ(summary.leftOut, 4u);
  EXPECT_EQ(summary.skipped, skips - 4);
  for (const folder::Skip& skip : summary.skips)
    EXPECT_EQ(skip.leftOut, skip.path == ".profile" || skip.path == ".git" || skip.path == "build" ||
                                skip.path == "sub/notes.tmp")
        << skip.path;
  EXPECT_EQ(summary.total, 5u);  // kept, image, big, locked, gone: the rest were never walked into
  EXPECT_EQ(summary.indexed, unreadable ? 1u : 2u);
  EXPECT_EQ(Documents().count("kept.txt"), 1u);

  // Skipped for a lasting reason: still skipped, unread, on the next run.
  const folder::Summary again = Run();
  reasons = Reasons(again);
  EXPECT_NE(reasons["image.dat"].find("binary"), std::string::npos);
  EXPECT_NE(reasons["big.txt"].find("larger than"), std::string::npos);
  EXPECT_EQ(again.indexed, 0u);
  EXPECT_EQ(again.unchanged, unreadable ? 1u : 2u);

  // With hidden files asked for, the hidden ones are documents too.
  options_.includeHidden = true;
  options_.excludes.clear();
  Run();
  const std::map<std::string, Document> docs = Documents();
  EXPECT_EQ(docs.count(".profile"), 1u);
  EXPECT_EQ(docs.count(".git/config"), 1u);
  EXPECT_EQ(docs.count("build/out.txt"), 1u);
  EXPECT_EQ(docs.count("image.dat"), 0u);
}

TEST_F(FolderIndexTest, ExcludesMatchNamesAndPathsByGlob) {
  for (const char* rel : {"a1.log", "a2.log", "b1.log", "c.txt", "deep/one/x.txt", "deep/x.txt", "[x].txt"})
    Write(rel, std::string(rel) + "\n");
  options_.excludes = {"a[!2].log", "b?.log", "deep/*/x.txt", "\\[x\\].txt"};
  const folder::Summary summary = Run();
  std::map<std::string, std::string> reasons = Reasons(summary);
  EXPECT_EQ(reasons["a1.log"], "excluded by a[!2].log");
  EXPECT_EQ(reasons["b1.log"], "excluded by b?.log");
  EXPECT_EQ(reasons["deep/one/x.txt"], "excluded by deep/*/x.txt");
  EXPECT_EQ(reasons["[x].txt"], "excluded by \\[x\\].txt");
  std::vector<std::string> paths;
  for (const auto& [path, doc] : Documents()) paths.push_back(path);
  EXPECT_EQ(paths, (std::vector<std::string>{"a2.log", "c.txt", "deep/x.txt"}));
}

// A one-page PDF written by hand: pdftotext reads it when installed, and
// without it the file is skipped and says why.
TEST_F(FolderIndexTest, PdfGoesThroughPdftotext) {
  Watchdog watchdog(std::chrono::seconds(60), "pdftotext");
  const std::string stream = "BT /F1 12 Tf 72 712 Td (Harbour charts of the north) Tj ET";
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  auto object = [&](const std::string& body) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
  };
  object("<< /Type /Catalog /Pages 2 0 R >>");
  object("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
         " /Resources << /Font << /F1 5 0 R >> >> >>");
  object("<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "\nendstream");
  object("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  const size_t xref = pdf.size();
  pdf += "xref\n0 6\n0000000000 65535 f \n";
  for (size_t at : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", at);
    pdf += line;
  }
  pdf += "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  Write("charts.pdf", pdf);

  const char* path = std::getenv("PATH");
  const std::string saved = path ? path : "";
#ifdef __linux__
  setenv("PATH", (dir_ / "empty").c_str(), 1);
  EXPECT_EQ(Reasons(Run())["charts.pdf"], "pdftotext is not installed");
  setenv("PATH", saved.c_str(), 1);
#endif
  bool installed = false;
  for (size_t at = 0; at <= saved.size();) {
    const size_t end = std::min(saved.find(':', at), saved.size());
    std::error_code ec;
    installed = installed || fs::exists(fs::path(saved.substr(at, end - at)) / "pdftotext", ec);
    at = end + 1;
  }
  if (!installed) GTEST_SKIP() << "pdftotext is not installed";
  const folder::Summary summary = Run();
  EXPECT_TRUE(summary.skips.empty()) << summary.skips[0].reason;
  const Document doc = Documents()["charts.pdf"];
  EXPECT_EQ(doc.title, "Harbour charts of the north");
  EXPECT_EQ(doc.type, "application/pdf");
}

TEST_F(FolderIndexTest, TitlesTextsAndEncodings) {
  Write("web/page.html",
        "<html><head><title>Page &amp; Title</title><style>p { color: red }</style></head>"
        "<body><p>Hello <b>world</b>&#33;</p><!-- a comment --><script>var hidden;</script></body></html>");
  Write("web/feed.xml", "<?xml version=\"1.0\"?><feed><title>The Feed</title><entry>First entry</entry></feed>");
  Write("notes/readme.md", "Some words before it.\n\n## Install  ##\n\nRun the installer.\n");
  Write("notes/guide.rst", "=======\nA Guide\n=======\n\nRead this.\n");
  Write("le.txt", std::string("\xFF\xFEG\0r\0\xFC\0\xDF\0" "e\0\n\0t\0e\0x\0t\0", 22));
  Write("be.txt", std::string("\xFE\xFF\0O\0k\0\n\0b\0e", 12));
  Write("latin1.txt", "Caf\xE9 cr\xE8me\nmenu\n");
  Write("utf8.txt", "\xEF\xBB\xBFNa\xC3\xAFve title\nbody\n");
  Write("blank.txt", "  \n\t\n");
  Write("odd.txt", std::string("\xFF\xFEG\0r\0!", 7));
  const folder::Summary summary = Run();
  EXPECT_NE(Reasons(summary)["odd.txt"].find("encoding"), std::string::npos);

  std::map<std::string, Document> docs = Documents();
  const Document& page = docs["web/page.html"];
  EXPECT_EQ(page.title, "Page & Title");
  EXPECT_NE(page.text.find("Hello world !"), std::string::npos) << page.text;
  for (const char* gone : {"var hidden", "color", "a comment", "<"})
    EXPECT_EQ(page.text.find(gone), std::string::npos) << gone << " in " << page.text;
  EXPECT_EQ(page.type, "text/html");
  EXPECT_EQ(page.category, "web");
  EXPECT_EQ(docs["web/feed.xml"].title, "The Feed");
  EXPECT_NE(docs["web/feed.xml"].text.find("First entry"), std::string::npos);
  EXPECT_EQ(docs["notes/readme.md"].title, "Install");
  EXPECT_NE(docs["notes/readme.md"].text.find("Some words before it."), std::string::npos);
  EXPECT_EQ(docs["notes/readme.md"].type, "text/markdown");
  EXPECT_EQ(docs["notes/guide.rst"].title, "A Guide");
  EXPECT_EQ(docs["le.txt"].title, "Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(docs["le.txt"].text, "text");
  EXPECT_EQ(docs["le.txt"].category, "");
  EXPECT_EQ(docs["be.txt"].title, "Ok");
  EXPECT_EQ(docs["latin1.txt"].title, "Caf\xC3\xA9 cr\xC3\xA8me");
  EXPECT_EQ(docs["utf8.txt"].title, "Na\xC3\xAFve title");
  EXPECT_EQ(docs["blank.txt"].title, "blank.txt");
  EXPECT_EQ(docs.count("odd.txt"), 0u);
}

TEST_F(FolderIndexTest, UpdatesReadOnlyWhatChanged) {
  Write("a.txt", "Alpha\none\n");
  Write("b.txt", "Beta\ntwo\n");
  Write("c.txt", "Gamma\nthree\n");
  Write("d/e.txt", "Epsilon\nfour\n");
  folder::Summary s = Run();
  EXPECT_EQ(s.total, 4u);
  EXPECT_EQ(s.indexed, 4u);
  s = Run();
  EXPECT_EQ(s.indexed, 0u);
  EXPECT_EQ(s.unchanged, 4u);
  EXPECT_EQ(s.bytes, 0u);

  Write("b.txt", "Beta\ntwo, and longer now\n");
  fs::remove(root_ / "c.txt");
  fs::rename(root_ / "d/e.txt", root_ / "d/f.txt");
  Write("g.txt", "Eta\nfive\n");
  s = Run();
  EXPECT_EQ(s.total, 4u);
  EXPECT_EQ(s.indexed, 3u);  // b changed, d/f and g new
  EXPECT_EQ(s.unchanged, 1u);
  EXPECT_EQ(s.removed, 2u);  // c, d/e
  EXPECT_EQ(s.skipped, 0u);
  const std::map<std::string, Document> docs = Documents();
  std::vector<std::string> paths;
  for (const auto& [path, doc] : docs) paths.push_back(path);
  EXPECT_EQ(paths, (std::vector<std::string>{"a.txt", "b.txt", "d/f.txt", "g.txt"}));
  EXPECT_EQ(docs.at("b.txt").text, "two, and longer now\n");
  EXPECT_EQ(docs.at("d/f.txt").category, "d");

  // A document that becomes binary leaves the index.
  Write("a.txt", std::string("\0\0\0", 3));
  s = Run();
  EXPECT_EQ(s.removed, 1u);
  EXPECT_EQ(Documents().count("a.txt"), 0u);
}

// An index kept in the folder it indexes leaves itself out.
TEST_F(FolderIndexTest, AnIndexInsideItsFolderIsNoDocument) {
  Write("a.txt", "A\nalpha\n");
  options_.index = (root_ / "sub" / "own.index").string();
  EXPECT_EQ(Run().indexed, 1u);
  const folder::Summary again = Run();
  EXPECT_EQ(again.total, 1u);
  EXPECT_EQ(again.unchanged, 1u);
  EXPECT_TRUE(again.skips.empty());
  EXPECT_EQ(folder::Inspect(options_).state, "ready");
}

// What a reader of the folder gets is what the index holds: the same files
// left out, the same titles and texts, and the index never opened.
TEST_F(FolderIndexTest, ReadDocumentsGivesWhatUpdateIndexes) {
  Write("kept.txt", "Kept\nplain words\n");
  Write("web/page.html", "<html><head><title>The Page</title></head><body><p>Hello</p></body></html>");
  Write("image.dat", std::string("GIF8\0\0\x01\x02", 8));
  Write("big.txt", std::string(300, 'x'));
  Write(".profile", "hidden file\n");
  Write("build/out.txt", "made by a build\n");
  options_.excludes = {"build"};
  options_.maxSize = 200;
  std::map<std::string, Document> read;
  folder::ReadDocuments(options_, [&](const std::string& rel, folder::Content&& content) {
    read[rel] = {content.title, content.text, "", ""};
  });
  EXPECT_FALSE(fs::exists(options_.index));
  std::vector<std::string> paths;
  for (const auto& [rel, doc] : read) paths.push_back(rel);
  EXPECT_EQ(paths, (std::vector<std::string>{"kept.txt", "web/page.html"}));
  Run();
  const std::map<std::string, Document> indexed = Documents();
  ASSERT_EQ(indexed.size(), read.size());
  for (const auto& [rel, doc] : read) {
    ASSERT_EQ(indexed.count(rel), 1u) << rel;
    EXPECT_EQ(doc.title, indexed.at(rel).title) << rel;
    EXPECT_EQ(doc.text, indexed.at(rel).text) << rel;
  }
  options_.root = (dir_ / "no such folder").string();
  EXPECT_THROW(folder::ReadDocuments(options_, [](const std::string&, folder::Content&&) {}), std::runtime_error);
}

TEST_F(FolderIndexTest, InspectTellsReadyStaleIncompleteAndMissing) {
  EXPECT_EQ(folder::Inspect(options_).state, "missing");
  EXPECT_FALSE(folder::Inspect(options_).exists);
  Write("a.txt", "A\n");
  Write("b.txt", "B\n");
  Write("c.txt", "C\n");
  Run();
  folder::IndexState state = folder::Inspect(options_);
  EXPECT_EQ(state.state, "ready");
  EXPECT_EQ(state.documents, 3u);
  EXPECT_EQ(state.indexedAt.size(), std::string("2026-01-01T00:00:00Z").size()) << state.indexedAt;
  EXPECT_EQ(state.indexedAt.back(), 'Z');

  Write("b.txt", "B, changed\n");
  EXPECT_EQ(folder::Inspect(options_).state, "stale");
  Run();
  EXPECT_EQ(folder::Inspect(options_).state, "ready");
  Write("d.txt", "D\n");
  EXPECT_EQ(folder::Inspect(options_).state, "stale");

  // Stopped after its first batch: what was committed stays, and the index
  // says it is incomplete until an update finishes.
  Write("e.txt", "E\n");
  Write("f.txt", "F\n");
  options_.batchFiles = 1;
  std::atomic<bool> stop{false};
  const folder::Summary stopped =
      folder::Update(options_, [&](const folder::Progress& p) { stop = p.seen > 0; }, stop);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_EQ(stopped.indexed, 1u);
  EXPECT_EQ(folder::Inspect(options_).state, "incomplete");
  EXPECT_EQ(Documents().size(), 4u);
  const folder::Summary finished = Run();
  EXPECT_FALSE(finished.stopped);
  EXPECT_EQ(finished.indexed, 2u);
  EXPECT_EQ(folder::Inspect(options_).state, "ready");
  EXPECT_EQ(Documents().size(), 6u);
}

TEST_F(FolderIndexTest, AnIndexOfAnotherFormatIsRebuilt) {
  Write("a.txt", "A\nalpha\n");
  Write("b.txt", "B\nbeta\n");
  Run();
  Sql("UPDATE meta SET value = '0' WHERE key = 'format'; CREATE TABLE leftover(x);");
  EXPECT_EQ(folder::Inspect(options_).state, "old format");
  const folder::Summary s = Run();
  EXPECT_EQ(s.indexed, 2u);
  EXPECT_EQ(s.unchanged, 0u);
  EXPECT_EQ(folder::Inspect(options_).state, "ready");
  EXPECT_EQ(Documents().size(), 2u);
  // Rebuilt once, then brought up to date in place again.
  Write("c.txt", "C\ngamma\n");
  const folder::Summary next = Run();
  EXPECT_EQ(next.indexed, 1u);
  EXPECT_EQ(next.unchanged, 2u);
}

// Format 1 matched words as FTS5's unicode61 folds them: such an index is
// read again whole, and then finds words whatever their accents.
TEST_F(FolderIndexTest, AnIndexOfTheUnnormalisedFormatIsRebuilt) {
  Write("menu.txt", "Menu\nCaf\xC3\xA9 au lait\n");
  const std::string root = fs::absolute(root_).lexically_normal().generic_string();
  fs::create_directories(fs::path(options_.index).parent_path());
  Sql(("CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;"
       "CREATE TABLE files(id INTEGER PRIMARY KEY, path BLOB UNIQUE NOT NULL, size INTEGER NOT NULL,"
       " mtime INTEGER NOT NULL, title TEXT NOT NULL, category TEXT NOT NULL, type TEXT NOT NULL,"
       " modified TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '');"
       "CREATE VIRTUAL TABLE plain USING fts5(title, text, tokenize='unicode61');"
       "INSERT INTO meta VALUES('format', '1'), ('root', '" + root + "'), ('complete', '1');")
          .c_str());
  EXPECT_EQ(folder::Inspect(options_).state, "old format");
  EXPECT_EQ(Run().indexed, 1u);
  plugin_test::Session session({std::string(TESSIK_PLUGIN_DIR) + "/files" + TESSIK_PLUGIN_SUFFIX});
  const std::vector<plugin_test::Found> found =
      session.Search({{{"CAFE"}}, "And", {}, {{"files", options_.index}}});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].title, "Menu");
  EXPECT_EQ(found[0].properties.at("snippet"), "Caf\xC3\xA9 au lait");
}

// The digests alone (format 2 of the statistics' indexer, unicode61's
// words): read again whole, and then finds words whatever their accents.
TEST_F(FolderIndexTest, AFormatTwoIndexWithDigestsButUnnormalisedWordsIsRebuilt) {
  Write("menu.txt", "Menu\nCaf\xC3\xA9 au lait\n");
  const std::string root = fs::absolute(root_).lexically_normal().generic_string();
  fs::create_directories(fs::path(options_.index).parent_path());
  Sql(("CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;"
       "CREATE TABLE files(id INTEGER PRIMARY KEY, path BLOB UNIQUE NOT NULL, size INTEGER NOT NULL,"
       " mtime INTEGER NOT NULL, title TEXT NOT NULL, category TEXT NOT NULL, type TEXT NOT NULL,"
       " modified TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '', digest TEXT NOT NULL DEFAULT '');"
       "CREATE VIRTUAL TABLE plain USING fts5(title, text, tokenize='unicode61');"
       "INSERT INTO meta VALUES('format', '2'), ('root', '" + root + "'), ('complete', '1');")
          .c_str());
  EXPECT_EQ(folder::Inspect(options_).state, "old format");
  Write("copy.txt", "MENU\ncafe au  LAIT!\n");
  EXPECT_EQ(Run().indexed, 2u);
  EXPECT_EQ(folder::Inspect(options_).state, "ready");
  plugin_test::Session session({std::string(TESSIK_PLUGIN_DIR) + "/files" + TESSIK_PLUGIN_SUFFIX});
  std::map<std::string, std::string> digests;
  for (const plugin_test::Found& f :
       session.Search({{{"CAFE"}}, "And", {}, {{"files", options_.index, "", "", {{"statistics", "bm25"}}}}}))
    if (!f.id.empty()) digests[f.id] = f.properties.count("digest") ? f.properties.at("digest") : "";
  ASSERT_EQ(digests.size(), 2u);
  EXPECT_EQ(digests["menu"].size(), 16u);
  EXPECT_EQ(digests["menu"], digests["copy"]);  // one text but for accents, case and spacing
}

// The normalised words alone (format 2 of the normaliser's indexer) lacked
// the digests: an update adds them from the text the index holds, reading
// no file again, and keeps them as files change.
TEST_F(FolderIndexTest, AFormatTwoIndexWithoutDigestsGainsThemInPlace) {
  Write("a.txt", "Same words\nIn this text.\n");
  Write("copy/b.txt", "Same   words\nin THIS text!\n");
  Write("c.txt", "Other\nwords.\n");
  Run();
  Sql("ALTER TABLE files DROP COLUMN digest; UPDATE meta SET value = '2' WHERE key = 'format';");
  EXPECT_EQ(folder::Inspect(options_).state, "old format");
  plugin_test::Session session({std::string(TESSIK_PLUGIN_DIR) + "/files" + TESSIK_PLUGIN_SUFFIX});
  const QueryForm form{{{"words"}}, "And", {}, {{"files", options_.index, "", "", {{"statistics", "bm25"}}}}};
  std::vector<plugin_test::Found> found = session.Search(form);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NE(found[0].error.find("tessik sources update"), std::string::npos) << found[0].error;

  folder::Summary s = Run();
  EXPECT_EQ(s.indexed, 0u);
  EXPECT_EQ(s.unchanged, 3u);
  EXPECT_EQ(folder::Inspect(options_).state, "ready");
  auto digests = [&] {
    std::map<std::string, std::string> byId;
    for (const plugin_test::Found& f : session.Search(form))
      if (!f.id.empty()) byId[f.id] = f.properties.count("digest") ? f.properties.at("digest") : "";
    return byId;
  };
  std::map<std::string, std::string> d = digests();
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d["a"].size(), 16u);
  EXPECT_EQ(d["a"], d["copy/b"]);  // the same words
  EXPECT_NE(d["a"], d["c"]);
  // A changed file gets the digest of its new text.
  Write("c.txt", "Same words\nin this text\n");
  fs::last_write_time(root_ / "c.txt", fs::last_write_time(root_ / "c.txt") + std::chrono::seconds(5));
  s = Run();
  EXPECT_EQ(s.indexed, 1u);
  d = digests();
  EXPECT_EQ(d["c"], d["a"]);
}

TEST_F(FolderIndexTest, RefusesWhatItCannotIndex) {
  const std::atomic<bool> stop{false};
  options_.root = (dir_ / "no such folder").string();
  EXPECT_THROW(folder::Update(options_, {}, stop), std::runtime_error);
  Write("file.txt", "x\n");
  options_.root = (root_ / "file.txt").string();
  try {
    folder::Update(options_, {}, stop);
    ADD_FAILURE() << "a file as the folder";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("not a folder"), std::string::npos) << e.what();
  }
  // Some other database is never taken over.
  options_.root = root_.string();
  options_.index = (dir_ / "other.sqlite").string();
  Sql("CREATE TABLE mine(x); INSERT INTO mine VALUES(1);");
  EXPECT_THROW(folder::Update(options_, {}, stop), std::runtime_error);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(options_.index.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "SELECT x FROM mine", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

TEST_F(FolderIndexTest, RemoveIndexTakesItsFilesOnly) {
  Write("a.txt", "A\n");
  Run();
  const fs::path index(options_.index);
  std::ofstream(index.string() + ".keep") << "not the index's";
  std::ofstream(folder::LockFileOf(options_.index)) << "";
  folder::RemoveIndex(options_.index);
  for (const char* suffix : {"", "-wal", "-shm", "-lock"}) EXPECT_FALSE(fs::exists(index.string() + suffix)) << suffix;
  EXPECT_TRUE(fs::exists(index.string() + ".keep"));
  EXPECT_TRUE(fs::exists(root_ / "a.txt"));
  EXPECT_THROW(folder::RemoveIndex(root_.string()), std::runtime_error);
  EXPECT_TRUE(fs::exists(root_ / "a.txt"));
}

// A second writer of the same index, while the first is between batches.
TEST_F(FolderIndexTest, ASecondUpdateMeanwhileIsBusy) {
  Watchdog watchdog(std::chrono::seconds(60), "two updates");
  Write("a.txt", "A\n");
  std::mutex mu;
  std::condition_variable changed;
  bool inside = false, release = false;
  std::thread first([&] {
    Run([&](const folder::Progress&) {
      std::unique_lock<std::mutex> lock(mu);
      inside = true;
      changed.notify_all();
      changed.wait(lock, [&] { return release; });
    });
  });
  {
    std::unique_lock<std::mutex> lock(mu);
    changed.wait(lock, [&] { return inside; });
  }
  EXPECT_THROW(Run(), folder::Busy);
  {
    std::lock_guard<std::mutex> lock(mu);
    release = true;
  }
  changed.notify_all();
  first.join();
  EXPECT_EQ(Run().unchanged, 1u);  // the lock went with the first update
}

#ifdef __linux__
TEST_F(FolderIndexTest, LinksAreFollowedOnceAndByteNamesKept) {
  Write("sub/a.txt", "A\nin sub\n");
  Write("../outside/o.txt", "O\noutside\n");
  fs::create_directory_symlink(root_, root_ / "sub/loop");   // an ancestor
  fs::create_directory_symlink(dir_ / "outside", root_ / "x1");
  fs::create_directory_symlink(dir_ / "outside", root_ / "x2");  // the same folder again
  fs::create_symlink(root_ / "sub/a.txt", root_ / "link.txt");
  fs::create_symlink(root_ / "nowhere", root_ / "dangling.txt");
  Write("caf\xE9.txt", "Latin name\nbytes\n");
  Write("bin\xFF.dat", std::string("\0", 1));

  const folder::Summary summary = Run();
  std::map<std::string, std::string> reasons = Reasons(summary);
  EXPECT_NE(reasons["sub/loop"].find("link"), std::string::npos);
  EXPECT_NE(reasons["x2"].find("link"), std::string::npos);
  EXPECT_EQ(reasons["dangling.txt"], "broken link");
  EXPECT_NE(reasons["bin\xEF\xBF\xBD.dat"].find("binary"), std::string::npos);
  const std::map<std::string, Document> docs = Documents();
  std::vector<std::string> paths;
  for (const auto& [path, doc] : docs) paths.push_back(path);
  EXPECT_EQ(paths, (std::vector<std::string>{"caf\xE9.txt", "link.txt", "sub/a.txt", "x1/o.txt"}));

  // The plugin's hit: the path shown with U+FFFD, the URL of the bytes.
  plugin_test::Session session({std::string(TESSIK_PLUGIN_DIR) + "/files" + TESSIK_PLUGIN_SUFFIX});
  const std::vector<plugin_test::Found> found = session.Search({{{"latin"}}, "And", {}, {{"files", options_.index}}});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].id, "caf\xEF\xBF\xBD");
  EXPECT_EQ(found[0].document.at("path"), root_.string() + "/caf\xEF\xBF\xBD.txt");
  EXPECT_EQ(found[0].document.at("url"), "file://" + root_.string() + "/caf%E9.txt");
  EXPECT_EQ(found[0].document.at("size"), "17");
  EXPECT_EQ(found[0].document.at("type"), "text/plain");
}
#endif

#if defined(_WIN32)
TEST_F(FolderIndexTest, ANameWithHalfASurrogatePairIsSkippedWithItsReason) {
  Write("whole.txt", "Whole\nwords\n");
  const fs::path half = root_ / (std::wstring(L"half") + wchar_t(0xD800) + L".txt");
  std::ofstream(half, std::ios::binary) << "Half\nwords\n";
  if (!fs::exists(half)) GTEST_SKIP() << "this system keeps no such name";
  std::map<std::string, std::string> reasons = Reasons(Run());
  EXPECT_NE(reasons["half\xEF\xBF\xBD.txt"].find("surrogate"), std::string::npos);
  const std::map<std::string, Document> docs = Documents();
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_EQ(docs.begin()->first, "whole.txt");
}
#endif

// The plugin over an index: the best passage as the snippet, and what it
// tells a user whose data is no index of this version.
TEST_F(FolderIndexTest, ThePluginSearchesTheIndex) {
  std::string longText = "Opening line\n";
  for (int i = 0; i < 60; ++i) longText += "filler words without meaning go on here. ";
  longText += "At last the harbour lighthouse shines. ";
  for (int i = 0; i < 60; ++i) longText += "more filler follows. ";
  Write("long.txt", longText);
  Write("short.md", "# Lighthouse keeper\n\nA short note.\n");
  Run();
  plugin_test::Session session({std::string(TESSIK_PLUGIN_DIR) + "/files" + TESSIK_PLUGIN_SUFFIX});
  std::vector<plugin_test::Found> found = session.Search({{{"lighthouse"}}, "And", {}, {{"files", options_.index}}});
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].id, "short");  // in the title, which weighs twice
  EXPECT_EQ(found[0].title, "Lighthouse keeper");
  EXPECT_EQ(found[0].document.at("type"), "text/markdown");
  EXPECT_EQ(found[0].document.at("modified").size(), std::string("2026-01-01T00:00:00Z").size());
  const std::string snippet = plugin_test::Narrow(found[1].rawSnippet.c_str());
  EXPECT_NE(snippet.find("harbour lighthouse shines"), std::string::npos) << snippet;
  EXPECT_EQ(snippet.find("Opening"), std::string::npos) << snippet;

  // A writer in the middle of a batch keeps nobody from searching what
  // was committed.
  {
    Watchdog watchdog(std::chrono::seconds(60), "a search beside a writer");
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(options_.index.c_str(), &writer), SQLITE_OK);
    tessik_plugins::fts5::Register(writer);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE; DELETE FROM plain;", nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(writer);
    EXPECT_EQ(session.Search({{{"lighthouse"}}, "And", {}, {{"files", options_.index}}}).size(), 2u);
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
  }

  found = session.Search({{{"lighthouse"}}, "And", {}, {{"files", root_.string()}}});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NE(found[0].error.find("tessik sources add NAME"), std::string::npos) << found[0].error;
  EXPECT_EQ(found[0].status, std::to_string(TESSIK_E_FAILED));
  Sql("UPDATE meta SET value = '0' WHERE key = 'format'");
  found = session.Search({{{"lighthouse"}}, "And", {}, {{"files", options_.index}}});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NE(found[0].error.find("tessik sources update"), std::string::npos) << found[0].error;
}

}  // namespace
