// CSocketAddr: resolves a host name or dotted IPv4 address and a service (port number or
// service name) into a list of socket addresses, through the process-wide resolver table. The
// object owns the list of its last successful resolution and releases it before the next
// resolution and on destruction; entries from ResultAt are valid only until then.
#pragma once

struct addrinfo;

class CSocketAddr {
public:
    CSocketAddr() = default;
    virtual ~CSocketAddr();
    CSocketAddr(const CSocketAddr&) = delete;
    CSocketAddr& operator=(const CSocketAddr&) = delete;

    // 0 on success (the list is then held), the resolver's Windows Sockets error otherwise, or
    // -1 with the thread's socket error 8 when host or service is null or cannot be converted.
    int Resolve(const char16_t* host, const char16_t* service, int flags, int family,
                int socketType, int protocol);
    // Resolve with the port in decimal as the service.
    int ResolvePort(const char16_t* host, int port, int flags, int family, int socketType,
                    int protocol);
    // The entry at index (0 = first), or null when there is no list or it is shorter.
    addrinfo* ResultAt(int index) const;

private:
    void ReleaseList();

    addrinfo* list_ = nullptr;
};
