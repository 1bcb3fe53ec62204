// libgit2 is set up once, before its first use, and stays for the life of
// the process.
#ifndef QRL_PACK_REBASE_LIBGIT2_INIT_H_
#define QRL_PACK_REBASE_LIBGIT2_INIT_H_

void EnsureLibgit2();

#endif  // QRL_PACK_REBASE_LIBGIT2_INIT_H_
