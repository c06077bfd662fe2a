// The transfer time-outs the long operations put in force through portio.
#pragma once

#include "portio.h"

namespace plrapi {

// For a format with progress and a font download: a format may take long.
inline constexpr int LongReadTimeoutMs = 3000000;
// What those operations leave behind, whatever their outcome.
inline constexpr int NormalReadTimeoutMs = 300000;
inline constexpr int WriteTimeoutMs = 100000;

inline void SetLongTimeouts() { dll_fn_SetTimeout(LongReadTimeoutMs, WriteTimeoutMs); }
inline void SetNormalTimeouts() { dll_fn_SetTimeout(NormalReadTimeoutMs, WriteTimeoutMs); }

} // namespace plrapi
