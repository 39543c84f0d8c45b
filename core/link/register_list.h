#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace dmm {

// A list of register records kept in two blocks of 256 entries, each allocated when its
// first entry arrives; at most 512 entries. The list owns copies of what is added.
// Entry must provide ListAddress() (the register address the list reports for it).
template <typename Entry>
class RegisterList {
  public:
    static constexpr int kBlockSize = 256;
    static constexpr int kCapacity = 2 * kBlockSize;

    RegisterList() = default;
    RegisterList(const RegisterList& other) { *this = other; }
    RegisterList& operator=(const RegisterList& other) {
        if (this == &other) return *this;
        Clear();
        for (int i = 0; i < other.Count(); ++i) Add(*other.Items(i));
        return *this;
    }
    RegisterList(RegisterList&&) noexcept = default;
    RegisterList& operator=(RegisterList&&) noexcept = default;

    // 0 on success; non-zero when the list is full.
    int Add(const Entry& entry) {
        if (count_ >= kCapacity) return 1;
        auto& block = blocks_[static_cast<size_t>(count_ / kBlockSize)];
        if (!block) block = std::make_unique<Block>();
        (*block)[static_cast<size_t>(count_ % kBlockSize)] = entry;
        ++count_;
        return 0;
    }
    void Clear() {
        for (auto& block : blocks_) block.reset();
        count_ = 0;
    }
    int Count() const { return count_; }
    // The entry at index, or nullptr outside 0 .. Count()-1.
    const Entry* Items(int index) const {
        if (index < 0 || index >= count_) return nullptr;
        return &(*blocks_[static_cast<size_t>(index / kBlockSize)])[static_cast<size_t>(
            index % kBlockSize)];
    }
    Entry* Items(int index) {
        return const_cast<Entry*>(static_cast<const RegisterList*>(this)->Items(index));
    }
    // The register address of the entry at index, or -1 outside the list.
    int Address(int index) const {
        const Entry* entry = Items(index);
        return entry ? entry->ListAddress() : -1;
    }
    int BlocksAllocated() const { return (blocks_[0] ? 1 : 0) + (blocks_[1] ? 1 : 0); }

  private:
    using Block = std::array<Entry, kBlockSize>;
    std::array<std::unique_ptr<Block>, 2> blocks_;
    int count_ = 0;
};

}  // namespace dmm
