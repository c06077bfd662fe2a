/*
 * portio: the QRM-284 player's USB link and command protocol.
 *
 * Every export returns a 32-bit int: 0 for success, a small positive code for
 * a failure, -1 for the folder operations and the font download:
 *
 *   1  the player is not present
 *   2  the player cannot be reached (status check failed five times, or no link)
 *   3  no usable reply (a read failed or the reply is not the expected one)
 *   4  a write of file data failed
 *   5  the command block was not sent
 *   6  the player refused a file write with error code 0x27 (no room)
 *   8  the player refused a file write with error code 0x19 (folder full or name taken)
 *   9  no valid identification / no link to cancel / malformed directory image
 *  -1  folder operations and font download: any failure
 *
 * The library holds one current link, opened by the export that needs it and
 * kept open only through a data phase (file write, file read, font download)
 * until the matching close, dll_fn_Cancel, a failure or the next export that
 * opens a link. Exports block until the player answers or a time-out ends the
 * transfer; call them from one thread at a time. No call keeps a pointer to a
 * caller's buffer after it returns.
 *
 * Where the player is reached is chosen by the environment variable KVX512_USB:
 * "libusb" (the default), "sim" (the simulated player inside the process) or
 * "usbip://HOST[:PORT][/BUSID]".
 *
 * Window handles (PORTIO_HWND): a handle made by platform::CreateMessageWindow
 * (platform/window/window_messages.h, libqrm284_platform.so). Its procedure
 * runs on the thread that created it: messages sent from that thread reach it
 * at once, messages sent from another thread when the owner next pumps, and
 * posted messages wait in the owner thread's queue until it pumps.
 */
#ifndef PORTIO_H
#define PORTIO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(PORTIO_BUILDING)
#define PORTIO_API __attribute__((visibility("default")))
#else
#define PORTIO_API
#endif

typedef struct PlatformWindow* PORTIO_HWND;

/* One file or folder of a listing (256 bytes, integers little-endian). */
typedef struct FileRecord {
    char longName[195];      /* long name in the locale's code page, NUL-terminated */
    char baseName[10];       /* the 8 bytes of the entry, spaces kept, then NULs */
    char extension[6];       /* the 3 bytes of the entry, spaces kept, then NULs */
    char displayName[16];    /* "%s.%s" of base name and extension */
    uint8_t attribute;       /* 0x10 folder */
    uint8_t headerFlag;      /* 1: stored data carries the 2,080-byte title trailer */
    uint8_t reserved229[3];
    uint32_t size;           /* bytes, without the trailer */
    uint16_t longNameFlag;   /* 1 when long-name entries preceded the entry */
    uint16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t reserved250;
    uint32_t firstCluster;   /* also the folder number of a folder */
} FileRecord;

/* The listing of a storage's current folder, filled by dll_fn_refresh_device. */
typedef struct StorageImage {
    uint32_t imageSize;      /* directory image size in bytes */
    uint32_t entryCount;     /* the player's file count plus the folders found; may exceed 256 */
    uint32_t folderCount;
    uint32_t totalBytes;
    uint32_t freeBytes;
    FileRecord records[256];
} StorageImage;

/* 0 when the player is in the device list, 1 when not. Opens no link. */
PORTIO_API int dll_fn_FindDeivce(void);

/* Sets the read and write time-outs (ms) of every later transfer. */
PORTIO_API void dll_fn_SetTimeout(int readTimeoutMs, int writeTimeoutMs);

/* 0 when a link to the player opens (and is closed again), 1 absent, 2 unreachable.
 * Ends any open data phase. */
PORTIO_API int dll_fn_get_player_status(void);

/* The same check as dll_fn_get_player_status. */
PORTIO_API int dll_fn_IsDockDeivce(void);

/* Identifies the player. Writes into `text` (at least 37 bytes): the firmware
 * version text at 0 (cut to 20 characters), an empty text at 21 and the model
 * "QRM-284" at 29. 0 on success, 9 when there is no valid identification. */
PORTIO_API int dll_fn_get_player_version(char* text);

/* Cancels the open data phase: pumps the calling thread's messages for about
 * a second, sends the cancel request and closes the link. 9 when no link is open. */
