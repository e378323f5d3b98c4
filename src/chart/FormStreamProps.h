#pragma once
// The typed property helpers of TFormProps (included by FormStream.h).

#include <limits>
#include <type_traits>

double FormFloat(const TFormValue& value, TFormReader& reader);
bool FormBool(const TFormValue& value, TFormReader& reader);
std::int64_t FormEnum(const TFormValue& value, const TFormNames& names, TFormReader& reader);
std::int64_t FormSet(const TFormValue& value, const TFormNames& names, TFormReader& reader);
TFormValue FormSetValue(std::int64_t bits, const TFormNames& names);
TFormValue FormColorValue(std::uint32_t color);
std::uint32_t FormColor(const TFormValue& value, TFormReader& reader);
std::vector<std::string> FormStrings(const TFormValue& value, TFormReader& reader);
TFormValue FormStringsValue(const std::vector<std::string>& value);

template <class T>
T& FormCast(TObject& obj) {
    return dynamic_cast<T&>(obj);
}

template <class T, class V, class G, class S>
TFormProps& TFormProps::Typed(const char* name, G get, S set, std::function<bool(T&)> stored,
                              std::function<TFormValue(const V&)> toForm,
                              std::function<V(const TFormValue&, TFormReader&)> fromForm) {
    TFormProp p;
    p.Name = name;
    p.Write = [get, stored, toForm](TObject& obj, TObject& ref) -> std::optional<TFormValue> {
        T& o = FormCast<T>(obj);
        // the predicate first: a value left out is not worth getting (point data)
        if (stored && !stored(o)) return std::nullopt;
        const V value = static_cast<V>(get(o));
        if (!stored && value == static_cast<V>(get(FormCast<T>(ref)))) return std::nullopt;
        return toForm(value);
    };
    p.Read = [set, fromForm](TObject& obj, const TFormValue& value, TFormReader& reader) {
        set(FormCast<T>(obj), fromForm(value, reader));
    };
    p.Value = [get, toForm](TObject& obj) { return toForm(static_cast<V>(get(FormCast<T>(obj)))); };
    FItems.push_back(std::move(p));
    return *this;
}

template <class T, class G, class S>
TFormProps& TFormProps::Int(const char* name, G get, S set, std::function<bool(T&)> stored) {
    return IntIn<T>(name, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), get, set,
                    std::move(stored));
}

template <class T, class G, class S>
TFormProps& TFormProps::IntIn(const char* name, std::int64_t low, std::int64_t high, G get, S set,
                              std::function<bool(T&)> stored) {
    return Typed<T, std::int64_t>(
        name, get, set, std::move(stored), [](const std::int64_t& v) { return TFormValue::OfInt(v); },
        [low, high](const TFormValue& v, TFormReader& r) { return ExpectInt(v, low, high, r); });
}

template <class T, class G, class S>
TFormProps& TFormProps::Float(const char* name, G get, S set, std::function<bool(T&)> stored) {
    // -0 is written as 0: setters take the two for the same value, so a -0 would not come back
    return Typed<T, double>(
        name, get, set, std::move(stored), [](const double& v) { return TFormValue::OfFloat(v + 0.0); }, FormFloat);
}

template <class T, class G, class S>
TFormProps& TFormProps::String(const char* name, G get, S set, std::function<bool(T&)> stored) {
    return Typed<T, std::string>(
        name, get, set, std::move(stored), [](const std::string& v) { return TFormValue::OfString(v); },
        [](const TFormValue& v, TFormReader& r) { return ExpectKind(v, TFormKind::String, r).Text; });
}

template <class T, class G, class S>
TFormProps& TFormProps::Bool(const char* name, G get, S set, std::function<bool(T&)> stored) {
    return Typed<T, bool>(
        name, get, set, std::move(stored), [](const bool& v) { return TFormValue::OfIdent(v ? "True" : "False"); },
        FormBool);
}

template <class T, class G, class S>
TFormProps& TFormProps::Enum(const char* name, const TFormNames& names, G get, S set, std::function<bool(T&)> stored) {
    Typed<T, std::int64_t>(
        name, get, set, std::move(stored),
        [names](const std::int64_t& v) {
            return TFormValue::OfIdent(
                v >= 0 && v < static_cast<std::int64_t>(names.size()) ? names[static_cast<std::size_t>(v)] : "?");
        },
        [names](const TFormValue& v, TFormReader& r) { return FormEnum(v, names, r); });
    FItems.back().Names = &names;
    return *this;
}

