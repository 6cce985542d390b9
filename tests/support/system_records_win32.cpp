// CSystemRecords on Windows: the records of the Windows Sockets headers.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/support/system_records.inl"
