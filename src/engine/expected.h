#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tarnwick {

// A failure reported by the operating system: its error number and a
// description that names the file and the reason.
struct SystemError {
    int code = 0;
    std::string description;
};

// Either a value or the SystemError that prevented it.
template <typename T>
class Expected {
public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(SystemError error) : m_error(std::move(error)) {}

    bool HasValue() const { return m_value.has_value(); }
    explicit operator bool() const { return HasValue(); }

    const T& Value() const { return *m_value; }
    T& Value() { return *m_value; }
    const SystemError& Error() const { return m_error; }

private:
    std::optional<T> m_value;
    SystemError m_error;
};

}  // namespace tarnwick
