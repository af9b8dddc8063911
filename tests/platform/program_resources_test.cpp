// What the program's compiled resources must say: the manifest and the
// version block. These tests read whatever resources are installed: those
// linked into the test, or, in exe_resources_test, those read back from
// the built corvane.exe.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/api/kernel.h"
#include "platform/api/resource.h"
#include "platform/linux/byte_reader.h"
#include "tests/support/wide.h"

namespace {

const WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::string ResourceBytes(HRSRC resource)
{
    const char* data = static_cast<const char*>(LockResource(LoadResource(NULL, resource)));
    return data ? std::string(data, SizeofResource(NULL, resource)) : std::string();
}

TEST(ProgramResources, ManifestAsksForNoElevationAndCommonControls6)
{
    std::string manifest = ResourceBytes(FindResourceExW(NULL, RT_MANIFEST, MAKEINTRESOURCEW(1), kEnglish));
    const char* parts[] = {
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
        "type=\"win32\"",
        "name=\"Microsoft.Windows.Common-Controls\"",
        "version=\"6.0.0.0\"",
        "processorArchitecture=\"x86\"",
        "publicKeyToken=\"6595b64144ccf1df\"",
        "language=\"*\"",
    };
    for (const char* part : parts)
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

// One node of a version block: a key, a value, and nodes under it.
struct VersionNode {
    std::u16string key;
    bool isText = false;
    std::vector<BYTE> value;
    std::vector<VersionNode> children;
};

// Reads the node at the reader's DWORD-aligned position: its length, the
// length of its value, whether the value is text, the key, then the value
// and the children, each DWORD-aligned.
bool ReadVersionNode(platform::ByteReader& reader, VersionNode* node)
{
    const size_t start = reader.Position();
    WORD length, valueLength, type;
    if (!(reader.Read(&length) && reader.Read(&valueLength) && reader.Read(&type) && reader.ReadString(&node->key) &&
          reader.AlignToDword()))
        return false;
    node->isText = type == 1;
    if (!reader.ReadBytes(node->isText ? valueLength * sizeof(WCHAR) : valueLength, &node->value))
        return false;
    while (reader.Position() < start + length && reader.AlignToDword() && reader.Position() < start + length) {
        node->children.emplace_back();
        if (!ReadVersionNode(reader, &node->children.back()))
            return false;
    }
    return reader.Position() <= start + length + 3;
}

// "path/under/the/root = value" for every node that has no children.
void ListLeaves(const VersionNode& node, const std::string& path, std::vector<std::string>* leaves)
{
    for (const VersionNode& child : node.children) {
        std::string childPath = path + test::U8(child.key.c_str());
        if (!child.children.empty()) {
            ListLeaves(child, childPath + "/", leaves);
            continue;
        }
        std::string value;
        if (child.isText) {
            value = test::U8(std::u16string((const char16_t*)child.value.data(), child.value.size() / 2).c_str());
        } else {
            for (BYTE b : child.value) {
                char hex[4];
                snprintf(hex, sizeof(hex), " %02x", b);
                value += hex;
            }
        }
        leaves->push_back(childPath + " =" + (child.isText ? " " : "") + value);
    }
}

DWORD DwordAt(const std::vector<BYTE>& bytes, size_t offset)
{
    DWORD value = 0;
    platform::ByteReader reader(bytes.data(), bytes.size());
    EXPECT_TRUE(reader.Skip(offset) && reader.Read(&value));
    return value;
}

TEST(ProgramResources, VersionBlockHoldsTheVersionAndNothingElse)
{
    std::string block = ResourceBytes(FindResourceW(NULL, MAKEINTRESOURCEW(1), RT_VERSION));
    platform::ByteReader reader(block.data(), block.size());
    VersionNode root;
    ASSERT_TRUE(ReadVersionNode(reader, &root));
    EXPECT_EQ(root.key, u"VS_VERSION_INFO");

    // VS_FIXEDFILEINFO
    ASSERT_EQ(root.value.size(), 52u);
    EXPECT_EQ(DwordAt(root.value, 0), 0xFEEF04BDu) << "signature";
    EXPECT_EQ(DwordAt(root.value, 8), (2015u << 16) | 10) << "file version, high";
    EXPECT_EQ(DwordAt(root.value, 12), (15u << 16) | 1420) << "file version, low";
    EXPECT_EQ(DwordAt(root.value, 16), (2015u << 16) | 10) << "product version, high";
    EXPECT_EQ(DwordAt(root.value, 20), (15u << 16) | 1420) << "product version, low";
    EXPECT_EQ(DwordAt(root.value, 32), 0x4u) << "VOS__WINDOWS32";
    EXPECT_EQ(DwordAt(root.value, 36), 0x1u) << "VFT_APP";

    std::vector<std::string> leaves;
    ListLeaves(root, "", &leaves);
    EXPECT_EQ(leaves, (std::vector<std::string>{
                          std::string("StringFileInfo/080403a8/FileVersion = 2015,10,15,1420"),
                          std::string("StringFileInfo/080403a8/ProductVersion = 2015,10,15,1420"),
                          std::string("VarFileInfo/Translation = 04 08 a8 03"),  // 0x0804, code page 936
                      }));
}

}  // namespace
