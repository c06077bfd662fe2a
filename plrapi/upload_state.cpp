#include "plrapi/upload_state.h"

namespace plrapi {

namespace {

// 80 KiB of buffers: kept out of every caller's stack.
UploadState upload;

} // namespace

UploadState& Upload() { return upload; }

} // namespace plrapi
