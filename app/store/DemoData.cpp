#include "app/store/DemoData.h"

namespace store {

const char* const kDemoInquiryResult =
    R"({"42":"1","70":"74","21":"1","32":"1","11":"1","43":["1","4","9","7","11"],"81":["10"],"71":["1"],)"
    R"("12":"2","61":["9","7","5","3","1","6"],"text_0":"1","51":"1","text_21":"2","text_32":"睡眠導入剤",)"
    R"("41":"2","31":"2"})";

const char* const kDemoCertificateResult =
    R"({"32":"（月）","5206":"●","62":"2","8202":"●","8302":"●","11":"●","41":"虫歯治療","8103":"●",)"
    R"("511":"■","42":"歯石除去","422":"■","8101":"●","601":"●","43":"","5404":"●","5302":"●",)"
    R"("533":"■","22":"●","411":"■","542":"■","30":"2015年 10月 16日","8204":"●",)"
    R"("31":"2014年 10月 27日　10:30 〜","61":"23","522":"■","551":"■"})";

const std::vector<DemoDataRow>& demoDataRows() {
    using Array = std::vector<SQValue>;
    static const std::vector<DemoDataRow> rows = {
        {"INSERT INTO zaruvedezMst VALUES (?, ?, ?, ?, ?, ?, ?)",
         Array{"10000", "デンタルクリニック", "デンタルクリニック", "北海道", "vexor", "vexor", ""}},
        {"INSERT INTO patientMst VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
         Array{"10000", kDemoPatientID, "札幌　太郎", "さっぽろ　たろう", "060-0001", "北海道",
               "札幌市中央区北一条西2丁目1-1", "", "011-222-3344", "090-1234-5678", "会社員",
               "2014年 10月 10日", 0}},
        {"INSERT INTO patientSrv VALUES (?, ?, ?, ?)",
         Array{"10000", kDemoPatientID, "男", "1975年 4月 12日"}},
        {"INSERT INTO inquiryMst VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
         Array{kDemoPatientID, kDemoInquiryResult, 4, 3, 5, 1, 3, "2014-10-13"}},
        {"INSERT INTO certifMst VALUES (?, ?, ?, ?, ?)",
         Array{kDemoPatientID, kDemoCertificateResult, "", "2014-10-13", "0"}},
    };
    return rows;
}

} // namespace store
