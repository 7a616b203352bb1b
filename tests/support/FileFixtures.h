// Small helpers of the tests that work on real files: a file's status
// without following a link, the sorted names of a folder, a chain of folders
// deeper than any path reaches, and a function run in a child process so
// that a hang fails one test instead of the run.
#pragma once

#include "platform/FolderEntries.h"

#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace nrvs::test {

struct stat StatOf(const std::string& path);
std::vector<std::string> NamesIn(const std::string& dir);
// Makes depth folders named `name`, each in the one before, below the native
// folder dir, and returns the deepest opened (invalid when one failed).
platform::Folder MakeChain(const std::string& dir, int depth, const char* name = "d");
// fn's result, -2 when the child died of a signal, -1 when it did not finish
// within the time (it is then killed).
int InChild(const std::function<int()>& fn, int seconds = 20);

} // namespace nrvs::test
