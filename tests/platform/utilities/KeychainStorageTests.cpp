#include <catch2/catch.hpp>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Plist.h"
#include "platform/utilities/Keychain.h"
#include "platform/utilities/RULKeychainStorage.h"
#include "platform/utilities/RULKeychainUtils.h"
#include "tests/support/PlistSamples.h"
#include "tests/support/TestHome.h"

using foundation::Data;
using foundation::Dictionary;
using foundation::Value;
namespace fs = std::filesystem;
namespace keychain = utilities::keychain;

namespace {
const char* kService = "com.example.tests.installations";

template <class T> T settledValue(const RVLPromise<T>& p) {
    REQUIRE(p.await(5));
    if (p.isRejected()) FAIL(p.error()->description());
    return *p.value();
}

foundation::ErrorPtr settledError(const RVLPromise<std::nullptr_t>& p) {
    REQUIRE(p.await(5));
    REQUIRE(p.isRejected());
    return p.error();
}

Value get(const RULKeychainStorage& s, const std::string& key, const std::string& group = "",
          Value::Type type = Value::Type::Dictionary) {
    return settledValue(s.getObjectForKey(key, type, group));
}

void set(const RULKeychainStorage& s, const Value& v, const std::string& key, const std::string& group = "") {
    settledValue(s.setObject(v, key, group));
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    REQUIRE(::stat(path.c_str(), &st) == 0);
    return st.st_mode & 0777;
}

std::vector<std::string> filesUnder(const std::string& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) out.push_back(e.path().string());
    return out;
}

Value sampleItem() {
    return Value(
        Dictionary{{"fid", "cAbc"}, {"status", 2}, {"expires", Value(foundation::Date{1700000000})}});
}
} // namespace

TEST_CASE("keychain storage keeps objects per service, access group and key", "[keychain]") {
    testsupport::TempHome home;
    RULKeychainStorage storage(kService);

    SECTION("absent reads as null; a stored object reads back, also from a fresh object after relaunch") {
        CHECK(get(storage, "app1").isNull());
        set(storage, sampleItem(), "app1");
        CHECK(get(storage, "app1") == sampleItem());
        home.relaunch();
        RULKeychainStorage fresh(kService);
        CHECK(get(fresh, "app1") == sampleItem());
    }
    SECTION("a later set replaces the object; remove makes it absent; removing the absent succeeds") {
        set(storage, sampleItem(), "k");
        set(storage, Value(Dictionary{{"fid", "new"}}), "k");
        CHECK(get(storage, "k")["fid"] == Value("new"));
        settledValue(storage.removeObjectForKey("k", ""));
        CHECK(get(storage, "k").isNull());
        settledValue(storage.removeObjectForKey("k", ""));
        settledValue(storage.removeObjectForKey("never", "group.x"));
    }
    SECTION("access groups and services never see each other's items") {
        set(storage, Value(Dictionary{{"v", "default"}}), "same");
        set(storage, Value(Dictionary{{"v", "a"}}), "same", "TEAM.group.a");
        set(storage, Value(Dictionary{{"v", "b"}}), "same", "TEAM.group.b");
        RULKeychainStorage other("com.example.tests.other");
        CHECK(get(other, "same").isNull());
        CHECK(get(storage, "same")["v"] == Value("default"));
        CHECK(get(storage, "same", "TEAM.group.a")["v"] == Value("a"));
        CHECK(get(storage, "same", "TEAM.group.b")["v"] == Value("b"));
        CHECK(get(storage, "same", "TEAM.group.c").isNull());
        settledValue(storage.removeObjectForKey("same", "TEAM.group.a"));
        CHECK(get(storage, "same", "TEAM.group.a").isNull());
        CHECK(get(storage, "same")["v"] == Value("default"));
        CHECK(get(storage, "same", "TEAM.group.b")["v"] == Value("b"));
    }
    SECTION("keys with path characters stay inside the keychain folder") {
        set(storage, sampleItem(), "../../Documents/x");
        set(storage, sampleItem(), "a/b");
        CHECK(get(storage, "../../Documents/x") == sampleItem());
        CHECK(get(storage, "a/b") == sampleItem());
        CHECK(get(storage, "a").isNull());
        CHECK(fs::is_empty(foundation::home::documents()));
    }
    SECTION("null dictionary members are left out rather than stored as empty text") {
        set(storage, Value(Dictionary{{"token", Value()}, {"fid", "f"}}), "n");
        auto back = get(storage, "n");
        CHECK(back.dictionary()->count("token") == 0);
        CHECK(back["fid"] == Value("f"));
    }
}

TEST_CASE("keychain files are private and written whole", "[keychain]") {
    testsupport::TempHome home;
    RULKeychainStorage storage(kService);
    mode_t old = ::umask(0); // prove the modes do not depend on the caller's umask
    fs::create_directories(keychain::rootPath());
    fs::permissions(keychain::rootPath(), fs::perms::all); // an existing loose folder gets tightened
    set(storage, sampleItem(), "k");
    set(storage, sampleItem(), "k", "TEAM.group");
    ::umask(old);

    CHECK(modeOf(keychain::rootPath()) == 0700);
    auto files = filesUnder(keychain::rootPath());
    REQUIRE(files.size() == 2);
    for (const auto& f : files) {
        CHECK(modeOf(f) == 0600);
        CHECK(modeOf(fs::path(f).parent_path().string()) == 0700);
        CHECK(f.find(".tmp-") == std::string::npos); // no temporary file left behind
    }
}

