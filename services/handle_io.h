// The read and write loops of the program's file transfers. They move at
// most 2147483647 bytes per system call, repeat calls interrupted by a
// signal, and return what was moved; a short count is for the caller to
// judge (end of file or an error).
#ifndef QRL_SERVICES_HANDLE_IO_H_
#define QRL_SERVICES_HANDLE_IO_H_

#include <sys/uio.h>

#include <cstdint>
#include <string>

// The largest count one read or write system call is asked for.
inline constexpr uint64_t kMaxTransferChunk = 2147483647;

// Reads up to `count` bytes; stops early at end of file or on an error.
// Asked for 0 bytes it makes no system call. When `error` is given it
// receives the errno of a failed call, or 0 when the loop did not fail.
uint64_t ReadFromHandle(int fd, void* buffer, uint64_t count,
                        int* error = nullptr);

// Writes up to `count` bytes; stops early when a write fails or makes no
// progress, with its errno in *error as above.
uint64_t WriteToHandle(int fd, const void* buffer, uint64_t count,
                       int* error = nullptr);

// Writes the `count` byte runs of `pieces` one after another at `offset`,
// as few system calls as the system allows (each takes up to IOV_MAX
// runs); retries calls interrupted by a signal and writes that were cut
// short. False with the errno in *error (EIO for a write that made no
// progress). The runs may be changed while they are written.
bool WritePiecesAt(int fd, struct iovec* pieces, size_t count, uint64_t offset,
                   int* error);

// Reads from `fd` until end of file into `out`. The file's size, when the
// system knows it, sizes the string in one allocation. False on a read
// error, with its errno in *error.
bool ReadWholeHandle(int fd, std::string* out, int* error);

#endif  // QRL_SERVICES_HANDLE_IO_H_
