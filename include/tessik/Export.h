// How the public functions are marked for export and import.
#ifndef TESSIK_EXPORT_H_
#define TESSIK_EXPORT_H_

#if defined(_WIN32)
#if defined(TESSIK_BUILDING_LIBRARY)
#define TESSIK_API __declspec(dllexport)
#else
#define TESSIK_API __declspec(dllimport)
#endif
#else
#define TESSIK_API __attribute__((visibility("default")))
#endif

#endif  // TESSIK_EXPORT_H_
