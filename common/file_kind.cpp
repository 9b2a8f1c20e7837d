/*
 * file_kind.cpp - which directory a driver file belongs in, told from the
 * last three characters of its name: sys, vxd, inf or pnf, without case.
 * The dot is not looked at, so "abcsys" is a sys file too.
 */
#include "file_kind.h"
#include "text_buffers.h"

int file_kind(const char *name)
{
    static const struct {
        const char *extension;
        FileKind kind;
    } kinds[] = {
        {"sys", FILE_KIND_SYS},
        {"vxd", FILE_KIND_VXD},
        {"inf", FILE_KIND_INF},
        {"pnf", FILE_KIND_PNF},
    };
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
    for (unsigned i = 0; i < sizeof kinds / sizeof kinds[0]; ++i) {
        if (texts_equal(work + length - 3, kinds[i].extension))
            return kinds[i].kind;
    }
    return FILE_KIND_OTHER;
}
