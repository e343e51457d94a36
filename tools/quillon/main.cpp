// quillon: the plug-in's conversion, image and transfer paths from the command line.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tools/quillon/Command.h"

namespace {

std::vector<const Command*>& Registry() {
    static std::vector<const Command*> commands;
    return commands;
}

int Usage(FILE* out) {
    std::fprintf(out, "usage: quillon COMMAND [ARGS]...\n\ncommands:\n");
    std::vector<const Command*> sorted = Registry();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command* a, const Command* b) { return std::strcmp(a->name, b->name) < 0; });
    for (const Command* c : sorted) std::fprintf(out, "  %s\n", c->usage);
    return out == stdout ? 0 : 2;
}

}  // namespace

Command::Command(const char* n, const char* u, Run r) : name(n), usage(u), run(r) {
    Registry().push_back(this);
}

const std::vector<const Command*>& AllCommands() {
    return Registry();
}

int main(int argc, char** argv) {
    if (argc < 2) return Usage(stderr);
    const std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") return Usage(stdout);
    for (const Command* c : Registry()) {
        if (name == c->name) return c->run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "quillon: unknown command '%s'\n", name.c_str());
    return Usage(stderr);
}
