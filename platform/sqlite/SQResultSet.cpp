#include "platform/sqlite/SQResultSet.h"

#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "platform/sqlite/SQStatement.h"

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

std::string lowercased(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        c = lower(c);
    return out;
}

bool equalsLowercased(std::string_view lowerName, std::string_view name) {
    if (lowerName.size() != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (lowerName[i] != lower(name[i])) return false;
    return true;
}

} // namespace

namespace {

// Loops of queries end one set and make the next: each thread keeps one freed block for the next set
// instead of going back to the allocator every time. (Not under the address sanitizer, which should see
// every set's memory freed.)
template <class T> struct RecyclingAllocator {
    using value_type = T;
    RecyclingAllocator() = default;
    template <class U> RecyclingAllocator(const RecyclingAllocator<U>&) {}

    struct Spare {
        T* block = nullptr;
        ~Spare() {
            if (block) std::allocator<T>().deallocate(block, 1);
        }
    };
    static Spare& spare() {
        thread_local Spare s;
        return s;
    }
    T* allocate(size_t n) {
#if !defined(__SANITIZE_ADDRESS__)
        if (n == 1) {
            if (T* block = std::exchange(spare().block, nullptr)) return block;
        }
#endif
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, size_t n) {
#if !defined(__SANITIZE_ADDRESS__)
        if (n == 1 && !spare().block) {
            spare().block = p;
            return;
        }
#endif
        std::allocator<T>().deallocate(p, n);
    }
    template <class U> bool operator==(const RecyclingAllocator<U>&) const {
        return true;
    }
};

} // namespace

std::shared_ptr<SQResultSet> SQResultSet::resultSetWithStatement(std::shared_ptr<SQStatement> statement,
                                                                 std::shared_ptr<SQDatabase> parentDB) {
    return std::allocate_shared<SQResultSet>(RecyclingAllocator<SQResultSet>(), Private{},
                                             std::move(statement), std::move(parentDB));
}

SQResultSet::SQResultSet(Private, std::shared_ptr<SQStatement> statement,
                         std::shared_ptr<SQDatabase> parentDB)
    : parentDB_(std::move(parentDB)), statement_(std::move(statement)) {
    if (statement_) {
        statement_->setInUse(true);
        statement_->rewound_ = false;
    }
}

SQResultSet::~SQResultSet() {
    closeKeepingQuery(false); // nobody can ask for the query any more
}

sqlite3_stmt* SQResultSet::stmt() const {
    return statement_ ? statement_->statement() : nullptr;
}

sqlite3_stmt* SQResultSet::stmtFor(int columnIdx) const {
    // A column the row does not have is never asked of SQLite: it would record an out-of-range error
    // on the connection, and the set would look as if it had lost its row.
    sqlite3_stmt* s = stmt();
    return s && columnIdx >= 0 && columnIdx < sqlite3_column_count(s) ? s : nullptr;
}

const std::string& SQResultSet::query() const {
    static const std::string empty;
    // The statement's own text while the set is open; a copy of the reference once it is closed.
    if (query_) return *query_;
    return statement_ ? statement_->query() : empty;
}

void SQResultSet::setQuery(std::string query) {
    if (this->query() != query) query_ = std::make_shared<const std::string>(std::move(query));
}

bool SQResultSet::next() {
    return nextWithError(nullptr);
}

bool SQResultSet::nextWithError(foundation::ErrorPtr* error) {
    sqlite3_stmt* s = stmt();
    // A closed set has nothing to step: SQLite would answer a missing statement with SQLITE_MISUSE.
    int rc = s ? sqlite3_step(s) : SQLITE_MISUSE;
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) {
        const char* message = parentDB_ ? sqlite3_errmsg(parentDB_->sqliteHandle()) : sqlite3_errstr(rc);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            foundation::log("%s:%d Database busy (%@)", __func__, __LINE__,
                            parentDB_ ? parentDB_->databasePath().value_or("(null)") : std::string("(null)"));
            foundation::logMessage("Database busy");
        } else if (rc == SQLITE_MISUSE || rc == SQLITE_ERROR) {
            foundation::log("Error calling sqlite3_step (%d: %s) rs", rc, message);
        } else {
            foundation::log("Unknown error calling sqlite3_step (%d: %s) rs", rc, message);
        }
        if (error) {
            if (parentDB_) {
                *error = parentDB_->lastError();
            } else {
                *error = foundation::Error::make(
                    "SQDatabase", SQLITE_MISUSE,
                    {{foundation::kLocalizedDescriptionKey, foundation::Value("parentDB does not exist")}});
            }
        }
    }
    close();
    return false;
}

