/*
 * vbzip11: the zip engine's C interface.
 *
 * ZpInit registers the callbacks, ZpSetOptions hands over the option record, and
 * ZpArchive builds, updates or prunes one archive from a list of file specifications.
 * All text is UTF-8. Stored names use "/".
 *
 * Threading: one run at a time per process. Every callback is made on the calling thread,
 * and only while ZpArchive runs.
 *
 * All or nothing: an archive is written to a temporary file beside it and renamed over the
 * old one only when the whole run succeeded, or when all it lacks is named (ZP_ERR_READ).
 */
#ifndef TESK_VBZIP11_H
#define TESK_VBZIP11_H

#include "engine_abi.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of ZpArchive. */
#define ZP_OK             0
#define ZP_ERR_NOMATCH    1  /* no file matched the file specifications (or nothing to delete);
                              also no file specifications at all */
#define ZP_ERR_READ       2  /* a source file could not be read. A named file that cannot be
                              read, or a special file, stops the run (the old archive stays).
                              A folder that cannot be read or entered, or a file that changed
                              while it was read, does not: the archive is written with the
                              rest, and a message names each such file or folder and why */
#define ZP_ERR_DUPLICATE  3  /* two files would get the same stored name */
#define ZP_ERR_PASSWORD   4  /* the password was refused */
#define ZP_ERR_COMMENT    5  /* the comment was refused */
#define ZP_ERR_ABORT      6  /* ZipServiceCallback asked to stop */
#define ZP_ERR_ARCHIVE    7  /* the existing archive cannot be read (append, update, freshen,
                              delete; freshen and delete also when it is missing) */
#define ZP_ERR_WRITE      8  /* the archive could not be written: full disk, no permission */
#define ZP_ERR_MEMORY     9  /* out of memory */
#define ZP_ERR_PARAM     10  /* invalid arguments: no archive name, ZpInit not called, a run
                              started from inside a callback of another, ... */

/* Size of the zero-filled buffers handed to the password and comment callbacks. */
#define ZP_PASSWORD_BUFFER 256
#define ZP_COMMENT_BUFFER  256

/* Option record. Flags are 1 or 0. The engine copies every text it keeps, so the caller
   may release the record's texts once ZpSetOptions has returned. On a 32-bit build the
   record is 128 bytes. */
typedef struct ZipOptions {
    const char *Unused0;          /*   0: null */
    const char *RootDir;          /*   4: base folder; file specifications and stored names are
                                         relative to it (null: the current folder) */
    const char *Unused8;          /*   8: null */
    int32_t Unused12;             /*  12 */
    int32_t Unused16;             /*  16 */
    int32_t Encrypt;              /*  20: traditional PKWARE encryption of every entry */
    int32_t SystemHidden;         /*  24: include hidden and system files; where the platform
                                         has no such attribute (Linux: a leading "." is an
                                         ordinary name) every file is taken either way */
    int32_t VolumeLabel;          /*  28: ignored where the platform has no volume label */
    int32_t Unused32;             /*  32 */
    int32_t NoDirEntries;         /*  36: leave out folder entries */
    int32_t Unused40;             /*  40 */
    int32_t Unused44;             /*  44 */
    int32_t Verbose;              /*  48: a line per entry and a summary */
    int32_t Quiet;                /*  52: errors only */
    int32_t CRLFToLF;             /*  56: text files: CR LF becomes LF */
    int32_t LFToCRLF;             /*  60: text files: LF becomes CR LF */
    int32_t JunkDirNames;         /*  64: drop the folder part of stored names */
    int32_t Append;               /*  68: add to an existing archive */
    int32_t Unused72;             /*  72 */
    int32_t Unused76;             /*  76 */
    int32_t DeleteEntries;        /*  80: remove the entries matching the file specifications */
    int32_t Update;               /*  84: add new files, replace entries only when newer */
    int32_t Freshen;              /*  88: replace existing entries only, when newer */
    int32_t Unused92;             /*  92 */
    int32_t Unused96;             /*  96 */
    int32_t Comment;              /* 100: ask ZipCommentCallback for the archive comment */
    int32_t Unused104;            /* 104 */
    int32_t Unused108;            /* 108 */
    int32_t Unused112;            /* 112 */
    int32_t Recurse;              /* 116: non-zero (2) also descends into subfolders */
    int32_t Unused120;            /* 120 */
    char LevelChar;               /* 124: '0' stores, '1'..'9' deflate; 0 means '6' */
    char Padding[3];              /* 125 */
} ZipOptions;

/* Texts given with a length need not end with a NUL. */
typedef int32_t (TESK_CALL *ZpPrintCallback)(const char *text, int32_t length);
/* buffer: ZP_COMMENT_BUFFER zero-filled bytes; the engine reads up to the first NUL and
   never past the buffer. Returns 0 when a comment was written, 1 when there is none. */
typedef int16_t (TESK_CALL *ZpCommentCallback)(char *buffer);
/* buffer: bufferSize (ZP_PASSWORD_BUFFER) zero-filled bytes; the engine reads up to the
   first NUL and never past bufferSize - 1 bytes. Returns 0 when a password was written,
   1 when there is none. */
typedef int16_t (TESK_CALL *ZpPasswordCallback)(char *buffer, int32_t bufferSize,
                                                const char *prompt, const char *name);
/* Called with each entry's stored name. 1 stops the run; the old archive stays. */
typedef int32_t (TESK_CALL *ZpServiceCallback)(const char *name, int32_t length);

typedef struct ZipCallbacks {
    ZpPrintCallback ZipPrintCallback;
    ZpCommentCallback ZipCommentCallback;
    ZpPasswordCallback ZipPasswordCallback;
    ZpServiceCallback ZipServiceCallback;
} ZipCallbacks;

/* Registers the callbacks for later runs (copied). Returns 1. */
TESK_EXPORT int32_t TESK_CALL ZpInit(const ZipCallbacks *callbacks);
/* Takes a copy of the options (texts included) for later runs. Returns 1. */
TESK_EXPORT int32_t TESK_CALL ZpSetOptions(ZipOptions *options);
/* Writes the options in force into *options; its texts point into the engine and stay
   valid until the next ZpSetOptions. Returns 1. */
TESK_EXPORT int32_t TESK_CALL ZpGetOptions(ZipOptions *options);
/* names: a name table (TESK_NAMELIST_SLOTS slots) holding count file specifications.
   Returns a ZP_* result code. */
TESK_EXPORT int32_t TESK_CALL ZpArchive(int32_t count, const char *zipFile,
                                        const char *const *names);

typedef int32_t (TESK_CALL *ZpInitFn)(const ZipCallbacks *);
typedef int32_t (TESK_CALL *ZpSetOptionsFn)(ZipOptions *);
typedef int32_t (TESK_CALL *ZpGetOptionsFn)(ZipOptions *);
typedef int32_t (TESK_CALL *ZpArchiveFn)(int32_t, const char *, const char *const *);

#if UINTPTR_MAX == 0xFFFFFFFFu
TESK_STATIC_ASSERT(sizeof(ZipOptions) == 128, "ZipOptions layout");
TESK_STATIC_ASSERT(sizeof(ZipCallbacks) == 16, "ZipCallbacks layout");
TESK_STATIC_ASSERT(offsetof(ZipOptions, Recurse) == 116, "ZipOptions layout");
TESK_STATIC_ASSERT(offsetof(ZipOptions, LevelChar) == 124, "ZipOptions layout");
#endif

#ifdef __cplusplus
}
#endif

#endif
