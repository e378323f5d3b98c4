#pragma once
// Form data: a tree of components with named properties, written as text and
// read back. The text holds one object per component:
//
//   object Chart1: TChart
//     Title.Text = ('Sales' 'per month')
//     BottomAxis.Minimum = 2.5
//     CustomAxes = <
//       item
//         Horizontal = True
//       end>
//     object Series1: TLineSeries
//       SeriesColor = clRed
//       Data = {0002000000...}
//     end
//   end
//
// Values: integers, doubles (always with "." or an exponent), 'quoted' strings
// ('' for a quote, #13 for a control character), identifiers (booleans,
// enumerations, colour names, component names), sets [a, b], lists ( ... ),
// binary data {hex} and collections < item ... end >. A dotted name reaches
// a property of a nested persistent object. Keywords, class, property and
// identifier names are case-blind, as the framework's identifiers are; a
// UTF-8 byte-order mark before the text is skipped.
//
// Classes describe their properties once (TFormProps); the writer stores a
// property only when its predicate holds or, without one, when it differs
// from a freshly made object of the same class, so that whatever the reader
// leaves alone comes out as the constructor made it. The reader treats its
// input as untrusted: every refusal is an EFormError that names what and the
// line, and the half-read tree is freed with the root.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChartError.h"
#include "ChartComponent.h"

// A refused form: the message ends with the line it refers to (0: none).
class EFormError : public ChartException {
public:
    EFormError(const std::string& message, int line);
    int Line() const { return FLine; }
    // The message without the line.
    const std::string& What() const { return FWhat; }

private:
    std::string FWhat;
    int FLine;
};

// Bounds on what a form may hold; deeper, longer or larger input is refused.
// A value, property or collection item parsed costs some hundred bytes, an
// object made from the form (a component, an item, a mark's own shape) up to
// a few kilobytes: the counts keep a form of any text within some hundred MB.
// Strings are measured and drawn on every paint: a megabyte of them costs a
// fifth of a second each time.
inline constexpr int MaxFormDepth = 64;
inline constexpr std::size_t MaxFormText = 16u << 20;
inline constexpr std::size_t MaxFormString = 65536;
inline constexpr std::size_t MaxFormStrings = 1u << 20;
inline constexpr std::size_t MaxFormValues = 200000;
inline constexpr std::size_t MaxFormObjects = 50000;

// ---------------------------------------------------------------------------
// The parsed tree.
enum class TFormKind { Integer, Float, String, Ident, Set, List, Binary, Collection };

struct TFormProperty;

struct TFormValue {
    TFormKind Kind = TFormKind::Integer;
    int Line = 0;
    std::int64_t Int = 0;
    double Float = 0;
    std::string Text;                               // String and Ident
    std::vector<std::string> Names;                 // Set
    std::vector<TFormValue> List;                   // List
    std::vector<std::uint8_t> Bytes;                // Binary
    std::vector<std::vector<TFormProperty>> Items;  // Collection

    static TFormValue OfInt(std::int64_t v);
    static TFormValue OfFloat(double v);
    static TFormValue OfString(std::string v);
    static TFormValue OfIdent(std::string v);
    static TFormValue OfBytes(std::vector<std::uint8_t> v);
    bool operator==(const TFormValue& other) const;
};

struct TFormProperty {
    std::string Name;
    TFormValue Value;
    int Line = 0;
    // The line is where it was read, not part of the value.
    bool operator==(const TFormProperty& other) const { return Name == other.Name && Value == other.Value; }
};

struct TFormNode {
    std::string Name;
    std::string ClassName;
    int Line = 0;
    std::vector<TFormProperty> Properties;
    std::vector<TFormNode> Children;
};

// Text <-> tree. ParseForm refuses anything that is not one whole object.
TFormNode ParseForm(std::string_view text);
std::string PrintForm(const TFormNode& root);

// A property list in binary form (a binary property that holds published
// properties, such as the marks' items): a list-begin byte, each property as
// its name and a tagged value, a list-end byte.
void WriteBinaryProperties(std::vector<std::uint8_t>& out, const std::vector<TFormProperty>& properties);
std::vector<TFormProperty> ReadBinaryProperties(const std::uint8_t*& at, const std::uint8_t* end, int line);

