/* Export marker of the tessok shared library. */
#ifndef TESSOK_EXPORT_H
#define TESSOK_EXPORT_H

#if defined(_WIN32)
#if defined(TESSOK_BUILDING_LIBRARY)
#define TESSOK_EXPORT __declspec(dllexport)
#else
#define TESSOK_EXPORT __declspec(dllimport)
#endif
#else
#define TESSOK_EXPORT __attribute__((visibility("default")))
#endif

#endif
