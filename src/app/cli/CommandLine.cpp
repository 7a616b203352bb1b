#include "app/cli/CommandLine.h"

#include <algorithm>
#include <cstdio>

namespace nrvs::cli {

bool CommandLine::Has(const char* name) const {
    return Count(name) > 0;
}

std::string CommandLine::LastValue(const char* name) const {
    for (auto it = options.rbegin(); it != options.rend(); ++it)
        if (it->name == name && !it->values.empty()) return it->values.front();
    return {};
}

size_t CommandLine::Count(const char* name) const {
    return static_cast<size_t>(std::count_if(options.begin(), options.end(),
                                             [&](const GivenOption& o) { return o.name == name; }));
}

int CommandLine::UsageError(const std::string& what) const {
    std::fprintf(stderr, "norvessa-cli %s: %s\n%s\n", verb.name, what.c_str(),
                 UsageLine(verb).c_str());
    return kUsageError;
}

std::string UsageLine(const Verb& verb) {
    return std::string("Usage: norvessa-cli ") + verb.name + (verb.usage[0] ? " " : "") +
           verb.usage;
}

bool ParseCommandLine(const Args& args, CommandLine& line, bool& helpAsked, std::string& wrong) {
    helpAsked = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // A lone "-" is an argument (standard input for import), as is any
        // word with one dash: a native path may start with one.
        if (optionsEnded || a.rfind("--", 0) != 0) {
            line.arguments.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "--help") {
            helpAsked = true;
            continue;
        }
        const auto& table = line.verb.options;
        const auto spec = std::find_if(table.begin(), table.end(),
                                       [&](const OptionSpec& o) { return a == o.name; });
        if (spec == table.end()) {
            wrong = "unknown option " + a;
            return false;
        }
        if (args.size() - i - 1 < static_cast<size_t>(spec->values)) {
            wrong = a + (spec->values == 1 ? " needs a value"
                                           : " needs " + std::to_string(spec->values) + " values");
            return false;
        }
        GivenOption given{a, {}};
        for (int v = 0; v < spec->values; ++v)
            given.values.push_back(args[++i]);
        line.options.push_back(std::move(given));
    }
    if (helpAsked) return true;
    if (line.arguments.size() < line.verb.minArguments) {
        wrong = "an argument is missing";
        return false;
    }
    if (line.arguments.size() > line.verb.maxArguments) {
        wrong = "one argument too many: " + line.arguments[line.verb.maxArguments];
        return false;
    }
    return true;
}

int RunVerb(const Verb& verb, const Args& args) {
    CommandLine line(verb);
    line.given = args;
    bool helpAsked = false;
    std::string wrong;
    if (!ParseCommandLine(args, line, helpAsked, wrong)) return line.UsageError(wrong);
    if (helpAsked) {
        std::printf("%s\n\n%s\n", UsageLine(verb).c_str(), verb.summary);
        return kSuccess;
    }
    return verb.run(line);
}

} // namespace nrvs::cli
