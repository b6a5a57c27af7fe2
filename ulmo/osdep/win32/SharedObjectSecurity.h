// The security every machine-wide named object is created with: a null DACL
// (anyone may open it) and a low-integrity mandatory label, so processes of
// every user and integrity level reach the same lock.
#ifndef VEL_ULMO_OSDEP_WIN32_SHAREDOBJECTSECURITY_H_
#define VEL_ULMO_OSDEP_WIN32_SHAREDOBJECTSECURITY_H_

#include <windows.h>

namespace vel::ulmo::osdep {

// Writes a self-relative descriptor into `buffer` (4096 bytes). No step
// reports an error: a failed label conversion leaves a descriptor without it.
void MakeSharedObjectSecurity(void* buffer, DWORD size);

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_WIN32_SHAREDOBJECTSECURITY_H_
