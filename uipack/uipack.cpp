#include "uipack.h"

extern "C" __attribute__((visibility("default"))) int uipack_format_version(void) {
    return UIPACK_FORMAT_VERSION;
}