bool SQResultSet::hasAnotherRow() const {
    return parentDB_ && parentDB_->sqliteHandle() && sqlite3_errcode(parentDB_->sqliteHandle()) == SQLITE_ROW;
}

void SQResultSet::close() {
    closeKeepingQuery(true);
}

void SQResultSet::closeKeepingQuery(bool keepQuery) {
    if (statement_) {
        if (keepQuery && !query_) query_ = statement_->sharedQuery();
        statement_->reset();
        statement_.reset();
    }
    if (parentDB_) {
        // Dropping the last reference may end the handle; it must not see this set any more by then.
        auto db = std::move(parentDB_);
        parentDB_.reset();
        db->resultSetDidClose(this);
    }
}

int SQResultSet::columnCount() const {
    auto s = stmt();
    return s ? sqlite3_column_count(s) : 0;
}

const std::vector<std::string>& SQResultSet::columnNames() {
    static const std::vector<std::string> none;
    return statement_ ? statement_->columnNames() : none;
}

int SQResultSet::columnIndexForName(std::string_view columnName) {
    const auto& names = columnNames();
    // From the end, so the later of two equal names wins.
    for (size_t i = names.size(); i-- > 0;)
        if (equalsLowercased(names[i], columnName)) return int(i);
    foundation::log("Warning: I could not find the column named '%@'.", lowercased(columnName));
    return -1;
}

std::string SQResultSet::columnNameForIndex(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    const char* name = s ? sqlite3_column_name(s, columnIdx) : nullptr;
    return name ? name : "";
}

std::map<std::string, int> SQResultSet::columnNameToIndexMap() {
    const auto& names = columnNames();
    std::map<std::string, int> map;
    for (size_t i = 0; i < names.size(); ++i)
        map[names[i]] = int(i);
    return map;
}

int SQResultSet::intForColumnIndex(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    return s ? sqlite3_column_int(s, columnIdx) : 0;
}

int64_t SQResultSet::longForColumnIndex(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    return s ? sqlite3_column_int64(s, columnIdx) : 0;
}

long long SQResultSet::longLongIntForColumnIndex(int columnIdx) const {
    return longForColumnIndex(columnIdx);
}

unsigned long long SQResultSet::unsignedLongLongIntForColumnIndex(int columnIdx) const {
    return static_cast<unsigned long long>(longForColumnIndex(columnIdx));
}

bool SQResultSet::boolForColumnIndex(int columnIdx) const {
    return intForColumnIndex(columnIdx) != 0;
}

double SQResultSet::doubleForColumnIndex(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    return s ? sqlite3_column_double(s, columnIdx) : 0.0;
}

bool SQResultSet::columnIndexIsNull(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    return !s || sqlite3_column_type(s, columnIdx) == SQLITE_NULL;
}

std::optional<std::string> SQResultSet::stringForColumnIndex(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    if (!s) return std::nullopt;
    // SQLite gives no text exactly for NULL (and on running out of memory); empty text is "".
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(s, columnIdx));
    if (!text) return std::nullopt;
    return std::string(text, size_t(sqlite3_column_bytes(s, columnIdx)));
}

std::optional<foundation::Date> SQResultSet::dateForColumnIndex(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    if (!s || sqlite3_column_type(s, columnIdx) == SQLITE_NULL) return std::nullopt;
    if (parentDB_ && parentDB_->hasDateFormatter()) {
        auto text = stringForColumnIndex(columnIdx);
        return text ? parentDB_->dateFromString(*text) : std::nullopt;
    }
    return foundation::Date{sqlite3_column_double(s, columnIdx)};
}

std::optional<std::span<const uint8_t>> SQResultSet::dataNoCopyForColumnIndex(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    if (!s) return std::nullopt;
    // No bytes for NULL and for a zero-length blob alike.
    auto bytes = static_cast<const uint8_t*>(sqlite3_column_blob(s, columnIdx));
    if (!bytes) return std::nullopt;
    return std::span<const uint8_t>(bytes, size_t(sqlite3_column_bytes(s, columnIdx)));
}

std::optional<foundation::Data> SQResultSet::dataForColumnIndex(int columnIdx) const {
    auto bytes = dataNoCopyForColumnIndex(columnIdx);
    if (!bytes) return std::nullopt;
    return foundation::Data(bytes->begin(), bytes->end());
}

