/*
 * security.cpp - who may write a file or folder, who an account is, on
 * which kind of drive a path lies, and whether a file is signed.
 *
 * A file's security is kept as descriptor text (FileEntry::security) and
 * given out by GetNamedSecurityInfoW in Windows' binary self-relative
 * layout, owner and DACL pointing into the one block the caller frees with
 * LocalFree; a file without security of its own has its folder's. A
 * signature (FileEntry::signer) is checked by WinVerifyTrust as Windows'
 * generic verify action does: every VERIFY leaves a state the caller ends
 * with CLOSE, whatever the result; the signer's certificate is reached
 * through the WTHelper functions. The NT-family functions are exported
 * only there (libraries.cpp); every call consults the switchboard.
 */
#include <cstdlib>
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

static const struct {
    const char *alias;
    const char *sid;
} sid_aliases[] = {
    {"SY", "S-1-5-18"},     {"BA", "S-1-5-32-544"}, {"BU", "S-1-5-32-545"}, {"AU", "S-1-5-11"},
    {"WD", "S-1-1-0"},      {"CO", "S-1-3-0"},      {"LS", "S-1-5-19"},     {"NS", "S-1-5-20"},
};

std::vector<uint8_t> sid_from_text(const std::string &text)
{
    std::string t = text;
    for (auto &a : sid_aliases)
        if (t == a.alias)
            t = a.sid;
    if (t.rfind("S-1-", 0) != 0)
        return {};
    std::vector<unsigned long long> parts;
    for (size_t at = 4; at <= t.size();) {
        size_t dash = t.find('-', at);
        parts.push_back(strtoull(t.substr(at, dash - at).c_str(), nullptr, 10));
        if (dash == std::string::npos)
            break;
        at = dash + 1;
    }
    std::vector<uint8_t> sid = {1, (uint8_t)(parts.size() - 1)};
    for (int shift = 40; shift >= 0; shift -= 8) /* the authority: six bytes, big-endian */
        sid.push_back((uint8_t)(parts[0] >> shift));
    for (size_t i = 1; i < parts.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
            sid.push_back((uint8_t)(parts[i] >> shift));
    return sid;
}

std::string sid_text(const uint8_t *sid)
{
    unsigned long long authority = 0;
    for (int i = 2; i < 8; ++i)
        authority = authority << 8 | sid[i];
    std::string text = "S-1-" + std::to_string(authority);
    for (int i = 0; i < sid[1]; ++i) {
        const uint8_t *p = sid + 8 + 4 * i;
        text += "-" + std::to_string((unsigned long)p[0] | (unsigned long)p[1] << 8 | (unsigned long)p[2] << 16 |
                                     (unsigned long)p[3] << 24);
    }
    return text;
}

static void put_word(std::vector<uint8_t> &b, size_t at, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

/* The bits that two-letter codes ("OICI", "FA") stand for, together. */
static uint32_t bits_of(const std::string &text, const std::map<std::string, uint32_t> &codes)
{
    uint32_t bits = 0;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        auto it = codes.find(text.substr(i, 2));
        if (it != codes.end())
            bits |= it->second;
    }
    return bits;
}

/* The access mask of an ACE's rights: hex, or two-letter codes. */
static uint32_t rights_of(const std::string &text)
{
    if (text.rfind("0x", 0) == 0)
        return (uint32_t)strtoul(text.c_str(), nullptr, 16);
    static const std::map<std::string, uint32_t> codes = {
        {"FA", 0x1F01FF},     {"FR", 0x120089},     {"FW", 0x120116},     {"FX", 0x1200A0},
        {"GA", 0x10000000},   {"GR", 0x80000000},   {"GW", 0x40000000},   {"GX", 0x20000000},
        {"WD", WRITE_DAC},    {"WO", WRITE_OWNER},  {"RC", READ_CONTROL}, {"SD", DELETE},
    };
    return bits_of(text, codes);
}

static uint8_t ace_flags_of(const std::string &text)
{
    static const std::map<std::string, uint32_t> codes = {
        {"OI", OBJECT_INHERIT_ACE}, {"CI", CONTAINER_INHERIT_ACE}, {"NP", 0x04}, {"IO", INHERIT_ONLY_ACE},
        {"ID", INHERITED_ACE}};
    return (uint8_t)bits_of(text, codes);
}

/* The ACL of "(A;flags;rights;;;sid)..." in binary. */
static std::vector<uint8_t> acl_of(const std::string &aces)
{
    std::vector<uint8_t> acl(8, 0);
    int count = 0;
    for (size_t open = aces.find('('); open != std::string::npos; open = aces.find('(', open + 1)) {
        size_t close = aces.find(')', open);
        std::vector<std::string> fields;
        std::string ace = aces.substr(open + 1, close - open - 1);
        for (size_t at = 0;;) {
            size_t semi = ace.find(';', at);
            fields.push_back(ace.substr(at, semi - at));
            if (semi == std::string::npos)
                break;
            at = semi + 1;
        }
        if (fields.size() != 6)
            continue;
        std::vector<uint8_t> sid = sid_from_text(fields[5]);
        size_t at = acl.size();
        acl.resize(at + 8 + sid.size());
        acl[at] = fields[0] == "D" ? ACCESS_DENIED_ACE_TYPE : ACCESS_ALLOWED_ACE_TYPE;
        acl[at + 1] = ace_flags_of(fields[1]);
        put_word(acl, at + 2, (uint32_t)(8 + sid.size()), 2);
        put_word(acl, at + 4, rights_of(fields[2]), 4);
        memcpy(&acl[at + 8], sid.data(), sid.size());
        ++count;
    }
    acl[0] = ACL_REVISION;
    put_word(acl, 2, (uint32_t)acl.size(), 2);
    put_word(acl, 4, (uint32_t)count, 2);
    return acl;
}

/* The security text a file has: its own, else its nearest folder's, else
   that of a drive administrators hold. */
static std::string security_of(const std::string &path)
{
    for (std::string p = path;;) {
        const FileEntry *e = pc().files.find(p);
        if (e && !e->security.empty())
            return e->security;
        size_t slash = p.find_last_of('\\');
        if (slash == std::string::npos || slash + 1 == p.size())
            break;
        p = p.substr(0, slash);
    }
    return "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
}

} // namespace sim

