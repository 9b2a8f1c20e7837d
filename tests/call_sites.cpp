/*
 * call_sites.cpp - names for return addresses, from the ELF symbol table of
 * the running test program (/proc/self/exe).
 */
#include "call_sites.h"

#include <algorithm>
#include <cstring>
#include <cxxabi.h>
#include <elf.h>
#include <fstream>
#include <link.h>
#include <sstream>

namespace {

struct Symbol {
    uintptr_t start;
    uintptr_t size;
    std::string name;
};

/* "remove_oem_inf_files(int)" -> "remove_oem_inf_files"; C names stay as they are. */
std::string plain_name(const char *mangled)
{
    int status = 0;
    char *demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    free(demangled);
    size_t paren = name.find('(');
    return paren == std::string::npos ? name : name.substr(0, paren);
}

int find_load_address(struct dl_phdr_info *info, size_t, void *data)
{
    /* the first object is the program itself */
    *static_cast<uintptr_t *>(data) = info->dlpi_addr;
    return 1;
}

std::vector<Symbol> load_symbols()
{
    std::vector<Symbol> symbols;
    std::ifstream in("/proc/self/exe", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string image = ss.str();
    if (image.size() < sizeof(Elf64_Ehdr) || memcmp(image.data(), ELFMAG, SELFMAG) != 0)
        return symbols;
    const auto *header = reinterpret_cast<const Elf64_Ehdr *>(image.data());
    const auto *sections = reinterpret_cast<const Elf64_Shdr *>(image.data() + header->e_shoff);
    uintptr_t base = 0;
    dl_iterate_phdr(find_load_address, &base);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_SYMTAB)
            continue;
        const Elf64_Shdr &strings = sections[sections[i].sh_link];
        const auto *entries = reinterpret_cast<const Elf64_Sym *>(image.data() + sections[i].sh_offset);
        size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (size_t k = 0; k < count; ++k) {
            if (ELF64_ST_TYPE(entries[k].st_info) != STT_FUNC || entries[k].st_value == 0)
                continue;
            const char *name = image.data() + strings.sh_offset + entries[k].st_name;
            symbols.push_back({base + entries[k].st_value, entries[k].st_size, plain_name(name)});
        }
    }
    std::sort(symbols.begin(), symbols.end(), [](const Symbol &a, const Symbol &b) { return a.start < b.start; });
    return symbols;
}

} // namespace

std::vector<std::string> function_names(const std::vector<void *> &frames)
{
    static const std::vector<Symbol> symbols = load_symbols();
    std::vector<std::string> names;
    for (void *frame : frames) {
        /* a return address points just past its call */
        uintptr_t at = reinterpret_cast<uintptr_t>(frame) - 1;
        auto it = std::upper_bound(symbols.begin(), symbols.end(), at,
                                   [](uintptr_t a, const Symbol &s) { return a < s.start; });
        if (it == symbols.begin() || at >= std::prev(it)->start + std::prev(it)->size)
            names.push_back("?");
        else
            names.push_back(std::prev(it)->name);
    }
    return names;
}
