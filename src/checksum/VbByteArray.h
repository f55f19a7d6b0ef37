#pragma once
// A byte array as the callers of clsCRC hold one: either never sized (it has
// no bounds at all), or sized with a lower bound and zero or more elements,
// its upper bound being lower bound + count - 1 (so an empty sized array has
// an upper bound one below its lower bound). Plain value type.
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrak {

class VbByteArray {
public:
    // A never-sized array: no bounds.
    VbByteArray() = default;
    // A sized array holding bytes, its first element at index lowerBound.
    explicit VbByteArray(std::vector<uint8_t> bytes, int32_t lowerBound = 0)
        : Sized_(true), Lower_(lowerBound), Bytes_(std::move(bytes)) {}
    // One byte per character of text, lower bound 0; sized even when empty.
    static VbByteArray FromText(std::string_view text) {
        return VbByteArray(std::vector<uint8_t>(text.begin(), text.end()));
    }

    bool HasBounds() const { return Sized_; }
    // Bounds; meaningful only when HasBounds().
    int64_t LBound() const { return Lower_; }
    int64_t UBound() const { return Lower_ + static_cast<int64_t>(Bytes_.size()) - 1; }
    // The element at index (from LBound() to UBound()).
    uint8_t& operator()(int64_t index) { return Bytes_.at(static_cast<size_t>(index - Lower_)); }
    uint8_t operator()(int64_t index) const {
        return Bytes_.at(static_cast<size_t>(index - Lower_));
    }
    // The elements from the lower to the upper bound (none when never sized).
    std::span<const uint8_t> Bytes() const { return Bytes_; }

private:
    bool Sized_ = false;
    int32_t Lower_ = 0;
    std::vector<uint8_t> Bytes_;
};

} // namespace ostrak
