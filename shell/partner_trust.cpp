/*
 * partner_trust.cpp - whether a run as SYSTEM may start QZUninst64.exe.
 *
 * Deployment tools run the program as SYSTEM (or another service
 * account): whoever could change the 64-bit program, or put another in
 * its place, would then run their own code as SYSTEM. Such a run starts
 * the partner only when no account but SYSTEM, Administrators and
 * TrustedInstaller can write the file or its folder (its owner, an
 * allowing ACE with a writing right, or no DACL at all), and, when this
 * program is signed, only when the partner carries a valid signature made
 * with the same certificate. A folder on a network share is not judged by
 * its DACL: its writers are domain accounts the share admits. A run by a
 * logged-on administrator trusts the folder as before: a user who could
 * write it could replace the program the administrator starts anyway.
 * Every function used here is bound at run time (Windows 98/Me never hand
 * over, and lack them).
 */
#include "uninstaller.h"
#include "../common/error_report.h"
#include "../common/object_writers.h"
#include "../common/system_functions.h"
#include "../common/texts.h"
#include "../common/run_log.h"
#include "../common/text_buffers.h"

typedef LONG(WINAPI *WinVerifyTrust_fn)(HWND, GUID *, LPVOID);
typedef CRYPT_PROVIDER_DATA *(WINAPI *WTHelperProvDataFromStateData_fn)(HANDLE);
typedef CRYPT_PROVIDER_SGNR *(WINAPI *WTHelperGetProvSignerFromChain_fn)(CRYPT_PROVIDER_DATA *, DWORD, BOOL, DWORD);
typedef CRYPT_PROVIDER_CERT *(WINAPI *WTHelperGetProvCertFromChain_fn)(CRYPT_PROVIDER_SGNR *, DWORD);

/* Refuses the partner that `writer` can write: the log says who. Returns 0. */
static int refuse_writable(const char *shown, const BYTE *writer)
{
    char account[MAX_PATH_BYTES];
    LogLine line;
    account_text(writer, account, sizeof account);
    line_begin(&line, text_log_partner_writable);
    line_add_system(&line, shown);
    line_add(&line, text_log_partner_writer);
    line_add_system(&line, account);
    line_add(&line, ")");
    log_line(&line);
    report_failure(caption_create_process, ERROR_ACCESS_DENIED, shown, NULL);
    return 0;
}

/* 1 when neither the partner nor its folder can be written by others. */
static int partner_folder_trusted(const WCHAR *partner, const char *shown)
{
    WCHAR folder[MAX_PATH_BYTES];
    BYTE writer[SID_BYTES_MAX];
    DWORD error = 0;
    folder_of_path(partner, folder);
    const WCHAR *objects[] = {partner, folder};
    for (int i = 0; i < COUNT_OF(objects); ++i) {
        int found = writer_of(objects[i], writer, &error);
        if (found < 0) {
            report_failure(caption_create_process, error, shown, NULL);
            return 0;
        }
        if (found > 0)
            return refuse_writable(shown, writer);
    }
    return 1;
}

/* The functions of wintrust.dll. */
struct Wintrust {
    WinVerifyTrust_fn verify;
    WTHelperProvDataFromStateData_fn provider_data;
    WTHelperGetProvSignerFromChain_fn signer;
    WTHelperGetProvCertFromChain_fn certificate;
};
static const BoundFunction wintrust_functions[] = {
    {"WinVerifyTrust", FIELD_OFFSET(Wintrust, verify)},
    {"WTHelperProvDataFromStateData", FIELD_OFFSET(Wintrust, provider_data)},
    {"WTHelperGetProvSignerFromChain", FIELD_OFFSET(Wintrust, signer)},
    {"WTHelperGetProvCertFromChain", FIELD_OFFSET(Wintrust, certificate)},
};

/* A file's Authenticode check, kept open while its signer is compared. */
struct Verification {
    WINTRUST_FILE_INFO file;
    WINTRUST_DATA data;
    LONG result; /* 0: a valid signature; TRUST_E_NOSIGNATURE: none */
};

