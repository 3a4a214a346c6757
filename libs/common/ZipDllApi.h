/* Command records and callback shared by the ZIP maintenance object and the run-time ZIP
 * libraries (libqzip.so: adding and deleting; libqunzip.so: extracting and testing).
 *
 * Plain C layout with native pointer width, fields in their long-standing order: every
 * text, array and handle field is a pointer, every flag and number a 32-bit integer. Flags are -1
 * for yes and 0 for no. Texts are zero-terminated and owned by the caller for the duration of the
 * call. Fields marked "fixed" are set to the constant noted by the caller and ignored otherwise. */
#ifndef QUIL_ZIPDLLAPI_H
#define QUIL_ZIPDLLAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QZIP_RECORD_WRITER_VERSION 160 /* version of the record writer (field WriterVersion) */
#define QZIP_CHECK_VALUE 7             /* last field of every record */
#define QZIP_PASSWORD_BUFFER 81        /* 80 characters and the terminating zero */
#define QZIP_CALLBACK_TEXT 512         /* text field of the callback record */
#define QZIP_OLD_MAX_SPECS 4097        /* file specifications in the records of old libraries */

/* Callback action codes. */
enum {
  QZIP_ACTION_FILE_BEGINS = 1,   /* Text = name, Value2 = its size */
  QZIP_ACTION_BYTES_DONE = 2,    /* Value2 = bytes just processed */
  QZIP_ACTION_BATCH_END = 3,
  QZIP_ACTION_MESSAGE = 4,       /* Value1 = error code (0 = information), Text = message */
  QZIP_ACTION_TOTAL_FILES = 5,   /* Value2 = number of files to process */
  QZIP_ACTION_TOTAL_BYTES = 6,   /* Value2 = number of bytes to process */
  QZIP_ACTION_NEW_NAME = 7,      /* Text = name to store; the answer turns the code into 8 and
                                    writes the changed name into Text */
  QZIP_ACTION_PASSWORD = 8,      /* Value1 bit 0 = password for adding (bit 1 set until
                                    answered), Value2 = repeat count;
                                    answer: Text = password, Value1 = 1 (0 = none),
                                    Value2 = remaining repeat count */
  QZIP_ACTION_CRC_ERROR = 9,     /* Value1 = found CRC, Value2 = expected; answer in Value1:
                                    1 extract, 0 skip, 2 no opinion */
  QZIP_ACTION_FILE_EXISTS = 10,  /* Value1 bit 0 = existing file is older; answer in Value2 */
  QZIP_ACTION_FILE_SKIPPED = 11  /* Value1 = error, Value2 low byte = reason (4 = bad password) */
};

/* Error codes the libraries report in Value1 of a message (action 4). */
enum {
  QZIP_MSG_INFO = 0,
  QZIP_MSG_BAD_ARCHIVE = 3,     /* the existing archive could not be understood */
  QZIP_MSG_NO_MEMORY = 4,
  QZIP_MSG_ABORTED = 9,         /* cancelled by the callback */
  QZIP_MSG_BAD_PARAMETER = 10,  /* the command record is not valid */
  QZIP_MSG_NOTHING_TO_DO = 12,
  QZIP_MSG_WRITE_FAILED = 14,   /* the new archive could not be written (disk full, size limit) */
  QZIP_MSG_CREATE_FAILED = 15,  /* the new archive could not be created */
  QZIP_MSG_READ_FAILED = 18,    /* an input file could not be opened or read */
  QZIP_MSG_NO_PASSWORD = 19,
  QZIP_MSG_CRC_ERROR = 20,      /* an entry's data does not match its CRC */
  QZIP_MSG_ENTRY_FAILED = 21    /* an entry could not be extracted or tested */
};

/* Reasons the reading library gives for a skipped file (action 11, low byte of Value2). */
enum {
  QZIP_SKIP_EXISTS = 1,         /* the existing file was kept */
  QZIP_SKIP_UNSUPPORTED = 2,    /* compression method or encryption not supported */
  QZIP_SKIP_NO_PASSWORD = 3,    /* encrypted and no password given */
  QZIP_SKIP_BAD_PASSWORD = 4,   /* encrypted and no password given fits */
  QZIP_SKIP_UNSAFE_NAME = 5,    /* the stored name leads nowhere inside the folder */
  QZIP_SKIP_DAMAGED = 6,        /* the entry's data could not be read or decoded */
  QZIP_SKIP_NOT_NEWER = 7,      /* update or freshen: the existing file is as new or newer */
  QZIP_SKIP_CREATE_FAILED = 8   /* the output file or its folder could not be created */
};

/* Callback record: the libraries pass its address to the callback. */
typedef struct QZipCallbackRec {
  void* WindowHandle;
  void* Caller;                  /* the calling object, as given in the command record */
  int32_t Reserved1;
  int32_t Reserved2;
  int32_t ActionCode;            /* QZIP_ACTION_... */
  int32_t Value1;                /* error code, flag or CRC, by action */
  int64_t Value2;                /* size, count or answer, by action */
  char Text[QZIP_CALLBACK_TEXT]; /* file name or message; answers are written back here */
} QZipCallbackRec;

/* Returns 0 to continue, -1 to stop the running command. */
typedef int32_t (*QZipCallback)(QZipCallbackRec* rec);

/* One file specification of a zip command (104 bytes in the 32-bit layout). */
typedef struct QZipFileSpec {
  const char* Spec;
  uint8_t Reserved[100];
} QZipFileSpec;

