// The version resource of TB.dll, read through the version API and walked raw
// for the order of its string table.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tb_module_win32.h"

namespace {

std::vector<BYTE> VersionBlock() {
    const std::wstring path = tabulon::testing::TBPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) block.clear();
    return block;
}

// One node of the raw VS_VERSIONINFO tree: key, value and children.
struct Node {
    std::wstring key;
    const BYTE* value = nullptr;
    WORD valueLength = 0;
    WORD type = 0;
    std::vector<Node> children;
};

const BYTE* Align4(const BYTE* base, const BYTE* p) { return base + ((p - base + 3) & ~3); }

Node Parse(const BYTE* base, const BYTE* p) {
    Node node;
    const WORD length = *reinterpret_cast<const WORD*>(p);
    node.valueLength = *reinterpret_cast<const WORD*>(p + 2);
    node.type = *reinterpret_cast<const WORD*>(p + 4);
    const auto* key = reinterpret_cast<const wchar_t*>(p + 6);
    node.key = key;
    const BYTE* cursor = Align4(base, p + 6 + (node.key.size() + 1) * sizeof(wchar_t));
    node.value = cursor;
    // Text values count characters, binary ones bytes.
    cursor += node.type == 1 ? node.valueLength * sizeof(wchar_t) : node.valueLength;
    cursor = Align4(base, cursor);
    const BYTE* end = p + length;
    while (cursor + 6 <= end) {
        const WORD childLength = *reinterpret_cast<const WORD*>(cursor);
        if (childLength == 0) break;
        node.children.push_back(Parse(base, cursor));
        cursor = Align4(base, cursor + childLength);
    }
    return node;
}

TEST(VersionResource, FixedPart) {
    std::vector<BYTE> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    ASSERT_EQ(size, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &size));
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
}

TEST(VersionResource, StringTableInOrder) {
    std::vector<BYTE> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    const Node root = Parse(block.data(), block.data());
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");

    const Node* table = nullptr;
    for (const Node& child : root.children)
        if (child.key == L"StringFileInfo" && child.children.size() == 1)
            table = &child.children[0];
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->key, L"040904B0");

    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"Comments", L"Tabulon Plugin for Messenegr Plus!"},
        {L"CompanyName", L"Quenlar"},
        {L"FileDescription", L"Tabulon Plugin for Messenegr Plus!"},
        {L"ProductName", L"Tabulon Plugin for Messenegr Plus!"},
        {L"FileVersion", L"1.01"},
        {L"ProductVersion", L"1.01"},
        {L"InternalName", L"TB"},
        {L"OriginalFilename", L"TB.dll"},
        {L"OLESelfRegister", L""},
    };
    ASSERT_EQ(table->children.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const Node& entry = table->children[i];
        EXPECT_EQ(entry.key, expected[i].first);
        EXPECT_EQ(entry.type, 1);
        const std::wstring value(reinterpret_cast<const wchar_t*>(entry.value));
        EXPECT_EQ(value, expected[i].second);
    }

    // The version API finds the empty marker of a self-registering file too.
    wchar_t* text = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\OLESelfRegister",
                               reinterpret_cast<void**>(&text), &size));
    EXPECT_EQ(size, 1u);
    EXPECT_STREQ(text, L"");
}

}  // namespace
