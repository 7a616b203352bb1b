#include "support/FileFixtures.h"

#include "platform/FolderEntries.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace nrvs::test {

struct stat StatOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

platform::Folder MakeChain(const std::string& dir, int depth, const char* name) {
    platform::Folder f = platform::Folder::Open(dir);
    for (int i = 0; i < depth && f.Valid(); ++i) {
        if (::mkdirat(static_cast<int>(f.Handle()), name, 0755) != 0) return platform::Folder();
        f = f.OpenChild(name);
    }
    return f;
}

std::vector<std::string> NamesIn(const std::string& dir) {
    std::vector<std::string> names;
    platform::Folder f = platform::Folder::Open(dir);
    platform::FolderReader r(f, false);
    platform::FindData d;
    while (r.Next(d))
        names.emplace_back(d.Name);
    std::sort(names.begin(), names.end());
    return names;
}

int InChild(const std::function<int()>& fn, int seconds) {
    pid_t pid = ::fork();
    if (pid == 0) _exit(fn());
    for (int i = 0; i < seconds * 20; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

} // namespace nrvs::test