using namespace sim;

DWORD GetNamedSecurityInfoW(LPCWSTR pObjectName, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                            PSID *ppsidOwner, PSID *ppsidGroup, PACL *ppDacl, PACL *ppSacl,
                            PSECURITY_DESCRIPTOR *ppSecurityDescriptor)
{
    (void)ppsidGroup, (void)ppSacl;
    std::string path = pObjectName ? redirected(from_utf16(pObjectName, CP_ACP)) : "";
    if (fails("GetNamedSecurityInfoW", path))
        return GetLastError();
    if (ObjectType != SE_FILE_OBJECT || !ppSecurityDescriptor)
        return ERROR_INVALID_PARAMETER;
    std::string root = path.size() == 3 && path[1] == ':' ? path : "";
    if (root.empty() && !pc().files.exists(path))
        return pc().files.parent_exists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    std::string text = security_of(path);
    size_t d = text.find("D:");
    std::string owner_text = text.rfind("O:", 0) == 0 ? text.substr(2, (d == std::string::npos ? text.size() : d) - 2) : "";
    std::vector<uint8_t> owner = sid_from_text(owner_text);
    bool has_dacl = d != std::string::npos && text.compare(d, 19, "D:NO_ACCESS_CONTROL") != 0;
    std::vector<uint8_t> dacl = has_dacl ? acl_of(text.substr(d)) : std::vector<uint8_t>();
    /* SECURITY_DESCRIPTOR_RELATIVE: revision, control, then the owner's,
       group's, SACL's and DACL's offsets; the owner and the DACL follow */
    std::vector<uint8_t> sd(20, 0);
    sd[0] = 1;
    put_word(sd, 2, 0x8000 | 0x0004 | (text.find("D:P") != std::string::npos ? 0x1000 : 0), 2);
    if (!owner.empty()) {
        put_word(sd, 4, (uint32_t)sd.size(), 4);
        sd.insert(sd.end(), owner.begin(), owner.end());
    }
    if (has_dacl) {
        put_word(sd, 16, (uint32_t)sd.size(), 4);
        sd.insert(sd.end(), dacl.begin(), dacl.end());
    }
    uint8_t *block = (uint8_t *)system_local_alloc(sd.size(), true);
    memcpy(block, sd.data(), sd.size());
    if (ppsidOwner)
        *ppsidOwner = (SecurityInfo & OWNER_SECURITY_INFORMATION) && !owner.empty() ? block + 20 : nullptr;
    if (ppDacl)
        *ppDacl = (SecurityInfo & DACL_SECURITY_INFORMATION) && has_dacl ? block + 20 + owner.size() : nullptr;
    *ppSecurityDescriptor = block;
    return ERROR_SUCCESS;
}

