/*
 * call_sites.h - which function of the program made a simulated call.
 *
 * The fault sweep asks, for the one call it made fail, which of the
 * program's functions made it: the switchboard keeps the stack of that
 * call, and this names its frames from the test program's own symbol
 * table. The tests are built without inlining, so every function of the
 * program has its frame.
 */
#ifndef QZ_TESTS_CALL_SITES_H
#define QZ_TESTS_CALL_SITES_H

#include <string>
#include <vector>

/* The names of the functions on a stack, innermost first ("remove_oem_inf_files");
   "?" for a frame outside the test program. */
std::vector<std::string> function_names(const std::vector<void *> &frames);

#endif
