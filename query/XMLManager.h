// The frame around the XML library that every XML reader and writer of the
// library shares: the process-wide start and end of the XML platform, and
// ParseXMLDocument, the one routine that turns XML text in memory into a DOM
// document.
//
// The platform is started by one static object while the library's static
// objects are built, so before any exported function can run, and ended when
// they are destroyed. Its start and end are not thread-safe, and a parser
// destroyed after the end crashes; so the manager also owns the parsers kept
// for reuse and destroys them before it ends the platform.
#ifndef TESSIK_QUERY_XMLMANAGER_H_
#define TESSIK_QUERY_XMLMANAGER_H_

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax2/ContentHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include <memory>
#include <mutex>
#include <vector>

#include "ulmo/StringBase.h"

namespace Tessik {

using vel::ulmo::WChar;

// The DOM's code unit is char16_t on every platform; the library's text is
// TessikChar (wchar_t on Windows). Both are UTF-16 code units, so a text is
// viewed as the other type without conversion.
static_assert(sizeof(XMLCh) == sizeof(WChar), "XMLCh and the library's text must both be UTF-16 units");
inline const XMLCh* AsXml(const WChar* text) { return reinterpret_cast<const XMLCh*>(text); }
inline const WChar* AsWide(const XMLCh* text) { return reinterpret_cast<const WChar*>(text); }

class CXMLManager {
 public:
  // Starts the XML platform (after making the process's locale object, so
  // that the locale object outlives it).
  CXMLManager();
  // Destroys the kept parsers, then ends the platform. An exception from
  // there ends the process: nothing can be done about it at unload.
  virtual ~CXMLManager();

  CXMLManager(const CXMLManager&) = delete;
  CXMLManager& operator=(const CXMLManager&) = delete;

  // The library's one manager: the static object, once it has been built.
  static CXMLManager& Instance();

  // A parser set up for reading untrusted text (see XMLManager.cc), kept or
  // new. Give it back with Recycle once its document has been adopted.
  std::unique_ptr<xercesc::XercesDOMParser> TakeParser();
  void Recycle(std::unique_ptr<xercesc::XercesDOMParser> parser);
  // The same for the event readers, which build no document.
  std::unique_ptr<xercesc::SAX2XMLReader> TakeReader();
  void Recycle(std::unique_ptr<xercesc::SAX2XMLReader> reader);

 private:
  // Entity expansions allowed in one document: declared entities only, the
  // predefined ones and character references do not count.
  static constexpr XMLSize_t kEntityExpansionLimit = 1000;
  // Parsers kept for reuse; more than this many threads parsing at once
  // make and destroy their own.
  static constexpr size_t kKeptParsers = 8;

  xercesc::SecurityManager security_;  // set in the constructor; parsers only read it
  std::mutex keptLock_;
  std::vector<std::unique_ptr<xercesc::XercesDOMParser>> kept_;  // guarded by keptLock_
  std::vector<std::unique_ptr<xercesc::SAX2XMLReader>> keptReaders_;  // guarded by keptLock_
};

// Parses a whole XML document held in `text`, a NUL-terminated UTF-16 text
// read in place (it is neither copied nor kept). Returns a new document that
// the caller owns and releases with its release(), or null for a null or
// empty text, text that is not a well-formed document, any parse error, and
// running out of memory. Never throws. May run on many threads at once.
xercesc::DOMDocument* ParseXMLDocument(const WChar* text) noexcept;

// Parses the same texts as ParseXMLDocument, read the same way, into events
// for `content` instead of a document: what a reader that keeps only part
// of a large document wants. False for a null or empty text and any parse
// error (`content` may have seen part of the document then). Out of memory
// throws std::bad_alloc; whatever `content` throws goes through. May run on
// many threads at once.
bool ParseXMLEvents(const WChar* text, xercesc::ContentHandler& content);

// Releases a document of ParseXMLDocument when it goes out of scope.
struct DocumentReleaser {
  void operator()(xercesc::DOMDocument* document) const { document->release(); }
};
using DocumentPtr = std::unique_ptr<xercesc::DOMDocument, DocumentReleaser>;

}  // namespace Tessik

#endif  // TESSIK_QUERY_XMLMANAGER_H_
