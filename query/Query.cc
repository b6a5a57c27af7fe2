#include "query/Query.h"

#include <cstring>

namespace Tessik {

const WChar* HandedOutTexts::Hand(const NSString& stored) {
  const WString& value = stored.GetString();
  auto copy = std::make_unique<WChar[]>(value.Length() + 1);
  std::memcpy(copy.get(), value.CStr(), sizeof(WChar) * (value.Length() + 1));
  std::unique_ptr<WChar[]>& slot = copies_[&stored];
  slot = std::move(copy);  // frees the copy handed out before
  return slot.get();
}

const TessikChar* CNSTerm::GetText() {
  if (text_.kind() == NSString::kUnset) return nullptr;
  return readers_.Get().texts.Hand(text_);
}

const TessikChar* CNSTerm::GetField(bool first) {
  Reader& reader = readers_.Get();
  const NSString* field = reader.fields.Move(fields_, first);
  return field != nullptr ? reader.texts.Hand(*field) : nullptr;
}

void CNSTerm::SetText(const WChar* text) {
  if (text != nullptr) text_ = NSString(WString(text));
}

void CNSTerm::AddField(const WChar* field) {
  if (field != nullptr) fields_.emplace(WString(field));
}

ITerm* CNSTermGroup::GetTerm(bool first) {
  const std::unique_ptr<CNSTerm>* term = readers_.Get().Move(terms_, first);
  return term != nullptr ? term->get() : nullptr;
}

void CNSTermGroup::AddTerm(std::unique_ptr<CNSTerm> term) {
  if (term != nullptr) terms_.insert(std::move(term));
}

const TessikChar* CNSDomain::GetName() {
  if (name_.kind() == NSString::kUnset) return nullptr;
  return readers_.Get().Hand(name_);
}

const TessikChar* CNSDomain::GetProperty(const TessikChar* name) {
  // Borrowed for the look-up only; a null name borrows the empty text.
  auto found = properties_.find(NSString(name));
  if (found == properties_.end()) return nullptr;
  return readers_.Get().Hand(found->second);
}

void CNSDomain::SetName(const WChar* name) {
  if (name != nullptr) name_ = NSString(WString(name));
}

void CNSDomain::AddProperty(const WChar* name, const WChar* value) {
  if (name == nullptr || value == nullptr) return;
  properties_.emplace(NSString(WString(name)), NSString(WString(value)));
}

CNSQuery::~CNSQuery() {
  termGroup_.reset();
  domains_.clear();
  categories_.clear();
}

IDomain* CNSQuery::GetDomain(bool first) {
  const std::unique_ptr<CNSDomain>* domain = readers_.Get().domains.Move(domains_, first);
  return domain != nullptr ? domain->get() : nullptr;
}

const TessikChar* CNSQuery::GetCategory(bool first) {
  Reader& reader = readers_.Get();
  const NSString* category = reader.categories.Move(categories_, first);
  return category != nullptr ? reader.texts.Hand(*category) : nullptr;
}

void CNSQuery::SetFlags(bool synonym, bool stemming, bool caseSensitive) {
  synonym_ = synonym;
  stemming_ = stemming;
  caseSensitive_ = caseSensitive;
}

void CNSQuery::AddDomain(std::unique_ptr<CNSDomain> domain) {
  if (domain != nullptr) domains_.insert(std::move(domain));
}

void CNSQuery::AddCategory(const WChar* category) {
  if (category != nullptr) categories_.emplace(WString(category));
}

}  // namespace Tessik
