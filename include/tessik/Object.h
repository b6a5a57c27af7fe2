// The common root of every object that crosses the boundary.
//
// Queries, hits and hit lists all derive from IObject, so their virtual
// destructor is always their first operation and one release function can
// destroy any of them.
#ifndef TESSIK_OBJECT_H_
#define TESSIK_OBJECT_H_

namespace Tessik {

class IObject {
 public:
  virtual ~IObject() = default;
};

}  // namespace Tessik

#endif  // TESSIK_OBJECT_H_
