#include "kv/common/program_start.h"
#include "kv/report/report.h"

#include <iostream>

int main(int argc, char** argv) {
    if (auto end =
            kv::beginProgram(argc, argv, kv::texts::resultsModelTexts().reportUsage, kv::Needs::Console))
        return *end;
    std::vector<std::string> args(argv + 1, argv + argc);
    return kv::results::runReport(args, std::cout, std::cerr, kv::texts::resultsModelTexts());
}
