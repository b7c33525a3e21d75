#pragma once
// The attribute of the functions a history spends its time in: each is also
// built for processors with AVX2 (x86-64-v3), whose three-operand forms spare
// a register copy before most arithmetic, and the loader's resolver picks the
// build the processor can run, so the package still runs on any x86-64. The
// engine is compiled with -ffp-contract=off: neither build fuses a multiply
// and an add, so both give the same bits.
#define KV_HOT_PATH gnu::target_clones("arch=x86-64-v3", "default")
