// CHeaderMapT: a hash map from names to values in which names compare without regard to the
// case of A-Z, and the spelling of a name's first store is kept. It starts with 17 buckets
// and, once an insertion lifts the load above 2.25 entries per bucket, is rebuilt with the
// first bucket count of a rising list of primes that brings it to 0.75 or less. Entries are
// taken in blocks of 10. Exhausted memory raises CHresultException(E_OUTOFMEMORY).
// CHeaderMap (text values) holds response headers; the same map keyed the same way, with
// handler values, is the client's authentication scheme registry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/hresult_exception.h"
#include "platform/wide_text.h"

// Hash of a name with A-Z folded to a-z, so that names equal without regard to case hash
// alike.
std::uint32_t HeaderNameHash(WideView name) noexcept;
// Bucket count for a map of `entries` entries that has grown past its load limit.
std::size_t HeaderMapBucketCountFor(std::size_t entries);

template <typename TValue>
class CHeaderMapT {
public:
    static constexpr std::size_t kInitialBuckets = 17;
    static constexpr std::size_t kEntriesPerBlock = 10;

    CHeaderMapT() : buckets_(kInitialBuckets, nullptr) {}
    CHeaderMapT(const CHeaderMapT&) = delete;
    CHeaderMapT& operator=(const CHeaderMapT&) = delete;

    // Copies the value stored under name into value; false when the name is absent.
    bool Find(WideView name, TValue& value) const;
    // The value stored under name, to be changed in place; null when the name is absent.
    TValue* Lookup(WideView name) noexcept;
    // Inserts the name, or replaces the value of an existing name (keeping its spelling).
    void Store(WideView name, const TValue& value);
    // Frees every entry; the bucket count stays.
    void Clear() noexcept;

    std::size_t Count() const noexcept { return count_; }
    std::size_t BucketCount() const noexcept { return buckets_.size(); }

private:
    struct Entry {
        WideString name;
        TValue value{};
        std::uint32_t hash = 0;
        Entry* next = nullptr;
    };

    Entry* LookupEntry(WideView name, std::uint32_t hash) const noexcept;
    Entry* TakeEntry();
    void RebuildFor(std::size_t entries);

    std::vector<Entry*> buckets_;
    std::vector<std::unique_ptr<Entry[]>> blocks_;
    std::size_t usedInLastBlock_ = kEntriesPerBlock;
    std::size_t count_ = 0;
};

using CHeaderMap = CHeaderMapT<WideString>;

template <typename TValue>
typename CHeaderMapT<TValue>::Entry* CHeaderMapT<TValue>::LookupEntry(
    WideView name, std::uint32_t hash) const noexcept {
    for (Entry* entry = buckets_[hash % buckets_.size()]; entry != nullptr; entry = entry->next) {
        if (entry->hash == hash && EqualsIgnoringAsciiCase(entry->name, name)) {
            return entry;
        }
    }
    return nullptr;
}

template <typename TValue>
bool CHeaderMapT<TValue>::Find(WideView name, TValue& value) const try {
    const Entry* entry = LookupEntry(name, HeaderNameHash(name));
    if (entry == nullptr) {
        return false;
    }
    value = entry->value;
    return true;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}

template <typename TValue>
TValue* CHeaderMapT<TValue>::Lookup(WideView name) noexcept {
    Entry* entry = LookupEntry(name, HeaderNameHash(name));
    return entry == nullptr ? nullptr : &entry->value;
}

template <typename TValue>
void CHeaderMapT<TValue>::Store(WideView name, const TValue& value) try {
    const std::uint32_t hash = HeaderNameHash(name);
    if (Entry* entry = LookupEntry(name, hash)) {
        entry->value = value;
        return;
    }
    WideString nameCopy(name);
    TValue valueCopy(value);
    if ((count_ + 1) * 4 > buckets_.size() * 9) {
        RebuildFor(count_ + 1);
    }
    Entry* entry = TakeEntry();
    entry->name = std::move(nameCopy);
    entry->value = std::move(valueCopy);
    entry->hash = hash;
    Entry*& head = buckets_[hash % buckets_.size()];
    entry->next = head;
    head = entry;
    ++count_;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}

template <typename TValue>
typename CHeaderMapT<TValue>::Entry* CHeaderMapT<TValue>::TakeEntry() {
    if (usedInLastBlock_ == kEntriesPerBlock) {
        blocks_.reserve(blocks_.size() + 1);
        blocks_.push_back(std::make_unique<Entry[]>(kEntriesPerBlock));
        usedInLastBlock_ = 0;
    }
    return &blocks_.back()[usedInLastBlock_++];
}

template <typename TValue>
void CHeaderMapT<TValue>::RebuildFor(std::size_t entries) {
    std::vector<Entry*> buckets(HeaderMapBucketCountFor(entries), nullptr);
    for (Entry* chain : buckets_) {
        while (chain != nullptr) {
            Entry* next = chain->next;
            Entry*& head = buckets[chain->hash % buckets.size()];
            chain->next = head;
            head = chain;
            chain = next;
        }
    }
    buckets_.swap(buckets);
}

template <typename TValue>
void CHeaderMapT<TValue>::Clear() noexcept {
    for (Entry*& head : buckets_) {
        head = nullptr;
    }
    blocks_.clear();
    usedInLastBlock_ = kEntriesPerBlock;
    count_ = 0;
}
