#include "host/Layout.h"

#include <charconv>
#include <type_traits>
#include <cstdlib>
#include <cstdio>
#include <cerrno>
#include <cmath>
#include <limits>
#include <map>

namespace Layout {

LayoutError::LayoutError(std::string file, int line, int column, std::string message)
    : std::runtime_error(file + "(" + std::to_string(line) + "," + std::to_string(column) +
                         "): " + message),
      file_(std::move(file)),
      line_(line),
      column_(column),
      message_(std::move(message)) {}

namespace {

constexpr std::string_view kHeader = "PaylevixLayout";
constexpr int kVersion = 1;
constexpr int64_t kMaxFontSize = 2048 * 10000LL;

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes one UTF-8 sequence at text[pos]; returns its length, 0 when malformed
// (overlong forms, surrogates and values above U+10FFFF are malformed).
size_t DecodeUtf8(std::string_view text, size_t pos, char32_t& cp) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const size_t left = text.size() - pos;
    const unsigned char c = b(0);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t n;
    char32_t min;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (left < n) return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((b(i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s.substr(0, 40)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            out += '?';
        } else {
            out += c;
        }
    }
    if (s.size() > 40) out += "...";
    return out + "\"";
}

std::string Range(int64_t lo, int64_t hi) {
    return "between " + std::to_string(lo) + " and " + std::to_string(hi);
}

// ---------------------------------------------------------------------------------------
// Parser

class Parser {
public:
    Parser(std::string_view text, std::string_view file) : text_(text), file_(file) {}

    FormLayout Run() {
        if (text_.size() > kMaxFileBytes) {
            throw LayoutError(
                file_, 1, 1,
                "the file is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB");
        }
        CheckUtf8();
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") next_ = 3;  // byte order mark

        if (!NextStatement()) Fail("expected the header \"PaylevixLayout 1\"");
        if (Word() != kHeader) Fail("expected the header \"PaylevixLayout 1\"");
        SkipSpaces();
        const size_t at = pos_;
        std::string_view digits = Digits();
        if (digits.empty()) Fail("expected the layout version after \"PaylevixLayout\"");
        if (digits != "1") {
            FailAt(at, "unsupported layout version " + std::string(digits.substr(0, 12)) +
                           " (this program reads version " + std::to_string(kVersion) + ")");
        }
        ExpectEndOfLine();

        FormLayout form;
        form.file = file_;
        if (!NextStatement()) Fail("unexpected end of file: expected \"Begin Form <name>\"");
        ParseFormBegin(form);
        ParseFormBody(form);
        if (NextStatement()) Fail("unexpected text after the \"End\" of the form");
        return form;
    }

private:
    // --- lines and positions -----------------------------------------------------------

    void CheckUtf8() {
        int line = 1;
        size_t lineStart = 0;
        for (size_t i = 0; i < text_.size();) {
            const char c = text_[i];
            if (c == '\n') {
                ++line;
                lineStart = i + 1;
                ++i;
                continue;
            }
            if (c == '\0') {
                throw LayoutError(file_, line, Column(text_.substr(lineStart), i - lineStart),
                                  "NUL character in the file");
            }
            char32_t cp;
            const size_t n = DecodeUtf8(text_, i, cp);
            if (n == 0) {
                throw LayoutError(file_, line, Column(text_.substr(lineStart), i - lineStart),
                                  "invalid UTF-8 (the file must be UTF-8 text)");
            }
            i += n;
        }
    }

    static int Column(std::string_view line, size_t pos) {
        int col = 1;
        for (size_t i = 0; i < pos && i < line.size(); ++i) {
            if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++col;
        }
        return col;
    }

