#include "common/keyed_hash.h"

#include <gtest/gtest.h>

#include <cstring>

// The reference vectors of SipHash-2-4: key 00 01 .. 0f, messages 00 01 .. of each length.
TEST(KeyedHash, SipHashGivesTheReferenceValues)
{
    unsigned char message[64];
    for (int i = 0; i < 64; ++i)
        message[i] = static_cast<unsigned char>(i);
    uint64_t k0 = 0x0706050403020100ULL, k1 = 0x0f0e0d0c0b0a0908ULL;
    EXPECT_EQ(SipHash24(message, 0, k0, k1), 0x726fdb47dd0e0e31ULL);
    EXPECT_EQ(SipHash24(message, 8, k0, k1), 0x93f5f5799a932462ULL);
    EXPECT_EQ(SipHash24(message, 15, k0, k1), 0xa129ca6149be45e5ULL);
    EXPECT_EQ(SipHash24(message, 63, k0, k1), 0x958a324ceb064572ULL);
}

TEST(KeyedHash, TheProcessKeyIsNotTheZeroKey)
{
    // Equal names hash alike; the key is one of the process's own, not a constant.
    KeyedNameHash hash;
    EXPECT_EQ(hash("camera01"), hash(std::string("camera01")));
    EXPECT_NE(hash("camera01"), SipHash24("camera01", 8, 0, 0));
}
