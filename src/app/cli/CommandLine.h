// The verbs of norvessa-cli and the one parser of their arguments: every verb
// names its options in the verb table, so that a mistake is refused the same
// way by each (exit status 2 and the verb's usage) and the help, the manual
// page and the completion list exactly what the parser accepts.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace nrvs::cli {

using Args = std::vector<std::string>;

// Exit statuses: a usage mistake is told apart from a failure of the work.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

struct OptionSpec {
    const char* name; // "--top"
    int values;       // how many arguments follow it: 0 for a switch
};

class CommandLine;

struct Verb {
    const char* name;
    const char* usage;   // arguments after the name
    const char* summary; // lines separated by \n
    std::vector<OptionSpec> options;
    size_t minArguments; // positional arguments
    size_t maxArguments;
    int (*run)(const CommandLine& line);
};

// One option as given, with its values.
struct GivenOption {
    std::string name;
    std::vector<std::string> values;
};

// A verb's arguments sorted into options (in the order given, repeats kept)
// and positional arguments. Options may stand before, between and after the
// positional ones; "--" ends the options, so that a path may start with "--".
class CommandLine {
  public:
    const Verb& verb;
    Args given; // as typed, for a verb run by another program
    std::vector<GivenOption> options;
    Args arguments;

    explicit CommandLine(const Verb& v) : verb(v) {}

    bool Has(const char* name) const;
    // The value of the option's last occurrence; empty when not given.
    std::string LastValue(const char* name) const;
    size_t Count(const char* name) const;

    // Says what was wrong and the verb's usage on standard error; returns
    // kUsageError, for a verb that finds a mistake the table cannot express.
    int UsageError(const std::string& what) const;
};

// Sorts args by the verb's table entry. False with what was wrong when an
// option is unknown, lacks its value or the positional arguments are too few
// or too many. helpAsked is set when --help stands among the options.
bool ParseCommandLine(const Args& args, CommandLine& line, bool& helpAsked, std::string& wrong);

// "Usage: norvessa-cli VERB USAGE" on its own line.
std::string UsageLine(const Verb& verb);

// Parses args for the verb and runs it: --help prints the verb's usage and
// summary, a mistake is a usage error.
int RunVerb(const Verb& verb, const Args& args);

// The verb table, in the order of the help.
std::span<const Verb> Verbs();

} // namespace nrvs::cli
