#include "kv/common/program_start.h"
#include "kv/texts/engine.h"
#include "progress_window.h"

int main(int argc, char** argv) {
    if (auto end = kv::beginProgram(argc, argv, kv::texts::engineTexts().usage, kv::Needs::Console))
        return *end;
    return kv::engine::runEngine(argc, argv, kv::engine::ExposureKind::Mammography);
}
