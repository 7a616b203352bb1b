// A temporary folder for one test, removed with everything in it.
#pragma once

#include <functional>
#include <string>

namespace nrvs::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Native path with a trailing '/'.
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

    // Creates the folders on the way and writes the bytes.
    void Write(const std::string& relative, const std::string& bytes) const;
    void MakeDir(const std::string& relative) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

  private:
    std::string path_;
};

// Runs fn with the rights of an ordinary user: as root in a child process that
// has dropped to "nobody" (root reads and writes everything), otherwise in
// place. Returns what fn returned; false when the child could not run.
bool AsUnprivileged(const std::function<bool()>& fn);

// Removes a tree, making folders writable on the way.
void RemoveTree(const std::string& path);

} // namespace nrvs::test
