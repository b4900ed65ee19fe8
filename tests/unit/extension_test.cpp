// The name rule of both save dialogs: the extension is added unless the name
// already ends in it exactly, case included.
#include "screenshot/screenshot.h"

#include <gtest/gtest.h>

namespace {

TEST(EnsureExtension, AddsTheExtensionUnlessTheNameEndsInItExactly)
{
    const struct {
        const char* name;
        const char* ext;
        const char* expected;
    } cases[] = {
        {"/home/u/bild", ".tif", "/home/u/bild.tif"},
        {"/home/u/bild.tif", ".tif", "/home/u/bild.tif"},
        {"/home/u/bild.TIF", ".tif", "/home/u/bild.TIF.tif"},
        {"/home/u/bild.tiff", ".tif", "/home/u/bild.tiff.tif"},
        {"/home/u/x.tif/bild", ".tif", "/home/u/x.tif/bild.tif"},
        {"farben", ".tfc", "farben.tfc"},
        {"farben.tfc", ".tfc", "farben.tfc"},
        {"farben.TFC", ".tfc", "farben.TFC.tfc"},
        {"farben.tif", ".tfc", "farben.tif.tfc"},
        // Names no longer than the extension compare as a whole.
        {"", ".tif", ".tif"},
        {"a", ".tif", "a.tif"},
        {"tif", ".tif", "tif.tif"},
        {".tif", ".tif", ".tif"},
        {".tfc", ".tif", ".tfc.tif"},
    };
    for (const auto& c : cases) EXPECT_EQ(ensureExtension(c.name, c.ext), c.expected) << "name '" << c.name << "'";
}

}  // namespace
