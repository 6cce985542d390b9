// The resolver table's platform half on POSIX: the system resolver is looked up at run time in
// the running program and the libraries it was started with, the C library among them
// (dlopen of the program itself, dlsym). Its getaddrinfo answers in EAI_* values, translated
// here into Windows Sockets numbers.
#include <dlfcn.h>

#include "net/resolve/resolver_table.h"
#include "platform/socket_error_map.h"

void* OpenSystemResolverLibrary() {
    return dlopen(nullptr, RTLD_NOW);
}

ResolverEntry FindSystemResolverEntry(void* library, const char* name) {
    return reinterpret_cast<ResolverEntry>(dlsym(library, name));
}

void CloseSystemResolverLibrary(void* library) {
    dlclose(library);
}

std::int32_t SystemResolverResult(int result, int savedErrno) {
    return SocketErrorFromAddrInfo(result, savedErrno);
}
