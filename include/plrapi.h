/*
 * plrapi: the QRM-284 device API for PC manager programs (libplrapi.so).
 *
 * A manager program sees and changes what is on the player through one
 * CDeviceAPI object. The library reaches the player only through the exports
 * of libportio.so (portio.h), so KVX512_USB chooses the player for it as for
 * portio: "libusb" (the default), "sim" or "usbip://HOST[:PORT][/BUSID]".
 *
 * Results. Every CDeviceAPI operation returns long 1 for success and 0 for a
 * failure, unless its comment says otherwise. A failure records a last-error
 * code that PlrGetLastError returns. The code is sticky: no success resets it,
 * only the next failure that records a code replaces it (some failures record
 * none; their comments say so).
 *
 *    1  the API is not open, the player is not present, or the version,
 *       dock or status request failed
 *    9  the player refused a delete
 *   10  refreshing the cached listing failed; opening a player file for
 *       reading failed; a read failed
 *   11  opening a file for writing failed, a write failed, or the refresh
 *       after an upload failed
 *   12  a listing holds more than 256 entries; the cached listing is full
 *       (upload, folder creation); the player has no room for a file
 *   13  a position lies outside the cached listing (PlrGetFIleInfo,
 *       PlrDeleteByindex, PlrSortByIndex); nothing was sent or changed
 *   14  file information was asked for a storage other than the cached one
 *   15  an upload's name cannot be used: no CPDFileInfo, an empty name, or a
 *       name (with '.' and extension) of more than 194 bytes or 181
 *       characters, more than the player's directory entries hold; nothing
 *       was sent
 *   16  an upload's size, with what the player adds (the title trailer, the
 *       voice block marks), does not fit in 32 bits; nothing was sent
 *   17  a voice upload (extension ADP) is not a WAV file of the recorder's
 *       form: below its 48-byte header, or a first block that does not start
 *       with an IMA ADPCM, mono, 8,000 Hz header of 256-byte blocks whose
 *       data begins at byte 48; the file is cancelled, nothing stays on the
 *       player
 *   34  a format failed (PlrFormat with a window: 34 plus its mode)
 *   35  a font download or font write failed
 *
 * State. All state is process-wide: one API object, one cached listing of up
 * to 256 entries of the current storage and folder, one current record, the
 * device texts and the storage figures. Every CDeviceAPI object works on it,
 * whichever object a member is called on. The API is open from a successful
 * OpenDevice to CloseDevice; while it is closed every operation but
 * PlrGetLastError, CloseDevice and the two counters fails with code 1.
 * CloseDevice keeps the object, the cached listing and the records for the
 * next OpenDevice; deleting the object releases them.
 *
 * Calling order. OpenDevice; PlrGetDeviceInfo (the player's firmware version
 * decides what portio may send, so it comes before any listing or folder
 * operation); PlrGetStorageInfo (fills the cached listing, which the file and
 * folder operations work on); then any of the operations below; CloseDevice;
 * delete the object when the program is done with the player.
 *
 * Ownership. The library owns the API object's state and the CDeviceInfo and
 * CStorageInfo records it hands out; callers never delete those records, and
 * they stay valid until the API object is deleted. Texts returned by getters
 * point into the library's state and change with the next operation that
 * refreshes it; copy them to keep them. Every buffer a caller passes stays
 * the caller's: no operation keeps a pointer to it after it returns.
 *
 * Threads. The library starts no threads and takes no locks: call it from one
 * thread at a time. Operations block until the player answers or a time-out
 * ends the transfer.
 *
 * Names cross this interface in the locale's character set (or the one
 * KVX512_CODEPAGE names). Sizes are bytes; space figures are bytes.
 */
#ifndef PLRAPI_H
#define PLRAPI_H

#include "portio.h"

/* Default visibility on both sides, so that a caller built with hidden
 * visibility still shares CPDFileInfo's type information with the library. */
#define PLRAPI_API __attribute__((visibility("default")))

class CDeviceInfo;
class CStorageInfo;
class CPDFileInfo;

/* The device API. It has no data of its own: every member works on the
 * process-wide state described above. */
