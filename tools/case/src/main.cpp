#include "case_tool.h"
#include "kv/common/command_line.h"
#include "kv/common/program_start.h"
#include "kv/texts/case.h"

#include <iostream>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto edition = kv::CommandLine::peek(args, "--edition") == "ja" ? kv::texts::Edition::Japanese
                                                                          : kv::texts::Edition::English;
    if (auto end = kv::beginProgram(argc, argv, kv::texts::caseTextsOf(edition).usage, kv::Needs::Console))
        return *end;
    return kv::runcase::runCaseTool(args, std::cout, std::cerr);
}
