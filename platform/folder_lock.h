// CFolderLock (POSIX): the short lock a run takes on a folder while it checks a file of that
// folder and acts on it (claims it, moves it, deletes it). POSIX has no share modes, so a check
// for other holders is a look at every process's open files; a second run that opens a file
// only to look at it would, for that moment, look like a holder to the first run's check, and
// two runs could each give way to the other or both take the same log. Under this lock no run
// opens a file of the folder while another one checks, so every holder a check sees is a real
// one: the product, or a run that has claimed the file. The lock is an advisory flock on the
// folder itself, which the kernel drops when a run ends however it ends; the wait for it is
// bounded.
#pragma once

#include <string>

class CFolderLock {
public:
    // Locks the folder that holds the file at nativePath, waiting up to kWaitMs for another
    // run to finish its check there.
    explicit CFolderLock(const std::string& nativePath);
    ~CFolderLock();
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

    // False only when another run kept the folder locked for the whole wait: the caller then
    // treats the file as in use. A folder that cannot be opened to be locked is not locked and
    // not waited for.
    bool Acquired() const { return !timedOut_; }

    static constexpr int kWaitMs = 10000;

private:
    int descriptor_ = -1;
    bool timedOut_ = false;
};
