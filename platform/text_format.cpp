// The formatting engine behind text_format.h, shared by the wide and the 8-bit formats
// through a sink that either grows a string or fills a bounded buffer.
#include "platform/text_format.h"

#include <string_view>

#include "platform/text_conversion.h"
#include "platform/wide_text.h"

namespace {

template <typename Char>
class CStringSink {
public:
    explicit CStringSink(std::basic_string<Char>& out) : out_(out) {}
    bool Put(Char c) {
        out_ += c;
        return true;
    }

private:
    std::basic_string<Char>& out_;
};

template <typename Char>
class CBufferSink {
public:
    CBufferSink(Char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    bool Put(Char c) {
        if (length_ + 1 >= capacity_) {  // keep room for the terminator
            return false;
        }
        buffer_[length_++] = c;
        return true;
    }
    void Terminate() { buffer_[length_] = 0; }

private:
    Char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

struct FieldFormat {
    bool zeroPad = false;
    bool leftAlign = false;
    std::size_t width = 0;
};

template <typename Char, typename Sink>
bool PutPadded(Sink& sink, std::basic_string_view<Char> text, const FieldFormat& field,
               bool numeric) {
    std::size_t pad = field.width > text.size() ? field.width - text.size() : 0;
    std::size_t start = 0;
    const bool zeros = field.zeroPad && numeric && !field.leftAlign;
    if (zeros && !text.empty() && text[0] == '-') {  // the sign goes before the zeros
        if (!sink.Put(text[0])) {
            return false;
        }
        start = 1;
    }
    for (; pad > 0 && !field.leftAlign; --pad) {
        if (!sink.Put(static_cast<Char>(zeros ? '0' : ' '))) {
            return false;
        }
    }
    for (std::size_t i = start; i < text.size(); ++i) {
        if (!sink.Put(text[i])) {
            return false;
        }
    }
    for (; pad > 0; --pad) {
        if (!sink.Put(static_cast<Char>(' '))) {
            return false;
        }
    }
    return true;
}

// Decimal digits of an integer in a fixed field, so that numbers never touch the heap.
template <typename Char>
class CDecimalText {
public:
    CDecimalText(std::int64_t value, bool asUnsigned) {
        std::uint64_t magnitude = asUnsigned  ? static_cast<std::uint32_t>(value)
                                  : value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
        Char digits[24];
        std::size_t n = 0;
        do {
            digits[n++] = static_cast<Char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (!asUnsigned && value < 0) {
            text_[length_++] = static_cast<Char>('-');
        }
        while (n > 0) {
            text_[length_++] = digits[--n];
        }
    }
    std::basic_string_view<Char> View() const { return {text_, length_}; }

private:
    Char text_[24] = {};
    std::size_t length_ = 0;
};

// The text of a %s argument, which has the format's own width; null when it is none.
const char16_t* OwnText(const CFormatArg& arg, char16_t) {
    return arg.kind() == CFormatArg::Kind::kWideText ? arg.wide() : nullptr;
}
const char* OwnText(const CFormatArg& arg, char) {
    return arg.kind() == CFormatArg::Kind::kNarrowText ? arg.narrow() : nullptr;
}

// The text of a %S argument, of the other width, converted; false when it is none.
bool OtherText(const CFormatArg& arg, std::u16string& out) {
    if (arg.kind() != CFormatArg::Kind::kNarrowText || arg.narrow() == nullptr) {
        return false;
    }
    out = NarrowToWide(arg.narrow());
    return true;
}
bool OtherText(const CFormatArg& arg, std::string& out) {
    if (arg.kind() != CFormatArg::Kind::kWideText || arg.wide() == nullptr) {
        return false;
    }
    out = WideToNarrow(arg.wide());
    return true;
}

template <typename Char, typename Sink>
bool PutConversion(Sink& sink, Char conversion, const FieldFormat& field, const CFormatArg& arg) {
    switch (conversion) {
        case 'd':
        case 'u': {
            if (arg.kind() != CFormatArg::Kind::kInteger) {
                return false;
            }
            const CDecimalText<Char> text(arg.integer(), conversion == 'u');
            return PutPadded<Char>(sink, text.View(), field, true);
        }
        case 's': {
            const Char* text = OwnText(arg, conversion);
            return text != nullptr &&
                   PutPadded<Char>(sink, std::basic_string_view<Char>(text), field, false);
        }
        case 'S': {
            std::basic_string<Char> text;
            return OtherText(arg, text) && PutPadded<Char>(sink, text, field, false);
        }
        default:
            return false;
    }
}

template <typename Char, typename Sink>
bool FormatInto(Sink& sink, const Char* format, const CFormatArg* args, std::size_t count) {
    if (format == nullptr) {
        return false;
    }
    std::size_t next = 0;
    for (const Char* p = format; *p != 0; ++p) {
        if (*p != '%') {
            if (!sink.Put(*p)) {
                return false;
            }
            continue;
        }
        ++p;
        if (*p == '%') {
            if (!sink.Put(*p)) {
                return false;
            }
            continue;
        }
        FieldFormat field;
        for (; *p == '0' || *p == '-'; ++p) {
            (*p == '0' ? field.zeroPad : field.leftAlign) = true;
        }
        for (; *p >= '0' && *p <= '9' && field.width < 1000; ++p) {
            field.width = field.width * 10 + static_cast<std::size_t>(*p - '0');
        }
        if (*p == 0 || next >= count || !PutConversion(sink, *p, field, args[next++])) {
            return false;
        }
    }
    return next == count;
}

}  // namespace

bool FormatWideArgs(std::u16string& out, const char16_t* format, const CFormatArg* args,
                    std::size_t count) {
    CStringSink<char16_t> sink(out);
    return FormatInto(sink, format, args, count);
}

bool FormatNarrowArgs(std::string& out, const char* format, const CFormatArg* args,
                      std::size_t count) {
    CStringSink<char> sink(out);
    return FormatInto(sink, format, args, count);
}

bool FormatWideIntoArgs(char16_t* buffer, std::size_t capacity, const char16_t* format,
                        const CFormatArg* args, std::size_t count) {
    if (buffer == nullptr || capacity == 0) {
        return false;
    }
    CBufferSink<char16_t> sink(buffer, capacity);
    const bool ok = FormatInto(sink, format, args, count);
    if (!ok) {
        buffer[0] = 0;
        return false;
    }
    sink.Terminate();
    return true;
}
