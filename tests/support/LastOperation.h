// Runs copies, moves and deletes for a test and keeps what the last one
// returned, so that its failures can be looked at after its outcome is
// checked. Each test holds its own.
#pragma once

#include "lib/ItemOperations.h"

#include <string>
#include <vector>

namespace nrvs::test {

class LastOperation {
  public:
    bool Copy(const std::string& source, const std::string& destFolder,
              platform::FileOperationObserver* observer = nullptr) {
        return Keep(CopyItem(source, destFolder, observer));
    }
    bool Move(const std::string& source, const std::string& destFolder,
              platform::FileOperationObserver* observer = nullptr) {
        return Keep(MoveItem(source, destFolder, observer));
    }
    bool Delete(const std::string& path, bool toTrash,
                platform::FileOperationObserver* observer = nullptr) {
        return Keep(DeleteItem(path, toTrash, observer));
    }

    const platform::FileOperationResult& Result() const { return result_; }
    // Its lines as the user reads them ("path: reason").
    std::vector<std::string> Errors() const { return OperationErrorLines(result_); }
    bool Holds(const std::string& text) const {
        for (const auto& e : Errors())
            if (e.find(text) != std::string::npos) return true;
        return false;
    }
    std::string All() const {
        std::string all;
        for (const auto& e : Errors())
            all += e + "\n";
        return all;
    }

  private:
    bool Keep(platform::FileOperationResult result) {
        result_ = std::move(result);
        return result_.ok;
    }
    platform::FileOperationResult result_;
};

} // namespace nrvs::test
