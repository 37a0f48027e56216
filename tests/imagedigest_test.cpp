#include <gtest/gtest.h>

#include "install/imagedigest.h"
#include "tests/support.h"

// The same table whichever implementation the build took (libcrypto, or
// gnulib's where libcrypto is missing): RFC 1321's and FIPS 180-2's vectors,
// empty, one block, two blocks of padding and many blocks.
TEST(ImageDigest, KnownVectorsFromBothKindsInOneReading)
{
    const struct {
        std::string content, md5, sha256;
    } table[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "8215ef0796a20bcaaae116d3876c664a",
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21",
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.content.size());
        writeFile("/tmp/digested", row.content);
        auto both = digestsOf("/tmp/digested", {DigestKind::Sha256, DigestKind::Md5}, nullptr);
        ASSERT_TRUE(both);
        EXPECT_EQ(*both, (std::vector<eString>{row.sha256, row.md5}));
    }
}

// Past the first read: agrees with coreutils on a file longer than one.
TEST(ImageDigest, AgreesWithCoreutilsAcrossReads)
{
    shell("head -c 2500001 /dev/urandom >/tmp/digested");
    auto both = digestsOf("/tmp/digested", {DigestKind::Md5, DigestKind::Sha256}, nullptr);
    ASSERT_TRUE(both);
    EXPECT_EQ((*both)[0], capture("md5sum </tmp/digested | cut -d' ' -f1 | tr -d '\\n'"));
    EXPECT_EQ((*both)[1], capture("sha256sum </tmp/digested | cut -d' ' -f1 | tr -d '\\n'"));
    EXPECT_FALSE(digestsOf("/tmp/nothing-here", {DigestKind::Md5}, nullptr));
}
