#include <catch2/catch.hpp>

#include <filesystem>

#include "platform/foundation/Files.h"
#include "sdk/core/transport/ArchiveCodec.h"
#include "sdk/core/transport/StorageJournal.h"
#include "tests/sdk/core/transport/TransportFakes.h"

using namespace transporttest;
using foundation::Data;
using foundation::Value;
using transport::JournalRecord;
using transport::StorageJournal;
namespace fs = std::filesystem;

namespace {
Data storedEvent(uint64_t id) {
    return transport::codec::encodeValue(makeEvent(id, "p")->encodeToArchive());
}

Data bytesOf(const std::string& path) {
    return foundation::readFile(path).value_or(Data{});
}
} // namespace

TEST_CASE("the journal keeps whole records and drops a damaged tail", "[transport][journal]") {
    TempDir dir;
    const std::string path = dir.path + "/journal";
    StorageJournal journal(path);
    REQUIRE(journal.open(0));
    CHECK(journal.recordBytes() == 0);
    CHECK(StorageJournal::read(path).records.empty());

    Data first, second, third;
    StorageJournal::appendStoreRecord(first, storedEvent(1));
    StorageJournal::appendRemovalRecord(second, {1, 7});
    StorageJournal::appendStoreRecord(third, storedEvent(2));
    REQUIRE(journal.append(first));
    REQUIRE(journal.append(second));
    REQUIRE(journal.append(third));
    const uint64_t wholeTwo = StorageJournal::kHeaderSize + first.size() + second.size();
    const Data good = bytesOf(path);
    REQUIRE(good.size() == wholeTwo + third.size());

    SECTION("records come back in order, with their kind and value") {
        auto contents = StorageJournal::read(path);
        CHECK(contents.problem.empty());
        CHECK(contents.validBytes == good.size());
        REQUIRE(contents.records.size() == 3);
        CHECK(contents.records[0].kind == JournalRecord::Kind::Store);
        CHECK(contents.records[0].value["_eventID"].intValue() == 1);
        CHECK(contents.records[1].kind == JournalRecord::Kind::Removal);
        CHECK(contents.records[1].value == Value(foundation::Array{1, 7}));
        CHECK(contents.records[2].value["_eventID"].intValue() == 2);
        CHECK(journal.recordBytes() == good.size() - StorageJournal::kHeaderSize);
    }
    SECTION("a last record cut short anywhere is dropped; the ones before it are kept") {
        for (size_t keep = wholeTwo + 1; keep < good.size(); ++keep) {
            INFO("cut after " << keep << " bytes");
            foundation::writeFileAtomically(path, Data(good.begin(), good.begin() + long(keep)));
            auto contents = StorageJournal::read(path);
            CHECK(contents.records.size() == 2);
            CHECK(contents.validBytes == wholeTwo);
            CHECK(contents.droppedBytes == keep - wholeTwo);
            CHECK(contents.problem == "a record is cut short");
        }
    }
    SECTION("damaged bytes in the last record, or garbage after the records, are dropped") {
        Data flipped = good;
        flipped[good.size() - 3] ^= 0x10;
        Data zeros = good;
        zeros.insert(zeros.end(), 4096, 0); // a crash can leave the file longer than its data
        Data badKind = good;
        badKind[wholeTwo + 8] = 'X';
        for (const auto& [bad, kept] : {std::pair{flipped, 2u}, {zeros, 3u}, {badKind, 2u}}) {
            foundation::writeFileAtomically(path, bad);
            auto contents = StorageJournal::read(path);
            CHECK(contents.records.size() == kept);
            CHECK_FALSE(contents.problem.empty());
        }
    }
    SECTION("reopened after a torn tail, appends follow the last whole record") {
        foundation::writeFileAtomically(path, Data(good.begin(), good.end() - 5));
        StorageJournal again(path);
        auto contents = StorageJournal::read(path);
        REQUIRE(again.open(contents.validBytes));
        Data fourth;
        StorageJournal::appendStoreRecord(fourth, storedEvent(4));
        REQUIRE(again.append(fourth));
        auto after = StorageJournal::read(path);
        CHECK(after.problem.empty());
        REQUIRE(after.records.size() == 3);
        CHECK(after.records[2].value["_eventID"].intValue() == 4);
    }
    SECTION("a reset forgets every record") {
        REQUIRE(journal.reset());
        CHECK(journal.recordBytes() == 0);
        CHECK(fs::file_size(path) == StorageJournal::kHeaderSize);
        CHECK(StorageJournal::read(path).records.empty());
        REQUIRE(journal.append(first));
        CHECK(StorageJournal::read(path).records.size() == 1);
    }
    SECTION("a file that is not a journal holds nothing, and opening starts it afresh") {
        foundation::writeFileAtomically(path, std::string("RDTA\x01 not a journal"));
        auto contents = StorageJournal::read(path);
        CHECK(contents.records.empty());
        CHECK(contents.problem == "it is not a journal of this storage");
        StorageJournal again(path);
        REQUIRE(again.open(contents.validBytes));
        CHECK(fs::file_size(path) == StorageJournal::kHeaderSize);
    }
}

TEST_CASE("a journal that cannot be written says so", "[transport][journal]") {
    TempDir dir;
    const std::string path = dir.path + "/journal";
    fs::create_directories(path); // a folder where the file should be
    CHECK(StorageJournal::read(path).problem == "it is not a file");
    CHECK_FALSE(StorageJournal::read(path).readable);
    StorageJournal journal(path);
    CHECK_FALSE(journal.open(0));
    CHECK_FALSE(journal.isUsable());
    Data record;
    StorageJournal::appendStoreRecord(record, storedEvent(1));
    CHECK_FALSE(journal.append(record));
    CHECK_FALSE(journal.reset());
}
