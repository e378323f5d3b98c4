// The form text itself: every kind of value prints and parses back exactly,
// hand-written text in its looser forms is read, and faults name their line.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "FormStream.h"

namespace {

TFormValue Parsed(const std::string& value) {
    const TFormNode node = ParseForm("object X: TY\n  P = " + value + "\nend\n");
    return node.Properties.at(0).Value;
}

std::string Refusal(const std::string& text) {
    try {
        ParseForm(text);
    } catch (const EFormError& e) {
        return e.Message();
    }
    return "(accepted)";
}

}  // namespace

TEST(FormStream, EveryKindOfValuePrintsAndParsesBackExactly) {
    TFormNode root;
    root.Name = "Root";
    root.ClassName = "TRoot";
    auto add = [&root](const char* name, TFormValue v) { root.Properties.push_back({name, v, 0}); };
    for (double d : {0.1, -0.0, 1e300, 5e-324, 2.0, -1234.5678e-9, std::numeric_limits<double>::max()})
        add("Float", TFormValue::OfFloat(d));
    add("Int", TFormValue::OfInt(std::numeric_limits<std::int64_t>::min()));
    add("Text", TFormValue::OfString("it's \x01\r\n\t text\x7f\xe9"));
    add("Empty", TFormValue::OfString(""));
    add("Ident.Dotted", TFormValue::OfIdent("clRed"));
    TFormValue set;
    set.Kind = TFormKind::Set;
    set.Names = {"fsBold", "fsItalic"};
    add("Set", set);
    TFormValue list;
    list.Kind = TFormKind::List;
    list.List = {TFormValue::OfInt(1), TFormValue::OfString("a"), set};
    add("List", list);
    TFormValue bytes;
    bytes.Kind = TFormKind::Binary;
    for (int i = 0; i < 100; ++i) bytes.Bytes.push_back(static_cast<std::uint8_t>(i * 37));
    add("Data", bytes);
    TFormValue items;
    items.Kind = TFormKind::Collection;
    items.Items = {{{"X", TFormValue::OfFloat(1.5), 0}}, {}};
    add("Items", items);
    root.Children.push_back(TFormNode{"", "TChild", 0, {{"A", TFormValue::OfInt(3), 0}}, {}});

    const std::string text = PrintForm(root);
    const TFormNode back = ParseForm(text);
    ASSERT_EQ(back.Properties.size(), root.Properties.size());
    for (std::size_t i = 0; i < root.Properties.size(); ++i) {
        SCOPED_TRACE(root.Properties[i].Name);
        EXPECT_EQ(back.Properties[i].Name, root.Properties[i].Name);
        EXPECT_TRUE(back.Properties[i].Value == root.Properties[i].Value);
    }
    EXPECT_TRUE(std::signbit(back.Properties[1].Value.Float));
    EXPECT_EQ(back.Children.at(0).ClassName, "TChild");
    EXPECT_EQ(back.Children.at(0).Name, "");
    EXPECT_EQ(PrintForm(back), text);
}

TEST(FormStream, HandWrittenFormsInTheirLooserShapes) {
    EXPECT_EQ(Parsed("$FF00").Int, 0xFF00);
    EXPECT_EQ(Parsed("+7").Int, 7);
    EXPECT_EQ(Parsed("7.").Kind, TFormKind::Float);
    EXPECT_EQ(Parsed("'a'#13#10'b'''").Text, "a\r\nb'");
    EXPECT_EQ(Parsed("[ ]").Names.size(), 0u);
    EXPECT_EQ(Parsed("{ 0a FF\n  10 }").Bytes, (std::vector<std::uint8_t>{0x0A, 0xFF, 0x10}));
    EXPECT_EQ(Parsed("-inf").Float, -HUGE_VAL);
    const TFormNode node = ParseForm("// comment\nobject TChart // unnamed\n  A = 1\n\n  B = (1\n 2)\nend");
    EXPECT_EQ(node.ClassName, "TChart");
    EXPECT_EQ(node.Properties.at(1).Line, 5);
}

TEST(FormStream, FaultsNameTheirLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"", "Expected 'object' but found the end of the text (line 1)"},
        {"object X: TY\nend\nend", "Text after the end of the form (line 3)"},
        {"object X: TY\n  P = 99999999999999999999\nend",
         "Property 'P': Invalid integer '99999999999999999999' (line 2)"},
        {"object X: TY\n  P = 1e999\nend", "Property 'P': Invalid number '1e999' (line 2)"},
        {"object X: TY\n  P = $\nend", "Property 'P': Invalid hexadecimal number (line 2)"},
        {"object X: TY\n  P = #300\nend", "Property 'P': Invalid character code (line 2)"},
        {"object X: TY\n  P = [a b]\nend", "Property 'P': Expected ',' or ']' but found 'b' (line 2)"},
        {"object X: TY\n  P = {ABC}\nend", "Property 'P': Invalid hexadecimal data (line 2)"},
        {"object X: TY\n  P = <item A = 1>\nend", "Property 'P': Expected a property name but found '>' (line 2)"},
        {"object X: TY\n  P = @\nend", "Property 'P': Unexpected character 0x40 (line 2)"},
        {"object X: TY\n  P. = 1\nend", "Invalid name 'P.' (line 2)"},
        // a dotted name would read but could not be written again
        {"object X: TY\n  object A.B: TY\n  end\nend", "Invalid component name 'A.B' (line 2)"},
    };
    for (const auto& c : cases) EXPECT_EQ(Refusal(c.text), c.message);
}

TEST(FormStream, BinaryPropertyListsStayInsideTheirData) {
    std::vector<std::uint8_t> data;
    WriteBinaryProperties(data, {{"Color", TFormValue::OfIdent("clRed"), 0},
                                 {"Visible", TFormValue::OfIdent("False"), 0},
                                 {"Size", TFormValue::OfFloat(2.5), 0},
                                 {"Text", TFormValue::OfString("x"), 0}});
    const std::uint8_t* at = data.data();
    const std::vector<TFormProperty> back = ReadBinaryProperties(at, data.data() + data.size(), 4);
    EXPECT_EQ(at, data.data() + data.size());
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[1].Value.Text, "False");
    EXPECT_EQ(back[2].Value.Float, 2.5);
    // every cut of the data is refused, none reads past the cut
    for (std::size_t n = 0; n < data.size(); ++n) {
        const std::uint8_t* p = data.data();
        EXPECT_THROW(ReadBinaryProperties(p, data.data() + n, 4), EFormError) << n;
    }
}
