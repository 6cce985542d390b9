// CScriptedResolver on POSIX: the resolver of <netdb.h>.
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>

#include "tests/support/scripted_resolver.inl"
