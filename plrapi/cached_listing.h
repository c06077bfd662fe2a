// The cached listing built from the listing portio reads: a file's long name
// split into name and extension, a folder's long name kept whole, an 8.3
// entry shown without its padding (and with the 0xE5 its entry stores as 0x05).
#pragma once

#include "plrapi/device_state.h"
#include "portio.h"

namespace plrapi {

// Builds cached row `cached` from listed record `listed`. The listed short
// name and extension are trimmed in place.
void CacheRecord(FileRecord& listed, FileRecord& cached);

// Caches the first TableRows records of `image` that portio filled and takes
// over its figures. The entry count is the number of rows cached: at most
// TableRows, and no more than the records the listing held.
void CacheListing(StorageImage& image, DeviceState& state);

} // namespace plrapi
