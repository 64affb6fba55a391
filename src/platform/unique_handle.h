#pragma once

#include <utility>

namespace vq::platform {

// Move-only owner of one OS resource. Traits supply the raw type, the value
// that means "nothing owned" and the release call; a release keeps the
// thread's last-error value so an error path can still report it.
template <typename Traits>
class UniqueAny {
public:
    using Pointer = typename Traits::Pointer;

    UniqueAny() noexcept = default;
    explicit UniqueAny(Pointer value) noexcept : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueAny() { reset(); }

    [[nodiscard]] Pointer get() const noexcept { return value_; }
    [[nodiscard]] bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    [[nodiscard]] Pointer release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    void reset(Pointer value = Traits::Invalid()) noexcept
    {
        Pointer old = std::exchange(value_, value);
        if (old != Traits::Invalid()) {
            Traits::Close(old);
        }
    }

    // For out-parameters: releases what is owned and hands out the slot.
    [[nodiscard]] Pointer* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    Pointer value_ = Traits::Invalid();
};

} // namespace vq::platform
