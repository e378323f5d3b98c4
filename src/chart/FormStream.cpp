#include "FormStream.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>
#include <utility>

#include "ChartComponent.h"
#include "Format.h"
#include "ScopeExit.h"
#include "StrUtils.h"

namespace {

// A collection or a node may hold at most this many items or children.
constexpr std::size_t MaxFormItems = 10000;

std::string LineSuffix(int line) { return line > 0 ? Format(" (line %d)", line) : std::string(); }

}  // namespace

EFormError::EFormError(const std::string& message, int line)
    : ChartException(message + LineSuffix(line)), FWhat(message), FLine(line) {}

// ---------------------------------------------------------------------------
TFormValue TFormValue::OfInt(std::int64_t v) {
    TFormValue f;
    f.Kind = TFormKind::Integer;
    f.Int = v;
    return f;
}

TFormValue TFormValue::OfFloat(double v) {
    TFormValue f;
    f.Kind = TFormKind::Float;
    f.Float = v;
    return f;
}

TFormValue TFormValue::OfString(std::string v) {
    TFormValue f;
    f.Kind = TFormKind::String;
    f.Text = std::move(v);
    return f;
}

TFormValue TFormValue::OfIdent(std::string v) {
    TFormValue f;
    f.Kind = TFormKind::Ident;
    f.Text = std::move(v);
    return f;
}

TFormValue TFormValue::OfBytes(std::vector<std::uint8_t> v) {
    TFormValue f;
    f.Kind = TFormKind::Binary;
    f.Bytes = std::move(v);
    return f;
}

