// norvessa-cli: the measurement core without windows, for scripts and for
// checking results against other tools.
//
// Each verb is one entry of the verb table (VerbTable.cpp). The tool never
// writes the parameter file; it only reads and updates the drive map beside
// the executable, as the program does at every drive refresh.

#include "app/cli/CommandLine.h"
#include "app/cli/HelpText.h"
#include "app/cli/ProgramsBeside.h"

#include "platform/ProgramLocation.h"

#include <cstdio>
#include <string>

using namespace nrvs::cli;

int main(int argc, char** argv) {
    nrvs::platform::RaiseOpenFileLimit();
    UseProgramFiles();
    if (argc < 2) return PrintHelp(stderr);
    std::string name = argv[1];
    if (name == "--help" || name == "-h") return PrintHelp(stdout);
    if (name == "--man") return PrintManualPage();
    if (name == "--bash-completion") return PrintBashCompletion();
    Args args(argv + 2, argv + argc);
    for (const Verb& verb : Verbs())
        if (name == verb.name) return RunVerb(verb, args);
    std::fprintf(stderr, "norvessa-cli: unknown command '%s'\n\n", name.c_str());
    return PrintHelp(stderr);
}
