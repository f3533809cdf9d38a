#include <gtest/gtest.h>

#include <optional>

#include "engine/MadeFolders.h"

// What the worker may conclude without a listing, and what it must still ask the server.
TEST(MadeFolders, KnowsOnlyTheFoldersItMadeAndWhatWasSentIntoThem)
{
    TMadeFolders made;
    made.Made("/up");
    made.Sent("/up/a.bin");
    made.Made("/up/sub");
    made.Made("");    // no usable key
    made.Made("/x/"); // the same
    const struct {
        const char* path;
        std::optional<bool> exists;
    } cases[] = {
        {"/up/a.bin", true},
        {"/up/b.bin", false},
        {"/up/A.bin", false},
        {"/up/sub", true},
        {"/up/sub/c", false},
        {"/other/a.bin", {}},
        {"/up", {}},
        {"a.bin", {}},
        {"/up/", {}},
        {"/x//y", {}},
        {"/", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(made.Exists(c.path), c.exists) << c.path;

    // Made again (the server said it was new): what was sent before no longer counts, as it
    // cannot be there.
    made.Made("/up/sub");
    made.Sent("/up/sub/c");
    EXPECT_EQ(made.Exists("/up/sub/c"), true);
    made.Forget();
    EXPECT_EQ(made.Exists("/up/a.bin"), std::nullopt);
}
