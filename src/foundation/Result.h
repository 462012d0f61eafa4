#pragma once

#include <cstddef>
#include <utility>
#include <variant>

// A value or an error, for completions that report either (g++ 12 has no std::expected).
template <typename T, typename E>
class Result {
public:
    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool isSuccess() const { return state_.index() == 0; }
    bool isFailure() const { return state_.index() == 1; }

    const T& value() const& { return std::get<0>(state_); }
    T& value() & { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const E& error() const& { return std::get<1>(state_); }
    E& error() & { return std::get<1>(state_); }

    // The value, or the fallback when this is a failure.
    T valueOr(T fallback) const { return isSuccess() ? value() : std::move(fallback); }

private:
    template <std::size_t I, typename V>
    Result(std::in_place_index_t<I> index, V&& v) : state_(index, std::forward<V>(v)) {}

    std::variant<T, E> state_;
};

// Stands for an empty success value.
struct Success {
    bool operator==(const Success&) const = default;
};
