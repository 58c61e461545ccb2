#include "formats/json_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolva {
namespace {

std::vector<std::string> Names(json::Value object) {
    std::vector<std::string> names;
    for (const auto& [name, value] : object.Fields()) names.emplace_back(name);
    return names;
}

TEST(JsonDocumentTest, ReadsEveryKindOfValueAsWritten) {
    const std::string text = "\xEF\xBB\xBF"
                             R"( {"s": "ü plain \"quoted\" \\ \/ \b\f\n\r\t \u00e9 \ud83d\ude00",
        "lone": "\ud800x\udc00", "long": "0123456789\"abcdefgh", "ééééééééé": "ëëëëëëëëë",
        "n": [42, -1.5e2, 9223372036854775808, 0, -0, 1E+2, 1e999],
        "nested": {"a": [[], {}, null, true, false], "a": "second"}, "last": "after"})";
    json::Document document;
    ASSERT_EQ(document.Parse(text), "");
    const json::Value root = document.Root();
    EXPECT_EQ(root["s"].String(), "ü plain \"quoted\" \\ / \b\f\n\r\t \xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(root["lone"].String(), "\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(root["long"].String(), "0123456789\"abcdefgh");
    EXPECT_EQ(root["ééééééééé"].String(), "ëëëëëëëëë");
    EXPECT_EQ(root["last"].Text(), "after");
    EXPECT_EQ(Names(root), (std::vector<std::string>{"s", "lone", "long", "ééééééééé", "n", "nested", "last"}));

    std::vector<json::Value> numbers;
    for (const json::Value number : root["n"].Elements()) numbers.push_back(number);
    ASSERT_EQ(numbers.size(), 7u);
    EXPECT_EQ(numbers[0].Integer(), 42);
    EXPECT_EQ(numbers[1].Integer(), std::nullopt);
    EXPECT_EQ(numbers[1].Number(), -150.0);
    EXPECT_EQ(numbers[2].Integer(), std::nullopt);  // past what 64 bits hold
    EXPECT_EQ(numbers[2].Number(), 9223372036854775808.0);
    EXPECT_EQ(numbers[4].Integer(), 0);
    EXPECT_EQ(numbers[5].Number(), 100.0);
    EXPECT_EQ(numbers[6].Number(), std::nullopt);  // past what a double holds: no value, but the text reads on

    // The first of two members so named; containers, empty ones and literals in place.
    const json::Value nested = root["nested"];
    EXPECT_TRUE(nested["a"].IsArray());
    std::vector<json::Kind> kinds;
    for (const json::Value item : nested["a"].Elements()) kinds.push_back(item.kind());
    EXPECT_EQ(kinds, (std::vector<json::Kind>{json::Kind::Array, json::Kind::Object, json::Kind::Null,
                                              json::Kind::True, json::Kind::False}));
    EXPECT_TRUE((*nested["a"].Elements().begin()).IsEmpty());
    EXPECT_EQ(nested["missing"].kind(), json::Kind::Missing);
    EXPECT_EQ(root["s"]["inside a string"].kind(), json::Kind::Missing);
    EXPECT_EQ(root["s"].Integer(), std::nullopt);
    EXPECT_EQ(root["n"].Text(), "");
}

TEST(JsonDocumentTest, DecodedTextsStayWholeAsMoreAreDecoded) {
    std::string text = "[";
    for (int i = 0; i < 2000; ++i) text += std::string(i ? "," : "") + "\"\\u0041" + std::to_string(i) + "\"";
    text += "]";
    json::Document document;
    ASSERT_EQ(document.Parse(text), "");
    int i = 0;
    for (const json::Value item : document.Root().Elements()) EXPECT_EQ(item.Text(), "A" + std::to_string(i++));
    EXPECT_EQ(i, 2000);
}

TEST(JsonDocumentTest, RejectsWhatIsNotJson) {
    const std::string deep(1025, '[');
    for (const std::string& text :
         {std::string(" \n"), std::string("{\"roots\": {"), std::string("[1,]"), std::string("[,1]"),
          std::string("{\"a\":1,}"), std::string("{\"a\" 1}"), std::string("{1:2}"), std::string("[1 2]"),
          std::string("01"), std::string("1."), std::string("-"), std::string(".5"), std::string("1e"),
          std::string("tru"), std::string("nul"), std::string("[] []"), std::string("\"0123456789\x01\""),
          std::string("\"\\x\""), std::string("\"\\u12\""), std::string("\"\\ud800\\u12\""),
          std::string("\"open"), std::string("\"\xC0\xAF\""), std::string("\"\xED\xA0\x80\""),
          std::string("\"\xE2\x82\""), deep}) {
        SCOPED_TRACE(text.substr(0, 20));
        json::Document document;
        EXPECT_NE(document.Parse(text), "");
        EXPECT_EQ(document.Root().kind(), json::Kind::Missing);
    }
    json::Document document;
    EXPECT_EQ(document.Parse(""), "it is empty");
    EXPECT_EQ(document.Parse("\"\xFF\""), "it is not UTF-8 text");
    EXPECT_EQ(document.Parse(deep), "it nests arrays and objects more than 1024 deep");
    EXPECT_EQ(document.Parse("{\n  \"a\": tru}"), "it is not well-formed JSON (line 2, column 8)");
    EXPECT_EQ(document.Parse(std::string(1024, '[') + std::string(1024, ']')), "");
}

}  // namespace
}  // namespace tolva