template <class T, class G, class S>
TFormProps& TFormProps::Set(const char* name, const TFormNames& names, G get, S set, std::function<bool(T&)> stored) {
    Typed<T, std::int64_t>(
        name, get, set, std::move(stored), [names](const std::int64_t& v) { return FormSetValue(v, names); },
        [names](const TFormValue& v, TFormReader& r) { return FormSet(v, names, r); });
    FItems.back().Names = &names;
    return *this;
}

template <class T, class G, class S>
TFormProps& TFormProps::Color(const char* name, G get, S set, std::function<bool(T&)> stored) {
    return Typed<T, std::uint32_t>(
        name, get, set, std::move(stored), [](const std::uint32_t& v) { return FormColorValue(v); }, FormColor);
}

template <class T, class G, class S>
TFormProps& TFormProps::Strings(const char* name, G get, S set, std::function<bool(T&)> stored) {
    return Typed<T, std::vector<std::string>>(
        name, get, set, std::move(stored), [](const std::vector<std::string>& v) { return FormStringsValue(v); },
        FormStrings);
}

template <class T, class G, class S>
TFormProps& TFormProps::Binary(const char* name, G get, S set, std::function<bool(T&)> stored) {
    using TBytes = std::vector<std::uint8_t>;
    return Typed<T, TBytes>(
        name, get, set, std::move(stored), [](const TBytes& v) { return TFormValue::OfBytes(v); },
        [](const TFormValue& v, TFormReader& r) { return ExpectKind(v, TFormKind::Binary, r).Bytes; });
}

template <class T, class G>
TFormProps& TFormProps::Object(const char* name, const TFormProps& props, G get) {
    TFormProp p;
    p.Name = name;
    p.Nested = &props;
    p.Get = [get](TObject& obj, bool create) -> TObject* { return get(FormCast<T>(obj), create); };
    FItems.push_back(std::move(p));
    return *this;
}

template <class T, class G>
TFormProps& TFormProps::ObjectAlias(const char* name, const TFormProps& props, G get) {
    Object<T>(name, props, get);
    FItems.back().Alias = true;
    return *this;
}

template <class T, class G>
TFormProps& TFormProps::Alias(const char* name, const TFormProps& target, const char* targetName, G get) {
    TFormProp p;
    p.Name = name;
    p.Write = [](TObject&, TObject&) -> std::optional<TFormValue> { return std::nullopt; };
    // looked up when read: the target may still be growing while this list is built
    p.Read = [&target, targetName, get](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const TFormProp* main = target.Find(targetName);
        TObject* sub = get(FormCast<T>(obj));
        if (!main || !main->Read || !sub)
            reader.Fail(std::string("Property '") + targetName + "' has no object to set");
        main->Read(*sub, value, reader);
    };
    FItems.push_back(std::move(p));
    return *this;
}

template <class T, class R>
TFormProps& TFormProps::ReadOnly(const char* name, R read) {
    TFormProp p;
    p.Name = name;
    p.Write = [](TObject&, TObject&) -> std::optional<TFormValue> { return std::nullopt; };
    p.Read = [read](TObject& obj, const TFormValue& value, TFormReader& reader) {
        read(FormCast<T>(obj), value, reader);
    };
    FItems.push_back(std::move(p));
    return *this;
}

void WriteCollectionItems(TObject& obj, const TFormProps& itemProps, const TFormCollection& collection,
                          TFormValue& out);
void ReadCollectionItems(TObject& obj, const TFormProps& itemProps, const TFormCollection& collection,
                         const TFormValue& value, TFormReader& reader);

template <class T>
void AddCollection(TFormProps& props, const char* name, const TFormProps& itemProps, TFormCollection collection,
                   std::function<bool(T&)> stored) {
    TFormProp p;
    p.Name = name;
    p.Write = [&itemProps, collection, stored](TObject& obj, TObject&) -> std::optional<TFormValue> {
        if (stored ? !stored(FormCast<T>(obj)) : collection.Count(obj) == 0) return std::nullopt;
        TFormValue v;
        WriteCollectionItems(obj, itemProps, collection, v);
        return v;
    };
    p.Read = [&itemProps, collection](TObject& obj, const TFormValue& value, TFormReader& reader) {
        ReadCollectionItems(obj, itemProps, collection, value, reader);
    };
    props.Add(std::move(p));
}
