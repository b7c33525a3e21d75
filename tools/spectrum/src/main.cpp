#include "kv/common/program_start.h"
#include "kv/texts/spectrum_files.h"
#include "spectrum_tool.h"

#include <iostream>

int main(int argc, char** argv) {
    if (auto end =
            kv::beginProgram(argc, argv, kv::texts::englishSpectrumFileTexts.toolUsage, kv::Needs::Console))
        return *end;
    return kv::spectrum::runSpectrumTool(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                         std::cerr);
}
