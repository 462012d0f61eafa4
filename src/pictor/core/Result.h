#pragma once

#include <cstddef>
#include <utility>
#include <variant>

namespace pictor {

// A value or an error: what every completion of the library receives (g++ 12 has no std::expected).
template <typename T, typename E>
class Result {
public:
    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool isSuccess() const { return state_.index() == 0; }
    bool isFailure() const { return state_.index() == 1; }

    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const E& error() const& { return std::get<1>(state_); }

private:
    template <std::size_t I, typename V>
    Result(std::in_place_index_t<I> index, V&& v) : state_(index, std::forward<V>(v)) {}

    std::variant<T, E> state_;
};

} // namespace pictor
