#include "ulmo/osdep/win32/SharedObjectSecurity.h"

#include <sddl.h>

namespace vel::ulmo::osdep {

void MakeSharedObjectSecurity(void* buffer, DWORD size) {
  SECURITY_DESCRIPTOR absolute;
  InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&absolute, TRUE, nullptr, FALSE);
  PSECURITY_DESCRIPTOR labelled = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;;NW;;;LW)", SDDL_REVISION_1, &labelled, nullptr)) {
    PACL sacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (GetSecurityDescriptorSacl(labelled, &present, &sacl, &defaulted)) {
      SetSecurityDescriptorSacl(&absolute, present, sacl, defaulted);
    }
  }
  DWORD length = size;
  MakeSelfRelativeSD(&absolute, buffer, &length);
  if (labelled != nullptr) LocalFree(labelled);
}

}  // namespace vel::ulmo::osdep
