// Layout: the stored layout of a form, its text format (host/LAYOUT.md), parser and writer.
//
// Portable C++ without any system header, so that the parser also builds natively (the
// fuzz target under host/fuzz/). Text is UTF-8 on disk; strings in the model are UTF-16
// (what the program's windows and property store hold), names are ASCII identifiers.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace Layout {

// Limits that keep a hostile or damaged file from exhausting memory; each is far above
// anything a form needs.
inline constexpr size_t kMaxFileBytes = 64u << 20;
inline constexpr size_t kMaxValueUnits = 4u << 20;  // UTF-16 code units or bytes per value
inline constexpr size_t kMaxNameLength = 255;
inline constexpr size_t kMaxControls = 4096;
inline constexpr size_t kMaxPropertiesPerControl = 4096;
inline constexpr int32_t kMaxLength = 245760;  // twips: 16384 pixels at 96 dpi

// Where a piece of a layout was read (file name, line), for messages. Not part of the
// content: layouts that say the same are equal wherever they came from.
template <class T>
class Origin {
public:
    Origin() = default;
    Origin& operator=(T value) {
        value_ = std::move(value);
        return *this;
    }
    operator const T&() const { return value_; }
    bool operator==(const Origin&) const { return true; }

private:
    T value_{};
};

// A stored property value. The alternatives map one to one onto the variant types of the
// property store: VT_EMPTY, a null object, VT_BOOL, VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR,
// a VT_UI1 array, a font object, a picture object.
struct Empty {
    bool operator==(const Empty&) const = default;
};
struct Nothing {
    bool operator==(const Nothing&) const = default;
};
struct Bytes {
    std::vector<uint8_t> data;
    bool operator==(const Bytes&) const = default;
};
struct Font {
    std::u16string name;
    int64_t size = 0;     // points in ten-thousandths, as the font object keeps it (9.75 -> 97500)
    int16_t charset = 1;  // DEFAULT_CHARSET
    int16_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    bool operator==(const Font&) const = default;
};
struct Picture {
    std::vector<uint8_t> data;  // the picture in its file form (icon, bitmap, metafile, ...)
    bool operator==(const Picture&) const = default;
};

using Value = std::variant<Empty, Nothing, bool, int16_t, int32_t, float, double, std::u16string,
                           Bytes, Font, Picture>;

struct Property {
    std::string key;
    Value value;
    Origin<int> line;  // where it was read; 0 when made by the program
    bool operator==(const Property&) const = default;
};

struct ControlLayout {
    std::string type;
    std::string name;
    Origin<int> line;
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::optional<int16_t> tabIndex;  // none: after the others, in stored order
    bool tabStop = true;
    bool visible = true;
    bool causesValidation = true;
    bool isDefault = false;
    bool isCancel = false;
    std::u16string tag;
    std::u16string toolTipText;
    int32_t helpContextId = 0;
    int32_t whatsThisHelpId = 0;
    int32_t dragMode = 0;
    std::optional<Picture> dragIcon;
    std::vector<Property> properties;

    bool operator==(const ControlLayout&) const = default;
};

struct FormLayout {
    Origin<std::string> file;
    std::string name;
    Origin<int> line;
    std::u16string caption;
    std::u16string tag;
    int32_t clientWidth = 4800;
    int32_t clientHeight = 3600;
    int32_t left = 0;
    int32_t top = 0;
    int32_t borderStyle = 2;      // 0 none, 1 fixed single, 2 sizable, 3 fixed dialog,
                                  // 4 fixed tool window, 5 sizable tool window
    int32_t startUpPosition = 3;  // 0 manual, 1 centre owner, 2 centre screen, 3 default
    bool controlBox = true;
    bool minButton = true;
    bool maxButton = true;
    bool showInTaskbar = true;
    bool rightToLeft = false;
    int32_t icon = 0;  // resource ordinal of the program's icon group; 0 none
    std::optional<Font> font;
    int32_t backColor = static_cast<int32_t>(0x8000000F);
    int32_t foreColor = static_cast<int32_t>(0x80000012);
    std::vector<ControlLayout> controls;

    bool operator==(const FormLayout&) const = default;
};

// A malformed layout: where (file, line, column; 1-based, column in characters) and what
// was expected. what() is "file(line,column): message".
class LayoutError : public std::runtime_error {
public:
    LayoutError(std::string file, int line, int column, std::string message);
    const std::string& File() const noexcept { return file_; }
    int Line() const noexcept { return line_; }
    int Column() const noexcept { return column_; }
    const std::string& Message() const noexcept { return message_; }

private:
    std::string file_;
    int line_;
    int column_;
    std::string message_;
};

// Parses a whole layout file. Throws LayoutError for anything malformed; never anything
// else except std::bad_alloc.
FormLayout Parse(std::string_view text, std::string_view fileName);

// Writes a layout in the text format; Parse(Write(x)) == x for every layout that Parse can
// return. Throws std::invalid_argument for a layout that could not be read back (names
// that are not identifiers, values beyond the limits).
std::string Write(const FormLayout& layout);

// One value in the text format, as it appears after "Property Key = ".
std::string WriteValue(const Value& value);

// UTF-8 <-> UTF-16 for the names in the model. FromUtf8 throws std::invalid_argument on
// malformed input; ToUtf8 writes a lone surrogate as U+FFFD.
std::u16string FromUtf8(std::string_view text);
std::string ToUtf8(std::u16string_view text);

bool IsIdentifier(std::string_view name);

}  // namespace Layout