bool TFormValue::operator==(const TFormValue& o) const {
    if (Kind != o.Kind) return false;
    switch (Kind) {
    case TFormKind::Integer:
        return Int == o.Int;
    case TFormKind::Float:
        return std::memcmp(&Float, &o.Float, sizeof Float) == 0;
    case TFormKind::String:
    case TFormKind::Ident:
        return Text == o.Text;
    case TFormKind::Set:
        return Names == o.Names;
    case TFormKind::List:
        return List == o.List;
    case TFormKind::Binary:
        return Bytes == o.Bytes;
    case TFormKind::Collection:
        return Items == o.Items;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Text to tree.
namespace {

enum class TTok { End, Ident, Integer, Float, String, Symbol };

struct TToken {
    TTok Kind = TTok::End;
    std::string Text;
    std::int64_t Int = 0;
    double Float = 0;
    char Symbol = 0;
    int Line = 1;
};

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '.'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// A component name: an identifier without the dots of nested property names.
bool IsFormName(const std::string& name) {
    return !name.empty() && IsIdentStart(name[0]) &&
           std::all_of(name.begin(), name.end(), [](char c) { return IsIdentChar(c) && c != '.'; });
}

class TLexer {
public:
    explicit TLexer(std::string_view text) : FText(text) {}

    const TToken& Peek() {
        if (!FPeeked) {
            FNext = Scan();
            FPeeked = true;
        }
        return FNext;
    }
    TToken Take() {
        Peek();
        FPeeked = false;
        return std::move(FNext);
    }
    int Line() const { return FLine; }

    // Hex digits up to '}', blanks and line breaks between pairs allowed.
    std::vector<std::uint8_t> HexUntilBrace() {
        std::vector<std::uint8_t> bytes;
        for (;;) {
            SkipBlanks();
            if (FPos >= FText.size()) Fail("Unterminated binary data");
            if (FText[FPos] == '}') {
                ++FPos;
                return bytes;
            }
            if (FPos + 1 >= FText.size() || !std::isxdigit(static_cast<unsigned char>(FText[FPos])) ||
                !std::isxdigit(static_cast<unsigned char>(FText[FPos + 1])))
                Fail("Invalid hexadecimal data");
            unsigned byte = 0;
            std::from_chars(FText.data() + FPos, FText.data() + FPos + 2, byte, 16);
            bytes.push_back(static_cast<std::uint8_t>(byte));
            FPos += 2;
        }
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw EFormError(what, FLine); }

    void SkipBlanks() {
        while (FPos < FText.size()) {
            const char c = FText[FPos];
            if (c == '\n') {
                ++FLine;
                ++FPos;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++FPos;
            } else if (c == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') {
                while (FPos < FText.size() && FText[FPos] != '\n') ++FPos;
            } else {
                break;
            }
        }
    }

    TToken Scan() {
        SkipBlanks();
        TToken t;
        t.Line = FLine;
        if (FPos >= FText.size()) return t;
        const char c = FText[FPos];
        if (IsIdentStart(c)) {
            const std::size_t start = FPos;
            while (FPos < FText.size() && IsIdentChar(FText[FPos])) ++FPos;
            t.Kind = TTok::Ident;
            t.Text = std::string(FText.substr(start, FPos - start));
            if (t.Text.back() == '.') Fail("Invalid name '" + t.Text + "'");
            return t;
        }
        if (IsDigit(c) || ((c == '-' || c == '+') && FPos + 1 < FText.size() && IsDigit(FText[FPos + 1]))) {
            ScanNumber(t);
            return t;
        }
        if (c == '-' && FText.substr(FPos, 4) == "-inf") {
            FPos += 4;
            t.Kind = TTok::Float;
            t.Float = -HUGE_VAL;
            return t;
        }
        if (c == '$') {
            ScanHex(t);
            return t;
        }
        if (c == '\'' || c == '#') {
            ScanString(t);
            return t;
        }
        if (std::strchr("=:[](){}<>,", c) && c != 0) {
            ++FPos;
            t.Kind = TTok::Symbol;
            t.Symbol = c;
            return t;
        }
        Fail(Format("Unexpected character 0x%.2x", static_cast<unsigned char>(c)));
    }

    void ScanNumber(TToken& t) {
        const std::size_t start = FPos;
        if (FText[FPos] == '-' || FText[FPos] == '+') ++FPos;
        bool isFloat = false;
        while (FPos < FText.size()) {
            const char c = FText[FPos];
            if (IsDigit(c)) {
                ++FPos;
            } else if (c == '.' || c == 'e' || c == 'E') {
                isFloat = true;
                ++FPos;
                if ((c == 'e' || c == 'E') && FPos < FText.size() && (FText[FPos] == '-' || FText[FPos] == '+')) ++FPos;
            } else {
                break;
            }
        }
        std::string_view s = FText.substr(start, FPos - start);
        if (s.front() == '+') s.remove_prefix(1);
        const char* end = s.data() + s.size();
        if (isFloat) {
            t.Kind = TTok::Float;
            const auto r = std::from_chars(s.data(), end, t.Float);
            if (r.ec != std::errc() || r.ptr != end) Fail("Invalid number '" + std::string(s) + "'");
        } else {
            t.Kind = TTok::Integer;
            const auto r = std::from_chars(s.data(), end, t.Int);
            if (r.ec != std::errc() || r.ptr != end) Fail("Invalid integer '" + std::string(s) + "'");
        }
    }

    void ScanHex(TToken& t) {
        const std::size_t start = ++FPos;
        while (FPos < FText.size() && std::isxdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
        const std::string_view s = FText.substr(start, FPos - start);
        std::uint64_t v = 0;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
        if (s.empty() || r.ec != std::errc() || v > 0xFFFFFFFFu) Fail("Invalid hexadecimal number");
        t.Kind = TTok::Integer;
        t.Int = static_cast<std::int64_t>(v);
    }

    // 'quoted' pieces and #code characters, side by side, make one string.
    void ScanString(TToken& t) {
        t.Kind = TTok::String;
        while (FPos < FText.size()) {
            const char c = FText[FPos];
            if (c == '\'') {
                ++FPos;
                for (;;) {
                    if (FPos >= FText.size() || FText[FPos] == '\n') Fail("Unterminated string");
                    if (FText[FPos] == '\'') {
                        if (FPos + 1 < FText.size() && FText[FPos + 1] == '\'') {
                            t.Text += '\'';
                            FPos += 2;
                            continue;
                        }
                        ++FPos;
                        break;
                    }
                    t.Text += FText[FPos++];
                }
            } else if (c == '#') {
                const std::size_t start = ++FPos;
                while (FPos < FText.size() && IsDigit(FText[FPos])) ++FPos;
                unsigned code = 0;
                const auto r = std::from_chars(FText.data() + start, FText.data() + FPos, code);
                if (start == FPos || r.ec != std::errc() || code > 255) Fail("Invalid character code");
                t.Text += static_cast<char>(code);
            } else {
                break;
            }
        }
        // every string a chart shows is measured and drawn on each paint
        if (t.Text.size() > MaxFormString) Fail(Format("String longer than %d characters", MaxFormString));
        FStrings += t.Text.size();
        if (FStrings > MaxFormStrings)
            Fail(Format("Form too large: more than %d characters in strings", MaxFormStrings));
    }

    std::string_view FText;
    std::size_t FPos = 0;
    std::size_t FStrings = 0;
    int FLine = 1;
    TToken FNext;
    bool FPeeked = false;
};

class TParser {
public:
    explicit TParser(std::string_view text) : FLex(text) {}

    TFormNode Root() {
        TFormNode node = Object(0);
        if (FLex.Peek().Kind != TTok::End) Fail("Text after the end of the form", FLex.Peek().Line);
        return node;
    }

private:
    [[noreturn]] static void Fail(const std::string& what, int line) { throw EFormError(what, line); }

    static std::string Describe(const TToken& t) {
        switch (t.Kind) {
        case TTok::End:
            return "the end of the text";
        case TTok::Symbol:
            return std::string("'") + t.Symbol + "'";
        case TTok::Ident:
            return "'" + t.Text + "'";
        default:
            return "a value";
        }
    }

    void ExpectSymbol(char symbol) {
        const TToken t = FLex.Take();
        if (t.Kind != TTok::Symbol || t.Symbol != symbol)
            Fail(std::string("Expected '") + symbol + "' but found " + Describe(t), t.Line);
    }

    std::string ExpectIdent(const char* what) {
        TToken t = FLex.Take();
        if (t.Kind != TTok::Ident) Fail(std::string("Expected ") + what + " but found " + Describe(t), t.Line);
        return std::move(t.Text);
    }

    static void CheckDepth(int depth, int line) {
        if (depth > MaxFormDepth) Fail(Format("Form nested deeper than %d levels", MaxFormDepth), line);
    }

    // Every value, property and item parsed, against the form's bound.
    void CountValue(int line) {
        if (++FValues > MaxFormValues) Fail(Format("Form too large: more than %d values", MaxFormValues), line);
    }

    bool AtIdent(const char* word) {
        const TToken& t = FLex.Peek();
        return t.Kind == TTok::Ident && SameText(t.Text, word);
    }

    TFormNode Object(int depth) {
        TToken head = FLex.Take();
        if (head.Kind != TTok::Ident || !SameText(head.Text, "object"))
            Fail("Expected 'object' but found " + Describe(head), head.Line);
        CheckDepth(depth, head.Line);
        TFormNode node;
        node.Line = head.Line;
        std::string first = ExpectIdent("a class name");
        if (FLex.Peek().Kind == TTok::Symbol && FLex.Peek().Symbol == ':') {
            FLex.Take();
            // refused here, or the component would read but could not be written again
            if (!IsFormName(first)) Fail("Invalid component name '" + first + "'", head.Line);
            node.Name = std::move(first);
            node.ClassName = ExpectIdent("a class name");
        } else {
            node.ClassName = std::move(first);
        }
        while (!AtIdent("object") && !AtIdent("end")) node.Properties.push_back(Property(depth));
        while (AtIdent("object")) {
            if (node.Children.size() >= MaxFormItems) Fail("Too many components", FLex.Peek().Line);
            node.Children.push_back(Object(depth + 1));
        }
        if (!AtIdent("end")) Fail("Expected 'end' but found " + Describe(FLex.Peek()), FLex.Peek().Line);
        FLex.Take();
        return node;
    }

    TFormProperty Property(int depth) {
        TFormProperty p;
        p.Line = FLex.Peek().Line;
        CountValue(p.Line);
        p.Name = ExpectIdent("a property name");
        ExpectSymbol('=');
        try {
            p.Value = Value(depth + 1);
        } catch (const EFormError& e) {
            // a value refused while parsing names its property, as a value refused while read does
            if (e.What().starts_with("Property '")) throw;
            throw EFormError("Property '" + p.Name + "': " + e.What(), e.Line());
        }
        return p;
    }

    TFormValue Value(int depth) {
        TToken t = FLex.Take();
        CheckDepth(depth, t.Line);
        CountValue(t.Line);
        TFormValue v;
        v.Line = t.Line;
        switch (t.Kind) {
        case TTok::Integer:
            v.Kind = TFormKind::Integer, v.Int = t.Int;
            return v;
        case TTok::Float:
            v.Kind = TFormKind::Float, v.Float = t.Float;
            return v;
        case TTok::String:
            v.Kind = TFormKind::String, v.Text = std::move(t.Text);
            return v;
        case TTok::Ident:
            v.Kind = TFormKind::Ident, v.Text = std::move(t.Text);
            return v;
        case TTok::End:
            Fail("Expected a value but found the end of the text", t.Line);
        case TTok::Symbol:
            break;
        }
        switch (t.Symbol) {
        case '[':
            SetValue(v);
            return v;
        case '(':
            ListValue(v, depth);
            return v;
        case '{':
            BinaryValue(v);
            return v;
        case '<':
            CollectionValue(v, depth);
            return v;
        default:
            Fail("Expected a value but found " + Describe(t), t.Line);
        }
    }

    void SetValue(TFormValue& v) {
        v.Kind = TFormKind::Set;
        if (FLex.Peek().Kind == TTok::Symbol && FLex.Peek().Symbol == ']') {
            FLex.Take();
            return;
        }
        for (;;) {
            if (v.Names.size() >= 64) Fail("Too many set elements", FLex.Line());
            v.Names.push_back(ExpectIdent("a set element"));
            const TToken t = FLex.Take();
            if (t.Kind == TTok::Symbol && t.Symbol == ']') return;
            if (t.Kind != TTok::Symbol || t.Symbol != ',') Fail("Expected ',' or ']' but found " + Describe(t), t.Line);
        }
    }

    void ListValue(TFormValue& v, int depth) {
        v.Kind = TFormKind::List;
        while (!(FLex.Peek().Kind == TTok::Symbol && FLex.Peek().Symbol == ')')) {
            if (v.List.size() >= (1u << 20)) Fail("List too long", FLex.Line());
            v.List.push_back(Value(depth + 1));
        }
        FLex.Take();
    }

    void BinaryValue(TFormValue& v) {
        v.Kind = TFormKind::Binary;
        v.Bytes = FLex.HexUntilBrace();
    }

    void CollectionValue(TFormValue& v, int depth) {
        v.Kind = TFormKind::Collection;
        while (AtIdent("item")) {
            const int line = FLex.Take().Line;
            if (v.Items.size() >= MaxFormItems) Fail("Too many collection items", line);
            CountValue(line);
            std::vector<TFormProperty> item;
            while (!AtIdent("end")) item.push_back(Property(depth + 1));
            FLex.Take();
            v.Items.push_back(std::move(item));
        }
        ExpectSymbol('>');
    }

    TLexer FLex;
    std::size_t FValues = 0;
};

}  // namespace

TFormNode ParseForm(std::string_view text) {
    if (text.size() > MaxFormText) throw EFormError("Form text too long", 0);
    // editors may start a UTF-8 text with a byte-order mark
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return TParser(text).Root();
}

// ---------------------------------------------------------------------------
// Tree to text.
namespace {

std::string QuoteString(const std::string& s) {
    if (s.empty()) return "''";
    std::string out;
    bool open = false;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) {
            if (open) out += '\'';
            open = false;
            out += '#' + std::to_string(u);
        } else {
            if (!open) out += '\'';
            open = true;
            out += c;
            if (c == '\'') out += '\'';
        }
    }
    if (open) out += '\'';
    return out;
}

std::string FloatText(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, r.ptr);
    // a double always shows that it is one
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

void PrintValue(std::string& out, const TFormValue& v, const std::string& indent);

void PrintProperties(std::string& out, const std::vector<TFormProperty>& props, const std::string& indent) {
    for (const TFormProperty& p : props) {
        out += indent + p.Name + " = ";
        PrintValue(out, p.Value, indent);
        out += '\n';
    }
}

void PrintValue(std::string& out, const TFormValue& v, const std::string& indent) {
    static const char hex[] = "0123456789ABCDEF";
    switch (v.Kind) {
    case TFormKind::Integer:
        out += std::to_string(v.Int);
        break;
    case TFormKind::Float:
        out += FloatText(v.Float);
        break;
    case TFormKind::String:
        out += QuoteString(v.Text);
        break;
    case TFormKind::Ident:
        out += v.Text;
        break;
    case TFormKind::Set:
        out += '[';
        for (std::size_t i = 0; i < v.Names.size(); ++i) out += (i ? ", " : "") + v.Names[i];
        out += ']';
        break;
    case TFormKind::List:
        out += '(';
        for (std::size_t i = 0; i < v.List.size(); ++i) {
            if (i) out += ' ';
            PrintValue(out, v.List[i], indent);
        }
        out += ')';
        break;
    case TFormKind::Binary:
        out += '{';
        for (std::size_t i = 0; i < v.Bytes.size(); ++i) {
            if (i % 32 == 0) out += '\n' + indent + "  ";
            out += hex[v.Bytes[i] >> 4];
            out += hex[v.Bytes[i] & 15];
        }
        out += '}';
        break;
    case TFormKind::Collection:
        out += '<';
        for (const auto& item : v.Items) {
            out += '\n' + indent + "  item\n";
            PrintProperties(out, item, indent + "    ");
            out += indent + "  end";
        }
        out += '>';
        break;
    }
}

void PrintNode(std::string& out, const TFormNode& node, const std::string& indent) {
    out += indent + "object " + (node.Name.empty() ? "" : node.Name + ": ") + node.ClassName + '\n';
    PrintProperties(out, node.Properties, indent + "  ");
    for (const TFormNode& child : node.Children) PrintNode(out, child, indent + "  ");
    out += indent + "end\n";
}

}  // namespace

std::string PrintForm(const TFormNode& root) {
    std::string out;
    PrintNode(out, root, "");
    return out;
}

// ---------------------------------------------------------------------------
// Property lists as binary data.
namespace {

enum : std::uint8_t { vaNull, vaList, vaInt64, vaDouble, vaString, vaIdent, vaFalse, vaTrue, vaSet, vaBinary };

void PutUInt(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutText(std::vector<std::uint8_t>& out, const std::string& s) {
    PutUInt(out, s.size(), 4);
    out.insert(out.end(), s.begin(), s.end());
}

void PutValue(std::vector<std::uint8_t>& out, const TFormValue& v, int line) {
    switch (v.Kind) {
    case TFormKind::Integer:
        out.push_back(vaInt64);
        PutUInt(out, static_cast<std::uint64_t>(v.Int), 8);
        break;
    case TFormKind::Float: {
        out.push_back(vaDouble);
        std::uint64_t bits;
        std::memcpy(&bits, &v.Float, 8);
        PutUInt(out, bits, 8);
        break;
    }
    case TFormKind::String:
        out.push_back(vaString);
        PutText(out, v.Text);
        break;
    case TFormKind::Ident:
        if (v.Text == "True" || v.Text == "False") {
            out.push_back(v.Text == "True" ? vaTrue : vaFalse);
        } else {
            out.push_back(vaIdent);
            PutText(out, v.Text);
        }
        break;
    case TFormKind::Set:
        out.push_back(vaSet);
        PutUInt(out, v.Names.size(), 4);
        for (const std::string& n : v.Names) PutText(out, n);
        break;
    case TFormKind::Binary:
        out.push_back(vaBinary);
        PutUInt(out, v.Bytes.size(), 4);
        out.insert(out.end(), v.Bytes.begin(), v.Bytes.end());
        break;
    default:
        throw EFormError("A list or collection cannot be stored in binary properties", line);
    }
}

class TBinReader {
public:
    TBinReader(const std::uint8_t*& at, const std::uint8_t* end, int line) : FAt(at), FEnd(end), FLine(line) {}
    std::uint64_t UInt(int bytes) {
        Need(static_cast<std::size_t>(bytes));
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= std::uint64_t(*FAt++) << (8 * i);
        return v;
    }
    std::string Text() {
        const std::size_t n = static_cast<std::size_t>(UInt(4));
        Need(n);
        std::string s(reinterpret_cast<const char*>(FAt), n);
        FAt += n;
        return s;
    }
    void Need(std::size_t n) const {
        if (static_cast<std::size_t>(FEnd - FAt) < n) throw EFormError("Binary property data cut short", FLine);
    }
    TFormValue Value() {
        TFormValue v;
        v.Line = FLine;
        switch (static_cast<std::uint8_t>(UInt(1))) {
        case vaInt64:
            v.Kind = TFormKind::Integer, v.Int = static_cast<std::int64_t>(UInt(8));
            break;
        case vaDouble: {
            const std::uint64_t bits = UInt(8);
            v.Kind = TFormKind::Float;
            std::memcpy(&v.Float, &bits, 8);
            break;
        }
        case vaString:
            v.Kind = TFormKind::String, v.Text = Text();
            break;
        case vaIdent:
            v.Kind = TFormKind::Ident, v.Text = Text();
            break;
        case vaFalse:
            v.Kind = TFormKind::Ident, v.Text = "False";
            break;
        case vaTrue:
            v.Kind = TFormKind::Ident, v.Text = "True";
            break;
        case vaSet: {
            const std::size_t n = static_cast<std::size_t>(UInt(4));
            Need(n * 4);
            v.Kind = TFormKind::Set;
            for (std::size_t i = 0; i < n; ++i) v.Names.push_back(Text());
            break;
        }
        case vaBinary: {
            const std::size_t n = static_cast<std::size_t>(UInt(4));
            Need(n);
            v.Kind = TFormKind::Binary;
            v.Bytes.assign(FAt, FAt + n);
            FAt += n;
            break;
        }
        default:
            throw EFormError("Unknown value type in binary property data", FLine);
        }
        return v;
    }

private:
    const std::uint8_t*& FAt;
    const std::uint8_t* FEnd;
    int FLine;
};

}  // namespace

void WriteBinaryProperties(std::vector<std::uint8_t>& out, const std::vector<TFormProperty>& properties) {
    out.push_back(vaList);
    for (const TFormProperty& p : properties) {
        PutText(out, p.Name);
        PutValue(out, p.Value, p.Line);
    }
    out.push_back(vaNull);
}

std::vector<TFormProperty> ReadBinaryProperties(const std::uint8_t*& at, const std::uint8_t* end, int line) {
    TBinReader r(at, end, line);
    if (r.UInt(1) != vaList) throw EFormError("Binary property data: expected a property list", line);
    std::vector<TFormProperty> props;
    for (;;) {
        r.Need(1);
        if (*at == vaNull) {
            ++at;
            return props;
        }
        TFormProperty p;
        p.Line = line;
        p.Name = r.Text();
        p.Value = r.Value();
        props.push_back(std::move(p));
    }
}

// ---------------------------------------------------------------------------
// Class descriptions.
namespace {

std::vector<TFormClassDesc>& FormClasses() {
    static std::vector<TFormClassDesc> list;
    return list;
}

}  // namespace

const TFormProp* TFormProps::Find(std::string_view name) const {
    for (const TFormProp& p : FItems)
        if (SameText(p.Name, name)) return &p;
    return nullptr;
}

void RegisterFormClass(TFormClassDesc desc) {
    auto& list = FormClasses();
    auto it = std::find_if(list.begin(), list.end(), [&](const TFormClassDesc& d) { return d.Name == desc.Name; });
    if (it != list.end())
        *it = std::move(desc);
    else
        list.push_back(std::move(desc));
}

const TFormClassDesc* FormClassOf(const TObject& obj) {
    const auto& list = FormClasses();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (it->Is(obj)) return &*it;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Value conversions.
const TFormValue& ExpectKind(const TFormValue& value, TFormKind kind, TFormReader& reader) {
    static const char* const names[] = {"an integer", "a number", "a string",    "an identifier",
                                        "a set",      "a list",   "binary data", "a collection"};
    if (value.Kind != kind)
        reader.Fail(std::string("Expected ") + names[static_cast<int>(kind)] + ", found " +
                    names[static_cast<int>(value.Kind)]);
    return value;
}

std::int64_t ExpectInt(const TFormValue& value, std::int64_t low, std::int64_t high, TFormReader& reader) {
    const std::int64_t v = ExpectKind(value, TFormKind::Integer, reader).Int;
    if (v < low || v > high) reader.Fail(Format("Value %d out of range (%d to %d)", v, low, high));
    return v;
}

double FormFloat(const TFormValue& value, TFormReader& reader) {
    if (value.Kind == TFormKind::Integer) return static_cast<double>(value.Int);
    if (value.Kind == TFormKind::Ident && SameText(value.Text, "nan")) return NAN;
    if (value.Kind == TFormKind::Ident && SameText(value.Text, "inf")) return HUGE_VAL;
    return ExpectKind(value, TFormKind::Float, reader).Float;
}

bool FormBool(const TFormValue& value, TFormReader& reader) {
    const std::string& s = ExpectKind(value, TFormKind::Ident, reader).Text;
    if (SameText(s, "True")) return true;
    if (SameText(s, "False")) return false;
    reader.Fail("Expected True or False, found '" + s + "'");
}

std::int64_t FormEnum(const TFormValue& value, const TFormNames& names, TFormReader& reader) {
    const std::string& s = ExpectKind(value, TFormKind::Ident, reader).Text;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (SameText(s, names[i])) return static_cast<std::int64_t>(i);
    reader.Fail("Unknown value '" + s + "'");
}

std::int64_t FormSet(const TFormValue& value, const TFormNames& names, TFormReader& reader) {
    std::int64_t bits = 0;
    for (const std::string& s : ExpectKind(value, TFormKind::Set, reader).Names) {
        auto it = std::find_if(names.begin(), names.end(), [&](const char* n) { return SameText(s, n); });
        if (it == names.end()) reader.Fail("Unknown set element '" + s + "'");
        bits |= std::int64_t(1) << (it - names.begin());
    }
    return bits;
}

TFormValue FormSetValue(std::int64_t bits, const TFormNames& names) {
    TFormValue v;
    v.Kind = TFormKind::Set;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (bits & (std::int64_t(1) << i)) v.Names.push_back(names[i]);
    return v;
}

namespace {
struct TColorName {
    const char* Name;
    std::uint32_t Color;
};
// Special and named colours first, so that a value with two names takes the first.
constexpr TColorName ColorNames[] = {
    {"clNone", 0x1FFFFFFF},       {"clDefault", 0x20000000},   {"clBlack", 0x000000},      {"clMaroon", 0x000080},
    {"clGreen", 0x008000},        {"clOlive", 0x008080},       {"clNavy", 0x800000},       {"clPurple", 0x800080},
    {"clTeal", 0x808000},         {"clGray", 0x808080},        {"clSilver", 0xC0C0C0},     {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},         {"clYellow", 0x00FFFF},      {"clBlue", 0xFF0000},       {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},         {"clWhite", 0xFFFFFF},       {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},        {"clMedGray", 0xA4A0A0},     {"clBtnFace", 0xFF00000F},  {"clWindow", 0xFF000005},
    {"clWindowText", 0xFF000008}, {"clBtnShadow", 0xFF000010}, {"clBtnText", 0xFF000012},  {"clHighlight", 0xFF00000D},
    {"clInfoBk", 0xFF000018},     {"clDkGray", 0x808080},      {"clLtGray", 0xC0C0C0}};
}  // namespace

TFormValue FormColorValue(std::uint32_t color) {
    for (const TColorName& c : ColorNames)
        if (c.Color == color) return TFormValue::OfIdent(c.Name);
    return TFormValue::OfInt(color);
}

std::uint32_t FormColor(const TFormValue& value, TFormReader& reader) {
    if (value.Kind == TFormKind::Ident) {
        for (const TColorName& c : ColorNames)
            if (SameText(value.Text, c.Name)) return c.Color;
        reader.Fail("Unknown colour '" + value.Text + "'");
    }
    // negative values are the system colours as the integer form writes them
    return static_cast<std::uint32_t>(ExpectInt(value, -0x80000000LL, 0xFFFFFFFFLL, reader));
}

std::vector<std::string> FormStrings(const TFormValue& value, TFormReader& reader) {
    std::vector<std::string> out;
    for (const TFormValue& v : ExpectKind(value, TFormKind::List, reader).List)
        out.push_back(ExpectKind(v, TFormKind::String, reader).Text);
    return out;
}

TFormValue FormStringsValue(const std::vector<std::string>& value) {
    TFormValue v;
    v.Kind = TFormKind::List;
    for (const std::string& s : value) v.List.push_back(TFormValue::OfString(s));
    return v;
}

// ---------------------------------------------------------------------------
// Writing.
void WriteProperties(TObject& obj, TObject& ref, const TFormProps& props, std::vector<TFormProperty>& out,
                     const std::string& prefix) {
    for (const TFormProp& p : props.Items()) {
        if (p.Alias) continue;
        if (p.Nested) {
            TObject* sub = p.Get(obj, false);
            TObject* subRef = sub ? p.Get(ref, true) : nullptr;
            if (sub && subRef) WriteProperties(*sub, *subRef, *p.Nested, out, prefix + p.Name + ".");
            continue;
        }
        if (std::optional<TFormValue> v = p.Write(obj, ref)) out.push_back(TFormProperty{prefix + p.Name, *v, 0});
    }
}

void WriteCollectionItems(TObject& obj, const TFormProps& itemProps, const TFormCollection& collection,
                          TFormValue& out) {
    out.Kind = TFormKind::Collection;
    const int count = collection.Count(obj);
    if (count == 0) return;
    // every item is compared with the one fresh item of a fresh owner
    const TFormClassDesc* desc = FormClassOf(obj);
    std::unique_ptr<TObject> refOwner = desc && desc->MakeReference ? desc->MakeReference() : nullptr;
    TObject* refItem = refOwner ? collection.Add(*refOwner) : nullptr;
    if (!refItem) throw EFormError("No fresh item to compare a collection item with", 0);
    for (int i = 0; i < count; ++i) {
        std::vector<TFormProperty> props;
        WriteProperties(*collection.Item(obj, i), *refItem, itemProps, props);
        out.Items.push_back(std::move(props));
    }
}

namespace {

TFormNode WriteNode(TComponent& obj) {
    const TFormClassDesc* desc = FormClassOf(obj);
    if (!desc) throw EFormError("An object of this class cannot be stored in form data", 0);
    // a name the reader could not take back is refused here rather than written
    if (!obj.Name().empty() && !IsFormName(obj.Name()))
        throw EFormError("The name '" + obj.Name() + "' cannot be stored in form data", 0);
    TFormNode node;
    node.Name = obj.Name();
    node.ClassName = desc->Name;
    std::unique_ptr<TObject> ref = desc->MakeReference();
    if (desc->Props) WriteProperties(obj, *ref, *desc->Props, node.Properties);
    if (desc->Children)
        for (TComponent* child : desc->Children(obj)) node.Children.push_back(WriteNode(*child));
    return node;
}

}  // namespace

std::string WriteForm(TComponent& root) { return PrintForm(WriteNode(root)); }

// ---------------------------------------------------------------------------
// Reading.
void TFormReader::Fail(const std::string& message) const { throw EFormError(message, FLine); }

void TFormReader::CountObject() {
    if (++FObjects > MaxFormObjects) Fail(Format("Form too large: more than %d objects", MaxFormObjects));
}

namespace {

TComponent* FindIn(TComponent* c, const std::string& name, bool anyCase = false) {
    if (c->Name() == name || (anyCase && SameText(c->Name(), name))) return c;
    for (int i = 0; i < c->ComponentCount(); ++i)
        if (TComponent* found = FindIn(c->Components(i), name, anyCase)) return found;
    return nullptr;
}

void SetLoadingAll(TComponent* c, bool value) {
    c->SetLoading(value);
    for (int i = 0; i < c->ComponentCount(); ++i) SetLoadingAll(c->Components(i), value);
}

}  // namespace

TComponent* TFormReader::FindComponent(const std::string& name, int line) const {
    TComponent* found = name.empty() || !FRoot ? nullptr : FindIn(FRoot, name);
    // component names are identifiers too; the exact spelling wins over another case
    if (!found && !name.empty() && FRoot) found = FindIn(FRoot, name, true);
    if (!found) throw EFormError("No component named '" + name + "' in the form", line);
    return found;
}

void TFormReader::SetProperty(TObject& obj, const TFormProps& props, const TFormProperty& prop) {
    FLine = prop.Line;
    TObject* target = &obj;
    const TFormProps* list = &props;
    std::string_view rest = prop.Name;
    if (std::count(rest.begin(), rest.end(), '.') > MaxFormDepth)
        Fail(Format("Property name nested deeper than %d levels", MaxFormDepth));
    // a dotted name walks down the nested objects
    for (std::size_t dot; (dot = rest.find('.')) != std::string_view::npos; rest.remove_prefix(dot + 1)) {
        const TFormProp* p = list->Find(rest.substr(0, dot));
        if (!p || !p->Nested) Fail("Unknown property '" + prop.Name + "'");
        target = p->Get(*target, true);
        if (!target) Fail("Property '" + prop.Name + "' has no object to set");
        list = p->Nested;
    }
    const TFormProp* p = list->Find(rest);
    if (!p || !p->Read) Fail("Unknown property '" + prop.Name + "'");
    // the steps the property leaves for later carry its name
    std::string outer = std::exchange(FProperty, prop.Name);
    const ScopeExit restore([&] { FProperty.swap(outer); });
    try {
        p->Read(*target, prop.Value, *this);
    } catch (const EFormError& e) {
        // an error inside a collection item already names its own property
        if (e.What().starts_with("Property '")) throw;
        throw EFormError("Property '" + prop.Name + "': " + e.What(), prop.Line);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw EFormError("Property '" + prop.Name + "': " + e.what(), prop.Line);
    }
}

void TFormReader::ReadProperties(TObject& obj, const TFormProps& props, const std::vector<TFormProperty>& list) {
    for (const TFormProperty& p : list) SetProperty(obj, props, p);
}

void ReadCollectionItems(TObject& obj, const TFormProps& itemProps, const TFormCollection& collection,
                         const TFormValue& value, TFormReader& reader) {
    ExpectKind(value, TFormKind::Collection, reader);
    collection.Clear(obj);
    for (const auto& item : value.Items) {
        reader.CountObject();
        TObject* added = collection.Add(obj);
        if (!added) reader.Fail("No more items can be added");
        reader.ReadProperties(*added, itemProps, item);
    }
}

void TFormReader::AfterLoad(std::function<void()> step) { FFixups.push_back(TStep{FProperty, std::move(step)}); }

void TFormReader::WhenLoaded(std::function<void()> step) { FLoaded.push_back(TStep{FProperty, std::move(step)}); }

// A refusal names the property whose step it was, as a refusal while the
// property itself is read does. A step may leave further steps, which can move
// the list: each runs from a copy of its own.
void TFormReader::RunSteps(const std::vector<TStep>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const TStep step = steps[i];
        try {
            step.Run();
        } catch (const EFormError& e) {
            if (step.Property.empty() || e.What().starts_with("Property '")) throw;
            throw EFormError("Property '" + step.Property + "': " + e.What(), e.Line());
        }
    }
}

void TFormReader::Clear() {
    FRoot = nullptr;
    FFixups.clear();
    FLoaded.clear();
    FSucceeded.clear();
    FProperty.clear();
    FObjects = 0;
}

TComponent* TFormReader::ReadNode(const TFormNode& node, TComponent* parent) {
    FLine = node.Line;
    CountObject();
    TObject* made = FFactory(node.ClassName, parent);
    if (!made) Fail("Unknown class '" + node.ClassName + "'");
    auto* component = dynamic_cast<TComponent*>(made);
    const TFormClassDesc* desc = component ? FormClassOf(*component) : nullptr;
    if (!desc || (parent && component->Owner() != parent)) {
        // nothing owns it yet: it goes here
        delete made;
        Fail("Class '" + node.ClassName + "' cannot be read from form data here");
    }
    component->SetLoading(true);
    if (!node.Name.empty()) {
        const TComponent* same = FRoot ? FindIn(FRoot, node.Name) : nullptr;
        if (same && same != component) Fail("Duplicate component name '" + node.Name + "'");
        component->SetName(node.Name);
    }
    if (!parent) {
        FRoot = component;
    } else {
        const TFormClassDesc* parentDesc = FormClassOf(*parent);
        if (!parentDesc || !parentDesc->AddChild)
            Fail("A " + node.ClassName + " cannot be a child of a " + (parentDesc ? parentDesc->Name : "component"));
        parentDesc->AddChild(*parent, *component, *this);
    }
    if (desc->Props) ReadProperties(*component, *desc->Props, node.Properties);
    for (const TFormNode& child : node.Children) ReadNode(child, component);
    return component;
}

std::unique_ptr<TComponent> TFormReader::Read(std::string_view text, const std::function<void(TComponent&)>& finish) {
    const TFormNode tree = ParseForm(text);
    Clear();
    std::unique_ptr<TComponent> root;
    try {
        ReadNode(tree, nullptr);
        root.reset(FRoot);
        RunSteps(FFixups);
        SetLoadingAll(FRoot, false);
        RunSteps(FLoaded);
        if (finish) finish(*root);
    } catch (...) {
        // a root made before the failure goes with everything it owns
        if (!root) root.reset(FRoot);
        Clear();
        throw;
    }
    const std::vector<std::function<void()>> succeeded = std::move(FSucceeded);
    Clear();
    for (const auto& step : succeeded) step();
    return root;
}
