#pragma once
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

// The one output stream of the report. Like an iostream, fixed notation and
// a precision stay in force once set, until the next one is set; unlike one,
// numbers are formatted with std::to_chars, which rounds exactly (halfway
// cases to even, as C's printf does), so every platform writes the same bytes.
class ReportStream {
public:
    struct FixedNotation {};
    struct Precision {
        int digits;
    };

    ReportStream& operator<<(const char* text)
    {
        text_ += text;
        return *this;
    }
    ReportStream& operator<<(const std::string& text)
    {
        text_ += text;
        return *this;
    }
    ReportStream& operator<<(std::string_view text)
    {
        text_ += text;
        return *this;
    }
    ReportStream& operator<<(FixedNotation)
    {
        fixed_ = true;
        return *this;
    }
    ReportStream& operator<<(Precision p)
    {
        precision_ = p.digits;
        return *this;
    }
    ReportStream& operator<<(float value) { return WriteReal(static_cast<double>(value)); }
    ReportStream& operator<<(double value) { return WriteReal(value); }

    template <typename Integer, std::enable_if_t<std::is_integral_v<Integer>, int> = 0>
    ReportStream& operator<<(Integer value)
    {
        text_ += std::to_string(value);
        return *this;
    }

    const std::string& str() const { return text_; }

private:
    ReportStream& WriteReal(double value)
    {
        char buffer[512];
        const auto result = fixed_ ? std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, precision_)
                                   : std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general,
                                                   precision_ == 0 ? 1 : precision_);
        text_.append(buffer, result.ptr);
        return *this;
    }

    std::string text_;
    bool fixed_ = false;
    int precision_ = 6;  // the iostream default
};

inline constexpr ReportStream::FixedNotation fixedNotation{};
inline ReportStream::Precision precision(int digits)
{
    return ReportStream::Precision{digits};
}