    // Moves to the next line that holds a statement; false at the end of the file, with
    // the position left where the file ends (for "unexpected end of file" messages).
    bool NextStatement() {
        while (next_ < text_.size()) {
            size_t end = text_.find('\n', next_);
            const bool lineBreak = end != std::string_view::npos;
            if (!lineBreak) end = text_.size();
            line_ = text_.substr(next_, end - next_);
            if (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
            next_ = lineBreak ? end + 1 : end;
            endsWithBreak_ = lineBreak;
            ++lineNo_;
            pos_ = 0;
            SkipSpaces();
            if (pos_ < line_.size() && line_[pos_] != '#') return true;
        }
        if (!atEof_) {
            atEof_ = true;
            if (lineNo_ == 0 || endsWithBreak_) {
                ++lineNo_;
                line_ = {};
            }
        }
        pos_ = line_.size();
        return false;
    }

    [[noreturn]] void FailAt(size_t pos, const std::string& message) const {
        throw LayoutError(file_, lineNo_ == 0 ? 1 : lineNo_, Column(line_, pos), message);
    }
    [[noreturn]] void Fail(const std::string& message) const { FailAt(pos_, message); }

    // An object attribute's value: the object, or Nothing for none.
    template <class T>
    void ExpectObjectOrNothing(std::optional<T>& field, const char* refusal) {
        SkipSpaces();
        const size_t at = pos_;
        Value v = ParseValue();
        if (auto* object = std::get_if<T>(&v))
            field = std::move(*object);
        else if (std::holds_alternative<Nothing>(v))
            field.reset();
        else
            FailAt(at, refusal);
    }

    void SkipSpaces() {
        while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t'))
            ++pos_;
    }
    bool AtLineEnd() {
        SkipSpaces();
        return pos_ >= line_.size() || line_[pos_] == '#';
    }
    void ExpectEndOfLine() {
        if (!AtLineEnd()) Fail("unexpected " + Found() + " (expected the end of the line)");
    }
    char Peek() const { return pos_ < line_.size() ? line_[pos_] : '\0'; }

    // A description of what stands at the cursor, for messages.
    std::string Found() {
        if (pos_ >= line_.size()) return "end of line";
        size_t end = pos_;
        while (end < line_.size() && line_[end] != ' ' && line_[end] != '\t' && end - pos_ < 40) {
            ++end;
        }
        if (end == pos_) end = pos_ + 1;
        return Quote(line_.substr(pos_, end - pos_));
    }

    std::string_view Word() {
        SkipSpaces();
        const size_t start = pos_;
        if (!IsIdentStart(Peek())) return {};
        while (pos_ < line_.size() && IsIdentChar(line_[pos_]))
            ++pos_;
        return line_.substr(start, pos_ - start);
    }

    std::string ExpectName(const char* what) {
        SkipSpaces();
        const size_t at = pos_;
        std::string_view w = Word();
        if (w.empty()) Fail(std::string("expected ") + what + " but found " + Found());
        if (w.size() > kMaxNameLength) {
            FailAt(at, std::string(what) + " is longer than " + std::to_string(kMaxNameLength) +
                           " characters");
        }
        if (pos_ < line_.size() && !IsIdentChar(line_[pos_]) && line_[pos_] != ' ' &&
            line_[pos_] != '\t' && line_[pos_] != '#' && line_[pos_] != '=') {
            Fail(std::string("unexpected ") + Found() + " in " + what +
                 " (names are letters, digits and '_')");
        }
        return std::string(w);
    }

    void Expect(char c, const char* what) {
        SkipSpaces();
        if (Peek() != c) Fail(std::string("expected ") + what + " but found " + Found());
        ++pos_;
    }

    std::string_view Digits() {
        const size_t start = pos_;
        while (pos_ < line_.size() && IsDigit(line_[pos_]))
            ++pos_;
        return line_.substr(start, pos_ - start);
    }

    // --- structure ---------------------------------------------------------------------

    void ParseFormBegin(FormLayout& form) {
        const size_t at = pos_;
        if (Word() != "Begin") FailAt(at, "expected \"Begin Form <name>\"");
        SkipSpaces();
        const size_t typeAt = pos_;
        if (Word() != "Form") FailAt(typeAt, "expected \"Form\" after the first \"Begin\"");
        form.name = ExpectName("the form's name");
        form.line = lineNo_;
        ExpectEndOfLine();
    }

    void ParseFormBody(FormLayout& form) {
        std::map<std::string, int> seen;
        std::map<std::string, int> names;  // upper-case control name -> line
        std::map<int, std::pair<std::string, int>> tabIndexes;
        names[Upper(form.name)] = form.line;
        for (;;) {
            if (!NextStatement()) {
                Fail("unexpected end of file: expected \"End\" closing the form begun on line " +
                     std::to_string(form.line));
            }
            const size_t at = pos_;
            std::string_view w = Word();
            if (w.empty())
                Fail("expected a form attribute, \"Begin\" or \"End\" but found " + Found());
            if (w == "End") {
                ExpectEndOfLine();
                return;
            }
            if (w == "Begin") {
                if (form.controls.size() >= kMaxControls) {
                    FailAt(at, "more than " + std::to_string(kMaxControls) + " controls");
                }
                ControlLayout control;
                control.type = ExpectName("a control type");
                control.name = ExpectName("the control's name");
                control.line = lineNo_;
                ExpectEndOfLine();
                const std::string key = Upper(control.name);
                if (auto it = names.find(key); it != names.end()) {
                    FailAt(at, "the name \"" + control.name + "\" is already used on line " +
                                   std::to_string(it->second));
                }
                names[key] = lineNo_;
                ParseControlBody(control);
                if (control.tabIndex) {
                    auto [it, fresh] = tabIndexes.emplace(
                        *control.tabIndex, std::make_pair(control.name, control.line));
                    if (!fresh) {
                        throw LayoutError(file_, control.line, 1,
                                          "TabIndex " + std::to_string(*control.tabIndex) +
                                              " of \"" + control.name + "\" is already used by \"" +
                                              it->second.first + "\" (line " +
                                              std::to_string(it->second.second) + ")");
                    }
                }
                form.controls.push_back(std::move(control));
                continue;
            }
            if (w == "Property") Fail("a form has no \"Property\" lines; they belong to controls");
            const std::string attr(w);
            NoteOnce(seen, attr, at);
            Expect('=', "\"=\" after the attribute name");
            ParseFormAttribute(form, attr, at);
            ExpectEndOfLine();
        }
    }

    void ParseControlBody(ControlLayout& control) {
        std::map<std::string, int> seen;
        std::map<std::string, int> keys;
        const int begun = lineNo_;
        for (;;) {
            if (!NextStatement()) {
                Fail("unexpected end of file: expected \"End\" closing control \"" + control.name +
                     "\" begun on line " + std::to_string(begun));
            }
            const size_t at = pos_;
            std::string_view w = Word();
            if (w.empty()) {
                Fail("expected a control attribute, \"Property\" or \"End\" but found " + Found());
            }
            if (w == "End") {
                ExpectEndOfLine();
                return;
            }
            if (w == "Begin") FailAt(at, "a control cannot hold other controls (missing \"End\"?)");
            if (w == "Property") {
                if (control.properties.size() >= kMaxPropertiesPerControl) {
                    FailAt(at,
                           "more than " + std::to_string(kMaxPropertiesPerControl) + " properties");
                }
                SkipSpaces();
                const size_t keyAt = pos_;
                Property p;
                p.key = ExpectName("a property name");
                p.line = lineNo_;
                if (auto it = keys.find(p.key); it != keys.end()) {
                    FailAt(keyAt, "property \"" + p.key + "\" is already given on line " +
                                      std::to_string(it->second));
                }
                keys[p.key] = lineNo_;
                Expect('=', "\"=\" after the property name");
                p.value = ParseValue();
                ExpectEndOfLine();
                control.properties.push_back(std::move(p));
                continue;
            }
            const std::string attr(w);
            NoteOnce(seen, attr, at);
            Expect('=', "\"=\" after the attribute name");
            ParseControlAttribute(control, attr, at);
            ExpectEndOfLine();
        }
    }

    void NoteOnce(std::map<std::string, int>& seen, const std::string& attr, size_t at) {
        if (auto it = seen.find(attr); it != seen.end()) {
            FailAt(at, attr + " is already given on line " + std::to_string(it->second));
        }
        seen[attr] = lineNo_;
    }

    static std::string Upper(std::string s) {
        for (char& c : s) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        return s;
    }

    void ParseFormAttribute(FormLayout& f, const std::string& a, size_t at) {
        if (a == "Caption")
            f.caption = ExpectString(a);
        else if (a == "Tag")
            f.tag = ExpectString(a);
        else if (a == "ClientWidth")
            f.clientWidth = ExpectLong(a, 0, kMaxLength);
        else if (a == "ClientHeight")
            f.clientHeight = ExpectLong(a, 0, kMaxLength);
        else if (a == "Left")
            f.left = ExpectLong(a, -kMaxLength, kMaxLength);
        else if (a == "Top")
            f.top = ExpectLong(a, -kMaxLength, kMaxLength);
        else if (a == "BorderStyle")
            f.borderStyle = ExpectLong(a, 0, 5);
        else if (a == "StartUpPosition")
            f.startUpPosition = ExpectLong(a, 0, 3);
        else if (a == "ControlBox")
            f.controlBox = ExpectBool(a);
        else if (a == "MinButton")
            f.minButton = ExpectBool(a);
        else if (a == "MaxButton")
            f.maxButton = ExpectBool(a);
        else if (a == "ShowInTaskbar")
            f.showInTaskbar = ExpectBool(a);
        else if (a == "RightToLeft")
            f.rightToLeft = ExpectBool(a);
        else if (a == "Icon")
            f.icon = ExpectLong(a, 0, 65535);
        else if (a == "BackColor")
            f.backColor = ExpectLong(a, INT32_MIN, INT32_MAX);
        else if (a == "ForeColor")
            f.foreColor = ExpectLong(a, INT32_MIN, INT32_MAX);
        else if (a == "Font")
            ExpectObjectOrNothing(f.font, "Font must be Font(...) or Nothing");
        else {
            FailAt(at, "unknown form attribute \"" + a + "\"");
        }
    }

    void ParseControlAttribute(ControlLayout& c, const std::string& a, size_t at) {
        if (a == "Left")
            c.left = ExpectLong(a, -kMaxLength, kMaxLength);
        else if (a == "Top")
            c.top = ExpectLong(a, -kMaxLength, kMaxLength);
        else if (a == "Width")
            c.width = ExpectLong(a, 0, kMaxLength);
        else if (a == "Height")
            c.height = ExpectLong(a, 0, kMaxLength);
        else if (a == "TabIndex")
            c.tabIndex = static_cast<int16_t>(ExpectLong(a, 0, 32767));
        else if (a == "TabStop")
            c.tabStop = ExpectBool(a);
        else if (a == "Visible")
            c.visible = ExpectBool(a);
        else if (a == "CausesValidation")
            c.causesValidation = ExpectBool(a);
        else if (a == "Default")
            c.isDefault = ExpectBool(a);
        else if (a == "Cancel")
            c.isCancel = ExpectBool(a);
        else if (a == "Tag")
            c.tag = ExpectString(a);
        else if (a == "ToolTipText")
            c.toolTipText = ExpectString(a);
        else if (a == "HelpContextID")
            c.helpContextId = ExpectLong(a, INT32_MIN, INT32_MAX);
        else if (a == "WhatsThisHelpID")
            c.whatsThisHelpId = ExpectLong(a, INT32_MIN, INT32_MAX);
        else if (a == "DragMode")
            c.dragMode = ExpectLong(a, 0, 1);
        else if (a == "DragIcon")
            ExpectObjectOrNothing(c.dragIcon, "DragIcon must be Picture(...) or Nothing");
        else {
            FailAt(at, "unknown control attribute \"" + a +
                           "\" (stored control properties are written \"Property " + a +
                           " = ...\")");
        }
    }

    // --- typed attribute values ----------------------------------------------------------

    std::u16string ExpectString(const std::string& attr) {
        SkipSpaces();
        if (Peek() != '"') Fail(attr + " must be a string in double quotes, found " + Found());
        return ParseString();
    }

    bool ExpectBool(const std::string& attr) {
        SkipSpaces();
        const size_t at = pos_;
        std::string_view w = Word();
        if (w == "True") return true;
        if (w == "False") return false;
        pos_ = at;
        Fail(attr + " must be True or False, found " + Found());
    }

    int32_t ExpectLong(const std::string& attr, int64_t lo, int64_t hi) {
        SkipSpaces();
        const size_t at = pos_;
        if (Peek() != '-' && !IsDigit(Peek())) {
            Fail(attr + " must be a whole number, found " + Found());
        }
        const int32_t v = ParseLong();
        if (v < lo || v > hi) FailAt(at, attr + " must be " + Range(lo, hi));
        return v;
    }

    // --- values --------------------------------------------------------------------------

    Value ParseValue() {
        SkipSpaces();
        const char c = Peek();
        if (c == '"') return ParseString();
        if (c == '-' || IsDigit(c)) return ParseLong();
        const size_t at = pos_;
        std::string_view w = Word();
        if (w == "True") return true;
        if (w == "False") return false;
        if (w == "Empty") return Empty{};
        if (w == "Nothing") return Nothing{};
        if (w == "Integer") return ParseInteger();
        if (w == "Single") {
            Expect('(', "\"(\" after Single");
            const float v = ParseFloat<float>("Single");
            Expect(')', "\")\" closing Single(...)");
            return v;
        }
        if (w == "Double") {
            Expect('(', "\"(\" after Double");
            const double v = ParseFloat<double>("Double");
            Expect(')', "\")\" closing Double(...)");
            return v;
        }
        if (w == "Bytes") {
            Expect('(', "\"(\" after Bytes");
            Bytes b{ParseHex("Bytes")};
            Expect(')', "\")\" closing Bytes(...)");
            return b;
        }
        if (w == "Utf16") {
            Expect('(', "\"(\" after Utf16");
            SkipSpaces();
            if (Peek() != '"') Fail("expected a string in double quotes in Utf16(...)");
            const std::u16string s = ParseString();
            Expect(')', "\")\" closing Utf16(...)");
            Bytes b;
            b.data.reserve(s.size() * 2);
            for (char16_t u : s) {
                b.data.push_back(static_cast<uint8_t>(u & 0xFF));
                b.data.push_back(static_cast<uint8_t>(u >> 8));
            }
            return b;
        }
        if (w == "Picture") {
            Expect('(', "\"(\" after Picture");
            SkipSpaces();
            const size_t dataAt = pos_;
            Picture p{ParseHex("Picture")};
            if (p.data.empty())
                FailAt(dataAt, "Picture(...) holds no data (write Nothing for no picture)");
            Expect(')', "\")\" closing Picture(...)");
            return p;
        }
        if (w == "Font") return ParseFont();
        pos_ = at;
        Fail(
            "expected a value (True, False, a whole number, a string, Empty, Nothing, "
            "Integer(...), Single(...), Double(...), Bytes(...), Utf16(...), Font(...) or "
            "Picture(...)) but found " +
            Found());
    }

    // A 32-bit whole number: decimal, or 0x and up to 8 hex digits (the bit pattern).
    int32_t ParseLong() {
        const size_t at = pos_;
        const int64_t v = ParseWhole(0xFFFFFFFFLL, INT32_MIN, INT32_MAX, "a Long");
        if (Peek() == '.' || Peek() == 'e' || Peek() == 'E') {
            FailAt(at,
                   "a number with a fraction or exponent must be written Single(...) or "
                   "Double(...)");
        }
        return static_cast<int32_t>(static_cast<uint32_t>(v));
    }

    int16_t ParseInteger() {
        Expect('(', "\"(\" after Integer");
        SkipSpaces();
        if (Peek() != '-' && !IsDigit(Peek())) Fail("expected a whole number in Integer(...)");
        const int64_t v = ParseWhole(0xFFFF, INT16_MIN, INT16_MAX, "an Integer");
        Expect(')', "\")\" closing Integer(...)");
        return static_cast<int16_t>(static_cast<uint16_t>(v));
    }

    int64_t ParseWhole(int64_t hexMax, int64_t lo, int64_t hi, const char* what) {
        const size_t at = pos_;
        if (line_.substr(pos_, 2) == "0x" || line_.substr(pos_, 2) == "0X") {
            pos_ += 2;
            const size_t digitsAt = pos_;
            int64_t v = 0;
            while (pos_ < line_.size() && HexValue(line_[pos_]) >= 0) {
                v = v * 16 + HexValue(line_[pos_]);
                ++pos_;
                if (v > hexMax) FailAt(at, std::string("hex number out of range for ") + what);
            }
            if (pos_ == digitsAt) Fail("expected hex digits after 0x");
            if (IsIdentChar(Peek())) Fail("unexpected " + Found() + " in a hex number");
            return v;
        }
        const bool negative = Peek() == '-';
        if (negative) ++pos_;
        const std::string_view digits = Digits();
        if (digits.empty()) Fail("expected digits after \"-\"");
        int64_t v = 0;
        for (char d : digits) {
            v = v * 10 + (d - '0');
            if (v > hi + 1) break;  // far enough to know it is out of range
        }
        if (negative) v = -v;
        if (v < lo || v > hi) {
            FailAt(at, std::string("number out of range for ") + what + " (" + Range(lo, hi) + ")");
        }
        if (IsIdentStart(Peek())) Fail("unexpected " + Found() + " after a number");
        return v;
    }

    // A decimal floating-point number: [-]digits[.digits][e[+-]digits]; finite.
    template <class T>
    T ParseFloat(const char* what) {
        SkipSpaces();
        const size_t at = pos_;
        if (Peek() == '-') ++pos_;
        if (Digits().empty()) Fail(std::string("expected a number in ") + what + "(...)");
        if (Peek() == '.') {
            ++pos_;
            if (Digits().empty()) Fail("expected digits after the decimal point");
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++pos_;
            if (Peek() == '+' || Peek() == '-') ++pos_;
            if (Digits().empty()) Fail("expected digits in the exponent");
        }
        const std::string_view token = line_.substr(at, pos_ - at);
        // The C library's conversion (the token is already known to be well formed): the
        // standard library's floating-point charconv would more than double the program.
        const std::string text(token);
        char* end = nullptr;
        errno = 0;
        T v{};
        if constexpr (std::is_same_v<T, float>) {
            v = std::strtof(text.c_str(), &end);
        } else {
            v = std::strtod(text.c_str(), &end);
        }
        const bool underflow = errno == ERANGE && std::fabs(v) <= std::numeric_limits<T>::min();
        if ((errno == ERANGE && !underflow) || !std::isfinite(v)) {
            FailAt(at, std::string("number out of range for ") + what);
        }
        if (end != text.c_str() + text.size()) {
            FailAt(at, std::string("malformed number in ") + what + "(...)");
        }
        return v;
    }

    std::vector<uint8_t> ParseHex(const char* what) {
        std::vector<uint8_t> out;
        for (;;) {
            SkipSpaces();
            const int hi = HexValue(Peek());
            if (hi < 0) break;
            ++pos_;
            const int lo = HexValue(Peek());
            if (lo < 0) Fail(std::string("expected a second hex digit in ") + what + "(...)");
            ++pos_;
            if (out.size() >= kMaxValueUnits) {
                Fail(std::string(what) + "(...) longer than " + std::to_string(kMaxValueUnits) +
                     " bytes");
            }
            out.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
        return out;
    }

    std::u16string ParseString() {
        const size_t start = pos_;
        ++pos_;  // opening quote
        std::u16string out;
        for (;;) {
            if (pos_ >= line_.size()) {
                FailAt(start, "unterminated string: expected '\"' before the end of the line");
            }
            if (out.size() >= kMaxValueUnits) {
                FailAt(start,
                       "string longer than " + std::to_string(kMaxValueUnits) + " characters");
            }
            const char c = line_[pos_];
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (c == '\\') {
                const size_t escapeAt = pos_;
                ++pos_;
                const char e = Peek();
                ++pos_;
                switch (e) {
                    case '\\':
                        out.push_back(u'\\');
                        break;
                    case '"':
                        out.push_back(u'"');
                        break;
                    case 'r':
                        out.push_back(u'\r');
                        break;
                    case 'n':
                        out.push_back(u'\n');
                        break;
                    case 't':
                        out.push_back(u'\t');
                        break;
                    case 'u': {
                        char16_t unit = 0;
                        for (int i = 0; i < 4; ++i) {
                            const int h = HexValue(Peek());
                            if (h < 0) Fail("expected four hex digits after \\u");
                            unit = static_cast<char16_t>(unit * 16 + h);
                            ++pos_;
                        }
                        out.push_back(unit);
                        break;
                    }
                    default:
                        FailAt(escapeAt, "unknown escape \\" + std::string(e ? 1 : 0, e) +
                                             " (known: \\\\ \\\" \\r \\n \\t \\uXXXX)");
                }
                continue;
            }
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 && c != '\t') {
                Fail("control character in a string (write it as \\uXXXX)");
            }
            char32_t cp;
            const size_t n = DecodeUtf8(line_, pos_, cp);  // the file was checked already
            AppendUtf16(out, cp);
            pos_ += n;
        }
    }

    Font ParseFont() {
        Expect('(', "\"(\" after Font");
        Font f;
        bool haveName = false, haveSize = false;
        std::map<std::string, bool> seen;
        SkipSpaces();
        if (Peek() == ')') Fail("Font(...) needs at least Name and Size");
        for (;;) {
            SkipSpaces();
            const size_t at = pos_;
            const std::string field(Word());
            if (field.empty())
                Fail(
                    "expected a font field (Name, Size, Charset, Weight, Italic, "
                    "Underline, Strikethrough) but found " +
                    Found());
            if (seen[field]) FailAt(at, "font field " + field + " is given twice");
            seen[field] = true;
            Expect('=', "\"=\" after the font field");
            SkipSpaces();
            if (field == "Name") {
                if (Peek() != '"') Fail("the font Name must be a string");
                const size_t vat = pos_;
                f.name = ParseString();
                if (f.name.empty() || f.name.size() > kMaxNameLength) {
                    FailAt(vat, "the font Name must have 1 to " + std::to_string(kMaxNameLength) +
                                    " characters");
                }
                haveName = true;
            } else if (field == "Size") {
                f.size = ParseFontSize();
                haveSize = true;
            } else if (field == "Charset") {
                f.charset = static_cast<int16_t>(ExpectLong("the font Charset", 0, 255));
            } else if (field == "Weight") {
                f.weight = static_cast<int16_t>(ExpectLong("the font Weight", 0, 1000));
            } else if (field == "Italic") {
                f.italic = ExpectBool("the font's Italic");
            } else if (field == "Underline") {
                f.underline = ExpectBool("the font's Underline");
            } else if (field == "Strikethrough") {
                f.strikethrough = ExpectBool("the font's Strikethrough");
            } else {
                FailAt(at, "unknown font field \"" + field + "\"");
            }
            SkipSpaces();
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            if (Peek() == ')') {
                if (!haveName || !haveSize) Fail("Font(...) needs at least Name and Size");
                ++pos_;
                return f;
            }
            Fail("expected \",\" or \")\" in Font(...) but found " + Found());
        }
    }

    // Points with at most four decimals, kept exactly as ten-thousandths.
    int64_t ParseFontSize() {
        const size_t at = pos_;
        const std::string_view whole = Digits();
        if (whole.empty()) Fail("the font Size must be a positive number of points");
        int64_t v = 0;
        for (char d : whole) {
            v = v * 10 + (d - '0');
            if (v > kMaxFontSize) break;
        }
        v *= 10000;
        if (Peek() == '.') {
            ++pos_;
            const std::string_view frac = Digits();
            if (frac.empty()) Fail("expected digits after the decimal point");
            if (frac.size() > 4) FailAt(at, "the font Size has at most four decimals");
            int64_t scale = 1000;
            for (char d : frac) {
                v += (d - '0') * scale;
                scale /= 10;
            }
        }
        if (v <= 0 || v > kMaxFontSize)
            FailAt(at, "the font Size must be above 0 and at most 2048");
        return v;
    }

    std::string_view text_;
    std::string file_;
    size_t next_ = 0;
    bool atEof_ = false;
    bool endsWithBreak_ = false;
    std::string_view line_;
    size_t pos_ = 0;
    int lineNo_ = 0;
};

// ---------------------------------------------------------------------------------------
// Writer

void CheckName(std::string_view name, const char* what) {
    if (!IsIdentifier(name)) {
        throw std::invalid_argument(std::string(what) + " \"" + std::string(name) +
                                    "\" is not a name of letters, digits and '_'");
    }
}

void CheckUnits(size_t n) {
    if (n > kMaxValueUnits) throw std::invalid_argument("a value is longer than the layout allows");
}

std::string WriteString(std::u16string_view s) {
    CheckUnits(s.size());
    std::string out = "\"";
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t u = s[i];
        char32_t cp = u;
        bool escape = false;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            escape = true;  // a lone surrogate has no UTF-8 form
        }
        switch (cp) {
            case '\\':
                out += "\\\\";
                continue;
            case '"':
                out += "\\\"";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        if (escape || cp < 0x20 || cp == 0x7F || cp == 0xFEFF) {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(u >> shift) & 0xF];
            continue;
        }
        AppendUtf8(out, cp);
    }
    return out + "\"";
}

std::string WriteHex(const std::vector<uint8_t>& data) {
    CheckUnits(data.size());
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(data.size() * 3);
    for (size_t i = 0; i < data.size(); ++i) {
        if (i) out += (i % 32 == 0) ? "  " : " ";
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 0xF];
    }
    return out;
}

