// CScriptedResolver on Windows: the resolver of the Windows Sockets headers.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "tests/support/scripted_resolver.inl"
