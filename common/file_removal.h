/*
 * file_removal.h - deleting driver, INF and PNF files, as both back-ends do:
 * the Windows, system and INF folders, the path of a table row by its file
 * kind, the delete step (with the errors that are silent for the caller's
 * step), and the PNF name of an INF file.
 *
 * The file functions are the ones each back-end binds from "kernel32".
 * Every box shown here is the error report box, under the caption of the
 * call that failed; the callers decide what a failure does to their status.
 */
#ifndef QZ_FILE_REMOVAL_H
#define QZ_FILE_REMOVAL_H

#include "platform_ops.h"
#include "library_binding.h"
#include "text_buffers.h"
#include "run_record.h"

/* The kernel32 functions of the file steps, in binding order. */
struct FileFunctions {
    GetWindowsDirectoryA_fn GetWindowsDirectoryA;
    GetSystemDirectoryA_fn GetSystemDirectoryA;
    SetFileAttributesA_fn SetFileAttributesA;
    DeleteFileA_fn DeleteFileA;
    /* NT family only, null on Windows 98/Me (which export it unimplemented):
       a file in use is deleted when Windows restarts */
    MoveFileExA_fn MoveFileExA;
};

/* Loads "kernel32" and binds the four file functions into *files, and
   MoveFileExA too when `restart_deletions` is non-zero, as bind_library
   does. Returns the module, or null after its boxes. */
HMODULE bind_file_functions_of_kernel32(FileFunctions *files, int restart_deletions);

/* The Windows folder and the system folder, each read into its own buffer. */
struct WindowsFolders {
    char windows[MAX_PATH_BYTES];
    char system[MAX_PATH_BYTES];
};

/*
 * Read the Windows folder (read_windows_folder) or both folders, Windows
 * first (read_windows_folders). Return 1; or 0 after a
 * "Function : GetWindowsDirectory()" or "Function : GetSystemDirectory()"
 * box. A folder too long for its buffer leaves the buffer empty, so that
 * no path is ever built on it.
 */
int read_windows_folder(const FileFunctions *files, char *windows);
int read_windows_folders(const FileFunctions *files, WindowsFolders *folders);

/* Where a table row's file lives, by its kind. */
#define FOLDERS_OF_NT_PACKAGE 1  /* sys: <system>\drivers; inf, pnf: <windows>\inf; vxd: none */
#define FOLDERS_OF_98_PACKAGE 2  /* sys, vxd: <system>; inf, pnf: <windows>\inf */

#define ROW_PATH_BUILT 1
#define ROW_PATH_SKIPPED 0   /* empty row, or a kind that has no folder */
#define ROW_PATH_TOO_LONG -1 /* the folder is unknown or the path does not fit; nothing built */

/* Builds the full path of a row (a name, or "OTHER\name" below the INF
   folder) into path (MAX_PATH_BYTES) by the rule given. Returns one of
   ROW_PATH_BUILT, ROW_PATH_SKIPPED, ROW_PATH_TOO_LONG; path is empty
   unless built. */
int build_row_path(const WindowsFolders *folders, const char *row, int rule, char *path);

/* Builds <windows>\inf\<name> into path (MAX_PATH_BYTES). 1: built; 0: the
   folder is unknown or the path does not fit (path empty). */
int build_inf_path(const char *windows, const char *name, char *path);

/* Errors of SetFileAttributesA that only say that the file is not there;
   a caller passes the ones that are silent for its step. */
#define SILENT_FILE_NOT_FOUND 0x1 /* ERROR_FILE_NOT_FOUND */
#define SILENT_PATH_NOT_FOUND 0x2 /* ERROR_PATH_NOT_FOUND: a subfolder is gone too */
#define SILENT_ANY_ERROR 0x4      /* every failure counts as absence */
/* A file found gone (ERROR_FILE_NOT_FOUND) counts as deleted: something the
   step asked Windows to do (uninstalling a driver package) took it. */
#define GONE_COUNTS_AS_DELETED 0x8

/* How many files the delete step has set to be deleted when Windows
   restarts, because a program held them (NT family). */
int scheduled_file_count(void);

/* What became of one file. */
/* What the count behind a partly removed file status counted, for the log:
   the files looked for and those found. */
struct FileCount {
    int listed;
    int found;
};

/* What became of one file. */
enum FileOutcome {
    FILE_DELETED = 1,
    FILE_ABSENT = 2,
    FILE_ATTRIBUTES_FAILED = 3, /* "Function : SetFileAttributes()" box shown */
    FILE_DELETE_FAILED = 4,     /* "Function : DeleteFile()" box shown */
    FILE_PRESENT = 5,           /* made normal, not yet deleted */
    /* an INF whose driver package could not be uninstalled (NT family): it
       stays, with its PNF (a reported failure) */
    FILE_PACKAGE_KEPT = 6
};

/*
 * Makes the file normal (so read-only, hidden and system files can go) and
 * deletes it. A file another program holds (DeleteFileA fails with
 * ERROR_SHARING_VIOLATION or ERROR_ACCESS_DENIED once it is normal, and
 * GetFileAttributesA says it is a file, not a folder) is set to be deleted
 * at the restart where MoveFileExA is bound: it counts as deleted, and the
 * log names it. Returns FILE_DELETED; FILE_ABSENT when
 * SetFileAttributesA fails with an error in `silent_errors`;
 * FILE_ATTRIBUTES_FAILED or FILE_DELETE_FAILED after the box of the call
 * that failed (a failed MoveFileExA shows DeleteFileA's error).
 */
int delete_file_at(const FileFunctions *files, const char *path, int silent_errors);

/* The two halves of delete_file_at, for a step that does something in
   between: make_file_normal returns FILE_PRESENT (or what delete_file_at
   would return for a failed SetFileAttributesA), delete_normal_file
   FILE_DELETED or FILE_DELETE_FAILED. */
int make_file_normal(const FileFunctions *files, const char *path, int silent_errors);
int delete_normal_file(const FileFunctions *files, const char *path, int silent_errors);

/*
 * Tells whether a file exists by making it normal, which is the program's
 * test for a file (it stays normal whatever follows). Returns 1 when it
 * exists; 0 when SetFileAttributesA fails, after a
 * "Function : SetFileAttributes()" box unless the error is in `silent_errors`.
 */
int probe_file(const FileFunctions *files, const char *path, int silent_errors);

/* 1 when the file at `path` is there; 0 when it is not (its folder
   included), or after a "Function : GetFileAttributes()" report for any
   other error. Looks, never touches: its attributes stay as they are. */
int file_is_there(const char *path);

/* Turns an INF name or path into its PNF's by making its last three
   characters "pnf", in place. Returns 1; 0 for a text shorter than three
   characters, left as it was. */
int make_pnf_name(char *name, int size);

#endif
