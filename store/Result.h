#pragma once

#include <optional>
#include <utility>
#include <variant>

// How every layer returns what may fail: Result<T, Error> holds a T or the error, Result<void, Error> nothing or
// the error. Either is true when the call succeeded, so a call site reads `if (!result) return result.error();`.

// A value on success, the error otherwise. It must be looked at: a dropped result does not build.
template <typename T, typename Error> class [[nodiscard]] Result
{
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<0>(m_state); }
    T& value() & { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Error> m_state;
};

// Nothing on success, the error otherwise: what an operation that gives nothing else returns. It must be looked
// at: a dropped result does not build.
template <typename Error> class [[nodiscard]] Result<void, Error>
{
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)) {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }

    const Error& error() const { return *m_error; }
    Error& error() { return *m_error; }

private:
    std::optional<Error> m_error;
};
