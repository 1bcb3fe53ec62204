// How the program's memory goes back to the system. A run reads and drops
// thousands of files; every page handed back and taken again costs a page
// fault, which on many machines is dearer than the work on the page.
#ifndef QRL_SERVICES_MEMORY_REUSE_H_
#define QRL_SERVICES_MEMORY_REUSE_H_

#include <cstddef>

// Asks the C library to serve blocks up to a few MiB from memory the
// program freed before, and to hand freed memory back only when much of it
// lies unused. Does nothing where the C library has no such settings.
// Called once, at the start of main.
void KeepFreedMemoryForReuse();

// Asks the system to give the `size` bytes at `data` (memory just taken,
// about to be filled) their pages at once: one call instead of a page
// fault every 4 KiB. Only for a megabyte or more; does nothing where the
// system cannot.
void PrefaultForWriting(char* data, size_t size);

#endif  // QRL_SERVICES_MEMORY_REUSE_H_
