// The parts of a file name as the system splits it. Pure text work: looks
// at no file.
#ifndef QRL_SERVICES_PATH_PARTS_H_
#define QRL_SERVICES_PATH_PARTS_H_

#include <string>

// The directory part of a name as the system sees it: up to and including
// the last "/" ("\" is an ordinary byte in a name); empty for a name in the
// working directory.
std::string SystemDirectoryPart(const std::string& name);

#endif  // QRL_SERVICES_PATH_PARTS_H_
