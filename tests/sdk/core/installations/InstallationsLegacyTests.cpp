#include <catch2/catch.hpp>

#include "sdk/core/installations/VEVInstallationsErrors.h"
#include "sdk/core/installations/VEVInstallationsIIDStore.h"
#include "sdk/core/installations/VEVInstallationsIIDTokenStore.h"
#include "tests/sdk/core/SdkTestSupport.h"
#include "tests/sdk/core/installations/InstallationsLegacyTestSupport.h"
#include "tests/sdk/core/installations/InstallationsTestSupport.h"
#include "tests/support/Mutator.h"

using namespace installationstest;

TEST_CASE("The legacy instance ID is derived from the public key", "[installations][legacy]") {
    SECTION("SHA-1 matches the standard vectors") {
        auto hex = [](const foundation::Data& d) {
            std::string s;
            char b[3];
            for (auto c : d) {
                std::snprintf(b, sizeof b, "%02x", c);
                s += b;
            }
            return s;
        };
        CHECK(hex(VEVInstallationsIIDStore::SHA1({})) == "da39a3ee5e6b4b0d3255bfef95601890afd80709");
        std::string abc = "abc";
        CHECK(hex(VEVInstallationsIIDStore::SHA1(foundation::Data(abc.begin(), abc.end()))) ==
              "a9993e364706816aba3e25717850c26c9cd0d89d");
        std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
        CHECK(hex(VEVInstallationsIIDStore::SHA1(foundation::Data(two.begin(), two.end()))) ==
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    }
    SECTION("11 URL-safe characters whose first byte is 0111xxxx") {
        // SHA-1("abc") starts a9 99 3e 36 47 06 81 6a: the first byte becomes 0x79.
        std::string abc = "abc";
        CHECK(VEVInstallationsIIDStore::IIDWithPublicKeyData(foundation::Data(abc.begin(), abc.end())) ==
              "eZk-NkcGgWo");
        auto iid = VEVInstallationsIIDStore::IIDWithPublicKeyData(samplePublicKey());
        CHECK(iid.size() == 11);
        CHECK(std::string("cdef").find(iid[0]) != std::string::npos);
    }
}

TEST_CASE("The legacy stores read what the older library left and remove the identity",
          "[installations][legacy]") {
    sdktest::SdkFixture sdk;
    VEVInstallationsIIDStore store;
    VEVInstallationsIIDTokenStore tokens("123456789012");

    SECTION("a full identity reads; removal clears marker entry and key pair") {
        plantLegacyIdentity("123456789012");
        auto iid = store.existingIID();
        settle(iid);
        REQUIRE(iid.isFulfilled());
        CHECK(*iid.value() == VEVInstallationsIIDStore::IIDWithPublicKeyData(samplePublicKey()));
        auto token = tokens.existingIIDDefaultToken();
        settle(token);
        REQUIRE(token.isFulfilled());
        CHECK(*token.value() == "legacy-default-token");

        auto removed = store.deleteExistingIID();
        settle(removed);
        REQUIRE(removed.isFulfilled());
        auto marker = foundation::plist::readFile(VEVInstallationsIIDStore::markerFilePath());
        REQUIRE(marker);
        CHECK((*marker)["|S|cre"].isNull());
        CHECK((*marker)["other"] == foundation::Value("kept"));
        CHECK_FALSE(keyItemExists(kVEVInstallationsIIDPublicTagPrefix));
        CHECK_FALSE(keyItemExists(kVEVInstallationsIIDPrivateTagPrefix));
        auto again = store.existingIID();
        settle(again);
        CHECK(again.isRejected());
    }
    SECTION("marker absent but key pair present: no instance ID") {
        plantLegacyIdentity("123456789012");
        std::filesystem::remove(VEVInstallationsIIDStore::markerFilePath());
        auto iid = store.existingIID();
        settle(iid);
        CHECK(iid.isRejected());
    }
    SECTION("a marker that is not a dictionary is no marker and is left alone") {
        plantLegacyIdentity("123456789012");
        writeMarker(foundation::Value(foundation::Array{"|S|cre"}));
        auto before = foundation::readFile(VEVInstallationsIIDStore::markerFilePath());
        auto iid = store.existingIID();
        settle(iid);
        CHECK(iid.isRejected());
        auto removed = store.deleteExistingIID();
        settle(removed);
        CHECK(removed.isFulfilled());
        CHECK(foundation::readFile(VEVInstallationsIIDStore::markerFilePath()) == before);
    }
    SECTION("a key pair already gone still lets removal succeed and clear the marker") {
        writeMarker(foundation::Value(foundation::Dictionary{{"|S|cre", "1"}}));
        auto removed = store.deleteExistingIID();
        settle(removed);
        CHECK(removed.isFulfilled());
        CHECK((*foundation::plist::readFile(VEVInstallationsIIDStore::markerFilePath()))["|S|cre"].isNull());
    }
    SECTION("a key item that cannot be deleted rejects with the keychain error") {
        plantLegacyIdentity("123456789012");
        // Find the public key's file and put a folder in its place: unlink then fails.
        std::string publicFile;
        for (auto& e : std::filesystem::recursive_directory_iterator(kc::rootPath()))
            if (e.path().filename().string().find("public") != std::string::npos)
                publicFile = e.path().string();
        REQUIRE_FALSE(publicFile.empty());
        std::filesystem::remove(publicFile);
        std::filesystem::create_directory(publicFile);
        auto removed = store.deleteExistingIID();
        settle(removed);
        REQUIRE(removed.isRejected());
        CHECK(removed.error()->code() == 1);
        CHECK(VEVInstallationsErrorUtil::failureReason(removed.error()).starts_with("SecItemDelete ("));
    }
    SECTION("token archives that are empty, foreign or damaged are corrupted data") {
        auto expectCorrupted = [&](const foundation::Data& archive) {
            REQUIRE(kc::setItem(tokens.tokenQuery(), archive) == kc::kSuccess);
            auto token = tokens.existingIIDDefaultToken();
            settle(token);
            REQUIRE(token.isRejected());
            CHECK(VEVInstallationsErrorUtil::failureReason(token.error()) ==
                  "IID token data stored in Keychain is corrupted or in an incompatible format.");
        };
        expectCorrupted(tokenArchive(""));
        expectCorrupted(tokenArchive("t", "SomethingElse"));
        expectCorrupted(foundation::Data{'b', 'p', 'l', 'i', 's', 't'});
        // A token holding a NUL character, and every other damaged plist.
        using namespace std::string_literals;
        REQUIRE(VEVInstallationsIIDTokenInfo::unarchive(tokenArchiveAround(testsupport::utf16(u"トークン")),
                                                        nullptr)
                    ->token == "トークン");
        for (const auto& damaged : {tokenArchiveAround(testsupport::utf16(u"to\0ken"s)),
                                    tokenArchiveAround(testsupport::ascii("\xff"))}) {
            foundation::ErrorPtr error;
            CHECK_FALSE(VEVInstallationsIIDTokenInfo::unarchive(damaged, &error));
            CHECK(error);
        }
        for (const auto& [what, bytes] : testsupport::damagedPlists()) {
            INFO(what);
            expectCorrupted(bytes);
        }
    }
    SECTION("no token item: the keychain's error") {
        auto token = tokens.existingIIDDefaultToken();
        settle(token);
        REQUIRE(token.isRejected());
        CHECK(token.error()->code() == kc::kItemNotFound);
    }
    SECTION("the token query names generic, account and service") {
        auto q = tokens.tokenQuery();
        CHECK(q.at(kc::kGeneric) == foundation::Value("com.ruvara.iid-tokens"));
        CHECK(q.at(kc::kAccount) == foundation::Value("jp.zaruvedez.clinic"));
        CHECK(q.at(kc::kService) == foundation::Value("123456789012:*"));
    }
}

TEST_CASE("The legacy token archive reader survives mutated archives", "[installations][legacy][fuzz]") {
    using namespace std::string_literals;
    std::vector<foundation::Data> seeds{tokenArchive("legacy-default-token"),
                                        tokenArchiveAround(testsupport::utf16(u"トークン")),
                                        tokenArchiveAround(testsupport::ascii("t"))};
    testsupport::Mutator m(testsupport::fuzzSeed(1101),
                           {"\0\0"s, "\x6f\x10"s, "\x5f\x11"s, "\x80"s, "\x81\x00\x02"s, "\xd2"s});
    size_t read = 0;
    for (size_t i = 0, n = testsupport::fuzzIterations(40000); i < n; ++i) {
        foundation::ErrorPtr error;
        auto info = VEVInstallationsIIDTokenInfo::unarchive(m.mutate(seeds), &error);
        REQUIRE(bool(info) != bool(error));
        if (!info) continue;
        ++read;
        CHECK(info->token.find('\0') == std::string::npos);
    }
    INFO("read " << read);
    CHECK(read > 0);
}
