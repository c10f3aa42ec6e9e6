#include "FileNames.h"

#include <QTextStream>

#include <array>
#include <cstdint>
#include <optional>

namespace {

constexpr char16_t kEscapedByte = 0xDC00;  // + a byte from 0x80 to 0xFF

struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 0;
};

/** The UTF-8 character at the front of bytes, or none when its first byte starts none. */
std::optional<Decoded> decodeUtf8(std::string_view bytes)
{
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return Decoded{lead, 1};
    }
    // Lead bytes, the least code point of each length (no overlong forms), and the limits.
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || bytes.size() < length) {
        return std::nullopt;
    }
    char32_t codePoint = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    constexpr std::array<char32_t, 5> kLeast = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kLeast[length] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return std::nullopt;
    }
    return Decoded{codePoint, length};
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

/**
 * Characters a terminal shows other than they are: format controls (bidirectional overrides and
 * isolates, zero-width characters, tags) and the line and paragraph separators.
 */
bool isHiddenFormat(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Format || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

void appendHex(std::string& out, std::uint32_t value, int digits)
{
    static constexpr char kHex[] = "0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out += kHex[(value >> shift) & 0xF];
    }
}

}  // namespace

QString argumentFromBytes(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    while (!bytes.empty()) {
        if (const auto decoded = decodeUtf8(bytes)) {
            // Not QString::fromUcs4, which would take U+FEFF for a byte-order mark and drop it.
            const char32_t c = decoded->codePoint;
            if (QChar::requiresSurrogates(c)) {
                text += QChar(QChar::highSurrogate(c));
                text += QChar(QChar::lowSurrogate(c));
            } else {
                text += QChar(static_cast<char16_t>(c));
            }
            bytes.remove_prefix(decoded->length);
        } else {
            text +=
                QChar(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(bytes[0])));
            bytes.remove_prefix(1);
        }
    }
    return text;
}

std::string fileNameBytes(const QString& argument)
{
    std::string bytes;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const char16_t unit = argument.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < argument.size() &&
            argument.at(i + 1).isLowSurrogate()) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, argument.at(++i).unicode()));
        } else if (unit >= kEscapedByte + 0x80 && unit <= kEscapedByte + 0xFF) {
            bytes += static_cast<char>(unit - kEscapedByte);
        } else {
            appendUtf8(bytes, QChar::isSurrogate(unit) ? U'\uFFFD' : unit);
        }
    }
    return bytes;
}

QString printableName(const QString& argument)
{
    const std::string bytes = fileNameBytes(argument);
    std::string shown;
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const auto decoded = decodeUtf8(rest);
        const std::size_t length = decoded ? decoded->length : 1;
        if (decoded && decoded->codePoint == '\\') {
            shown += "\\\\";
        } else if (decoded && isHiddenFormat(decoded->codePoint)) {
            const bool wide = decoded->codePoint > 0xFFFF;
            shown += wide ? "\\U" : "\\u";
            appendHex(shown, decoded->codePoint, wide ? 8 : 4);
        } else if (decoded && !isControl(decoded->codePoint)) {
            shown.append(rest.substr(0, length));
        } else {
            for (const char c : rest.substr(0, length)) {
                shown += "\\x";
                appendHex(shown, static_cast<unsigned char>(c), 2);
            }
        }
        rest.remove_prefix(length);
    }
    return QString::fromStdString(shown);
}

void printMessage(QTextStream& stream, const QString& message)
{
    // Whole: the names, arguments and reasons in it come from outside, the rest holds nothing
    // that the escaping changes.
    stream << "korvalin-cli: " << printableName(message) << '\n';
}

std::optional<QString> nameBytesBase64(const QString& argument)
{
    if (printableName(argument) == argument) {
        return std::nullopt;
    }
    return QString::fromLatin1(QByteArray::fromStdString(fileNameBytes(argument)).toBase64());
}
