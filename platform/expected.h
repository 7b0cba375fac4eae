// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an operation that can fail with a reason returns: its value, or the reason there is
// none. It has the shape of C++23's std::expected, which this compiler does not offer in
// C++20, so that it can be replaced by it word for word.
//
// The convention throughout Corvane: std::optional means "absent" and says nothing more; an
// Expected says why something failed; exceptions are for programming errors only.

#include <optional>
#include <utility>
#include <variant>

namespace platform {

template <class E>
struct Unexpected {
    E error;
};
template <class E>
Unexpected(E) -> Unexpected<E>;

template <class T, class E>
class Expected {
  public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected<E> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    // Reading the value of a failure, or the reason of a success, is a programming error:
    // it throws std::bad_variant_access.
    const T& value() const { return std::get<0>(state_); }
    T& value() { return std::get<0>(state_); }
    const T& operator*() const { return value(); }
    T& operator*() { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    const E& error() const { return std::get<1>(state_); }

    template <class U>
    T value_or(U&& fallback) const {
        return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

  private:
    std::variant<T, E> state_;
};

// Success without a value, or the reason of the failure.
template <class E>
class Expected<void, E> {
  public:
    Expected() = default;
    Expected(Unexpected<E> failure) : error_(std::move(failure.error)) {}

    bool has_value() const { return !error_; }
    explicit operator bool() const { return has_value(); }
    const E& error() const { return *error_; }

  private:
    std::optional<E> error_;
};

}  // namespace platform
