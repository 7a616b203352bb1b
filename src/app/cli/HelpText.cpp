#include "app/cli/HelpText.h"

#include "app/cli/CommandLine.h"
#include "app/cli/Verbs.h"

#include <string>

namespace nrvs::cli {

namespace {

// Text for roff: backslashes and hyphens escaped, no line starting with a
// control character.
std::string Roff(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\\')
            out += "\\e";
        else if (ch == '-')
            out += "\\-";
        else
            out += ch;
        if ((ch == '.' || ch == '\'') && (out.size() == 1 || out[out.size() - 2] == '\n'))
            out.insert(out.size() - 1, "\\&");
    }
    return out;
}

} // namespace

int PrintHelp(std::FILE* out) {
    std::fprintf(out, "Usage: norvessa-cli <command> [arguments]\n\nCommands:\n");
    for (const Verb& c : Verbs()) {
        std::string head = std::string(c.name) + (c.usage[0] ? " " : "") + c.usage;
        std::string summary = c.summary;
        const std::string indent = "\n" + std::string(21, ' ');
        for (size_t nl = summary.find('\n'); nl != std::string::npos;
             nl = summary.find('\n', nl + indent.size()))
            summary.replace(nl, 1, indent);
        std::fprintf(out, "  %-18s %s\n", head.c_str(), summary.c_str());
    }
    std::fprintf(
        out, "\nThe drive map is kept in the .drv file of the settings folder, beside the\n"
             "executable for a portable copy (see paths).\n"
             "--man prints this help as a manual page, --bash-completion a completion script.\n");
    return out == stdout ? 0 : 2;
}

int PrintManualPage() {
    std::printf(
        ".TH NORVESSA-CLI 1 \"\" \"Norvessa\" \"User Commands\"\n"
        ".SH NAME\nnorvessa-cli \\- measure drives and folders as Norvessa does, without windows\n"
        ".SH SYNOPSIS\n.B norvessa-cli\n.I command\n[\\fIarguments\\fR]\n"
        ".SH DESCRIPTION\nThe measurement core of Norvessa for scripts and for checking results.\n"
        "Drives are letters: C: is /, other mounted volumes get the following letters,\n"
        "and the drive map file gives any folder a letter of its own.\n"
        ".SH COMMANDS\n");
    for (const Verb& c : Verbs()) {
        std::printf(".TP\n.B %s\n", c.name);
        if (c.usage[0]) std::printf("%s\n", Roff(c.usage).c_str());
        std::printf(".br\n%s\n", Roff(c.summary).c_str());
    }
    std::printf(".SH OPTIONS\n");
    for (const Verb& c : Verbs()) {
        if (c.options.empty()) continue;
        std::string list;
        for (const OptionSpec& o : c.options) {
            if (!list.empty()) list += ", ";
            list += Roff(o.name);
        }
        std::printf(".TP\n.B %s\n%s\n", c.name, list.c_str());
    }
    std::printf(".TP\n.B \\-\\-help, \\-h\nShow the commands.\n");
    std::printf(
        ".SH FILES\n"
        "A portable copy (its folder writable and holding the program's files or a\n"
        "marker file norvessa.portable) keeps everything beside the executable.\n"
        "An installed copy keeps its settings (norvessa.prm, the drive map norvessa.drv)\n"
        "in \\fI$XDG_CONFIG_HOME/norvessa/\\fR (\\fI~/.config/norvessa/\\fR) and the drive\n"
        "caches NRVS_<letter>.txt, file indexes NRVS_<letter>.idx and rankings in\n"
        "\\fI$XDG_DATA_HOME/norvessa/\\fR (\\fI~/.local/share/norvessa/\\fR).\n"
        "\\fBnorvessa\\-cli paths\\fR prints the folders in use.\n"
        ".SH SEE ALSO\n.BR norvessa (1)\n");
    return 0;
}

int PrintBashCompletion() {
    std::string names;
    for (const Verb& c : Verbs()) {
        if (!names.empty()) names += ' ';
        names += c.name;
    }
    std::printf("# bash completion for norvessa-cli\n"
                "_norvessa_cli() {\n"
                "    local cur=${COMP_WORDS[COMP_CWORD]}\n"
                "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
                "        COMPREPLY=($(compgen -W \"%s --help\" -- \"$cur\"))\n"
                "        return\n"
                "    fi\n"
                "    local options=\n"
                "    case ${COMP_WORDS[1]} in\n",
                names.c_str());
    for (const Verb& c : Verbs()) {
        std::string list;
        for (const OptionSpec& o : c.options) {
            if (!list.empty()) list += ' ';
            list += o.name;
        }
        if (!list.empty()) std::printf("    %s) options=\"%s\" ;;\n", c.name, list.c_str());
    }
    std::printf("    esac\n"
                "    if [[ $cur == -* ]]; then\n"
                "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
                "    else\n"
                "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                "    fi\n"
                "}\n"
                "complete -o filenames -F _norvessa_cli norvessa-cli\n");
    return 0;
}

int RunHelp(const CommandLine&) {
    return PrintHelp(stdout);
}

} // namespace nrvs::cli
