#include "app/cli/ProgramsBeside.h"

#include "platform/ProgramLocation.h"

#include <cstdio>

namespace nrvs::cli {

namespace {
// This program's own path, before the program files are named after the
// window's executable.
std::string ownPath;
} // namespace

void UseProgramFiles() {
    std::string exe = platform::ExecutablePath();
    ownPath = exe;
    // The Windows build: the same names with the system's extension.
    for (const std::string ext : {"", ".exe"})
        for (const std::string name : {"/norvessa-cli", "/norvessa-import"}) {
            const std::string own = name + ext;
            if (exe.size() > own.size() &&
                exe.compare(exe.size() - own.size(), own.size(), own) == 0)
                platform::SetExecutablePath(exe.substr(0, exe.size() - own.size()) + "/norvessa" +
                                            ext);
        }
}

int RunBeside(const char* program, std::vector<std::string> args, const char* command,
              const char* task) {
    const std::string path = ownPath.substr(0, ownPath.rfind('/') + 1) + program;
    args.insert(args.begin(), path);
    std::fflush(stdout);
    const std::string why = platform::RunInstead(path, args);
    std::fprintf(stderr,
                 "norvessa-cli: %s: %s by %s, which is not available (%s); every other command "
                 "works without it\n",
                 command, task, path.c_str(), why.c_str());
    return 1;
}

} // namespace nrvs::cli
