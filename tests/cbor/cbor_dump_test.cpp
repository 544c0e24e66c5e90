#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "cbor/cbor_view.h"
#include "cbor_test_bytes.h"

namespace kelvora {
namespace {

using test::Bytes;
using test::hex;
using test::viewOf;

struct DumpCase {
    const char* bytes;
    const char* text;
};

TEST(CborDumpTest, LineFormats) {
    const DumpCase cases[] = {
        {"A1 01 82 F5 40", "Map: 1\r\n\t1\r\n\tArray: 2\r\n\t\ttrue\r\n\t\t\r\n"},
        {"38 18", "-25\r\n"},
        {"3A FF FF FF FF", "-4294967296\r\n"},
        {"1A FF FF FF FF", "4294967295\r\n"},
        {"43 0A BC FF", "0ABCFF\r\n"},
        {"62 75 76", "uv\r\n"},
        {"84 F4 F6 F7 F0", "Array: 4\r\n\tfalse\r\n\tnull\r\n\tundefined\r\n\t"},
        {"82 F9 3C 00 FA 3F 80 00 00", "Array: 2\r\n\thalf float\r\n\tsingle float\r\n"},
        {"C1 1A 00 01 00 00", "[1] 65536\r\n"},
        {"D8 20 A1 01 02", "[32] Map: 1\r\n\t1\r\n\t2\r\n"},
        {"BF 01 9F 02 FF FF", "Map:\r\n\t1\r\n\tArray:\r\n\t\t2\r\n"},
        {"5F 41 01 FF", "Bytes:\r\n\t01\r\n"},
        {"7F 61 61 61 62 FF", "String:\r\n\ta\r\n\tb\r\n"},
        // An empty container prints its indentation only.
        {"82 A0 01", "Array: 2\r\n\t\t1\r\n"},
        {"82 C1 C2 01 02", "Array: 2\r\n\t[1] error\r\n"},
        {"A1 01 FB 00 00 00 00 00 00 00 00", "Map: 1\r\n\t1\r\n\tdouble float\r\n"},
        {"82 01 19 00", "Array: 2\r\n\t1\r\n\terror\r\n"},
        {"", "error\r\n"},
    };
    for (const DumpCase& c : cases) {
        const Bytes bytes = hex(c.bytes);
        EXPECT_EQ(viewOf(bytes).dumpText(), c.text) << c.bytes;
    }
}

TEST(CborDumpTest, StreamAndFileReceiveTheSameText) {
    const Bytes bytes = hex("A2 01 62 75 76 02 82 01 20");
    const CborView view = viewOf(bytes);

    std::ostringstream stream;
    view.dump(stream);
    EXPECT_EQ(stream.str(), view.dumpText());

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    view.dump(file);
    std::rewind(file);
    std::string fromFile(64, '\0');
    fromFile.resize(std::fread(fromFile.data(), 1, fromFile.size(), file));
    static_cast<void>(std::fclose(file));
    EXPECT_EQ(fromFile, view.dumpText());
}

}  // namespace
}  // namespace kelvora
