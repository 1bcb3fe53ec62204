// How the program's memory goes back to the system. A run reads and drops
// thousands of files; every page handed back and taken again costs a page
// fault, which on many machines is dearer than the work on the page.
#ifndef QRL_SERVICES_MEMORY_REUSE_H_
#define QRL_SERVICES_MEMORY_REUSE_H_

// Asks the C library to serve blocks up to a few MiB from memory the
// program freed before, and to hand freed memory back only when much of it
// lies unused. Does nothing where the C library has no such settings.
// Called once, at the start of main.
void KeepFreedMemoryForReuse();

#endif  // QRL_SERVICES_MEMORY_REUSE_H_
