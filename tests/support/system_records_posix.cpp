// CSystemRecords on POSIX: the records of <netdb.h> and <netinet/in.h>.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include "tests/support/system_records.inl"
