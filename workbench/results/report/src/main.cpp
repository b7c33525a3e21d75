#include "kv/workbench/results/report/report.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return kv::results::runReport(args, std::cout, std::cerr, kv::texts::resultsModelTexts());
}
