#include "util/json_text.h"

#include <gtest/gtest.h>

namespace vq {
namespace {

struct JsonCase {
    std::wstring text;
    const char* json;
};

TEST(JsonTextTest, EscapesWhatJsonCannotHoldAndWritesTheRestAsUtf8)
{
    const JsonCase cases[] = {
        {L"", "\"\""},
        {L"C:\\Program Files\\a.exe", "\"C:\\\\Program Files\\\\a.exe\""},
        {L"say \"hi\"", "\"say \\\"hi\\\"\""},
        {L"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {std::wstring(L"nul\0bell\x07 us\x1f del\x7f", 18), "\"nul\\u0000bell\\u0007 us\\u001f del\x7f\""},
        {L"/ stays", "\"/ stays\""},
        {L"\u00fc\u65e5", "\"\xc3\xbc\xe6\x97\xa5\""},
        // A pair is one character in UTF-8; a surrogate alone is escaped.
        {L"\xd83d\xde00", "\"\xf0\x9f\x98\x80\""},
        {L"a\xd800", "\"a\\ud800\""},
        {L"\xdc00z", "\"\\udc00z\""},
        {L"\xdbff\xd800\xdc01", "\"\\udbff\xf0\x90\x80\x81\""},
    };
    for (const JsonCase& c : cases) {
        SCOPED_TRACE(c.json);
        std::string out = "x";
        util::AppendJsonString(out, c.text);
        EXPECT_EQ(out, std::string("x") + c.json);
    }
}

} // namespace
} // namespace vq
