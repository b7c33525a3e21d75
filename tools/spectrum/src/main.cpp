#include "spectrum_tool.h"

#include <iostream>

int main(int argc, char** argv) {
    return kv::spectrum::runSpectrumTool(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                         std::cerr);
}
