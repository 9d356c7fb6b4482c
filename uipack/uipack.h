/* The station's resource library: a Qt resource bundle under ":/uipack" that registers itself
   when the library is loaded, and one function that reports the bundle's format. */
#ifndef UIPACK_H
#define UIPACK_H

/* Bumped whenever a path, a file format or a fixed text of the bundle changes incompatibly. */
#define UIPACK_FORMAT_VERSION 1

#ifdef __cplusplus
extern "C" {
#endif

/* The bundle's format version: UIPACK_FORMAT_VERSION of the build that made the library. */
int uipack_format_version(void);

#ifdef __cplusplus
}
#endif

#endif /* UIPACK_H */
