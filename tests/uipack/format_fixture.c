/* A library with the resource library's entry point and no bundle; FIXTURE_FORMAT is the
   format it claims. */
#include "uipack.h"

int uipack_format_version(void) {
    return FIXTURE_FORMAT;
}
