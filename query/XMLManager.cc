#include "query/XMLManager.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <bit>
#include <cstdlib>
#include <new>

#include "ulmo/osdep/Locale.h"

namespace Tessik {

using xercesc::XercesDOMParser;
using xercesc::XMLPlatformUtils;

namespace {

// Built with the library's static objects; the platform lives exactly as long.
CXMLManager g_xmlManager;

// The caller's units are the input bytes, in place: not copied, not adopted.
// The text is UTF-16 in the machine's byte order by contract. Named here
// because the parser recognises UTF-16 without a byte-order mark only when
// the text begins with an XML declaration; a declaration that names another
// encoding does not override it.
std::unique_ptr<xercesc::MemBufInputSource> SourceOf(const WChar* text) {
  size_t units = std::char_traits<WChar>::length(text);
  auto source = std::make_unique<xercesc::MemBufInputSource>(reinterpret_cast<const XMLByte*>(text),
                                                             units * sizeof(WChar), u"MemoryXMLQuery", false);
  source->setEncoding(std::endian::native == std::endian::little ? xercesc::XMLUni::fgUTF16LEncodingString
                                                                 : xercesc::XMLUni::fgUTF16BEncodingString);
  return source;
}

// A parser or reader kept for reuse, or null when none is.
template <class T>
std::unique_ptr<T> TakeKept(std::mutex& lock, std::vector<std::unique_ptr<T>>& kept) {
  std::lock_guard<std::mutex> hold(lock);
  if (kept.empty()) return nullptr;
  std::unique_ptr<T> item = std::move(kept.back());
  kept.pop_back();
  return item;
}

// Keeps `item` for reuse, unless `most` are kept already.
template <class T>
void Keep(std::mutex& lock, std::vector<std::unique_ptr<T>>& kept, std::unique_ptr<T> item, size_t most) {
  std::lock_guard<std::mutex> hold(lock);
  if (kept.size() < most) kept.push_back(std::move(item));
}

// Counts what the document parser counts as errors: warnings pass.
class ErrorCount final : public xercesc::ErrorHandler {
 public:
  void warning(const xercesc::SAXParseException&) override {}
  void error(const xercesc::SAXParseException&) override { ++count; }
  void fatalError(const xercesc::SAXParseException&) override { ++count; }
  void resetErrors() override { count = 0; }
  size_t count = 0;
};

}  // namespace

CXMLManager::CXMLManager() {
  // The locale object first: a function-local static made before this
  // constructor returns is destroyed after this destructor has run.
  (void)vel::ulmo::osdep::UserLocale();
  // The version 2 call took the same defaults: the default locale, no
  // message-file directory, no panic handler, the default memory manager.
  XMLPlatformUtils::Initialize();
  security_.setEntityExpansionLimit(kEntityExpansionLimit);
}

CXMLManager::~CXMLManager() {
  try {
    // At process exit on Windows the system has already ended every other
    // thread, possibly one that held this lock: then the kept parsers are
    // left alone rather than waited for. (Unloading the library while
    // another thread is inside it is not supported otherwise.)
    if (keptLock_.try_lock()) {
      kept_.clear();
      keptReaders_.clear();
      keptLock_.unlock();
    }
    XMLPlatformUtils::Terminate();
  } catch (...) {
    std::abort();
  }
}

CXMLManager& CXMLManager::Instance() { return g_xmlManager; }

std::unique_ptr<XercesDOMParser> CXMLManager::TakeParser() {
  if (std::unique_ptr<XercesDOMParser> parser = TakeKept(keptLock_, kept_)) return parser;
  // Default construction: no validator of its own, the platform's memory
  // manager, no grammar pool. Then three settings the text handed to the
  // library requires, since it may come from anyone: by default the parser
  // reads local files and fetches URLs named by external entities and
  // DTDs, and expands nested entities without limit (a few hundred bytes
  // can take seconds and hundreds of megabytes). None of them changes what
  // an ordinary document parses into.
  auto parser = std::make_unique<XercesDOMParser>();
  parser->setDisableDefaultEntityResolution(true);
  parser->setLoadExternalDTD(false);
  parser->setSecurityManager(&security_);
  return parser;
}

void CXMLManager::Recycle(std::unique_ptr<XercesDOMParser> parser) {
  Keep(keptLock_, kept_, std::move(parser), kKeptParsers);
}

std::unique_ptr<xercesc::SAX2XMLReader> CXMLManager::TakeReader() {
  if (std::unique_ptr<xercesc::SAX2XMLReader> reader = TakeKept(keptLock_, keptReaders_)) return reader;
  // What the document parsers are by default, said aloud where a SAX2
  // reader's defaults differ (namespaces, validation when a grammar is
  // found), and the same three settings for text from anyone.
  std::unique_ptr<xercesc::SAX2XMLReader> reader(xercesc::XMLReaderFactory::createXMLReader());
  using xercesc::XMLUni;
  reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, false);
  reader->setFeature(XMLUni::fgSAX2CoreNameSpacePrefixes, false);
  reader->setFeature(XMLUni::fgSAX2CoreValidation, false);
  reader->setFeature(XMLUni::fgXercesDynamic, false);
  reader->setFeature(XMLUni::fgXercesSchema, false);
  reader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
  reader->setFeature(XMLUni::fgXercesLoadExternalDTD, false);
  reader->setProperty(XMLUni::fgXercesSecurityManager, &security_);
  return reader;
}

void CXMLManager::Recycle(std::unique_ptr<xercesc::SAX2XMLReader> reader) {
  reader->setContentHandler(nullptr);
  reader->setErrorHandler(nullptr);
  Keep(keptLock_, keptReaders_, std::move(reader), kKeptParsers);
}

bool ParseXMLEvents(const WChar* text, xercesc::ContentHandler& content) {
  if (text == nullptr) return false;
  CXMLManager& manager = CXMLManager::Instance();
  std::unique_ptr<xercesc::SAX2XMLReader> reader = manager.TakeReader();
  ErrorCount errors;
  reader->setContentHandler(&content);
  reader->setErrorHandler(&errors);
  try {
    reader->parse(*SourceOf(text));
  } catch (const xercesc::OutOfMemoryException&) {
    throw std::bad_alloc();
  } catch (const xercesc::XMLException&) {
    return false;  // the reader stays behind: it may not be as good as new
  } catch (const xercesc::SAXException&) {
    return false;
  }
  // A reader that reported errors is as good as new for the next document.
  manager.Recycle(std::move(reader));
  return errors.count == 0;
}

xercesc::DOMDocument* ParseXMLDocument(const WChar* text) noexcept {
  if (text == nullptr) return nullptr;
  DocumentPtr document;
  try {
    CXMLManager& manager = CXMLManager::Instance();
    std::unique_ptr<XercesDOMParser> parser = manager.TakeParser();
    parser->parse(*SourceOf(text));
    // Adopted, the document no longer belongs to the parser: a reused parser
    // would otherwise keep every document it ever parsed.
    document.reset(parser->adoptDocument());
    bool failed = parser->getErrorCount() > 0;
    // A parser whose parse threw is not reused (the unwinding destroys it);
    // one that reported errors is as good as new for the next document.
    manager.Recycle(std::move(parser));
    if (failed) return nullptr;
  } catch (...) {
    return nullptr;
  }
  return document.release();
}

}  // namespace Tessik
