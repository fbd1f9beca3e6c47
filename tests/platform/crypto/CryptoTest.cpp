#include "core/PassPhrases.h"
#include "platform/crypto/Crypto.h"

#include <gtest/gtest.h>

#include <string>

using crypto::Status;

namespace {
std::string encrypt(const std::string& text, const std::string& pass) {
    std::string env;
    EXPECT_EQ(crypto::encryptText(text, pass, env), Status::Ok);
    return env;
}
}  // namespace

TEST(Crypto, RoundTripsAnyBytes) {
    const std::string pass = StoredPassPhrase(4);
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
    for (const std::string& text : {std::string(), std::string("x"), std::string("<DATABASE Name='a'/>"),
                                    std::string("Grüße, naïve »quoted« ¿qué? 東京"), binary,
                                    std::string(200000, 'q')}) {
        std::string env = encrypt(text, pass), back;
        ASSERT_EQ(crypto::decryptText(env, pass, back), Status::Ok);
        EXPECT_EQ(back, text);
        EXPECT_EQ(env.find_first_of("\r\n "), std::string::npos) << "one line of Base64";
    }
}

TEST(Crypto, SaltMakesEveryEnvelopeDifferent) {
    EXPECT_NE(encrypt("same", "pass"), encrypt("same", "pass"));
}

TEST(Crypto, WrongPassPhraseAndDamageAreBadData) {
    std::string env = encrypt("secret text", "right"), out;
    EXPECT_EQ(crypto::decryptText(env, "wrong", out), Status::BadData);
    EXPECT_EQ(crypto::decryptText(env, "", out), Status::BadData);

    // One changed character anywhere: header, salt, cipher text or tag.
    for (size_t pos : {size_t(1), size_t(10), size_t(30), env.size() / 2, env.size() - 3}) {
        std::string bad = env;
        bad[pos] = bad[pos] == 'A' ? 'B' : 'A';
        EXPECT_EQ(crypto::decryptText(bad, "right", out), Status::BadData) << "position " << pos;
    }
    EXPECT_EQ(crypto::decryptText(env.substr(0, env.size() - 4), "right", out), Status::BadData);
    EXPECT_EQ(crypto::decryptText("not base64 at all!", "right", out), Status::BadData);
    EXPECT_EQ(crypto::decryptText("QUJD", "right", out), Status::BadData);  // too short
    // Plain Base64 of something else than an envelope.
    EXPECT_EQ(crypto::decryptText(crypto::base64Encode(std::string(80, 'z')), "right", out), Status::BadData);
}

TEST(Crypto, EnvelopeWithLineBreaksStillDecrypts) {
    std::string env = encrypt("text in a file", "p");
    std::string wrapped;
    for (size_t i = 0; i < env.size(); i += 40) wrapped += env.substr(i, 40) + "\r\n";
    std::string out;
    ASSERT_EQ(crypto::decryptText(wrapped, "p", out), Status::Ok);
    EXPECT_EQ(out, "text in a file");
}

TEST(Base64, EncodesAndRejectsMalformedText) {
    EXPECT_EQ(crypto::base64Encode(""), "");
    EXPECT_EQ(crypto::base64Encode("f"), "Zg==");
    EXPECT_EQ(crypto::base64Encode("fo"), "Zm8=");
    EXPECT_EQ(crypto::base64Encode("foo"), "Zm9v");
    EXPECT_EQ(crypto::base64Encode("\xff\xfe"), "//4=");
    std::string out;
    ASSERT_TRUE(crypto::base64Decode("Zm9vYg==", out));
    EXPECT_EQ(out, "foob");
    EXPECT_FALSE(crypto::base64Decode("Zm9", out));       // bad length
    EXPECT_FALSE(crypto::base64Decode("Zm=v", out));      // padding inside
    EXPECT_FALSE(crypto::base64Decode("Z===", out));      // too much padding
    EXPECT_FALSE(crypto::base64Decode("Zm9v====", out));  // padding block
    EXPECT_FALSE(crypto::base64Decode("Zm9-", out));      // outside the alphabet
}