/* Zip command record for libraries of version 151 and above. */
typedef struct QZipCmdRec {
  void* WindowHandle;          /* owner window; 0 when unattended */
  void* Caller;                /* given back in every callback */
  int32_t WriterVersion;       /* QZIP_RECORD_WRITER_VERSION */
  QZipCallback Callback;
  int32_t Trace;
  char* Password;              /* buffer of QZIP_PASSWORD_BUFFER bytes */
  const char* StoreSuffixes;   /* ".gif:.png:..." or 0 */
  int32_t Encrypt;
  int32_t HiddenFiles;         /* add hidden files */
  int32_t Reserved36;
  int32_t Reserved40;
  int32_t NoFolderEntries;     /* -1: no separate entries for folders */
  int32_t Reserved48;
  int32_t Verbose;
  int32_t Quiet;               /* fixed -1 */
  int32_t Level;               /* compression level 0..9 */
  int32_t Reserved64;
  int32_t Reserved68;
  int32_t JunkFolderNames;     /* -1: store names without their folders */
  int32_t Recurse;
  int32_t Grow;                /* fixed -1: add to an existing archive */
  int32_t ForceDos;            /* store 8.3 upper-case names */
  int32_t Move;                /* delete the added files afterwards */
  int32_t DeleteEntries;       /* -1: delete command */
  int32_t Update;
  int32_t Freshen;
  int32_t Reserved104;
  int32_t LatestTime;          /* give the archive the time of its newest entry */
  int32_t Reserved112;
  int32_t Reserved116;
  int32_t SpecCount;           /* number of file specifications */
  const char* ZipFileName;     /* archive to write */
  const char* TempDir;         /* folder for temporary files or 0 */
  const char* Comment;         /* archive comment or 0 (keep the existing one) */
  uint8_t ArchiveOnly;         /* 1: add only files with the archive attribute */
  uint8_t Reserved137;
  uint8_t ResetArchive;        /* 1: clear the archive attribute of added files */
  uint8_t Reserved139;
  QZipFileSpec* Specs;         /* SpecCount elements */
  int32_t Reserved144;
  int32_t ExclusionCount;
  const char* const* Exclusions; /* ExclusionCount texts or 0 */
  uint8_t Reserved[52];
  int32_t CheckValue;          /* QZIP_CHECK_VALUE */
} QZipCmdRec;

/* Zip command record for libraries of version 150 and below. */
typedef struct QZipCmdRecOld {
  void* WindowHandle;
  void* Caller;
  int32_t WriterVersion;
  QZipCallback Callback;
  int32_t Trace;
  char* Password;
  const char* StoreSuffixes;
  int32_t Encrypt;
  int32_t HiddenFiles;
  int32_t Reserved36;
  int32_t Reserved40;
  int32_t NoFolderEntries;
  int32_t Reserved48;
  int32_t Verbose;
  int32_t Quiet;
  int32_t Level;
  int32_t Reserved64;
  int32_t Reserved68;
  int32_t JunkFolderNames;
  int32_t Recurse;
  int32_t Grow;
  int32_t ForceDos;
  int32_t Move;
  int32_t DeleteEntries;
  int32_t Update;
  int32_t Freshen;
  int32_t Reserved104;
  int32_t LatestTime;
  int32_t Reserved112;
  int32_t Reserved116;
  int32_t SpecCount;
  const char* ZipFileName;
  int32_t CheckValue;
  const char* Specs[QZIP_OLD_MAX_SPECS];
} QZipCmdRecOld;

/* One file specification of an unzip command (72 bytes in the 32-bit layout). */
typedef struct QUnzipFileSpec {
  const char* Spec;
  uint8_t Reserved[68];
} QUnzipFileSpec;

/* Unzip command record for libraries of version 152 and above. */
typedef struct QUnzipCmdRec {
  void* WindowHandle;
  void* Caller;
  int32_t WriterVersion;
  QZipCallback Callback;
  int32_t Trace;
  int32_t Reserved20;
  const char* Password;
  int32_t TestOnly;
  int32_t Reserved32;
  int32_t Reserved36;
  int32_t Quiet;               /* fixed -1 */
  int32_t Verbose;
  int32_t Update;
  int32_t Freshen;
  int32_t FolderNames;         /* recreate stored folders */
  int32_t Overwrite;
  int32_t SpecCount;
  const char* ZipFileName;     /* archive to read */
  QUnzipFileSpec* Specs;
  int32_t Reserved76;
  int32_t Reserved80;
  int32_t Reserved84;
  int32_t Reserved88;
  uint8_t Reserved92[12];
  int32_t PasswordRequestCount;
  uint8_t Reserved108[36];
  int32_t CheckValue;
} QUnzipCmdRec;

/* Unzip command record for libraries of version 151 and below. */
typedef struct QUnzipCmdRecOld {
  void* WindowHandle;
  void* Caller;
  int32_t WriterVersion;
  QZipCallback Callback;
  int32_t Trace;
  int32_t Reserved20;
  const char* Password;
  int32_t TestOnly;
  int32_t Reserved32;
  int32_t Reserved36;
  int32_t Quiet;
  int32_t Verbose;
  int32_t Update;
  int32_t Freshen;
  int32_t FolderNames;
  int32_t Overwrite;
  int32_t SpecCount;
  const char* ZipFileName;
  int32_t CheckValue;
  const char* Specs[QZIP_OLD_MAX_SPECS];
} QUnzipCmdRecOld;

/* Library entry points (resolved with dlsym). Exec returns the number of files processed. */
typedef int32_t (*QZipExecFn)(void* record);
typedef int32_t (*QZipVersionFn)(void);

#define QZIP_LIBRARY_NAME "libqzip.so"
#define QUNZIP_LIBRARY_NAME "libqunzip.so"

#ifdef __cplusplus
}
#endif

#endif /* QUIL_ZIPDLLAPI_H */