static void verify_file(const Wintrust *wintrust, const WCHAR *path, Verification *v)
{
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    zero_bytes(v, sizeof *v);
    v->file.cbStruct = sizeof v->file;
    v->file.pcwszFilePath = path;
    v->data.cbStruct = sizeof v->data;
    v->data.dwUIChoice = WTD_UI_NONE;
    v->data.fdwRevocationChecks = WTD_REVOKE_NONE;
    v->data.dwUnionChoice = WTD_CHOICE_FILE;
    v->data.pFile = &v->file;
    v->data.dwStateAction = WTD_STATEACTION_VERIFY;
    v->result = wintrust->verify((HWND)INVALID_HANDLE_VALUE, &action, &v->data);
}

static void close_verification(const Wintrust *wintrust, Verification *v)
{
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    v->data.dwStateAction = WTD_STATEACTION_CLOSE;
    wintrust->verify((HWND)INVALID_HANDLE_VALUE, &action, &v->data);
}

/* The certificate that signed a verified file, or null. */
static PCCERT_CONTEXT signer_certificate(const Wintrust *wintrust, const Verification *v)
{
    CRYPT_PROVIDER_DATA *provider = wintrust->provider_data(v->data.hWVTStateData);
    CRYPT_PROVIDER_SGNR *signer = provider != NULL ? wintrust->signer(provider, 0, FALSE, 0) : NULL;
    CRYPT_PROVIDER_CERT *certificate = signer != NULL ? wintrust->certificate(signer, 0) : NULL;
    return certificate != NULL ? certificate->pCert : NULL;
}

/* 1 when both files were signed with the very same certificate. */
static int same_signer(const Wintrust *wintrust, const Verification *own, const Verification *partner)
{
    PCCERT_CONTEXT a = signer_certificate(wintrust, own);
    PCCERT_CONTEXT b = signer_certificate(wintrust, partner);
    if (a == NULL || b == NULL || a->cbCertEncoded != b->cbCertEncoded)
        return 0;
    for (DWORD i = 0; i < a->cbCertEncoded; ++i)
        if (a->pbCertEncoded[i] != b->pbCertEncoded[i])
            return 0;
    return 1;
}

/* Logs a refusal by signature: `text`, the partner's path where given, and
   the result of the check that failed. */
static void log_signature_refusal(const char *text, const char *shown, LONG result)
{
    LogLine line;
    line_begin(&line, text);
    if (shown != NULL)
        line_add_system(&line, shown);
    line_add(&line, text_log_partner_verify_result);
    line_add_hex(&line, (DWORD)result);
    line_add(&line, ")");
    log_line(&line);
}

/* 1 when this program is unsigned, or the partner is validly signed by
   the same certificate; 0 after the log line and the report. */
static int partner_signature_trusted(const WCHAR *own, const WCHAR *partner, const char *shown)
{
    Wintrust wintrust;
    HMODULE module = bind_library("wintrust", wintrust_functions, COUNT_OF(wintrust_functions), &wintrust);
    if (module == NULL)
        return 0; /* reported */
    Verification mine, theirs;
    int trusted = 0;
    DWORD error = ERROR_ACCESS_DENIED;
    verify_file(&wintrust, own, &mine);
    if (mine.result == TRUST_E_NOSIGNATURE) {
        trusted = 1; /* an unsigned program asks no signature of its partner */
    } else if (mine.result != 0) {
        log_signature_refusal(text_log_own_signature_unverified, NULL, mine.result);
        error = (DWORD)mine.result;
    } else {
        verify_file(&wintrust, partner, &theirs);
        if (theirs.result != 0) {
            log_signature_refusal(text_log_partner_unsigned, shown, theirs.result);
            error = (DWORD)theirs.result;
        } else if (!same_signer(&wintrust, &mine, &theirs)) {
            log_signature_refusal(text_log_partner_other_signer, shown, 0);
        } else {
            trusted = 1;
        }
        close_verification(&wintrust, &theirs);
    }
    close_verification(&wintrust, &mine);
    if (!FreeLibrary(module))
        report_failure(caption_free_library, GetLastError(), "wintrust", NULL);
    if (!trusted)
        report_failure(caption_create_process, error, shown, NULL);
    return trusted;
}

int partner_trusted(const WCHAR *own, const WCHAR *partner, const char *shown)
{
    if (!running_as_service_account())
        return 1;
    if (!on_network_share(partner) && !partner_folder_trusted(partner, shown))
        return 0;
    return partner_signature_trusted(own, partner, shown);
}
