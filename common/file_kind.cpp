/*
 * file_kind.cpp - which directory a driver file belongs in, told from the
 * last three characters of its name: sys, vxd, inf or pnf, without case.
 * The dot is not looked at, so "abcsys" is a sys file too.
 */
#include "file_kind.h"
#include "text_buffers.h"

int file_kind(const char *name)
{
    static const char *const extensions[] = {"sys", "vxd", "inf", "pnf"};
    char work[MAX_PATH_BYTES];

    if (name == NULL)
        return FILE_KIND_OTHER;
    int length = bounded_length(name, MAX_PATH_BYTES - 1);
    for (int i = 0; i < length; ++i)
        work[i] = name[i];
    work[length] = '\0';
    lower_case_letters(work);
    if (length < 3)
        return FILE_KIND_OTHER;
    for (int kind = 0; kind < 4; ++kind) {
        if (texts_equal(work + length - 3, extensions[kind]))
            return kind + 1;
    }
    return FILE_KIND_OTHER;
}
