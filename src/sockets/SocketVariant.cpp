#include "sockets/SocketVariant.h"

#include "sockets/VariantConvert.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime/ErrorRecord.h"

namespace ostrak {

int32_t VarType(const Variant& v) {
    static constexpr int32_t codes[] = {
        VarTypeCode::Empty,   VarTypeCode::Integer,  VarTypeCode::Long,     VarTypeCode::Single,
        VarTypeCode::Double,  VarTypeCode::Currency, VarTypeCode::Date,     VarTypeCode::String,
        VarTypeCode::Boolean, VarTypeCode::Byte,     VarTypeCode::ByteArray};
    return codes[v.index()];
}

namespace {

// The number in a string, as the runtime reads it: optional blanks, a
// decimal number; nothing else may follow but blanks.
bool ParseNumber(const std::string& s, double& out) {
    const char* begin = s.c_str();
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    if (*begin == '\0')
        return false;
    char* end = nullptr;
    out = std::strtod(begin, &end);
    if (end == begin || std::isnan(out) || std::isinf(out))
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    return *end == '\0' && static_cast<size_t>(end - s.c_str()) == s.size();
}

template <class T> void AppendImage(std::string& out, const T& value) {
    char image[sizeof(T)];
    std::memcpy(image, &value, sizeof(T));
    out.append(image, sizeof(T));
}

template <class T> T ReadImage(const std::string& bytes) {
    // Fewer bytes than the type's size: the missing high bytes read as 0.
    char image[sizeof(T)] = {};
    std::memcpy(image, bytes.data(), std::min(bytes.size(), sizeof(T)));
    T value;
    std::memcpy(&value, image, sizeof(T));
    return value;
}

} // namespace

bool VariantIsNumeric(const Variant& v) {
    switch (v.index()) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 8:
    case 9:
        return true;
    case 7: {
        double d;
        return ParseNumber(std::get<std::string>(v), d);
    }
    default:
        return false;
    }
}

bool VariantToDouble(const Variant& v, double& out) {
    switch (v.index()) {
    case 0:
        out = 0;
        return true;
    case 1:
        out = std::get<int16_t>(v);
        return true;
    case 2:
        out = std::get<int32_t>(v);
        return true;
    case 3:
        out = std::get<float>(v);
        return true;
    case 4:
        out = std::get<double>(v);
        return true;
    case 5:
        out = static_cast<double>(std::get<VbCurrency>(v).Scaled) / 10000.0;
        return true;
    case 6:
        out = std::get<VbDate>(v).Days;
        return true;
    case 7:
        return ParseNumber(std::get<std::string>(v), out);
    case 8:
        out = std::get<VbBoolean>(v).Value;
        return true;
    case 9:
        out = std::get<uint8_t>(v);
        return true;
    default:
        return false;
    }
}

int32_t VariantToLong(const Variant& v) {
    double d = 0;
    if (!VariantToDouble(v, d))
        Raise(ErrTypeMismatch, RuntimeErrorText(ErrTypeMismatch), "");
    double r = std::nearbyint(d); // halves to even, as the runtime rounds
    // Written so that NaN, which compares false to everything, overflows too.
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        Raise(ErrOverflow, RuntimeErrorText(ErrOverflow), "");
    return static_cast<int32_t>(r);
}

std::string VariantToText(const Variant& v) {
    switch (v.index()) {
    case 0:
        return "";
    case 1:
        return std::to_string(std::get<int16_t>(v));
    case 2:
        return std::to_string(std::get<int32_t>(v));
    case 7:
        return std::get<std::string>(v);
    case 9:
        return std::to_string(std::get<uint8_t>(v));
    case 10: {
        const ByteArray& a = std::get<ByteArray>(v);
        return std::string(a.begin(), a.end());
    }
    default: {
        double d = 0;
        VariantToDouble(v, d);
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", d);
        return text;
    }
    }
}

std::string VariantToBytes(const Variant& v) {
    std::string out;
    switch (v.index()) {
    case 1:
        AppendImage(out, std::get<int16_t>(v));
        break;
    case 2:
        AppendImage(out, std::get<int32_t>(v));
        break;
    case 3:
        AppendImage(out, std::get<float>(v));
        break;
    case 4:
        AppendImage(out, std::get<double>(v));
        break;
    case 5:
        AppendImage(out, std::get<VbCurrency>(v).Scaled);
        break;
    case 6:
        AppendImage(out, std::get<VbDate>(v).Days);
        break;
    case 7:
        out = std::get<std::string>(v);
        break;
    case 8:
        AppendImage(out, std::get<VbBoolean>(v).Value);
        break;
    case 9:
        out.push_back(static_cast<char>(std::get<uint8_t>(v)));
        break;
    case 10: {
        const ByteArray& a = std::get<ByteArray>(v);
        out.assign(a.begin(), a.end());
        break;
    }
    default:
        break;
    }
    return out;
}

bool VariantFromBytes(int32_t typeCode, const std::string& bytes, Variant& out) {
    switch (typeCode) {
    case VarTypeCode::Empty:
    case VarTypeCode::String:
        out = bytes;
        return true;
    case VarTypeCode::Integer:
        out = ReadImage<int16_t>(bytes);
        return true;
    case VarTypeCode::Long:
        out = ReadImage<int32_t>(bytes);
        return true;
    case VarTypeCode::Single:
        out = ReadImage<float>(bytes);
        return true;
    case VarTypeCode::Double:
        out = ReadImage<double>(bytes);
        return true;
    case VarTypeCode::Currency:
        out = VbCurrency{ReadImage<int64_t>(bytes)};
        return true;
    case VarTypeCode::Date:
        out = VbDate{ReadImage<double>(bytes)};
        return true;
    case VarTypeCode::Boolean:
        out = VbBoolean{ReadImage<int16_t>(bytes)};
        return true;
    case VarTypeCode::Byte:
        out = ReadImage<uint8_t>(bytes);
        return true;
    case VarTypeCode::ByteArray:
        out = ByteArray(bytes.begin(), bytes.end());
        return true;
    default:
        return false;
    }
}

} // namespace ostrak
