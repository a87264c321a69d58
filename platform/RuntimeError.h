// The run-time errors of the program's error model: a number and a Japanese description.
#pragma once

#include <QString>

#include <cstdint>
#include <exception>
#include <string>

namespace quorvane::platform {

inline constexpr int kErrInvalidProcedureCall = 5;
inline constexpr int kErrOverflow = 6;
inline constexpr int kErrOutOfMemory = 7;
inline constexpr int kErrInternal = 51;
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrPathNotFound = 76;
inline constexpr int kErrCancel = 32755; // the common dialog's "cancel was selected"

// The description that the windowing layer gives an error number; a generic text for numbers
// it does not know.
QString errorDescription(int number);

class RuntimeError : public std::exception {
  public:
    explicit RuntimeError(int number);
    RuntimeError(int number, QString description);
    const char* what() const noexcept override { return m_what.c_str(); }

    int Number;
    QString Description;

  private:
    std::string m_what;
};

// A 16-bit signed integer from a wider value; the overflow error outside -32768 ... 32767.
std::int16_t CInt(std::int64_t value);

} // namespace quorvane::platform