// Byte arrays that hold UTF-16 text (how the controls keep strings) are written as that
// text, so that a person can read and edit them.
bool LooksLikeUtf16Text(const std::vector<uint8_t>& data) {
    if (data.empty() || data.size() % 2) return false;
    size_t text = 0;
    const size_t units = data.size() / 2;
    auto unit = [&](size_t i) {
        return static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    };
    for (size_t i = 0; i < units; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            text += 2;
            ++i;
        } else if ((u >= 0x20 && u < 0xD800) || (u >= 0xE000 && u < 0xFFFE) || u == '\r' ||
                   u == '\n' || u == '\t') {
            ++text;
        }
    }
    return text * 10 >= units * 9;
}

template <class T>
std::string WriteFloat(T v) {
    if (!std::isfinite(v)) throw std::invalid_argument("a number is not finite");
    // The shortest decimal form that reads back as the same value.
    char buf[64];
    const int maxDigits = std::numeric_limits<T>::max_digits10;
    for (int digits = 1; digits <= maxDigits; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(v));
        const T back = std::is_same_v<T, float> ? static_cast<T>(std::strtof(buf, nullptr))
                                                : static_cast<T>(std::strtod(buf, nullptr));
        if (back == v) break;
    }
    return buf;
}

std::string WriteFontSize(int64_t size) {
    if (size <= 0 || size > kMaxFontSize) throw std::invalid_argument("font size out of range");
    std::string out = std::to_string(size / 10000);
    int64_t frac = size % 10000;
    if (frac) {
        std::string digits = std::to_string(frac);
        digits.insert(0, 4 - digits.size(), '0');
        while (digits.back() == '0')
            digits.pop_back();
        out += "." + digits;
    }
    return out;
}