PORTIO_API int dll_fn_Cancel(void);

/* Lists the current folder of a storage (0 'M', 1 'S') into `image`
 * (room for 256 records). 0, 2, 3, 5 or 9 (malformed directory image).
 * Call dll_fn_get_player_version first. */
PORTIO_API int dll_fn_refresh_device(StorageImage* image, int storage);

/* Creates a file from `record` and opens the data phase for its bytes.
 * 0, 2, 3, 5, 6 (no room) or 8 (folder full or name taken). */
PORTIO_API int dll_fn_Open_Writefile(FileRecord record, int storage);

/* Sends file data in the open data phase. 0, or 4 when a write failed
 * (the data phase is then cancelled), or 4 with nothing sent and the data
 * phase left open when the data would pass the size its open announced
 * (the record's size, or the font's). */
PORTIO_API int dll_fn_Write_file(const void* data, uint32_t size);

/* Ends the data phase of a write, a read or a font download. Always 0. */
PORTIO_API int dll_fn_Close_Writefile(void);

/* Opens the file at `position` (its index among the files of the listing)
 * for reading. The record is not used. 0, 2, 3 or 5. */
PORTIO_API int dll_fn_Open_Readfile(FileRecord record, int storage, int position);

/* Reads the next `size` bytes of the open file. 0, or 3 on any failure. */
PORTIO_API int dll_fn_Read_file(void* buffer, uint32_t size);

/* The same entry point as dll_fn_Close_Writefile. */
PORTIO_API int dll_fn_Close_Readfile(void);

/* Deletes the file at `position`. 0, 2, 3 or 5. */
PORTIO_API int dll_fn_delete_file(int position, int storage);

/* Swaps the files at two positions. 0, 2, 3 or 5. */
PORTIO_API int dll_fn_Replace_file(int first, int second, int storage);

/* Creates a folder in the current folder. 0, -1, 2, 3 or 5. */
PORTIO_API int dll_fn_CreateDirectory(int storage, const char* name);

/* Makes folder `folder` (its first cluster; 0 the top level) current. 0, -1, 2, 3 or 5. */
PORTIO_API int dll_fn_SetCurrentDirectory(int storage, int folder);

/* Removes an empty folder. 0, -1, 2, 3 or 5. */
PORTIO_API int dll_fn_RemoveDirectory(int storage, int folder);

/* Writes the current folder's path, NUL-terminated, into `text` of `size` bytes. 0, -1, 2, 3 or 5. */
PORTIO_API int dll_fn_GetCurrentDirectory(int storage, char* text, int size);

/* Formats a storage ("FD", or "LD" when lowLevel is not 0), sending progress to
 * `window` (may be NULL) with message number `message`: wParam 0, then 2/3/5,
 * then wParam 6 with lParam percentage + 1 per reply and finally 100.
 * 0, 2, 3 or 5. Raise the time-outs first. */
PORTIO_API int dll_fn_format_device(int storage, PORTIO_HWND window, int message, int lowLevel);

/* Starts a font download of `size` bytes named `name`; the data follows with
 * dll_fn_Write_file and ends with dll_fn_Close_Writefile. 0 or -1. */
PORTIO_API int dll_fn_DownloadFont(const char* name, uint32_t size);

#ifdef __cplusplus
}

static_assert(sizeof(FileRecord) == 256);
static_assert(offsetof(FileRecord, baseName) == 195);
static_assert(offsetof(FileRecord, extension) == 205);
static_assert(offsetof(FileRecord, displayName) == 211);
static_assert(offsetof(FileRecord, attribute) == 227);
static_assert(offsetof(FileRecord, headerFlag) == 228);
static_assert(offsetof(FileRecord, size) == 232);
static_assert(offsetof(FileRecord, longNameFlag) == 236);
static_assert(offsetof(FileRecord, year) == 238);
static_assert(offsetof(FileRecord, second) == 248);
static_assert(offsetof(FileRecord, firstCluster) == 252);
static_assert(offsetof(StorageImage, records) == 20);
static_assert(sizeof(StorageImage) == 20 + 256 * 256);
#endif

#endif /* PORTIO_H */
