#pragma once
// What a read of stored records found: the record, no such record, or a database that could not be
// read, which says nothing about the record. Only a record that was found counts as read.
#include <utility>

#include "app/store/DatabaseFailure.h"

namespace store {

struct StoredRead {
    enum class Outcome { Found, Absent, Failed };
    Outcome outcome = Outcome::Absent;
    DatabaseFailure failure; // why, when Failed

    static StoredRead found() { return {Outcome::Found, {}}; }
    static StoredRead absent() { return {Outcome::Absent, {}}; }
    static StoredRead failed(DatabaseFailure why) { return {Outcome::Failed, std::move(why)}; }

    bool isFailed() const { return outcome == Outcome::Failed; }
    explicit operator bool() const { return outcome == Outcome::Found; }
};

} // namespace store
