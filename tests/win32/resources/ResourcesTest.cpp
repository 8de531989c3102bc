// The resources of the built programs, read back as Windows reads them: the
// version resource of both, their manifests against the sources byte for
// byte, and the number the main dialog's panel and the About box show
// against the version resource.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

struct Program {
    const char *path, *manifestSource, *description, *internalName, *originalFilename;
};
const Program kPrograms[] = {
    {RES_MARROWFIN_EXE, RES_MARROWFIN_MANIFEST, "MARROWFIN firmware upgrade", "MARROWFIN", "MARROWFIN.exe"},
    {RES_CHECK_EXE, RES_CHECK_MANIFEST, "MARROWFIN firmware package check", "marrowfin-check",
     "marrowfin-check.exe"},
};

std::string Resource(HMODULE module, LPCSTR type, int id) {
    const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return "<missing>";
    return std::string(static_cast<const char*>(::LockResource(::LoadResource(module, found))),
                       ::SizeofResource(module, found));
}

BOOL CALLBACK CountLanguage(HMODULE, LPCSTR, LPCSTR, WORD, LONG_PTR count) {
    return ++*reinterpret_cast<int*>(count), TRUE;
}

std::string Utf16(const std::string& text) {  // ASCII text as the templates store it
    std::string wide;
    for (char c : text) wide += {c, '\0'};
    return wide;
}

TEST(Resources, VersionAndManifestOfBothPrograms) {
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.path);
        std::string block(::GetFileVersionInfoSizeA(p.path, nullptr), '\0');
        ASSERT_TRUE(::GetFileVersionInfoA(p.path, 0, static_cast<DWORD>(block.size()), block.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, 0x0002004Au);  // 2.74
        EXPECT_EQ(fixed->dwFileVersionLS, 0u);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x0002004Au);
        EXPECT_EQ(fixed->dwProductVersionLS, 0u);
        const auto text = [&](const std::string& name) -> std::string {
            char* value = nullptr;
            const std::string key = "\\StringFileInfo\\040904B0\\" + name;
            return ::VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &size) ? value
                                                                                                          : "<none>";
        };
        EXPECT_EQ(text("FileVersion"), "2.74");
        EXPECT_EQ(text("ProductVersion"), "2.74");
        EXPECT_EQ(text("ProductName"), "MARROWFIN");
        EXPECT_EQ(text("FileDescription"), p.description);
        EXPECT_EQ(text("InternalName"), p.internalName);
        EXPECT_EQ(text("OriginalFilename"), p.originalFilename);
        EXPECT_EQ(text("CompanyName"), "MARROWFIN");

        const HMODULE module = ::LoadLibraryExA(p.path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
        std::ifstream source(p.manifestSource, std::ios::binary);
        EXPECT_EQ(Resource(module, RT_MANIFEST, 1),
                  std::string(std::istreambuf_iterator<char>(source), std::istreambuf_iterator<char>()));
        // One manifest only: none of the toolchain's beside it in another language.
        int languages = 0;
        ::EnumResourceLanguagesA(module, RT_MANIFEST, MAKEINTRESOURCEA(1), &CountLanguage,
                                 reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(languages, 1);
        if (&p == &kPrograms[0]) {
            // The panel (dialog 102) and the About box (100) show FileVersion.
            EXPECT_NE(Resource(module, RT_DIALOG, 102).find(Utf16("Version  " + text("FileVersion") + " ")),
                      std::string::npos);
            EXPECT_NE(Resource(module, RT_DIALOG, 100).find(Utf16("MARROWFIN firmware upgrade " + text("FileVersion") +
                                                                  std::string(1, '\0'))),
                      std::string::npos);
        }
        ::FreeLibrary(module);
    }
}

}  // namespace
