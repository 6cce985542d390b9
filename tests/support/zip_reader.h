// Reading an archive back in tests: every entry with what its headers say and its bytes, so
// that tests can assert the archive the log sender wrote (entry names, method, date, CRC).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CZipEntry {
    std::string name;
    int method = -1;
    std::uint32_t dosDateTime = 0;  // DOS date in the high 16 bits, DOS time in the low
    std::uint32_t crc = 0;          // as stored in the headers
    bool crcMatches = false;        // the stored CRC is the CRC-32 of the unpacked bytes
    std::string bytes;
};

// False when path is not an archive that unpacks without error.
bool ReadZipEntries(const std::string& path, std::vector<CZipEntry>& entries);
// The same for an archive held in memory (a posted one).
bool ReadZipBytes(const std::string& archive, std::vector<CZipEntry>& entries);
