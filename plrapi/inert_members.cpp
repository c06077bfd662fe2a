// Members kept for the manager programs that call them: they check that the
// API is open and do nothing else. Firmware replacement is the updater's.
#include "plrapi.h"
#include "plrapi/process_state.h"

namespace {

long OneWhenOpen() { return plrapi::OpenState() != nullptr ? 1 : 0; }

} // namespace

long CDeviceAPI::PlrFormat(int /*storage*/, int (* /*progress*/)(unsigned long, unsigned long)) { return OneWhenOpen(); }
long CDeviceAPI::PlrFormat(long, long, long) { return OneWhenOpen(); }
long CDeviceAPI::PlrBootFormat(int) { return OneWhenOpen(); }
long CDeviceAPI::PlrFirmwareStart(long, int) { return OneWhenOpen(); }
long CDeviceAPI::PlrFirmwareData(unsigned char*) { return OneWhenOpen(); }
long CDeviceAPI::PlrFirmwareDone() { return OneWhenOpen(); }
long CDeviceAPI::OpenPDFile(char*, int, int) { return OneWhenOpen(); }
long CDeviceAPI::WriteBuffer(unsigned long, unsigned char*) { return OneWhenOpen(); }
long CDeviceAPI::ClosePDFile() { return OneWhenOpen(); }
