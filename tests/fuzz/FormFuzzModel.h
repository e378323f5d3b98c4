#pragma once
// A small component model described to the form-data layer the way the chart
// classes are (the chart itself needs the toolkit, which the fuzz build
// leaves out): nodes with properties of every kind, nested objects that may
// nest again, a collection, binary data, binary property lists, references
// by name and by index resolved when loading ends, and child nodes. Shared
// by the harness and the seed writer, which writes its seeds with the
// layer's own writer.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FormStream.h"

namespace formfuzz {

class TShape : public TPersistent {
public:
    int Width = 1;
    double Ratio = 0.5;
    std::string Caption;
    bool Shown = true;
    std::int64_t Kind = 0;
    std::int64_t Flags = 0;
    std::uint32_t Color = 0x1FFFFFFF;
    std::vector<std::string> Lines;
    std::unique_ptr<TShape> Inner;
};

class TItem : public TPersistent {
public:
    double X = 0;
    std::string Label;
};

class TNode : public TComponent {
public:
    explicit TNode(TComponent* owner) : TComponent(owner) {}
    int Value = 0;
    TNode* Peer = nullptr;
    int Index = -1;
    std::vector<std::uint8_t> Blob;
    TShape Shape;
    std::vector<std::unique_ptr<TItem>> Items;
    std::vector<std::unique_ptr<TShape>> Records;
    std::vector<TNode*> Nodes;  // children, owned as components
};

inline const TFormProps& ShapeProps() {
    static TFormProps p;
    static const bool built = [] {
        p.Int<TShape>(
            "Width", [](TShape& o) { return o.Width; }, [](TShape& o, std::int64_t v) { o.Width = int(v); });
        p.Float<TShape>(
            "Ratio", [](TShape& o) { return o.Ratio; }, [](TShape& o, double v) { o.Ratio = v; });
        p.String<TShape>(
            "Caption", [](TShape& o) { return o.Caption; }, [](TShape& o, const std::string& v) { o.Caption = v; });
        p.Bool<TShape>(
            "Shown", [](TShape& o) { return o.Shown; }, [](TShape& o, bool v) { o.Shown = v; });
        p.Enum<TShape>(
            "Kind", {"kNone", "kBox", "kRound"}, [](TShape& o) { return o.Kind; },
            [](TShape& o, std::int64_t v) { o.Kind = v; });
        p.Set<TShape>(
            "Flags", {"fA", "fB", "fC", "fD"}, [](TShape& o) { return o.Flags; },
            [](TShape& o, std::int64_t v) { o.Flags = v; });
        p.Color<TShape>(
            "Color", [](TShape& o) { return o.Color; }, [](TShape& o, std::uint32_t v) { o.Color = v; });
        p.Strings<TShape>(
            "Lines", [](TShape& o) { return o.Lines; },
            [](TShape& o, const std::vector<std::string>& v) { o.Lines = v; });
        // made on first use, and nested again
        p.Object<TShape>("Inner", p, [](TShape& o, bool create) -> TObject* {
            if (!o.Inner && create) o.Inner = std::make_unique<TShape>();
            return o.Inner.get();
        });
        return true;
    }();
    (void)built;
    return p;
}

inline const TFormProps& ItemProps() {
    static const TFormProps props = [] {
        TFormProps p;
        p.Float<TItem>(
            "X", [](TItem& o) { return o.X; }, [](TItem& o, double v) { o.X = v; });
        p.String<TItem>(
            "Label", [](TItem& o) { return o.Label; }, [](TItem& o, const std::string& v) { o.Label = v; });
        return p;
    }();
    return props;
}

// Records: a count, then one binary property list per record.
inline TFormProp RecordsProp() {
    TFormProp p;
    p.Name = "Records";
    p.Write = [](TObject& obj, TObject&) -> std::optional<TFormValue> {
        auto& n = dynamic_cast<TNode&>(obj);
        if (n.Records.empty()) return std::nullopt;
        TFormValue v;
        v.Kind = TFormKind::Binary;
        v.Bytes.push_back(static_cast<std::uint8_t>(n.Records.size()));
        for (auto& r : n.Records) {
            std::vector<TFormProperty> props;
            TShape fresh;
            WriteProperties(*r, fresh, ShapeProps(), props);
            WriteBinaryProperties(v.Bytes, props);
        }
        return v;
    };
    p.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const auto& bytes = ExpectKind(value, TFormKind::Binary, reader).Bytes;
        if (bytes.empty()) reader.Fail("No record count");
        const std::uint8_t* at = bytes.data() + 1;
        std::vector<std::vector<TFormProperty>> lists;
        for (int i = 0; i < bytes[0]; ++i) lists.push_back(ReadBinaryProperties(at, bytes.data() + bytes.size(), 0));
        auto& n = dynamic_cast<TNode&>(obj);
        n.Records.clear();
        for (const auto& list : lists) {
            n.Records.push_back(std::make_unique<TShape>());
            reader.ReadProperties(*n.Records.back(), ShapeProps(), list);
        }
    };
    return p;
}