std::string WriteBool(bool v) {
    return v ? "True" : "False";
}

void Line(std::string& out, int indent, const std::string& text) {
    out.append(static_cast<size_t>(indent) * 4, ' ');
    out += text;
    out += "\r\n";
}

}  // namespace

bool IsIdentifier(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameLength || !IsIdentStart(name[0])) return false;
    for (char c : name) {
        if (!IsIdentChar(c)) return false;
    }
    return true;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        const size_t n = DecodeUtf8(text, i, cp);
        if (n == 0) throw std::invalid_argument("invalid UTF-8");
        AppendUtf16(out, cp);
        i += n;
    }
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

FormLayout Parse(std::string_view text, std::string_view fileName) {
    return Parser(text, fileName).Run();
}

std::string WriteValue(const Value& value) {
    struct Visitor {
        std::string operator()(const Empty&) const { return "Empty"; }
        std::string operator()(const Nothing&) const { return "Nothing"; }
        std::string operator()(bool v) const { return WriteBool(v); }
        std::string operator()(int16_t v) const { return "Integer(" + std::to_string(v) + ")"; }
        std::string operator()(int32_t v) const {
            // OLE colours and other bit patterns read better in hex.
            if (v < 0 && (static_cast<uint32_t>(v) & 0xFF000000u) == 0x80000000u) {
                char buf[16];
                const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<uint32_t>(v), 16);
                std::string hex(buf, r.ptr);
                for (char& c : hex) {
                    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
                }
                return "0x" + hex;
            }
            return std::to_string(v);
        }
        std::string operator()(float v) const { return "Single(" + WriteFloat(v) + ")"; }
        std::string operator()(double v) const { return "Double(" + WriteFloat(v) + ")"; }
        std::string operator()(const std::u16string& v) const { return WriteString(v); }
        std::string operator()(const Bytes& v) const {
            if (LooksLikeUtf16Text(v.data)) {
                std::u16string s;
                for (size_t i = 0; i + 1 < v.data.size(); i += 2) {
                    s.push_back(static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8)));
                }
                return "Utf16(" + WriteString(s) + ")";
            }
            return "Bytes(" + WriteHex(v.data) + ")";
        }
        std::string operator()(const Font& f) const {
            if (f.name.empty() || f.name.size() > kMaxNameLength) {
                throw std::invalid_argument("font name empty or too long");
            }
            if (f.charset < 0 || f.charset > 255 || f.weight < 0 || f.weight > 1000) {
                throw std::invalid_argument("font charset or weight out of range");
            }
            return "Font(Name = " + WriteString(f.name) + ", Size = " + WriteFontSize(f.size) +
                   ", Charset = " + std::to_string(f.charset) +
                   ", Weight = " + std::to_string(f.weight) + ", Italic = " + WriteBool(f.italic) +
                   ", Underline = " + WriteBool(f.underline) +
                   ", Strikethrough = " + WriteBool(f.strikethrough) + ")";
        }
        std::string operator()(const Picture& p) const {
            if (p.data.empty()) return "Nothing";
            return "Picture(" + WriteHex(p.data) + ")";
        }
    };
    return std::visit(Visitor{}, value);
}

