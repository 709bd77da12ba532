// payxref-db: creates, fills and dumps practice databases.
#include <iostream>
#include <string>
#include <vector>

#include "tools/commands.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return payxref::db::RunCommandLine(args, std::cout, std::cerr);
}
