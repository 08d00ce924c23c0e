/*
 * vbuzip10: the unzip engine's C interface.
 *
 * One entry point lists or extracts one archive (Wiz_SingleEntryUnzip); a second fills a
 * version record (UzpVersion2). All text is UTF-8; archive entry names use "/".
 *
 * Threading: one call at a time per process. Every callback is made on the calling
 * thread, and only while Wiz_SingleEntryUnzip runs.
 */
#ifndef TESK_VBUZIP10_H
#define TESK_VBUZIP10_H

#include "engine_abi.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of Wiz_SingleEntryUnzip. When several problems occur in one call the
   highest-numbered one is returned. */
#define UZ_OK            0  /* everything asked was done, or skipped by the user's own No */
#define UZ_WARNING       1  /* some entries were skipped: unsafe name or link, duplicate name */
#define UZ_ERR_NOMATCH   2  /* the include list matched no entry */
#define UZ_ERR_PASSWORD  3  /* a password was wrong or refused; those entries were skipped */
#define UZ_ERR_ABORT     4  /* ServiceCallback asked to stop */
#define UZ_ERR_BADZIP    5  /* corrupt entry: CRC or size mismatch, bad data, overlap,
                               header disagreement, unsupported method */
#define UZ_ERR_WRITE     6  /* an output file or folder could not be written (disk full,
                               permissions) */
#define UZ_ERR_OPEN      7  /* the archive cannot be opened or is not a zip archive */
#define UZ_ERR_MEMORY    8  /* out of memory */
#define UZ_ERR_PARAM     9  /* invalid arguments (null options, no archive path, ...) */

/* Answers of ReplaceCallback. */
#define UZ_REPLACE_NO      100
#define UZ_REPLACE_YES     102
#define UZ_REPLACE_ALL     103  /* yes, and to every later existing file of this call */
#define UZ_REPLACE_NONE    104  /* no, and to every later existing file of this call */

/* Bit of EntryCallback's flag argument. */
#define UZ_ENTRY_ENCRYPTED 0x40

/* Size of the zero-filled buffer handed to PasswordCallback. */
#define UZ_PASSWORD_BUFFER 256

/* Option record. Booleans are 1 or 0. On a 32-bit build the record is 68 bytes. */
typedef struct UnzipOptions {
    int32_t ExtractOnlyNewer;       /*  0: only when the entry is newer than the file */
    int32_t SpaceToUnderScore;      /*  4: spaces in names become "_" */
    int32_t PromptToOverwrite;      /*  8: ask ReplaceCallback before replacing */
    int32_t MessageLevel;           /* 12: 0 a line per entry, 1 errors and summary,
                                           2 or more errors only */
    int32_t Reserved16;             /* 16 */
    int32_t TestZip;                /* 20: check entries, write nothing */
    int32_t ListOnly;               /* 24: 1 lists through EntryCallback */
    int32_t Reserved28;             /* 28 */
    int32_t Reserved32;             /* 32 */
    int32_t UseFolderNames;         /* 36: 0 drops the folder part of names */
    int32_t OverwriteExisting;      /* 40: replace existing files without asking */
    int32_t ConvertCRToCRLF;        /* 44: text entries get the platform's line ends */
    int32_t Reserved48;             /* 48 */
    int32_t CaseSensitiveFileNames; /* 52: include/exclude matching respects case */
    int32_t Reserved56;             /* 56 */
    const char *ArchivePath;        /* 60 */
    const char *ExtractFolder;      /* 64: ignored when listing */
} UnzipOptions;

/* Texts given with a length need not end with a NUL. */
typedef int32_t (TESK_CALL *UzPrintCallback)(const char *text, int32_t length);
/* Name of the file that already exists, relative to ExtractFolder. Returns UZ_REPLACE_*. */
typedef int32_t (TESK_CALL *UzReplaceCallback)(const char *existingName);
/* buffer: UZ_PASSWORD_BUFFER zero-filled bytes. The engine reads up to the first NUL
   and never past bufferSize - 1 bytes, so the callback need not terminate its copy.
   Returns 0 when a password was written, 1 when there is none. */