// ---------------------------------------------------------------------------
// Property descriptions.
class TFormReader;
class TFormProps;

// An identifier set: names in value order (enumerations) or bit order (sets).
using TFormNames = std::vector<const char*>;

struct TFormProp {
    std::string Name;
    // The value to store, or nothing when the property is left out. ref is
    // a fresh object of the same class (never null).
    std::function<std::optional<TFormValue>(TObject& obj, TObject& ref)> Write;
    // Takes the value; throws EFormError for a value of the wrong kind.
    std::function<void(TObject& obj, const TFormValue& value, TFormReader& reader)> Read;
    // Nested persistent object: its properties and how to reach it
    // (create: make it when it is made on first use).
    const TFormProps* Nested = nullptr;
    std::function<TObject*(TObject& obj, bool create)> Get;
    // Another name of a nested object: read, never written (the main name is).
    bool Alias = false;
    // A typed property's value whether stored or not, for code that walks the
    // properties (empty for the hand-made ones); an enumeration's or a set's
    // identifiers in value or bit order.
    std::function<TFormValue(TObject& obj)> Value;
    const TFormNames* Names = nullptr;
};

class TFormProps {
public:
    const std::vector<TFormProp>& Items() const { return FItems; }
    // By name in any letter case.
    const TFormProp* Find(std::string_view name) const;
    void Add(TFormProp prop) { FItems.push_back(std::move(prop)); }

    // Typed helpers. get(T&) returns the value, set(T&, value) takes it;
    // stored(T&), when given, replaces the comparison with the fresh object.
    template <class T, class G, class S>
    TFormProps& Int(const char* name, G get, S set, std::function<bool(T&)> stored = {});
    // An integer the reader refuses outside low .. high.
    template <class T, class G, class S>
    TFormProps& IntIn(const char* name, std::int64_t low, std::int64_t high, G get, S set,
                      std::function<bool(T&)> stored = {});
    template <class T, class G, class S>
    TFormProps& Float(const char* name, G get, S set, std::function<bool(T&)> stored = {});
    template <class T, class G, class S>
    TFormProps& String(const char* name, G get, S set, std::function<bool(T&)> stored = {});
    template <class T, class G, class S>
    TFormProps& Bool(const char* name, G get, S set, std::function<bool(T&)> stored = {});
    template <class T, class G, class S>
    TFormProps& Enum(const char* name, const TFormNames& names, G get, S set, std::function<bool(T&)> stored = {});
    template <class T, class G, class S>
    TFormProps& Set(const char* name, const TFormNames& names, G get, S set, std::function<bool(T&)> stored = {});
    template <class T, class G, class S>
    TFormProps& Color(const char* name, G get, S set, std::function<bool(T&)> stored = {});
    template <class T, class G, class S>
    TFormProps& Strings(const char* name, G get, S set, std::function<bool(T&)> stored = {});
    template <class T, class G, class S>
    TFormProps& Binary(const char* name, G get, S set, std::function<bool(T&)> stored = {});
    // get(T&, bool create) -> the nested object or nullptr.
    template <class T, class G>
    TFormProps& Object(const char* name, const TFormProps& props, G get);
    // Another name for a nested object, only read.
    template <class T, class G>
    TFormProps& ObjectAlias(const char* name, const TFormProps& props, G get);
    // Another name for property targetName of target, which get(T&) reaches:
    // read through that property (its checks included), never written.
    template <class T, class G>
    TFormProps& Alias(const char* name, const TFormProps& target, const char* targetName, G get);
    // A property that is only read (legacy names): read(T&, value, reader).
    template <class T, class R>
    TFormProps& ReadOnly(const char* name, R read);

private:
    template <class T, class V, class G, class S>
    TFormProps& Typed(const char* name, G get, S set, std::function<bool(T&)> stored,
                      std::function<TFormValue(const V&)> toForm,
                      std::function<V(const TFormValue&, TFormReader&)> fromForm);
    std::vector<TFormProp> FItems;
};

