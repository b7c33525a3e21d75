#include "progress_window.h"

int main(int argc, char** argv) {
    return kv::engine::runEngine(argc, argv, kv::engine::ExposureKind::Tomosynthesis);
}
