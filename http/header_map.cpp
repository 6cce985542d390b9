// The non-template half of CHeaderMapT: the case-folding hash and the bucket-count steps.
#include "http/header_map.h"

namespace {

// Bucket counts of a growing map: these primes first, then primes each about a quarter
// larger than the one before.
constexpr std::size_t kListedPrimes[] = {17, 23, 29, 37, 41, 53, 67, 83, 103, 131, 163, 211, 257};

bool IsPrime(std::size_t n) {
    if (n < 2) {
        return false;
    }
    for (std::size_t d = 2; d <= n / d; ++d) {
        if (n % d == 0) {
            return false;
        }
    }
    return true;
}

std::size_t NextPrimeAtLeast(std::size_t n) {
    while (!IsPrime(n)) {
        ++n;
    }
    return n;
}

// At most 0.75 entries per bucket.
bool Fits(std::size_t entries, std::size_t buckets) {
    return entries * 4 <= buckets * 3;
}

}  // namespace

std::uint32_t HeaderNameHash(WideView name) noexcept {
    std::uint32_t hash = 2166136261u;  // FNV-1a over the folded code units
    for (const char16_t unit : name) {
        hash = (hash ^ AsciiLower(unit)) * 16777619u;
    }
    return hash;
}

std::size_t HeaderMapBucketCountFor(std::size_t entries) {
    for (const std::size_t prime : kListedPrimes) {
        if (Fits(entries, prime)) {
            return prime;
        }
    }
    std::size_t buckets = kListedPrimes[sizeof(kListedPrimes) / sizeof(kListedPrimes[0]) - 1];
    while (!Fits(entries, buckets)) {
        buckets = NextPrimeAtLeast(buckets + buckets / 4);
    }
    return buckets;
}