/* Gives `text` into a buffer of *size characters as LookupAccountSidW does;
   false with the size needed (NUL included) when it does not fit. */
static bool give_name(const std::string &text, LPWSTR buffer, LPDWORD size)
{
    std::u16string wide = to_utf16(text, CP_ACP);
    bool fits = buffer && wide.size() + 1 <= *size;
    if (fits)
        memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    *size = (DWORD)wide.size() + (fits ? 0 : 1);
    return fits;
}

BOOL LookupAccountSidW(LPCWSTR lpSystemName, PSID Sid, LPWSTR Name, LPDWORD cchName, LPWSTR ReferencedDomainName,
                       LPDWORD cchReferencedDomainName, PSID_NAME_USE peUse)
{
    (void)lpSystemName;
    std::string sid = Sid ? sid_text((const uint8_t *)Sid) : "";
    if (fails("LookupAccountSidW", sid))
        return FALSE;
    static const std::map<std::string, std::string> well_known = {
        {"S-1-5-18", "NT AUTHORITY\\SYSTEM"},           {"S-1-5-19", "NT AUTHORITY\\LOCAL SERVICE"},
        {"S-1-5-20", "NT AUTHORITY\\NETWORK SERVICE"}, {"S-1-5-11", "NT AUTHORITY\\Authenticated Users"},
        {"S-1-5-32-544", "BUILTIN\\Administrators"},   {"S-1-5-32-545", "BUILTIN\\Users"},
        {"S-1-1-0", "\\Everyone"},
    };
    auto it = well_known.find(sid);
    std::string full = it != well_known.end() ? it->second : "";
    auto own = pc().accounts.find(sid);
    if (own != pc().accounts.end())
        full = own->second;
    if (full.empty() || !cchName || !cchReferencedDomainName) {
        SetLastError(full.empty() ? ERROR_NONE_MAPPED : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    size_t slash = full.find('\\');
    bool name_fits = give_name(full.substr(slash + 1), Name, cchName);
    bool domain_fits = give_name(full.substr(0, slash), ReferencedDomainName, cchReferencedDomainName);
    if (!name_fits || !domain_fits) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (peUse)
        *peUse = sid.rfind("S-1-5-21-", 0) == 0 ? SidTypeUser : SidTypeWellKnownGroup;
    return TRUE;
}

UINT GetDriveTypeW(LPCWSTR lpRootPathName)
{
    std::string root = lpRootPathName ? from_utf16(lpRootPathName, CP_ACP) : "";
    pc().faults.note("GetDriveTypeW", root); /* it cannot fail: an unknown root is its answer */
    if (root.rfind("\\\\", 0) == 0)
        return DRIVE_REMOTE;
    if (root.size() != 3 || root[1] != ':' || root[2] != '\\')
        return DRIVE_NO_ROOT_DIR;
    char letter = (char)toupper((unsigned char)root[0]);
    if (pc().network_drives.count(letter))
        return DRIVE_REMOTE;
    return DRIVE_FIXED;
}

/* ---- Authenticode ------------------------------------------------------- */

struct _CRYPT_PROVIDER_SGNR {
    CRYPT_PROVIDER_CERT certificate;
    CERT_CONTEXT context;
};
struct _CRYPT_PROVIDER_DATA {
    CRYPT_PROVIDER_SGNR signer;
    std::string encoded; /* the signer's certificate: its name stands for its bytes */
};

/* The provider data of each open state, by state handle. */
static std::map<uintptr_t, std::unique_ptr<CRYPT_PROVIDER_DATA>> providers;

LONG WinVerifyTrust(HWND hwnd, GUID *pgActionID, LPVOID pWVTData)
{
    (void)hwnd, (void)pgActionID;
    WINTRUST_DATA *data = (WINTRUST_DATA *)pWVTData;
    std::string path = data && data->dwUnionChoice == WTD_CHOICE_FILE && data->pFile && data->pFile->pcwszFilePath
                           ? redirected(from_utf16(data->pFile->pcwszFilePath, CP_ACP))
                           : "";
    if (fails("WinVerifyTrust", path))
        return (LONG)(0x80070000 | GetLastError());
    if (!data || data->cbStruct < sizeof(WINTRUST_DATA))
        return (LONG)0x80070057; /* E_INVALIDARG */
    if (data->dwStateAction == WTD_STATEACTION_CLOSE) {
        providers.erase((uintptr_t)data->hWVTStateData);
        pc().trust_states.erase((uintptr_t)data->hWVTStateData);
        data->hWVTStateData = nullptr;
        return 0;
    }
    const FileEntry *file = pc().files.find(path);
    LONG result = !file ? (LONG)0x80070002 : file->signer.empty() ? TRUST_E_NOSIGNATURE
                                           : file->signer == "bad" ? TRUST_E_BAD_DIGEST
                                                                   : 0;
    if (data->dwStateAction == WTD_STATEACTION_VERIFY) {
        HANDLE state = (HANDLE)new_handle();
        auto provider = std::make_unique<CRYPT_PROVIDER_DATA>();
        provider->encoded = result == 0 ? file->signer : "";
        provider->signer.context.pbCertEncoded = (BYTE *)provider->encoded.data();
        provider->signer.context.cbCertEncoded = (DWORD)provider->encoded.size();
        provider->signer.certificate.cbStruct = sizeof(CRYPT_PROVIDER_CERT);
        provider->signer.certificate.pCert = &provider->signer.context;
        providers[(uintptr_t)state] = std::move(provider);
        pc().trust_states[(uintptr_t)state] = result == 0 ? file->signer : "";
        data->hWVTStateData = state;
    }
    return result;
}

CRYPT_PROVIDER_DATA *WTHelperProvDataFromStateData(HANDLE hStateData)
{
    pc().faults.note("WTHelperProvDataFromStateData", "");
    auto it = providers.find((uintptr_t)hStateData);
    return it != providers.end() ? it->second.get() : nullptr;
}

CRYPT_PROVIDER_SGNR *WTHelperGetProvSignerFromChain(CRYPT_PROVIDER_DATA *pProvData, DWORD idxSigner,
                                                    BOOL fCounterSigner, DWORD idxCounterSigner)
{
    (void)idxCounterSigner;
    pc().faults.note("WTHelperGetProvSignerFromChain", "");
    /* one signer, no counter-signers; an unsigned file's data has none */
    if (!pProvData || idxSigner != 0 || fCounterSigner || pProvData->encoded.empty())
        return nullptr;
    return &pProvData->signer;
}

CRYPT_PROVIDER_CERT *WTHelperGetProvCertFromChain(CRYPT_PROVIDER_SGNR *pSgnr, DWORD idxCert)
{
    pc().faults.note("WTHelperGetProvCertFromChain", "");
    return pSgnr && idxCert == 0 ? &pSgnr->certificate : nullptr;
}