std::string Write(const FormLayout& f) {
    CheckName(f.name, "form name");
    auto range = [](int32_t v, int64_t lo, int64_t hi, const char* what) {
        if (v < lo || v > hi) throw std::invalid_argument(std::string(what) + " out of range");
        return std::to_string(v);
    };
    std::string out;
    Line(out, 0, std::string(kHeader) + " " + std::to_string(kVersion));
    Line(out, 0, "Begin Form " + f.name);
    Line(out, 1, "Caption = " + WriteString(f.caption));
    if (!f.tag.empty()) Line(out, 1, "Tag = " + WriteString(f.tag));
    Line(out, 1, "ClientWidth = " + range(f.clientWidth, 0, kMaxLength, "ClientWidth"));
    Line(out, 1, "ClientHeight = " + range(f.clientHeight, 0, kMaxLength, "ClientHeight"));
    if (f.left) Line(out, 1, "Left = " + range(f.left, -kMaxLength, kMaxLength, "Left"));
    if (f.top) Line(out, 1, "Top = " + range(f.top, -kMaxLength, kMaxLength, "Top"));
    Line(out, 1, "BorderStyle = " + range(f.borderStyle, 0, 5, "BorderStyle"));
    Line(out, 1, "StartUpPosition = " + range(f.startUpPosition, 0, 3, "StartUpPosition"));
    if (!f.controlBox) Line(out, 1, "ControlBox = False");
    if (!f.minButton) Line(out, 1, "MinButton = False");
    if (!f.maxButton) Line(out, 1, "MaxButton = False");
    if (!f.showInTaskbar) Line(out, 1, "ShowInTaskbar = False");
    if (f.rightToLeft) Line(out, 1, "RightToLeft = True");
    if (f.icon) Line(out, 1, "Icon = " + range(f.icon, 0, 65535, "Icon"));
    if (f.font) Line(out, 1, "Font = " + WriteValue(*f.font));
    if (f.backColor != static_cast<int32_t>(0x8000000F)) {
        Line(out, 1, "BackColor = " + WriteValue(f.backColor));
    }
    if (f.foreColor != static_cast<int32_t>(0x80000012)) {
        Line(out, 1, "ForeColor = " + WriteValue(f.foreColor));
    }
    for (const ControlLayout& c : f.controls) {
        CheckName(c.type, "control type");
        CheckName(c.name, "control name");
        Line(out, 1, "Begin " + c.type + " " + c.name);
        Line(out, 2, "Left = " + range(c.left, -kMaxLength, kMaxLength, "Left"));
        Line(out, 2, "Top = " + range(c.top, -kMaxLength, kMaxLength, "Top"));
        Line(out, 2, "Width = " + range(c.width, 0, kMaxLength, "Width"));
        Line(out, 2, "Height = " + range(c.height, 0, kMaxLength, "Height"));
        if (c.tabIndex) Line(out, 2, "TabIndex = " + range(*c.tabIndex, 0, 32767, "TabIndex"));
        if (!c.tabStop) Line(out, 2, "TabStop = False");
        if (!c.visible) Line(out, 2, "Visible = False");
        if (!c.causesValidation) Line(out, 2, "CausesValidation = False");
        if (c.isDefault) Line(out, 2, "Default = True");
        if (c.isCancel) Line(out, 2, "Cancel = True");
        if (!c.tag.empty()) Line(out, 2, "Tag = " + WriteString(c.tag));
        if (!c.toolTipText.empty()) Line(out, 2, "ToolTipText = " + WriteString(c.toolTipText));
        if (c.helpContextId) Line(out, 2, "HelpContextID = " + std::to_string(c.helpContextId));
        if (c.whatsThisHelpId) {
            Line(out, 2, "WhatsThisHelpID = " + std::to_string(c.whatsThisHelpId));
        }
        if (c.dragMode) Line(out, 2, "DragMode = " + range(c.dragMode, 0, 1, "DragMode"));
        if (c.dragIcon && !c.dragIcon->data.empty()) {
            Line(out, 2, "DragIcon = " + WriteValue(*c.dragIcon));
        }
        for (const Property& p : c.properties) {
            CheckName(p.key, "property name");
            Line(out, 2, "Property " + p.key + " = " + WriteValue(p.value));
        }
        Line(out, 1, "End");
    }
    Line(out, 0, "End");
    return out;
}

}  // namespace Layout