inline TFormProp PeerProp() {
    TFormProp p;
    p.Name = "Peer";
    p.Write = [](TObject& obj, TObject&) -> std::optional<TFormValue> {
        TNode* peer = dynamic_cast<TNode&>(obj).Peer;
        if (!peer) return std::nullopt;
        return TFormValue::OfIdent(peer->Name());
    };
    p.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const std::string name = ExpectKind(value, TFormKind::Ident, reader).Text;
        const int line = reader.Line();
        auto* node = &dynamic_cast<TNode&>(obj);
        reader.AfterLoad([node, name, line, &reader] {
            node->Peer = dynamic_cast<TNode*>(reader.FindComponent(name, line));
            if (!node->Peer) throw EFormError("Not a node", line);
        });
    };
    return p;
}

inline const TFormProps& NodeProps() {
    static const TFormProps props = [] {
        TFormProps p;
        p.Int<TNode>(
            "Value", [](TNode& o) { return o.Value; }, [](TNode& o, std::int64_t v) { o.Value = int(v); });
        p.Object<TNode>("Shape", ShapeProps(), [](TNode& o, bool) -> TObject* { return &o.Shape; });
        AddCollection<TNode>(
            p, "Items", ItemProps(),
            TFormCollection{
                [](TObject& o) { return static_cast<int>(dynamic_cast<TNode&>(o).Items.size()); },
                [](TObject& o, int i) -> TObject* { return dynamic_cast<TNode&>(o).Items[std::size_t(i)].get(); },
                [](TObject& o) -> TObject* {
                    auto& items = dynamic_cast<TNode&>(o).Items;
                    items.push_back(std::make_unique<TItem>());
                    return items.back().get();
                },
                [](TObject& o) { dynamic_cast<TNode&>(o).Items.clear(); },
            });
        p.Binary<TNode>(
            "Blob", [](TNode& o) { return o.Blob; }, [](TNode& o, const std::vector<std::uint8_t>& v) { o.Blob = v; });
        p.Add(RecordsProp());
        p.Add(PeerProp());
        // an index into the root's items, checked once everything is read
        TFormProp index;
        index.Name = "Index";
        index.Write = [](TObject& obj, TObject&) -> std::optional<TFormValue> {
            const int i = dynamic_cast<TNode&>(obj).Index;
            if (i < 0) return std::nullopt;
            return TFormValue::OfInt(i);
        };
        index.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
            const int i = static_cast<int>(ExpectInt(value, 0, 1000000, reader));
            const int line = reader.Line();
            auto* node = &dynamic_cast<TNode&>(obj);
            reader.AfterLoad([node, i, line, &reader] {
                if (std::size_t(i) >= dynamic_cast<TNode*>(reader.Root())->Items.size())
                    throw EFormError("No item there", line);
                node->Index = i;
            });
        };
        p.Add(std::move(index));
        return p;
    }();
    return props;
}

inline void RegisterForms() {
    static const bool done = [] {
        TFormClassDesc d;
        d.Name = "TNode";
        d.Is = [](const TObject& o) { return dynamic_cast<const TNode*>(&o) != nullptr; };
        d.Props = &NodeProps();
        d.MakeReference = [] { return std::unique_ptr<TObject>(new TNode(nullptr)); };
        d.Children = [](TObject& o) {
            auto& nodes = dynamic_cast<TNode&>(o).Nodes;
            return std::vector<TComponent*>(nodes.begin(), nodes.end());
        };
        d.AddChild = [](TObject& parent, TObject& child, TFormReader& reader) {
            auto* node = dynamic_cast<TNode*>(&child);
            if (!node) reader.Fail("A node holds only nodes");
            dynamic_cast<TNode&>(parent).Nodes.push_back(node);
        };
        RegisterFormClass(d);
        return true;
    }();
    (void)done;
}

inline TObject* Create(const std::string& className, TObject* owner) {
    if (className != "TNode") return nullptr;
    return new TNode(dynamic_cast<TComponent*>(owner));
}

// Trees written by the layer's writer, for the seeds.
inline std::vector<std::string> SeedForms() {
    RegisterForms();
    std::vector<std::string> out;
    TNode root(nullptr);
    root.SetName("Root");
    out.push_back(WriteForm(root));
    root.Value = -7;
    root.Shape.Caption = "it's\r\ttext";
    root.Shape.Ratio = 1e-300;
    root.Shape.Kind = 2;
    root.Shape.Flags = 5;
    root.Shape.Color = 0xFF0000;
    root.Shape.Lines = {"a", "", "c"};
    root.Shape.Inner = std::make_unique<TShape>();
    root.Shape.Inner->Width = 3;
    root.Items.push_back(std::make_unique<TItem>());
    root.Items.back()->X = 2.5;
    root.Items.back()->Label = "first";
    root.Blob = {0, 1, 2, 0xFE, 0xFF};
    root.Records.push_back(std::make_unique<TShape>());
    root.Records.back()->Caption = "record";
    root.Records.back()->Shown = false;
    out.push_back(WriteForm(root));
    auto* a = new TNode(&root);
    a->SetName("A");
    root.Nodes.push_back(a);
    auto* b = new TNode(&root);
    b->SetName("B");
    b->Peer = a;
    b->Index = 0;
    root.Nodes.push_back(b);
    auto* c = new TNode(b);
    c->SetName("C");
    c->Peer = &root;
    c->Shape.Ratio = -0.0;
    b->Nodes.push_back(c);
    out.push_back(WriteForm(root));
    return out;
}

}  // namespace formfuzz
