// The texts made from the verb table: the help, the manual page and the
// bash completion script.
#pragma once

#include <cstdio>

namespace nrvs::cli {

// The help with every verb, to out; 0 for standard output, else the status
// of a usage error.
int PrintHelp(std::FILE* out);

// The manual page, made from the verb table when the package is built, so
// that it never lists other verbs or options than the tool has.
int PrintManualPage();

// Completion of the verbs and of each verb's options; paths and drive
// letters are left to bash's file name completion.
int PrintBashCompletion();

} // namespace nrvs::cli
