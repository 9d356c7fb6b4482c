/* vigimot's header as a C program sees it: layout of the records and calls by value. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "vigimot.h"

_Static_assert(sizeof(Point16) == 4, "Point16 is one 32-bit value");
_Static_assert(sizeof(Size16) == 4, "Size16 is one 32-bit value");
_Static_assert(sizeof(Rect16) == 8, "Rect16 is four 16-bit values");
_Static_assert(sizeof(MotionRegion) == 14, "MotionRegion records are 14 bytes");
_Static_assert(offsetof(MotionRegion, rule) == 12, "rule follows diffThreshold");
_Static_assert(offsetof(ImageBuf, width) == sizeof(uint8_t*), "width follows data");

static int failures;

static void check(int ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

int main(void) {
    uint8_t a[16 * 12], b[16 * 12], work[16 * 12];
    ImageBuf cur = {a, 16, 12}, ref = {b, 16, 12}, dst = {work, 0, 0};
    Point16 centre = {0, 0};
    Rect16 target = {0, 0, 0, 0};
    uint8_t alarm = 7, found = 7, near = 7;
    MotionRegion regions[2] = {{0, 0, 8, 12, 0, 10, 1}, {8, 0, 8, 12, 0, 10, 2}};
    uint8_t alarms[2], founds[2];
    Point16 centres[2];
    Rect16 targets[2];
    char version[32];
    int y;

    memset(a, 0, sizeof(a));
    memset(b, 0, sizeof(b));
    for (y = 3; y < 8; ++y) {
        memset(a + y * 16 + 10, 255, 4);
    }
    check(ORBALIN_Subtract_Image(&cur, &ref, &dst) == VIGIMOT_DONE, "subtract");
    check(dst.width == 16 && dst.height == 12, "subtract size");
    check(ORBALIN_Binarize(&dst, &dst, 4, 10, 0) == VIGIMOT_DONE, "binarize in place");
    check(ORBALIN_Binarize(&dst, &dst, 9, 10, 0) == VIGIMOT_REFUSED, "binarize refused");

    ORBALIN_Get_Center((Point16){10, 20}, (Size16){5, -3}, &centre);
    check(centre.x == 12 && centre.y == 19, "centre");
    ORBALIN_Detect_Boundary(&cur, (Point16){5, 5}, (Size16){2, 2}, &near);
    check(near == 0, "boundary inside");
    ORBALIN_Detect_Boundary(&cur, (Point16){10, 5}, (Size16){2, 2}, &near);
    check(near == 1, "boundary at the right margin");

    ORBALIN_Detect_Motion(&cur, &ref, &dst, 10, 0, &alarm, &target, &found);
    check(found == 1 && alarm == 1, "detect");
    check(target.x == 11 && target.y == 4 && target.width == 1 && target.height == 2, "target");

    check(ORBALIN_Detect_Motion_Multiple(&cur, &ref, 2, regions, alarms, centres, targets,
                                         founds) == 2,
          "multiple count");
    check(founds[1] == 1 && alarms[1] == 1 && targets[1].x == 11, "second region");

    ORBALIN_Get_Vigimot_Version(version);
    check(strcmp(version, "**** v1.00 at Nov 30 2003 ****\n") == 0, "version");

    printf("%s\n", failures ? "C ABI checks failed" : "C ABI checks passed");
    return failures ? 1 : 0;
}
