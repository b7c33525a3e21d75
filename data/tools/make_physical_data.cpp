// Writes MUs12.dat, Mo-STP.dat and Rh-STP.dat into the folder given (by hand, into data/).
#include "kv/common/records.h"
#include "physical_data.h"

#include <cstdio>
#include <string>
#include <string_view>

int main(int argc, char** argv) {
    // An option is never taken for the folder to write into: --help answers, anything else is refused.
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::printf("usage: %s <data folder>\n", argv[0]);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    try {
        for (auto [name, text] :
             {std::pair{"MUs12.dat", kv::data::mus12Text()}, std::pair{"Mo-STP.dat", kv::data::moStpText()},
              std::pair{"Rh-STP.dat", kv::data::rhStpText()}}) {
            kv::RecordWriter out(dir, name);
            out.text(text).commit();
        }
        for (const std::string& line : kv::data::edgeCorrections())
            std::printf("physical side of an edge: %s\n", line.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