TEST_CASE("damaged or unexpected items read as absent", "[keychain]") {
    testsupport::TempHome home;
    RULKeychainStorage storage(kService);
    set(storage, sampleItem(), "k");
    auto files = filesUnder(keychain::rootPath());
    REQUIRE(files.size() == 1);

    SECTION("garbage bytes") {
        std::ofstream(files[0], std::ios::trunc) << "not a property list";
        CHECK(get(storage, "k").isNull());
        SECTION("and it can be written over or removed") {
            set(storage, Value(Dictionary{{"fid", "again"}}), "k");
            CHECK(get(storage, "k")["fid"] == Value("again"));
        }
        SECTION("removing it clears the file") {
            settledValue(storage.removeObjectForKey("k", ""));
            CHECK(filesUnder(keychain::rootPath()).empty());
        }
    }
    SECTION("a stored object of another class than asked for") {
        foundation::LogCapture log;
        CHECK(get(storage, "k", "", Value::Type::String).isNull());
        CHECK(log.contains("Keychain item k could not be read"));
        CHECK(get(storage, "k", "", Value::Type::Dictionary) == sampleItem());
    }
    SECTION("an empty item file") {
        std::ofstream(files[0], std::ios::trunc);
        CHECK(get(storage, "k").isNull());
    }
    SECTION("every kind of damaged plist") {
        for (const auto& [what, bytes] : testsupport::damagedPlists()) {
            INFO(what);
            std::ofstream(files[0], std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            CHECK(get(storage, "k").isNull());
        }
    }
}

TEST_CASE("keychain failures reject with an error", "[keychain]") {
    testsupport::TempHome home;
    RULKeychainStorage storage(kService);

    SECTION("a null object is refused") {
        auto e = settledError(storage.setObject(Value(), "k", ""));
        CHECK(e->domain() == keychain::kErrorDomain);
        CHECK(e->code() == keychain::kBadParameter);
        CHECK(settledError(storage.setObject(Value(foundation::Array{Value()}), "k", ""))->code() ==
              keychain::kBadParameter);
    }
    SECTION("an item the system cannot read is an error, not an absent item") {
        set(storage, sampleItem(), "k");
        auto files = filesUnder(keychain::rootPath());
        REQUIRE(files.size() == 1);
        // A folder where the file should be: unreadable for anyone, root included.
        fs::remove(files[0]);
        fs::create_directory(files[0]);
        auto p = storage.getObjectForKey("k", Value::Type::Dictionary, "");
        REQUIRE(p.await(5));
        REQUIRE(p.isRejected());
        CHECK(p.error()->domain() == keychain::kErrorDomain);
        CHECK(p.error()->code() == keychain::kReadFailed);
        foundation::Data data;
        CHECK(keychain::copyMatching({{keychain::kClass, keychain::kClassGenericPassword}}, data) ==
              keychain::kReadFailed);
    }
    SECTION("the keychain folder cannot be made") {
        std::ofstream(keychain::rootPath()) << "a file where the folder should be";
        auto e = settledError(storage.setObject(sampleItem(), "k", ""));
        CHECK(e->domain() == keychain::kErrorDomain);
        CHECK(e->code() == keychain::kWriteFailed);
        CHECK(get(storage, "k").isNull());
    }
}

TEST_CASE("keychain items are found by query", "[keychain][utils]") {
    testsupport::TempHome home;
    Dictionary token{{keychain::kClass, keychain::kClassGenericPassword},
                     {keychain::kGeneric, "com.example.tokens"},
                     {keychain::kAccount, "com.example.app"},
                     {keychain::kService, "1234:*"}};
    REQUIRE(keychain::setItem(token, Data{1, 2, 3}) == keychain::kSuccess);

    SECTION("the first match gives its data") {
        foundation::ErrorPtr error;
        auto data = RULKeychainUtils::getItemWithQuery(token, &error);
        REQUIRE(data);
        CHECK(*data == Data{1, 2, 3});
        CHECK_FALSE(error);
        Dictionary partial{{keychain::kClass, keychain::kClassGenericPassword},
                           {keychain::kService, "1234:*"}};
        CHECK(RULKeychainUtils::getItemWithQuery(partial, nullptr));
    }
    SECTION("no match: nothing, with an item-not-found error") {
        Dictionary q = token;
        q[keychain::kGeneric] = "other";
        foundation::ErrorPtr error;
        CHECK_FALSE(RULKeychainUtils::getItemWithQuery(q, &error));
        REQUIRE(error);
        CHECK(error->code() == keychain::kItemNotFound);
        q = token;
        q[keychain::kAccessGroup] = "TEAM.other";
        CHECK_FALSE(RULKeychainUtils::getItemWithQuery(q, nullptr));
    }
    SECTION("storage items are generic passwords under service and key") {
        RULKeychainStorage storage(kService);
        set(storage, sampleItem(), "app1");
        auto data = RULKeychainUtils::getItemWithQuery({{keychain::kClass, keychain::kClassGenericPassword},
                                                        {keychain::kService, kService},
                                                        {keychain::kAccount, "app1"}},
                                                       nullptr);
        REQUIRE(data);
        CHECK(foundation::plist::parse(*data) == sampleItem());
    }
    SECTION("key items by tag; deleting reports whether anything was there") {
        Dictionary key{{keychain::kClass, keychain::kClassKey},
                       {keychain::kApplicationTag, Value(Data{'t', 0, '/'})},
                       {keychain::kKeyType, keychain::kKeyTypeRSA}};
        REQUIRE(keychain::setItem(key, Data{9}) == keychain::kSuccess);
        Data out;
        CHECK(keychain::copyMatching(key, out) == keychain::kSuccess);
        CHECK(out == Data{9});
        CHECK(keychain::deleteMatching(key) == keychain::kSuccess);
        CHECK(keychain::deleteMatching(key) == keychain::kItemNotFound);
        CHECK(keychain::copyMatching(token, out) == keychain::kSuccess); // others untouched
    }
}
