/* A C program that reaches the library only through registerDispatchRecord
 * and getCoreVersionRecord. Linking those must bring in every entry's
 * registration, so the list it sees is the full one. Exits non-zero when
 * it is not. */
#include <stdio.h>
#include <string.h>

#include "primitives.h"

/* The built entries, in registration order. */
static const char* const builtEntries[] = {
#define PRIMITIVE_ENTRY(tag, name, generic, sse, sse2, sse3) #name,
#include "primitives/core/EntryList.h"
#undef PRIMITIVE_ENTRY
};

int main(void) {
    static RegistrationRecord own = {"s", "ownRecord", NULL, NULL};
    const size_t count = sizeof builtEntries / sizeof builtEntries[0];
    size_t listed = 0;
    const RegistrationRecord* record;

    own.link = registerDispatchRecord(&own);

    /* The list runs from the last registered entry back to the first. */
    for (record = own.link; record != NULL; record = record->link) {
        if (listed == count || strcmp(record->name, builtEntries[count - 1 - listed]) != 0) {
            fprintf(stderr, "FAILED: registration %zu is %s\n", listed, record->name);
            return 1;
        }
        ++listed;
    }
    if (listed != count) {
        fprintf(stderr, "FAILED: %zu of %zu entries registered\n", listed, count);
        return 1;
    }
    if (getCoreVersionRecord()->major != 4 || getCoreVersionRecord()->minor != 1) {
        fprintf(stderr, "FAILED: core version record\n");
        return 1;
    }
    printf("registration list: %zu entries\n", listed);
    return 0;
}