class PLRAPI_API CDeviceAPI {
public:
    /* Opens the API. Returns the one API object (the same one on every call
     * until it is deleted), or null with last error 1 when no player is
     * present (the API is then closed) or the object cannot be made. The
     * object is returned but stays closed when the library could not obtain
     * its named shared-memory section ("Plr_MICOMRunstatus"). Delete the
     * returned object with `delete` once, when done with the player. */
    static CDeviceAPI* OpenDevice();

    /* Objects are normally made by OpenDevice. The constructor obtains the
     * named section (once per process); the destructor releases the cached
     * listing and the records, forgets the API object and closes the API. */
    CDeviceAPI();
    ~CDeviceAPI();
    /* Copies nothing: the class has no data. */
    CDeviceAPI& operator=(const CDeviceAPI& other);

    /* Closes the API; returns 1. Releases nothing; OpenDevice opens it again. */
    long CloseDevice();

    /* The last-error code (table above); 0 until the first failure. Works
     * while closed. */
    long PlrGetLastError();

    /* Reads the player's identification into the device texts and sets
     * `info` to the library's CDeviceInfo record (null if it could not be
     * made; the result is still 1). Code 1 when closed, absent or the
     * identification fails. */
    long PlrGetDeviceInfo(CDeviceInfo*& info);

    /* 1 when the player is present and a link to it opens; else 0 with code 1. */
    long PlrIsDocked();

    /* 1 when the player is present and answers its status check; else 0 with
     * code 1. A success flag, not a count: the API knows one storage. */
    long PlrGetStorageCount();

    /* Makes `storage` (0 main memory, 1 memory card) the current storage,
     * lists the player's current folder of it into the cached listing and
     * sets `info` to the library's CStorageInfo record (null if it could not
     * be made). Code 1 when closed or absent, 10 when the listing fails (the
     * cache is then unchanged). A listing of more than 256 entries caches
     * the first 256, records code 12 and returns 0.
     * In the cache a file's name holds its long name without the extension
     * and its extension the long name's (at most 21 characters); a folder
     * keeps its whole name; entries without a long name show their 8.3 name
     * and extension without padding. */
    long PlrGetStorageInfo(int storage, CStorageInfo*& info);

    /* The number of entries (files and folders) in the cached listing, at
     * most 256; its number of folders. Neither checks that the API is open
     * nor records a code; both are 0 before the first listing. */
    long PlrGetFileCount(int unused);
    long PlrGetFolderCount();

    /* Makes entry `position` of the cached listing (files and folders
     * counted, from 0) the current record, which the getters of any
     * CPDFileInfo of the library report. `info` is not used. Code 14 when
     * `storage` is not the cached listing's storage, 13 when the position
     * lies outside the cached listing. */
    long PlrGetFIleInfo(int storage, int position, CPDFileInfo* info);

    /* Deletes the file at file `position` (files counted, folders skipped,
     * from 0) on the player and removes it from the cached listing. Code 13
     * when the position lies outside the cached listing (nothing is sent),
     * 9 when the player refuses (the cache is then unchanged). */
    long PlrDeleteByindex(int storage, int position);

    /* Moves the file at cached position `from` to cached position `to` by
     * swapping neighbours; a row's place among the files is the number of
     * file rows before it (folders, attribute exactly 0x10, may stand
     * anywhere), a `to` past the last file the last file's. The cache stays
     * as it was (PlrGetStorageInfo shows the new order). Code 13 when a row
     * is outside the cache; 0 without a code when `from` is a folder. */
    long PlrSortByIndex(int from, int to);

    /* Creates folder `name` (its last path component is used) in the
     * player's current folder, then refreshes the cached listing. Code 12
     * when the cached listing holds 256 entries. A name too long for the
     * player's directory entries (more than 182 characters or 194 bytes in
     * its last component, or a path of more than 259 bytes) is refused before
     * anything is sent: 0 without a code, as when the player refuses.
     * `unused` is not used. */
    long PlrCreateDirectory(int storage, const char* name, unsigned long unused);

    /* Enters folder `name` of the cached listing (its last path component,
     * or ".." for the folder above), or the top level when `name` is null or
     * empty, then refreshes the cached listing. A name not in the cached
     * listing, a path of more than 259 bytes, or a refusal by the player
     * gives 0 without a code. */
    long PlrSetCurrentDirectory(int storage, const char* name);

    /* Removes the empty folder `name` of the cached listing (found as for
     * PlrSetCurrentDirectory; null or empty gives 0), then refreshes the
     * cached listing. Failures give 0 without a code. */
    long PlrRemoveDirectory(int storage, const char* name);

