// The programs that sit beside norvessa-cli: the window's executable, whose
// files it shares, and the helpers it hands work to.
#pragma once

#include <string>
#include <vector>

namespace nrvs::cli {

// Share the program's drive map (and so its letters, which name the cache
// files) when the tool sits beside it: its own name would give it a map of
// its own, and a letter could then mean another volume in each.
void UseProgramFiles();

// Runs program, beside this one, in place of this process with args (the
// program's name is put first). Returns only when it cannot be started,
// after saying so: what needs it is named by command and task.
int RunBeside(const char* program, std::vector<std::string> args, const char* command,
              const char* task);

} // namespace nrvs::cli