const char* SQResultSet::UTF8StringForColumnIndex(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    if (!s) return nullptr;
    return reinterpret_cast<const char*>(sqlite3_column_text(s, columnIdx));
}

foundation::Value SQResultSet::objectForColumnIndex(int columnIdx) const {
    auto s = stmtFor(columnIdx);
    if (!s) return {};
    switch (sqlite3_column_type(s, columnIdx)) {
    case SQLITE_BLOB: {
        auto data = dataForColumnIndex(columnIdx);
        return data ? foundation::Value(std::move(*data)) : foundation::Value();
    }
    case SQLITE_FLOAT:
        return sqlite3_column_double(s, columnIdx);
    case SQLITE_INTEGER:
        return int64_t(sqlite3_column_int64(s, columnIdx));
    default: {
        auto text = stringForColumnIndex(columnIdx);
        return text ? foundation::Value(std::move(*text)) : foundation::Value();
    }
    }
}

// The name forms look the index up once and read through the index form; a name the set does not have
// gives -1, which the index form reads as the empty value.
namespace {
template <class T>
T readByName(SQResultSet& rs, std::string_view columnName, T (SQResultSet::*read)(int) const, T empty) {
    const int idx = rs.columnIndexForName(columnName);
    return idx < 0 ? empty : (rs.*read)(idx);
}
} // namespace

int SQResultSet::intForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::intForColumnIndex, 0);
}
int64_t SQResultSet::longForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::longForColumnIndex, int64_t(0));
}
long long SQResultSet::longLongIntForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::longLongIntForColumnIndex, 0LL);
}
unsigned long long SQResultSet::unsignedLongLongIntForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::unsignedLongLongIntForColumnIndex, 0ULL);
}
bool SQResultSet::boolForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::boolForColumnIndex, false);
}
double SQResultSet::doubleForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::doubleForColumnIndex, 0.0);
}
std::optional<std::string> SQResultSet::stringForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::stringForColumnIndex, std::optional<std::string>());
}
std::optional<foundation::Date> SQResultSet::dateForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::dateForColumnIndex, std::optional<foundation::Date>());
}
std::optional<foundation::Data> SQResultSet::dataForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::dataForColumnIndex, std::optional<foundation::Data>());
}
std::optional<std::span<const uint8_t>> SQResultSet::dataNoCopyForColumn(std::string_view n) {
    return readByName(*this, n, &SQResultSet::dataNoCopyForColumnIndex,
                      std::optional<std::span<const uint8_t>>());
}
const char* SQResultSet::UTF8StringForColumnName(std::string_view n) {
    return readByName(*this, n, &SQResultSet::UTF8StringForColumnIndex, static_cast<const char*>(nullptr));
}
bool SQResultSet::columnIsNull(std::string_view n) {
    return readByName(*this, n, &SQResultSet::columnIndexIsNull, true);
}
foundation::Value SQResultSet::objectForColumnName(std::string_view n) {
    return readByName(*this, n, &SQResultSet::objectForColumnIndex, foundation::Value());
}

std::optional<foundation::Dictionary> SQResultSet::resultDictionary() const {
    auto s = stmt();
    if (!s || sqlite3_data_count(s) == 0) {
        foundation::logMessage("Warning: There seem to be no columns in this set.");
        return std::nullopt;
    }
    foundation::Dictionary row;
    int n = sqlite3_column_count(s);
    for (int i = 0; i < n; ++i)
        row[columnNameForIndex(i)] = objectForColumnIndex(i);
    return row;
}

std::optional<foundation::Dictionary> SQResultSet::resultDict() {
    auto s = stmt();
    if (!s || sqlite3_data_count(s) == 0) {
        foundation::logMessage("Warning: There seem to be no columns in this set.");
        return std::nullopt;
    }
    foundation::Dictionary row;
    for (const auto& [name, index] : columnNameToIndexMap())
        row[name] = objectForColumnIndex(index);
    return row;
}

void SQResultSet::kvcMagic(
    const std::function<void(const std::string& value, const std::string& key)>& setValueForKey) const {
    auto s = stmt();
    if (!s) return;
    int n = sqlite3_column_count(s);
    for (int i = 0; i < n; ++i) {
        if (sqlite3_column_type(s, i) == SQLITE_NULL) continue;
        auto text = stringForColumnIndex(i);
        if (text) setValueForKey(*text, columnNameForIndex(i));
    }
}