    /* Writes the player's current folder path ('\' between folders, empty at
     * the top level), NUL-terminated and cut to `size` bytes, into the
     * caller's `buffer`. Failures give 0 without a code. */
    long PlrGetCurrentDirectory(int storage, char* buffer, int size);

    /* Upload, in this order: PlrGetStorageInfo (the short name is made unique
     * against the cached listing), PlrWriteFileStart, PlrWriteFileInfo,
     * PlrWriteFileBlock as often as needed, PlrCloseFile. `info` is the
     * caller's object, of a class derived from CPDFileInfo whose getters
     * describe the PC file (name without extension, extension, attribute,
     * size); it is read during the call only.
     *
     * PlrWriteFileStart chooses the storage (code 1 when the player is
     * absent). PlrWriteFileInfo gives the file an upper-case 8.3 name
     * (numbered ~2, ~3 ... when a shortened name is taken in the cached
     * listing) and opens it on the player with the size the player will
     * hold: the 8.3 extension MP3, WMA or MPE adds the 2,080-byte title
     * trailer, ADP (a voice recording, see code 17) is repacked into the
     * player's 260-byte blocks and gets the trailer too. Code 12 when the
     * cached listing is full or the player has no room, 11 when the player
     * refuses otherwise, 15 and 16 before anything is sent.
     *
     * PlrWriteFileBlock reads `length` bytes of the caller's `data` during
     * the call; every block but the last is a whole multiple of 32,768 bytes
     * (voice files: any sizes). Code 11 when a write fails. A length of 0, no
     * data, or no file open gives 0 without a code.
     *
     * PlrCloseFile sends what is held and the title trailer (a picture of the
     * ID3v1 title and artist of an MP3, the title and author of a WMA file,
     * else the file name, drawn in the bold default sans-serif face that
     * fontconfig chooses, or in the face KVX512_TITLE_FONT names: a font
     * file's path or a fontconfig pattern such as "WenQuanYi Micro Hei"),
     * ends the file and lists the storage again into the cached listing, in
     * the form PlrGetStorageInfo gives it (code 11 when a write or that
     * listing fails, 12 when the listing holds more than 256 entries: the
     * first 256 are cached). When fewer bytes came than announced it cancels
     * the file instead, leaving nothing on the player and the listing as it
     * was, and returns 1; so it does with no file open. */
    long PlrWriteFileStart(int storage);
    long PlrWriteFileInfo(CPDFileInfo* info);
    long PlrWriteFileBlock(unsigned char* data, long length);
    long PlrCloseFile();

    /* 1 when the API is open (else 0 with code 1); nothing else. */
    long OpenPDFile(char*, int, int);
    long WriteBuffer(unsigned long, unsigned char*);
    long ClosePDFile();

    /* Download, in this order: PlrGetStorageInfo (the file is found in the
     * cached listing), PlrReadFileStart, PlrReadFileInfo, PlrReadFileBlock
     * until the entry's size has been asked for, PlrCloseReadFile.
     *
     * PlrReadFileInfo finds the file whose name and extension (`info`'s
     * GetFileName and GetFileExt, read during the call) are those of a file
     * (not a folder) in the cached listing and opens it: 0 without a code
     * when there is none, code 10 when the player cannot open it.
     *
     * PlrReadFileBlock fills the caller's `buffer` with the next `*length`
     * bytes, in pieces of any size (32,768, GetMultiBlockSize, is the
     * fastest). Music files come back without their title trailer. A voice
     * file (extension ADP) comes back as a WAV file: `*length` is set to the
     * bytes placed, and the buffer must hold `*length` + 256 bytes (+ 48 on
     * the first call, for the WAV header). A request beyond the file's end
     * places only the bytes left and sets `*length` to their count. The call
     * that reaches the end closes the file on the player; after it, and with
     * no file open, the call gives 0 without a code. Code 10 when a read
     * fails (the file is then closed).
     *
     * PlrCloseReadFile ends the download, cancelling it on the player when it
     * stopped before the end; it returns 1. */
    long PlrReadFileStart(int storage);
    long PlrReadFileInfo(CPDFileInfo* info);
    long PlrReadFileBlock(unsigned char* buffer, long* length, long unused);
    long PlrCloseReadFile();

