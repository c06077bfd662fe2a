// Marks what libkvx512sim.so offers to the programs and tests that load it.
#pragma once
#define KVX512SIM_API __attribute__((visibility("default")))
