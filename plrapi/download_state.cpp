#include "plrapi/download_state.h"

namespace plrapi {

namespace {

DownloadState download;

} // namespace

DownloadState& Download() { return download; }

} // namespace plrapi
