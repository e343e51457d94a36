// Sub-commands of the quillon program register themselves with a static Command object.
#pragma once

#include <string>
#include <vector>

struct Command {
    typedef int (*Run)(const std::vector<std::string>& args);

    // `usage` is one line shown by "quillon help"; `run` gets the arguments after the name.
    Command(const char* name, const char* usage, Run run);

    const char* name;
    const char* usage;
    Run run;
};

const std::vector<const Command*>& AllCommands();