// A collection property: items made by add, each described by props.
struct TFormCollection {
    std::function<int(TObject& obj)> Count;
    std::function<TObject*(TObject& obj, int index)> Item;
    std::function<TObject*(TObject& obj)> Add;
    std::function<void(TObject& obj)> Clear;
};
template <class T>
void AddCollection(TFormProps& props, const char* name, const TFormProps& itemProps, TFormCollection collection,
                   std::function<bool(T&)> stored = {});

// ---------------------------------------------------------------------------
// Component classes.
struct TFormClassDesc {
    std::string Name;
    std::function<bool(const TObject&)> Is;
    const TFormProps* Props = nullptr;
    // Children to store, in order.
    std::function<std::vector<TComponent*>(TObject& obj)> Children;
    // Takes a child read from the form; throws EFormError when this class
    // holds no children of that kind.
    std::function<void(TObject& parent, TObject& child, TFormReader& reader)> AddChild;
    // A fresh object to compare with while writing.
    std::function<std::unique_ptr<TObject>()> MakeReference;
};

// The classes the layer knows. Register base classes before the classes
// derived from them: an object is described by the last class it matches.
void RegisterFormClass(TFormClassDesc desc);
const TFormClassDesc* FormClassOf(const TObject& obj);

// Creates an object by class name with its owner, nil when the name is unknown.
using TFormFactory = std::function<TObject*(const std::string& className, TObject* owner)>;

// ---------------------------------------------------------------------------
// Writing.
std::string WriteForm(TComponent& root);
// The stored properties of a persistent object (dotted names for nested ones).
void WriteProperties(TObject& obj, TObject& ref, const TFormProps& props, std::vector<TFormProperty>& out,
                     const std::string& prefix = {});

// Reading.
class TFormReader {
public:
    explicit TFormReader(TFormFactory factory) : FFactory(std::move(factory)) {}
    // Reads a whole form into a new root object; nothing is left behind when it
    // throws. finish, when given, runs last on the loaded root, still under the
    // rule that a failure undoes the read.
    std::unique_ptr<TComponent> Read(std::string_view text, const std::function<void(TComponent&)>& finish = {});

    // Sets the properties of obj from the list.
    void ReadProperties(TObject& obj, const TFormProps& props, const std::vector<TFormProperty>& properties);

    // Work for the loaded step, run once the whole tree is read, in order.
    // Steps run while the components still count as loading (names resolved).
    void AfterLoad(std::function<void()> step);
    // Steps run once nothing counts as loading any more (refills, reloads).
    void WhenLoaded(std::function<void()> step);
    // A refusal in either kind of step names the property that registered it.
    // Changes outside the form's own components (process-wide settings) are
    // made only once the whole read has succeeded, so that a refused form
    // changes nothing outside the half-built tree that goes with it.
    void OnSuccess(std::function<void()> step) { FSucceeded.push_back(std::move(step)); }
    TComponent* Root() const { return FRoot; }
    // A component of the form by name (the root included); throws when none has it.
    TComponent* FindComponent(const std::string& name, int line) const;
    int Line() const { return FLine; }
    [[noreturn]] void Fail(const std::string& message) const;
    // Counts an object made from the form; refuses the form past MaxFormObjects.
    void CountObject();

private:
    TComponent* ReadNode(const TFormNode& node, TComponent* parent);
    void SetProperty(TObject& obj, const TFormProps& props, const TFormProperty& prop);
    struct TStep {
        std::string Property;  // the property being read when the step was made
        std::function<void()> Run;
    };
    static void RunSteps(const std::vector<TStep>& steps);
    void Clear();
    TFormFactory FFactory;
    TComponent* FRoot = nullptr;
    std::vector<TStep> FFixups;
    std::vector<TStep> FLoaded;
    std::vector<std::function<void()>> FSucceeded;
    std::string FProperty;
    int FLine = 0;
    std::size_t FObjects = 0;
};

// Checks a value's kind (the message names the property and the line).
const TFormValue& ExpectKind(const TFormValue& value, TFormKind kind, TFormReader& reader);
std::int64_t ExpectInt(const TFormValue& value, std::int64_t low, std::int64_t high, TFormReader& reader);

#include "FormStreamProps.h"
