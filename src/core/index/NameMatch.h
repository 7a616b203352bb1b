// Matching file names against what the user types in the search box. Case
// and the full-width/half-width forms of the same letter do not matter, so
// both sides are compared in their folded form. '*' stands for any run and
// '?' for exactly one character; a pattern without either is looked for
// anywhere in the name, a pattern with one must cover the whole name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

// The folded form of a text: NFKC, then case folding (the platform's), as UTF-8.
// Bytes that are not valid UTF-8 are kept as they are (each invalid byte
// copied through unchanged), so that any name can be matched.
std::string FoldForSearch(std::string_view text);

// One search pattern, folded once, tried against many names. Its methods are
// const and keep their scratch space per thread, so one matcher can serve
// several threads at once.
class NameMatcher {
  public:
    explicit NameMatcher(std::string_view pattern); // folds the pattern once
    bool Matches(std::string_view name) const;      // name: UTF-8 (or not), as shown to the user
    bool Empty() const;

    // The pattern as it is compared: folded, so a full-width '＊' or '？'
    // typed with the input method is a wildcard like its ASCII form.
    const std::string& Folded() const { return folded_; }
    bool HasWildcard() const { return wildcard_; }

  private:
    bool MatchesAsciiGlob(std::string_view name) const;

    std::string folded_;
    std::vector<std::string> pieces_; // an ASCII wildcard pattern split at each '*'
    bool wildcard_ = false;
    bool asciiPattern_ = true; // false: no pure-ASCII name can match
    bool matchesAll_ = false;  // empty, or nothing but '*'
};

} // namespace nrvs
