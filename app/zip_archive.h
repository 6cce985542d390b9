// CZipArchive: owns one minizip archive being written. Create makes a new archive at a path
// (an existing file there is truncated, so the caller clears the place first); Close writes
// the central directory with no global comment. The destructor closes an archive still open,
// so an exception between the two never leaks the handle or the file.
#pragma once

#include <minizip/zip.h>

#include "platform/wide_text.h"

class CZipArchive {
public:
    CZipArchive() = default;
    ~CZipArchive() { Close(); }
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    bool Create(WideView path);
    void Close() noexcept;
    zipFile Handle() const { return archive_; }

private:
    zipFile archive_ = nullptr;
};
