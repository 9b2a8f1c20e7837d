/*
 * image.cpp - a PC kept as an image and restored from it: the fuzzers start
 * every input from one PC, built once, instead of building it again.
 *
 * A restore copies only what differs from the image where that is most of
 * the work: export tables, the registry when unchanged.
 */
#include <cstdlib>

#include "sim.h"

namespace sim {

/* Copies `key` and what hangs below it, once each (links may share a target). */
static std::shared_ptr<RegKey> copy_key(const RegKey *key, std::map<const RegKey *, std::shared_ptr<RegKey>> &copies)
{
    auto known = copies.find(key);
    if (known != copies.end())
        return known->second;
    auto copy = std::make_shared<RegKey>();
    copies[key] = copy;
    copy->name = key->name;
    copy->values = key->values;
    copy->deleted = key->deleted;
    for (const auto &sub : key->subkeys) {
        copy->subkeys.push_back(copy_key(sub.get(), copies));
        copy->subkeys.back()->parent = copy.get();
    }
    if (key->link)
        copy->link = copy_key(key->link.get(), copies);
    return copy;
}

Registry Registry::clone(std::map<const RegKey *, std::shared_ptr<RegKey>> *mapping) const
{
    std::map<const RegKey *, std::shared_ptr<RegKey>> own;
    Registry out;
    out.root = copy_key(root.get(), mapping ? *mapping : own);
    return out;
}

/* Where a key lies: its names up to the root. */
static bool same_place(const RegKey *a, const RegKey *b)
{
    for (; a && b; a = a->parent, b = b->parent)
        if (a->name != b->name)
            return false;
    return !a && !b;
}

/* What copy_key() copies, compared; a link by where its target lies. */
static bool same_key(const RegKey *a, const RegKey *b)
{
    if (a->name != b->name || a->deleted != b->deleted || a->values.size() != b->values.size() ||
        a->subkeys.size() != b->subkeys.size() || !a->link != !b->link)
        return false;
    for (size_t i = 0; i < a->values.size(); ++i) {
        const RegValue &x = a->values[i], &y = b->values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data)
            return false;
    }
    if (a->link)
        return same_place(a->link.get(), b->link.get()); /* the target is compared where it lies */
    for (size_t i = 0; i < a->subkeys.size(); ++i)
        if (!same_key(a->subkeys[i].get(), b->subkeys[i].get()))
            return false;
    return true;
}

bool Registry::same_as(const Registry &other) const
{
    return same_key(root.get(), other.root.get());
}

/* Makes `to` equal `from`, touching only the entries that differ. */
template <class Map> static void sync(Map &to, const Map &from)
{
    auto t = to.begin();
    for (auto f = from.begin(); f != from.end(); ++f) {
        while (t != to.end() && t->first < f->first)
            t = to.erase(t);
        if (t != to.end() && t->first == f->first) {
            if (!(t->second == f->second))
                t->second = f->second;
            ++t;
        } else {
            to.emplace_hint(t, *f);
        }
    }
    to.erase(t, to.end());
}

/* Makes `to` a copy of `from` that shares no registry key with it. The
   libraries' export tables, most of a PC to copy and hardly ever changed by
   a run, are brought in line entry by entry (`from` lends its own for the
   copy); the registry is kept when equal and no handle has to follow it. */
static void copy_pc(Pc &to, Pc &from)
{
    std::map<std::string, std::map<std::string, FARPROC>> kept, lent; /* by library */
    for (auto &lib : to.libraries)
        kept[lib.first].swap(lib.second.exports);
    for (auto &lib : from.libraries)
        lent[lib.first].swap(lib.second.exports);
    std::shared_ptr<RegKey> kept_root = to.registry.root;
    bool same_registry = from.key_handles.empty() && to.registry.same_as(from.registry);

    to = from;

    for (auto &lib : to.libraries) {
        std::map<std::string, FARPROC> &exports = kept[lib.first];
        sync(exports, lent[lib.first]);
        lib.second.exports.swap(exports);
    }
    for (auto &lib : from.libraries)
        lib.second.exports.swap(lent[lib.first]);

    if (same_registry) {
        to.registry.root = kept_root;
    } else {
        std::map<const RegKey *, std::shared_ptr<RegKey>> copies;
        to.registry = from.registry.clone(&copies);
        for (auto &handle : to.key_handles) {
            Registry held; /* the key the handle holds, deleted or not */
            held.root = handle.second.key;
            handle.second.key = held.clone(&copies).root;
        }
    }
    to.local_blocks.clear();
}

Pc image()
{
    Pc out;
    copy_pc(out, pc());
    return out;
}

void restore(Pc &image)
{
    for (auto &kv : pc().local_blocks)
        free(kv.first);
    forget_parsed_inf();
    copy_pc(pc(), image);
}

} // namespace sim
