// The clinic database's launch on a clinic that has worked for years: a few thousand patients, each
// with a questionnaire, a certificate, a letter and two photo rows. Reports the file's size, the
// median of the whole launch (`ClinicDatabase::connectDB`) and of its quick check alone, with the file
// in the page cache and evicted from it before each round (as after the machine's start).
//
//   bench_clinic_launch [patients]      (default 3000; the home is a fresh temporary folder)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/store/ClinicDatabase.h"
#include "app/store/DemoData.h"
#include "bench/BenchApp.h"
#include "platform/sqlite/SQDatabase.h"
#include "platform/sqlite/SQResultSet.h"

namespace {

constexpr int kRounds = 9;

double timed(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Drops the file's pages from the page cache, so the next read comes from the disk.
void evict(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// A photo row's identifiers as the album scan stores them.
std::string photoIdentifiers(int patient, int count) {
    std::string rows = R"({"rowsList":[)";
    for (int i = 0; i < count; ++i) {
        char id[64];
        std::snprintf(id, sizeof id, "%08X-1D2E-4F30-8A4B-%012X/L0/001", unsigned(patient), unsigned(i));
        rows += (i ? ",\"" : "\"") + std::string(id) + "\"";
    }
    return rows + "]}";
}

std::string photoSlots(int patient) {
    std::string map = "{";
    for (int tag = 1; tag <= 16; ++tag) {
        char id[64];
        std::snprintf(id, sizeof id, "%08X-1D2E-4F30-8A4B-%012X/L0/001", unsigned(patient), unsigned(tag));
        map += (tag > 1 ? ",\"" : "\"") + std::to_string(tag) + "\":\"" + id + "\"";
    }
    return map + "}";
}

bool fill(SQDatabase& db, int patients) {
    // A filled-in certificate or letter holds about four times the seed certificate's fields.
    const std::string form = std::string(store::kDemoCertificateResult) + store::kDemoCertificateResult +
                             store::kDemoCertificateResult + store::kDemoCertificateResult;
    if (!db.open() || !db.beginTransaction()) return false;
    bool ok = true;
    for (int p = 1; ok && p <= patients; ++p) {
        const std::string pid = std::to_string(100000 + p);
        ok = db.executeUpdate("INSERT INTO patientMst VALUES ('10000', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)",
                              pid, "山田　太郎" + pid, "ヤマダ　タロウ", "060-0001", "北海道",
                              "札幌市中央区北一条西二丁目1-1", "さくらビル" + pid, "011-231-4111",
                              "090-1234-5678", "会社員", "2014年 10月 10日") &&
             db.executeUpdate("INSERT INTO patientSrv VALUES ('10000', ?, ?, ?)", pid, "男",
                              "1970年 1月 1日") &&
             db.executeUpdate("INSERT INTO inquiryMst VALUES (?, ?, 4, 3, 5, 1, 3, '2014-10-13')", pid,
                              store::kDemoInquiryResult) &&
             db.executeUpdate("INSERT INTO certifMst VALUES (?, ?, '', '2014-10-13', '3')", pid, form) &&
             db.executeUpdate("INSERT INTO letterMst VALUES (?, ?, '', '2014-10-13', '1', '0', '0')", pid,
                              form);
        for (const char* kind : {"normal", "certificate"})
            ok = ok &&
                 db.executeUpdate("INSERT INTO photoMst VALUES ('10000', ?, ?, ?, ?, '2014-10-13', '', ?)",
                                  pid, "山田　太郎", kind, photoIdentifiers(p, 12), photoSlots(p));
    }
    ok = ok && db.commit();
    db.close();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const int patients = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3000;
    bench::BenchApp app(argc, argv);

    store::ClinicState state;
    if (store::ClinicDatabase(state).connectDB() || !fill(*state.db, patients)) {
        std::fprintf(stderr, "could not make the clinic database\n");
        return 2;
    }
    const std::string path = store::ClinicDatabase::databasePath();
    std::printf("%d patients: %.1f MB\n", patients, double(std::filesystem::file_size(path)) / 1e6);

    auto quickCheck = [&] {
        auto db = SQDatabase::databaseWithPath(path);
        db->open();
        if (auto rs = db->executeQuery("PRAGMA quick_check");
            !rs || !rs->next() || rs->stringForColumnIndex(0) != "ok")
            std::fprintf(stderr, "the quick check did not answer ok\n");
        db->close();
    };
    auto launch = [&] {
        store::ClinicState launched;
        if (store::ClinicDatabase(launched).connectDB()) std::fprintf(stderr, "the launch found a problem\n");
    };
    for (bool cold : {false, true}) {
        std::vector<double> whole, check;
        for (int round = 0; round < kRounds; ++round) {
            if (cold) evict(path);
            whole.push_back(timed(launch));
            if (cold) evict(path);
            check.push_back(timed(quickCheck));
        }
        std::printf("%s: launch %.1f ms, of it the quick check %.1f ms (medians of %d)\n",
                    cold ? "evicted from the page cache" : "in the page cache", bench::median(whole),
                    bench::median(check), kRounds);
    }
    return 0;
}
