#include "tools/qrm284/shell_completion.h"

#include <sstream>
#include <vector>

namespace qrm284 {

namespace {

struct OptionWords {
    std::vector<std::string> names;   // "--json", "-y"
    std::string description;
    bool takesValue = false;
};

struct CommandWords {
    std::string name;
    std::string description;
    std::vector<OptionWords> options;
};

// The description's first sentence, without the characters the shells'
// description syntax gives meanings to.
std::string Plain(const std::string& text) {
    std::string plain;
    for (char c : text.substr(0, text.find(". "))) {
        if (c == '\n') {
            break;
        }
        if (c != '\'' && c != '"' && c != '[' && c != ']' && c != ':' && c != '\\' && c != '`' && c != '$') {
            plain += c;
        }
    }
    while (!plain.empty() && (plain.back() == '.' || plain.back() == ' ')) {
        plain.pop_back();
    }
    return plain;
}

std::vector<OptionWords> OptionsOf(const CLI::App& app) {
    std::vector<OptionWords> options;
    for (const CLI::Option* option : app.get_options()) {
        if (!option->nonpositional()) {
            continue;
        }
        OptionWords words;
        for (const auto& name : option->get_lnames()) {
            words.names.push_back("--" + name);
        }
        for (const auto& name : option->get_snames()) {
            words.names.push_back("-" + name);
        }
        words.description = Plain(option->get_description());
        words.takesValue = option->get_expected_max() > 0;   // flags expect none
        options.push_back(std::move(words));
    }
    return options;
}

std::vector<CommandWords> CommandsOf(const CLI::App& app) {
    std::vector<CommandWords> commands;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        commands.push_back({sub->get_name(), Plain(sub->get_description()), OptionsOf(*sub)});
    }
    return commands;
}

std::string Joined(const std::vector<OptionWords>& options) {
    std::string words;
    for (const auto& option : options) {
        for (const auto& name : option.names) {
            words += (words.empty() ? "" : " ") + name;
        }
    }
    return words;
}

std::string Bash(const std::vector<CommandWords>& commands, const std::vector<OptionWords>& global) {
    std::ostringstream out;
    std::string valued;   // the options before the command that take the next word
    for (const auto& option : global) {
        for (const auto& name : option.names) {
            if (option.takesValue) {
                valued += (valued.empty() ? "" : "|") + name;
            }
        }
    }
    out << "# bash completion for qrm284, made from its command line\n"
           "_qrm284() {\n"
           "    local current=${COMP_WORDS[COMP_CWORD]} command= i\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in\n";
    if (!valued.empty()) {
        out << "        " << valued << ") ((i++)) ;;\n";
    }
    out << "        -*) ;;\n"
           "        *) command=${COMP_WORDS[i]}; break ;;\n"
           "        esac\n"
           "    done\n"
           "    local words\n"
           "    case $command in\n";
    std::string names;
    for (const auto& command : commands) {
        names += (names.empty() ? "" : " ") + command.name;
        out << "    " << command.name << ") words='" << Joined(command.options) << "' ;;\n";
    }
    out << "    '') words='" << names << " " << Joined(global) << "' ;;\n"
        << "    esac\n"
           "    if [[ -z $command || $current == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$words\" -- \"$current\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -f -- \"$current\"))\n"
           "    fi\n"
           "}\n"
           "complete -o filenames -F _qrm284 qrm284\n";
    return out.str();
}

std::string ZshOption(const OptionWords& option) {
    const std::string suffix = "[" + option.description + "]" + (option.takesValue ? ":value:" : "");
    if (option.names.size() == 1) {
        return "'" + option.names.front() + suffix + "'";
    }
    std::string exclusive = "(";
    std::string names = "{";
    for (size_t i = 0; i < option.names.size(); ++i) {
        exclusive += (i == 0 ? "" : " ") + option.names[i];
        names += (i == 0 ? "" : ",") + option.names[i];
    }
    return "'" + exclusive + ")'" + names + "}'" + suffix + "'";
}

std::string Zsh(const std::vector<CommandWords>& commands, const std::vector<OptionWords>& global) {
    std::ostringstream out;
    out << "#compdef qrm284\n"
           "# zsh completion for qrm284, made from its command line\n"
           "_qrm284() {\n"
           "    local -a commands\n"
           "    commands=(\n";
    for (const auto& command : commands) {
        out << "        '" << command.name << ":" << command.description << "'\n";
    }
    out << "    )\n"
           "    local line state\n"
           "    _arguments -C";
    for (const auto& option : global) {
        out << " \\\n        " << ZshOption(option);
    }
    out << " \\\n        '1:command:->command' \\\n        '*::argument:->argument'\n"
           "    case $state in\n"
           "    command) _describe 'command' commands ;;\n"
           "    argument)\n"
           "        case $line[1] in\n";
    for (const auto& command : commands) {
        out << "        " << command.name << ") _arguments";
        for (const auto& option : command.options) {
            out << " \\\n                " << ZshOption(option);
        }
        out << " \\\n                '*:file:_files' ;;\n";
    }
    out << "        esac ;;\n"
           "    esac\n"
           "}\n"
           "_qrm284 \"$@\"\n";
    return out.str();
}

std::string FishOption(const OptionWords& option) {
    std::string line;
    for (const auto& name : option.names) {
        line += name.starts_with("--") ? " -l " + name.substr(2) : " -s " + name.substr(1);
    }
    return line + (option.takesValue ? " -r" : "") + " -d '" + option.description + "'";
}

std::string Fish(const std::vector<CommandWords>& commands, const std::vector<OptionWords>& global) {
    std::ostringstream out;
    out << "# fish completion for qrm284, made from its command line\n";
    std::string names;
    for (const auto& command : commands) {
        names += (names.empty() ? "" : " ") + command.name;
    }
    for (const auto& option : global) {
        out << "complete -c qrm284 -n 'not __fish_seen_subcommand_from " << names << "'" << FishOption(option) << "\n";
    }
    for (const auto& command : commands) {
        out << "complete -c qrm284 -f -n 'not __fish_seen_subcommand_from " << names << "' -a " << command.name
            << " -d '" << command.description << "'\n";
        for (const auto& option : command.options) {
            out << "complete -c qrm284 -n '__fish_seen_subcommand_from " << command.name << "'" << FishOption(option)
                << "\n";
        }
    }
    return out.str();
}

} // namespace

std::string CompletionScript(const CLI::App& app, const std::string& shell) {
    const auto commands = CommandsOf(app);
    const auto global = OptionsOf(app);
    if (shell == "bash") {
        return Bash(commands, global);
    }
    if (shell == "zsh") {
        return Zsh(commands, global);
    }
    if (shell == "fish") {
        return Fish(commands, global);
    }
    return {};
}

} // namespace qrm284
