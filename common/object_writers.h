/*
 * object_writers.h - who may write a file or a folder, for a run as SYSTEM.
 *
 * Deployment tools run the program as SYSTEM (or another service account).
 * What such a run starts, or writes to, must not be something another
 * account can change: the accounts trusted with it are SYSTEM,
 * Administrators and TrustedInstaller. Any other owner, an allowing ACE
 * with a writing right, or no DACL at all (everyone) makes a writer.
 * Every function used here is bound at run time: Windows 98/Me lack them.
 */
#ifndef QZ_OBJECT_WRITERS_H
#define QZ_OBJECT_WRITERS_H

#include "platform_ops.h"

#define SID_BYTES_MAX 68 /* 8 + 15 sub-authorities of 4 bytes */

/* 1 when the process runs as SYSTEM, LocalService or NetworkService; 0
   for any other account, or when the token cannot be read. */
int running_as_service_account(void);

/* 1 when `path` lies on a network share: a UNC path, or a drive that
   Windows maps to one. Its writers are domain accounts the share admits. */
int on_network_share(const WCHAR *path);

/* Who besides the trusted accounts may write `path`: 1 with the account
   in `writer` (SID_BYTES_MAX bytes); 0 when nobody; -1 with the error of
   GetNamedSecurityInfoW in *error when its security cannot be read. */
int writer_of(const WCHAR *path, BYTE *writer, DWORD *error);

/* The account as the log names it, in the system's code page: DOMAIN\name
   when Windows knows it, else its security identifier as text. */
void account_text(const BYTE *sid, char *text, int size);

/* The folder of `path` (MAX_PATH_BYTES units) into `folder`: "C:\" keeps
   its backslash, "C:\Logs" loses it. */
void folder_of_path(const WCHAR *path, WCHAR *folder);

#endif
