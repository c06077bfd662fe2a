// Storage exports not yet carried: each reports its failure code.
#include "portio.h"

extern "C" {
PORTIO_API int dll_fn_refresh_device(StorageImage*, int) { return 5; }
PORTIO_API int dll_fn_Open_Writefile(FileRecord, int) { return 5; }
PORTIO_API int dll_fn_Write_file(const void*, uint32_t) { return 4; }
PORTIO_API int dll_fn_Close_Writefile(void) { return 0; }
PORTIO_API int dll_fn_Open_Readfile(FileRecord, int, int) { return 5; }
PORTIO_API int dll_fn_Read_file(void*, uint32_t) { return 3; }
PORTIO_API int dll_fn_Close_Readfile(void) { return dll_fn_Close_Writefile(); }
PORTIO_API int dll_fn_delete_file(int, int) { return 5; }
PORTIO_API int dll_fn_Replace_file(int, int, int) { return 5; }
PORTIO_API int dll_fn_CreateDirectory(int, const char*) { return -1; }
PORTIO_API int dll_fn_SetCurrentDirectory(int, int) { return -1; }
PORTIO_API int dll_fn_RemoveDirectory(int, int) { return -1; }
PORTIO_API int dll_fn_GetCurrentDirectory(int, char*, int) { return -1; }
PORTIO_API int dll_fn_format_device(int, PORTIO_HWND, int, int) { return 5; }
PORTIO_API int dll_fn_DownloadFont(const char*, uint32_t) { return -1; }
}
