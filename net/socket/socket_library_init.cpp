// CSocketLibraryInit: start on demand, retry after a failure, clean up at exit only if started.
#include "net/socket/socket_library_init.h"

namespace {

CSocketLibraryInit g_socketLibrary;

}  // namespace

CSocketLibraryInit::~CSocketLibraryInit() {
    if (IsStarted()) {
        cleanup_();
    }
}

bool CSocketLibraryInit::Start() {
    if (state_ != 0) {
        state_ = startup_(kRequestedVersion);
    }
    return IsStarted();
}

CSocketLibraryInit& SocketLibrary() {
    return g_socketLibrary;
}