typedef int32_t (TESK_CALL *UzPasswordCallback)(char *buffer, int32_t bufferSize,
                                                const char *prompt, const char *entryName);
/* Once per entry when listing, in central-directory order, folders included. */
typedef void (TESK_CALL *UzEntryCallback)(
    uint64_t compressedSize,  /*  1 */
    uint64_t size,            /*  2 */
    int32_t ratio,            /*  3: compressedSize * 100 / size toward zero, 0 for an empty
                                     entry, at most 32767 */
    int32_t year,             /*  4: local time, four digits */
    int32_t month,            /*  5 */
    int32_t day,              /*  6 */
    int32_t hour,             /*  7 */
    int32_t minute,           /*  8 */
    int32_t second,           /*  9 */
    const char *name,         /* 10: stored name, "/"-separated */
    const char *method,       /* 11: "Stored", "Deflated", ... */
    uint32_t crc,             /* 12 */
    int32_t flags);           /* 13: UZ_ENTRY_ENCRYPTED */
/* Called with an entry's name before the entry is processed. 1 stops the call after
   the current entry. */
typedef int32_t (TESK_CALL *UzServiceCallback)(const char *name, int32_t length);
typedef void (TESK_CALL *UzUnusedCallback)(void);

/* Callback table. On a 32-bit build the table is 44 bytes. */
typedef struct UnzipCallbacks {
    UzPrintCallback PrintCallback;
    UzUnusedCallback Unused;        /* null */
    UzReplaceCallback ReplaceCallback;
    UzPasswordCallback PasswordCallback;
    UzEntryCallback EntryCallback;
    UzServiceCallback ServiceCallback;
    int32_t Words[5];               /* 0; not used */
} UnzipCallbacks;

/* Version record filled by UzpVersion2; 64 bytes. */
typedef struct UnzipVersion {
    int32_t Length;                 /*  0: 64 */
    int32_t Flags;                  /*  4 */
    char ExtraInfo[10];             /*  8: NUL-terminated */
    char Date[20];                  /* 18: NUL-terminated */
    char LibraryVersion[10];        /* 38: NUL-terminated */
    uint8_t FormatVersion[4];       /* 48 */
    uint8_t ListingVersion[4];      /* 52 */
    uint8_t Reserved[4];            /* 56 */
    uint8_t EngineVersion[4];       /* 60: major, minor, revision, 0 */
} UnzipVersion;

/* Lists (options->ListOnly 1) or extracts one archive. includeList and excludeList are
   name tables (TESK_NAMELIST_SLOTS slots); the counts say how many names they hold. An
   empty include list means every entry. Returns a UZ_* result code. */
TESK_EXPORT int32_t TESK_CALL Wiz_SingleEntryUnzip(int32_t includeCount,
                                                   const char *const *includeList,
                                                   int32_t excludeCount,
                                                   const char *const *excludeList,
                                                   const UnzipOptions *options,
                                                   const UnzipCallbacks *callbacks);

TESK_EXPORT void TESK_CALL UzpVersion2(UnzipVersion *version);

typedef int32_t (TESK_CALL *Wiz_SingleEntryUnzipFn)(int32_t, const char *const *, int32_t,
                                                    const char *const *,
                                                    const UnzipOptions *,
                                                    const UnzipCallbacks *);
typedef void (TESK_CALL *UzpVersion2Fn)(UnzipVersion *);

TESK_STATIC_ASSERT(sizeof(UnzipVersion) == 64, "UnzipVersion layout");
#if UINTPTR_MAX == 0xFFFFFFFFu
TESK_STATIC_ASSERT(sizeof(UnzipOptions) == 68, "UnzipOptions layout");
TESK_STATIC_ASSERT(sizeof(UnzipCallbacks) == 44, "UnzipCallbacks layout");
TESK_STATIC_ASSERT(offsetof(UnzipOptions, ArchivePath) == 60, "UnzipOptions layout");
#endif

#ifdef __cplusplus
}
#endif

#endif
