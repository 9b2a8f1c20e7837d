/*
 * library_binding.h - binding a system library's functions by name at run
 * time, all or nothing, as both removal back-ends do.
 */
#ifndef QZ_LIBRARY_BINDING_H
#define QZ_LIBRARY_BINDING_H

#include "platform_ops.h"

#define COUNT_OF(a) ((int)(sizeof(a) / sizeof((a)[0])))

/* GetProcAddress gives a generic function pointer; going through
   void (*)(void) tells the compiler the cast to the real type is meant. */
typedef void (*any_function)(void);
#define BOUND_AS(type, entry) ((type)(any_function)(entry))

/* Loads `library` and looks up `count` names into entries[], in order.
   Returns the module; or null after a "Function : LoadLibrary()" box, or
   after a "Function : GetProcAddress()" box for the first missing name
   (the names after it are not looked up), the library then freed again
   (with a "Function : FreeLibrary()" box if that fails too). */
HMODULE bind_library(const char *library, const char *const names[], int count, FARPROC entries[]);

#endif
