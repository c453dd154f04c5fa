#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace tarnwick {

// A failure reported by the operating system: its error code and a
// description that names the file and the reason.
struct SystemError {
    int code = 0;
    std::string description;
};

namespace detail {

// Taking the value of a failed operation is a programming error: it ends the
// process with the failure's description instead of reading garbage.
[[noreturn]] inline void ValueOfFailure(const SystemError& error) {
    std::fprintf(stderr, "Value() taken of a failed operation: %s\n", error.description.c_str());
    std::abort();
}

}  // namespace detail

// Either a value or the SystemError that prevented it.
template <typename T>
class [[nodiscard]] Expected {
public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(SystemError error) : m_error(std::move(error)) {}

    bool HasValue() const { return m_value.has_value(); }
    explicit operator bool() const { return HasValue(); }

    const T& Value() const& {
        if (!m_value) detail::ValueOfFailure(m_error);
        return *m_value;
    }
    T& Value() & {
        if (!m_value) detail::ValueOfFailure(m_error);
        return *m_value;
    }
    T&& Value() && {
        if (!m_value) detail::ValueOfFailure(m_error);
        return std::move(*m_value);
    }
    const SystemError& Error() const { return m_error; }

private:
    std::optional<T> m_value;
    SystemError m_error;
};

// Success, or the SystemError that prevented it.
template <>
class [[nodiscard]] Expected<void> {
public:
    Expected() = default;
    Expected(SystemError error) : m_failed(true), m_error(std::move(error)) {}

    bool HasValue() const { return !m_failed; }
    explicit operator bool() const { return HasValue(); }
    const SystemError& Error() const { return m_error; }

private:
    bool m_failed = false;
    SystemError m_error;
};

// Whether expected holds value; a failure equals no value.
template <typename T>
bool operator==(const Expected<T>& expected, const T& value) {
    return expected && expected.Value() == value;
}

}  // namespace tarnwick
