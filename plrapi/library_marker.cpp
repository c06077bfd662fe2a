// The library's marker exports, which manager programs may reference.
#include "plrapi.h"

int nPlrapi = 0;

int fnPlrapi() { return 42; }

CPlrapi::CPlrapi() = default;
CPlrapi& CPlrapi::operator=(const CPlrapi& /*other*/) { return *this; }