    /* Formats `storage` without progress reports and with the time-outs in
     * force. Code 34 on failure. */
    long PlrFormat(int storage);

    /* Formats `storage` with progress messages: `message` is sent to `window`
     * (may be null) on the calling thread with wParam 0 once the command is
     * sent, then 5 (storage other than 0), 3 (low-level) or 2, then 6 with
     * lParam = percentage + 1 for each progress reply and 6 with lParam 100 at
     * the end. `mode` 0 formats, any other value formats low-level. Reads
     * wait up to 3,000,000 ms during the format; afterwards the time-outs are
     * 300,000 ms read and 100,000 ms write, whatever the outcome. Code
     * 34 + mode on failure (35 for mode 1, the font failure's code). */
    long PlrFormat(int storage, PORTIO_HWND window, int message, int mode);

    /* 1 when the API is open (else 0 with code 1); nothing else. The
     * function is never called. */
    long PlrFormat(int storage, int (*progress)(unsigned long, unsigned long));
    long PlrFormat(long, long, long);
    long PlrBootFormat(int);
    long PlrFirmwareStart(long, int);
    long PlrFirmwareData(unsigned char*);
    long PlrFirmwareDone();

    /* Font download, in this order: PlrDownloadFont, PlrWriteFontData as often
     * as needed, PlrWriteFontClose (also after a failure: it restores the
     * time-outs). PlrDownloadFont announces font `name` (NUL-terminated) of
     * `size` bytes (at most 4 GiB - 1) and sets the time-outs to 3,000,000 ms
     * read and 100,000 ms write. PlrWriteFontData sends `length` bytes of the
     * caller's `data` at once, in pieces of 32,768 bytes; every call but the
     * last passes a whole multiple of 512 bytes. Length 0 gives 0 without a
     * code. PlrWriteFontClose ends the download and sets the time-outs to
     * 300,000 ms read and 100,000 ms write. Code 35 on failure. */
    long PlrDownloadFont(const char* name, unsigned long size);
    long PlrWriteFontData(unsigned char* data, unsigned long length);
    long PlrWriteFontClose();
};

/* The player as PlrGetDeviceInfo read it. The texts point into the library's
 * state (valid while the API object lives; empty texts before OpenDevice). */
class PLRAPI_API CDeviceInfo {
public:
    CDeviceInfo();
    ~CDeviceInfo();
    CDeviceInfo& operator=(const CDeviceInfo& other);

    char* GetDeviceVersion();   /* firmware version text, at most 20 characters */
    char* GetPlayerName();      /* model name, at most 12 characters */
    char* GetPlayerId();        /* player id, at most 8 characters (empty) */
};

/* The storage of the cached listing as PlrGetStorageInfo read it (0 before
 * OpenDevice). */
class PLRAPI_API CStorageInfo {
public:
    CStorageInfo();
    ~CStorageInfo();
    CStorageInfo& operator=(const CStorageInfo& other);

    unsigned long GetPDTotalSpace();     /* bytes */
    unsigned long GetPDFreeSpace();      /* bytes */
    unsigned long GetAttribMask();       /* always 0 */
    unsigned long GetMultiBlockSize();   /* 32,768 for storage 0 and 1, else 0 */
};

/* One file. The library's own getters report the current record
 * (PlrGetFIleInfo): name without extension, extension, attribute byte (as a
 * signed byte widened to 32 bits: 0xA1 comes back as 0xFFFFFFA1) and size.
 * For uploads and downloads a caller derives a class of its own whose
 * getters describe the file. Texts returned by the library's getters point
 * into its state (empty before OpenDevice). */
class PLRAPI_API CPDFileInfo {
public:
    CPDFileInfo();
    CPDFileInfo(const CPDFileInfo& other);
    CPDFileInfo& operator=(const CPDFileInfo& other);
    virtual ~CPDFileInfo();

    virtual char* GetFileName();
    virtual char* GetFileExt();
    virtual unsigned long GetAttribMark();
    virtual unsigned long GetFileSize();
};

/* Used by nothing. */
class PLRAPI_API CPlrapi {
public:
    CPlrapi();
    CPlrapi& operator=(const CPlrapi& other);
};

/* Returns 42. */
PLRAPI_API int fnPlrapi();
/* 0; used by nothing. */
extern PLRAPI_API int nPlrapi;

#endif /* PLRAPI_H */
