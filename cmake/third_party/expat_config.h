/* expat's settings where the build compiles it (Windows, the browser): the
   features and limits of Debian's libexpat1, which the Linux build links,
   so that every build parses a workbook alike. */
#ifndef EXPAT_CONFIG_H
#define EXPAT_CONFIG_H 1

#define BYTEORDER 1234 /* x86 and WebAssembly are little-endian */
#define HAVE_STDINT_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define XML_CONTEXT_BYTES 1024
#define XML_DTD 1
#define XML_NS 1

/* The hash salt's randomness: rand_s on Windows (expat's own choice there);
   /dev/urandom elsewhere, which Emscripten serves from the browser's
   crypto.getRandomValues or Node's crypto. */
#if !defined(_WIN32)
#define XML_DEV_URANDOM 1
#endif

#endif
