#include "app/documents/artwork/CertificateDefinition.h"

#include <utility>

namespace certificate {

std::string formClassName(Form form) {
    switch (form) {
    case Form::Page1:
        return "certificateView1";
    case Form::Page2:
        return "certificateView2";
    case Form::Page3:
        return "certificateView3";
    case Form::OnePage:
        break;
    }
    return "onePageCertificateView";
}

std::string backgroundName(Form form, Language language) {
    std::string base;
    switch (form) {
    case Form::Page1:
        base = "certificate_1";
        break;
    case Form::Page2:
        base = "certificate_2";
        break;
    case Form::Page3:
        base = "certificate_3";
        break;
    case Form::OnePage:
        base = "onePage_certificate";
        break;
    }
    return artwork::languageFileName(base, language);
}

std::string backgroundOutlet(Form form) {
    return form == Form::OnePage ? "onePageCertificateImageView" : formClassName(form) + "ImageView";
}

Rect pageFrame(const CertificateDefinition& definition, const Outlet& outlet) {
    Rect frame = outlet.frame;
    frame.y -= outlet.raisedInPrint;
    if (outlet.parent.empty()) return frame;
    for (const Outlet& parent : definition.outlets)
        if (parent.form == outlet.form && parent.name == outlet.parent) {
            frame.x += parent.frame.x;
            frame.y += parent.frame.y - parent.raisedInPrint;
        }
    return frame;
}

std::vector<int> faceIconNumbers() {
    return {11, 12, 13, 21, 22, 23, 71, 72, 73, 74, 75};
}

std::vector<int> toothAgeDigits() {
    return {0, 2, 3, 4, 5, 6, 7, 8, 9};
}

namespace {

constexpr int kLeft = 40;
constexpr int kRight = 728;
constexpr int kContentWidth = kRight - kLeft;
constexpr int kBox = 20; // printed check box
constexpr int kRowHeight = 30;

// Writes one form: every frame is given here once, and views, printed texts and panels all come
// from these calls.
class FormBuilder {
  public:
    FormBuilder(CertificateDefinition& definition, Form form) : d_(definition), form_(form) {}

    void print(Rect frame, PrintStyle style, Text text, bool centred = false) {
        d_.texts.push_back({form_, frame, style, std::move(text), centred});
    }
    void section(int y, Text text, int x = kLeft, int width = kContentWidth) {
        print({x, y, width, 28}, PrintStyle::Section, std::move(text));
    }
    void panel(Rect frame) { d_.panels.push_back({form_, frame}); }

    Outlet& outlet(std::string name, ViewKind kind, Rect frame, std::string text = {}, int fontSize = 15) {
        Outlet o;
        o.name = std::move(name);
        o.form = form_;
        o.kind = kind;
        o.frame = frame;
        o.text = std::move(text);
        o.fontSize = fontSize;
        d_.outlets.push_back(std::move(o));
        return d_.outlets.back();
    }
    // A patient or clinic value label, empty until the screen fills it.
    void value(std::string name, Rect frame, int fontSize = 15) {
        outlet(std::move(name), ViewKind::Label, frame, {}, fontSize);
    }

    CertificateItem& item(int tag, ItemKind kind, Rect frame, Text text = {}, Rect textFrame = {},
                          std::string name = {}) {
        d_.items.push_back({tag, kind, form_, frame, std::move(text), textFrame, std::move(name)});
        return d_.items.back();
    }

    // One mark (box or ring) on a row, with its choice printed right of it.
    void mark(int tag, ItemKind kind, int x, int y, int cellWidth, Text choice) {
        item(tag, kind, {x, y + (kRowHeight - kBox) / 2, kBox, kBox}, std::move(choice),
             {x + kBox + 6, y, cellWidth - kBox - 14, kRowHeight});
    }

    // A question on one row: its caption, then its choices at `x` in cells of `cell`. `firstTag` is
    // the first choice's tag; the others follow it.
    void markRow(int firstTag, ItemKind kind, int y, Text caption, const std::vector<Text>& choices,
                 int captionX = kLeft + 16, int captionWidth = 206, int x = kLeft + 228, int cell = 150) {
        print({captionX, y, captionWidth, kRowHeight}, PrintStyle::Caption, std::move(caption));
        for (size_t i = 0; i < choices.size(); ++i)
            mark(firstTag + int(i), kind, x + int(i) * cell, y, cell, choices[i]);
    }

    // A question whose caption stands on its own line above a row of choices.
    void markBlock(int firstTag, ItemKind kind, int y, Text caption, const std::vector<Text>& choices,
                   int cell) {
        print({kLeft + 16, y, kContentWidth - 16, 24}, PrintStyle::Caption, std::move(caption));
        for (size_t i = 0; i < choices.size(); ++i)
            mark(firstTag + int(i), kind, kLeft + 16 + int(i) * cell, y + 24, cell, choices[i]);
    }

    void karte() {
        print({530, 16, 60, 22}, PrintStyle::Small, {"カルテ番号", "Chart No.", "病历号"});
        value("karteLabel", {592, 16, 136, 22}, 14);
    }
    void title(Text text) { print({kLeft, 20, 490, 44}, PrintStyle::Title, std::move(text)); }

  private:
    CertificateDefinition& d_;
    Form form_;
};

const Text kNone{"なし", "None", "无"};
const Text kSome{"少し", "Some", "少量"};
const Text kHeavy{"多い", "Heavy", "较多"};
const Text kSometimes{"ときどき", "Sometimes", "偶尔"};

// Page 1 and the one-page form open the same way: the report's title, the chart number and the date.
void reportHeader(FormBuilder& f) {
    f.outlet("reportLabel", ViewKind::Label, {kLeft, 20, 490, 44}, "口腔がん検診 結果報告書", 26).bold = true;
    f.karte();
    f.outlet("dateLabel", ViewKind::Label, {530, 44, 60, 22}, "日付 :", 14);
    f.value("dateSLabel", {592, 44, 136, 22}, 14);
}

void judgement(FormBuilder& f, int group, int x, int top, int face, int markGap, Text caption,
               const std::vector<Text>& choices, const char* imageName) {
    f.print({x + 12, top, 324, 24}, PrintStyle::Caption, std::move(caption));
    f.item(group, ItemKind::FaceImage, {x + 12, top + 30, face, face}, {}, {}, imageName);
    const int markX = x + 12 + face + 18;
    for (int i = 0; i < 3; ++i) {
        const int y = top + 30 + (face - 3 * markGap) / 2 + i * markGap;
        f.item(group * 10 + i + 1, ItemKind::FaceMark, {markX, y + (markGap - 24) / 2, 24, 24},
               choices[size_t(i)], {markX + 30, y, x + 336 - markX - 30, markGap});
    }
}

void judgements(FormBuilder& f, int top, int face, int markGap) {
    judgement(f, 1, kLeft, top, face, markGap,
              {"粘膜の状態（口腔がん検診）", "Oral mucosa (cancer screening)", "口腔黏膜（口腔癌筛查）"},
              {{"異常なし", "No abnormality", "未见异常"},
               {"経過観察", "Keep under observation", "需观察"},
               {"要精密検査", "Further tests advised", "建议进一步检查"}},
              "judg1Image");
    judgement(f, 2, 392, top, face, markGap, {"歯と歯ぐきの状態", "Teeth and gums", "牙齿与牙龈"},
              {{"良好", "Good", "良好"},
               {"要注意", "Needs attention", "需注意"},
               {"要治療", "Treatment needed", "需要治疗"}},
              "judg2Image");
}

// The examination, first visit, next check-up and treatment start, one row each from `top`.
void dateRows(FormBuilder& f, int top, const char* nextSignalName, bool pageOne) {
    const int dateX = 230, weekdayX = 402;
    const int examination = top, firstVisit = top + 36, next = top + 72, treatment = top + 108;
    f.outlet("examinationDateLabel", ViewKind::Label, {kLeft + 16, examination, 170, 28}, "今回の受診日 :");
    f.item(34, ItemKind::DateLabel, {dateX, examination, 170, 28}, {}, {}, "dateLLabel");
    f.item(36, ItemKind::WeekdayLabel, {weekdayX, examination, 50, 28});
    f.outlet("examinationDateJapanLabel", ViewKind::Label, {456, examination, 272, 28},
             "に検診を受けられました。");

    f.print({kLeft + 16, firstVisit, 170, 28}, PrintStyle::Caption,
            {"初診日 :", "First visit :", "初诊日 :"});
    f.item(33, ItemKind::DateLabel, {dateX, firstVisit, 170, 28});

    f.print({kLeft + 16, next, 170, 28}, PrintStyle::Caption,
            {"次回検診日 :", "Next check-up :", "下次检查日 :"});
    // The box that frames the next check-up; the screen hides it when an English print has no date.
    f.outlet("nextExaminationDateLabel", ViewKind::Label, {dateX - 6, next - 3, 232, 34}).box = true;
    f.item(30, ItemKind::DateLabel, {dateX, next, 170, 28});
    f.item(32, ItemKind::WeekdayLabel, {weekdayX, next, 50, 28});
    f.outlet(nextSignalName, ViewKind::Label, {462, next, 266, 28}, "頃にお越しください。");

    if (pageOne)
        f.outlet("treatmentDateLabel", ViewKind::Label, {kLeft + 16, treatment, 170, 28}, "治療開始日 :");
    else
        f.print({kLeft + 16, treatment, 170, 28}, PrintStyle::Caption,
                {"治療開始日 :", "Treatment start :", "治疗开始日 :"});
    if (pageOne)
        f.outlet("treatmentStartDateLabel", ViewKind::Label, {dateX - 6, treatment - 3, 304, 34}).box = true;
    f.item(31, ItemKind::DateLabel, {dateX, treatment, 292, 28});
}

// The patient's block: four rows of printed captions and the labels the screen fills. The address
// row is the tallest: an address of forty characters takes two lines in it. The name, telephone and
// occupation rows hold two lines of the smallest printed text in the Chinese font too (27 points),
// whose lines stand further apart than the Japanese font's.
void patientBlock(FormBuilder& f, int top) {
    const int r1 = top, r2 = top + 30, r3 = top + 58, r4 = top + 90;
    f.panel({kLeft, top - 8, kContentWidth, r4 + 28 + 4 - (top - 8)});
    const auto caption = [&](Rect frame, Text text) { f.print(frame, PrintStyle::Caption, std::move(text)); };
    caption({56, r1, 70, 28}, {"氏名", "Name", "姓名"});
    f.value("nameLabel", {130, r1, 250, 28}, 18);
    caption({392, r1, 50, 28}, {"性別", "Sex", "性别"});
    f.value("sexLabel", {444, r1, 70, 28});
    caption({524, r1, 50, 28}, {"年齢", "Age", "年龄"});
    f.value("ageLabel", {576, r1, 80, 28});
    caption({56, r2, 100, 26}, {"生年月日", "Date of birth", "出生日期"});
    f.value("birthLabel", {160, r2, 200, 26});
    caption({392, r2, 100, 26}, {"初診日", "First visit", "初诊日"});
    f.value("visitLabel", {496, r2, 200, 26});
    caption({56, r3, 70, 30}, {"住所", "Address", "地址"});
    f.value("postLabel", {130, r3, 96, 30});
    f.value("add1Label", {228, r3, 250, 30});
    f.value("add2Label", {480, r3, 234, 30});
    caption({56, r4, 70, 28}, {"電話", "Phone", "电话"});
    f.value("tel1Label", {130, r4, 130, 28});
    f.value("tel2Label", {264, r4, 130, 28});
    caption({404, r4, 90, 28}, {"職業", "Occupation", "职业"});
    f.value("bizLabel", {498, r4, 216, 28});
}

// The clinic's contact block. Print mode shows it 25 points higher, where its panel is; every member
// has the room a long one needs (an address of some thirty characters, a director's name of thirty,
// a home page of eighty).
void clinicBlock(FormBuilder& f, Rect block, const char* contactName, bool narrow) {
    constexpr int kRaise = 25;
    f.panel({block.x, block.y - kRaise - 5, block.width, block.height + 10});
    f.outlet("destView", ViewKind::Block, block).raisedInPrint = kRaise;
    const auto inBlock = [&](std::string name, Rect frame, std::string text, int size) -> Outlet& {
        Outlet& o = f.outlet(std::move(name), ViewKind::Label, frame, std::move(text), size);
        o.parent = "destView";
        return o;
    };
    if (!narrow) {
        // Two columns: the members on the left, the logo and the director's name on the right.
        inBlock(contactName, {16, 4, 220, 20}, "お問い合わせ先", 14).bold = true;
        inBlock("clinic_name", {16, 26, 476, 24}, {}, 17).bold = true;
        inBlock("clinic_postal", {16, 52, 84, 18}, {}, 13);
        inBlock("clinic_address1", {104, 52, 388, 18}, {}, 13);
        inBlock("clinic_address2", {104, 70, 388, 18}, {}, 13);
        inBlock("clinic_tel", {16, 88, 476, 18}, {}, 13);
        inBlock("clinic_url", {16, 106, 476, 18}, {}, 13);
        inBlock("clinic_mail", {16, 124, 476, 18}, {}, 13);
        inBlock("imageLogo", {504, 6, 168, 60}, {}, 13).kind = ViewKind::Image;
        inBlock("clinic_director", {504, 72, 168, 66}, {}, 13);
    } else {
        inBlock(contactName, {10, 4, 180, 18}, "お問い合わせ先", 13).bold = true;
        inBlock("imageLogo", {290, 4, 128, 48}, {}, 12).kind = ViewKind::Image;
        inBlock("clinic_name", {10, 24, 272, 30}, {}, 14).bold = true;
        // The first address line takes two lines where it needs them. The block shows on paper only,
        // 25 points higher, so on paper it ends well above the page's foot.
        inBlock("clinic_postal", {10, 56, 66, 16}, {}, 11);
        inBlock("clinic_address1", {78, 56, 340, 28}, {}, 11);
        inBlock("clinic_address2", {78, 84, 340, 16}, {}, 11);
        inBlock("clinic_tel", {10, 100, 408, 16}, {}, 11);
        inBlock("clinic_director", {10, 116, 408, 16}, {}, 11);
        inBlock("clinic_url", {10, 132, 408, 28}, {}, 11);
        inBlock("clinic_mail", {10, 160, 408, 16}, {}, 11);
    }
}

// The photo list the slots are filled from, with its two buttons; hidden until a slot is tapped.
void photoList(FormBuilder& f, Rect list, bool withLabel) {
    if (withLabel)
        f.outlet("labellabel", ViewKind::Label, {list.x, list.y - 30, 360, 26}, "写真を選んでください")
            .hidden = true;
    f.outlet("collectionView", ViewKind::List, list).hidden = true;
    f.outlet("deselectBtn", ViewKind::Button, {list.right() - 216, list.y - 30, 104, 26}, "写真を外す")
        .hidden = true;
    f.outlet("closeCollectionBtn", ViewKind::Button, {list.right() - 104, list.y - 30, 104, 26}, "閉じる")
        .hidden = true;
}

const std::vector<Text> kRecallChoices = {{"1か月後", "In 1 month", "1个月后"},
                                          {"3か月後", "In 3 months", "3个月后"},
                                          {"6か月後", "In 6 months", "6个月后"},
                                          {"1年後", "In 1 year", "1年后"}};
const Text kRecallCaption{"次回検診までの目安", "Recommended recall", "建议复查间隔"};

// Page 2's hygiene and gum questions; the one-page form repeats some of them under the same tags.
struct SquareQuestion {
    int group;
    Text caption;
    std::vector<Text> choices;
};
const std::vector<SquareQuestion>& squareQuestions() {
    static const std::vector<SquareQuestion> questions = {
        {41, {"歯垢", "Plaque", "牙菌斑"}, {{"少ない", "Little", "少"}, {"普通", "Some", "中"}, kHeavy}},
        {42, {"歯石", "Tartar", "牙结石"}, {kNone, kSome, kHeavy}},
        {51,
         {"歯ぐきの色", "Gum colour", "牙龈颜色"},
         {{"健康", "Healthy", "健康"}, {"赤み", "Reddish", "发红"}, {"腫れ", "Swollen", "肿胀"}}},
        {52, {"歯ぐきの出血", "Bleeding gums", "牙龈出血"}, {kNone, kSome, kHeavy}},
        {53,
         {"歯のぐらつき", "Loose teeth", "牙齿松动"},
         {kNone, {"軽度", "Slight", "轻度"}, {"重度", "Severe", "重度"}}},
        {54,
         {"かみ合わせ", "Bite", "咬合"},
         {{"良好", "Good", "良好"}, {"要注意", "Fair", "需注意"}, {"不良", "Poor", "不良"}}},
        {55,
         {"顎の関節", "Jaw joint", "颞下颌关节"},
         {{"正常", "Normal", "正常"}, {"雑音", "Clicks", "弹响"}, {"痛み", "Pain", "疼痛"}}},
    };
    return questions;
}

// Two questions to a row: the left half and the right half of the page.
void squareColumnRow(FormBuilder& f, const SquareQuestion& q, int column, int y) {
    const int x = column == 0 ? kLeft : 392;
    f.markRow(q.group * 10 + 1, ItemKind::SquareCheck, y, q.caption, q.choices, x + 12, 92, x + 108, 76);
}

void page1(CertificateDefinition& d) {
    FormBuilder f(d, Form::Page1);
    reportHeader(f);
    patientBlock(f, 94);
    f.section(230, {"検診結果", "Examination results", "检查结果"});
    judgements(f, 266, 96, 32);
    f.section(410, {"受診日と次回のご予定", "Visits and next appointment", "就诊与下次预约"});
    dateRows(f, 446, "nextExaminationDateJapanSignalLabel", true);
    f.section(598, {"今後の治療計画", "Treatment plan", "治疗计划"});
    for (int i = 0; i < 10; ++i) {
        const int column = i / 5, row = i % 5;
        const int x = column == 0 ? kLeft : 392, y = 634 + row * 32;
        f.print({x + 4, y, 30, 28}, PrintStyle::Caption,
                {std::to_string(i + 1) + ".", std::to_string(i + 1) + ".", std::to_string(i + 1) + "."});
        f.item(40 + i, ItemKind::Treatment, {x + 36, y, 300, 28});
    }
    f.markRow(101, ItemKind::SquareCheck, 800, kRecallCaption, kRecallChoices, kLeft + 16, 180, kLeft + 200,
              122);
    clinicBlock(f, {kLeft, 870, kContentWidth, 144}, "contactAtLabel", false);
    f.print({kLeft, 998, kContentWidth, 20}, PrintStyle::Small,
            {"本報告書は、今回の検診で確認した内容をまとめたものです。（1 / 3）",
             "This report sums up what we found at your examination. (1 of 3)",
             "本报告书汇总了本次检查的结果。（第1页，共3页）"},
            true);
}

void page2(CertificateDefinition& d) {
    FormBuilder f(d, Form::Page2);
    f.title({"歯と歯ぐきの検査結果", "Teeth and gum examination", "牙齿与牙龈检查结果"});
    f.karte();

    f.section(86, {"歯の本数と歯の年齢", "Teeth and dental age", "牙齿数量与牙龄"}, kLeft, 412);
    const auto numberRow = [&](int tag, int y, Text caption, Text unit, const char* name) {
        f.print({kLeft + 16, y, 170, 30}, PrintStyle::Caption, std::move(caption));
        f.item(tag, ItemKind::NumberField, {230, y, 60, 30}, {}, {}, name);
        f.print({296, y, 140, 30}, PrintStyle::Unit, std::move(unit));
    };
    numberRow(61, 124, {"現在の歯の本数", "Teeth present", "现有牙齿"}, {"本", "teeth", "颗"},
              "toothNumText");
    f.print({kLeft + 16, 164, 170, 30}, PrintStyle::Caption, {"歯の年齢", "Dental age", "牙龄"});
    f.outlet("toothAgeImage1", ViewKind::Image, {230, 158, 30, 42});
    f.outlet("toothAgeImage2", ViewKind::Image, {262, 158, 30, 42});
    f.print({296, 164, 140, 30}, PrintStyle::Unit, {"歳相当", "years (approx.)", "岁左右"});
    numberRow(62, 212, {"むし歯", "Decayed teeth", "龋齿"}, {"本", "teeth", "颗"}, "");
    numberRow(63, 248, {"治療済みの歯", "Treated teeth", "已治疗牙齿"}, {"本", "teeth", "颗"}, "");

    f.section(86, {"レントゲン写真", "X-ray", "X光片"}, 468, 260);
    f.item(30001, ItemKind::PhotoSlot, {468, 122, 260, 130},
           {"パノラマ（位置 50）", "Panoramic (pos. 50)", "全景片（位置 50）"}, {468, 254, 260, 18});

    f.section(288, {"お口の清潔さと歯ぐき", "Oral hygiene and gums", "口腔卫生与牙龈"});
    const auto& squares = squareQuestions();
    for (size_t i = 0; i < squares.size(); ++i)
        squareColumnRow(f, squares[i], int(i % 2), 324 + int(i / 2) * 32);

    f.section(460, {"リスク評価", "Risk assessment", "风险评估"});
    f.markRow(601, ItemKind::DotCheck, 496, {"むし歯のリスク", "Tooth decay risk", "龋齿风险"},
              {{"低い", "Low", "低"}, {"中程度", "Moderate", "中等"}, {"高い", "High", "高"}});
    f.markRow(621, ItemKind::DotCheck, 528, {"歯周病の進行度", "Gum disease", "牙周病程度"},
              {{"健康", "Healthy", "健康"},
               {"軽度", "Mild", "轻度"},
               {"中等度", "Moderate", "中度"},
               {"重度", "Severe", "重度"}},
              kLeft + 16, 206, kLeft + 228, 115);

    f.section(568,
              {"気になる点と所見（あてはまるものすべて）", "Findings (all that apply)", "所见（可多选）"});
    f.markBlock(5201, ItemKind::MultiCheck, 602, {"気になる症状", "Symptoms you mentioned", "自觉症状"},
                {{"しみる", "Sensitivity", "过敏"},
                 {"痛む", "Toothache", "牙痛"},
                 {"噛むと痛い", "Pain on biting", "咬合痛"},
                 {"歯ぐきの腫れ", "Swollen gums", "牙龈肿"},
                 {"口の渇き", "Dry mouth", "口干"},
                 {"口臭", "Bad breath", "口臭"}},
                112);
    f.markBlock(5301, ItemKind::MultiCheck, 658, {"粘膜の所見", "Mucosal findings", "黏膜所见"},
                {{"異常なし", "None", "未见异常"},
                 {"白い部分", "White patch", "白斑"},
                 {"赤い部分", "Red patch", "红斑"},
                 {"しこり", "Lump", "肿块"},
                 {"ただれ", "Ulcer", "溃疡"},
                 {"その他", "Other", "其他"}},
                112);
    f.markBlock(5401, ItemKind::MultiCheck, 714, {"所見のあった部位", "Where it was found", "所见部位"},
                {{"舌", "Tongue", "舌"},
                 {"頬の内側", "Inner cheek", "颊黏膜"},
                 {"歯ぐき", "Gums", "牙龈"},
                 {"口の底", "Floor of mouth", "口底"},
                 {"上あご", "Palate", "上腭"},
                 {"唇", "Lips", "唇"}},
                112);

    f.section(778, {"口腔内写真", "Intraoral photographs", "口腔内照片"});
    f.print({kLeft + 4, 808, 332, 18}, PrintStyle::Small, {"通常光", "Standard light", "普通光"});
    f.print({396, 808, 332, 18}, PrintStyle::Small,
            {"蛍光観察（VELscope）", "Fluorescence (VELscope)", "荧光观察（VELscope）"});
    const std::vector<std::pair<std::string, std::string>> positions = {
        {"5", "5"}, {"2・8", "2, 8"}, {"7・9", "7, 9"}, {"12・15", "12, 15"}, {"1・3・4・6", "1, 3, 4, 6"}};
    for (int kind = 0; kind < 2; ++kind)
        for (int slot = 1; slot <= 5; ++slot) {
            const int column = (slot - 1) % 3, row = (slot - 1) / 3;
            const int x = (kind == 0 ? kLeft : 392) + column * 116, y = 828 + row * 92;
            const auto& [ja, en] = positions[size_t(slot - 1)];
            std::string zh = ja;
            for (size_t at; (at = zh.find("・")) != std::string::npos;)
                zh.replace(at, std::string("・").size(), "、");
            f.item((kind + 1) * 10000 + slot, ItemKind::PhotoSlot, {x, y, 104, 72},
                   {"位置 " + ja, "Pos. " + en, "位置 " + zh}, {x, y + 73, 104, 16});
        }
    photoList(f, {kLeft, 324, kContentWidth, 200}, false);
}

void page3(CertificateDefinition& d) {
    FormBuilder f(d, Form::Page3);
    f.title({"総合評価とアドバイス", "Overall assessment and advice", "综合评价与建议"});
    f.karte();

    f.section(86, {"総合評価", "Overall assessment", "综合评价"});
    f.item(70, ItemKind::OverallFace, {64, 124, 120, 120});
    const std::vector<Text> levels = {{"とても良い", "Excellent", "很好"},
                                      {"良い", "Good", "良好"},
                                      {"ふつう", "Fair", "一般"},
                                      {"注意が必要", "Needs care", "需要注意"},
                                      {"治療が必要", "Needs treatment", "需要治疗"}};
    for (size_t i = 0; i < levels.size(); ++i)
        f.print({238, 124 + int(i) * 24, 200, 24}, PrintStyle::Caption, levels[i]);
    f.print({460, 130, 268, 20}, PrintStyle::Small,
            {"お口の健康状態を5段階で評価しています。", "Your oral health on a five-step scale.",
             "按五个等级评价您的口腔健康状况。"});

    f.section(256, {"生活習慣", "Daily habits", "生活习惯"});
    f.markRow(
        211, ItemKind::SquareCheck, 292, {"喫煙", "Smoking", "吸烟"},
        {{"吸わない", "Non-smoker", "不吸烟"}, {"やめた", "Quit", "已戒烟"}, {"吸う", "Smoker", "吸烟"}});
    f.markRow(221, ItemKind::SquareCheck, 322, {"飲酒", "Alcohol", "饮酒"},
              {{"飲まない", "Never", "不饮酒"}, kSometimes, {"毎日", "Daily", "每天"}});
    f.markRow(231, ItemKind::SquareCheck, 352, {"間食", "Snacks between meals", "零食"},
              {{"ほとんどしない", "Rarely", "很少"},
               {"1日1〜2回", "1-2 a day", "每天1-2次"},
               {"1日3回以上", "3+ a day", "每天3次以上"}});
    f.markRow(241, ItemKind::SquareCheck, 382, {"歯みがき", "Brushing", "刷牙"},
              {{"1日3回以上", "3+ a day", "每天3次以上"},
               {"1日2回", "Twice a day", "每天2次"},
               {"1日1回以下", "Once or less", "每天1次以下"}});
    f.markRow(251, ItemKind::SquareCheck, 412, {"定期検診", "Regular check-ups", "定期检查"},
              {{"受けている", "Yes", "有"}, kSometimes, {"受けていない", "No", "没有"}});

    f.section(450, {"ご自宅でのケアのポイント（あてはまるものすべて）", "Home care advice (all that apply)",
                    "家庭护理要点（可多选）"});
    f.markBlock(8101, ItemKind::MultiCheck, 486,
                {"みがき残しに注意する場所", "Brush with care", "注意刷干净的部位"},
                {{"歯と歯ぐきの境目", "Along the gum line", "牙齿与牙龈交界处"},
                 {"奥歯", "Back teeth", "后牙"},
                 {"歯と歯の間", "Between teeth", "牙缝"},
                 {"前歯の裏側", "Backs of front teeth", "前牙内侧"}},
                168);
    f.markBlock(8201, ItemKind::MultiCheck, 542, {"おすすめの清掃用具", "Recommended aids", "推荐的清洁用品"},
                {{"柔らかい歯ブラシ", "Soft toothbrush", "软毛牙刷"},
                 {"デンタルフロス", "Dental floss", "牙线"},
                 {"歯間ブラシ", "Interdental brush", "牙间刷"},
                 {"フッ素配合歯みがき", "Fluoride paste", "含氟牙膏"},
                 {"洗口液", "Mouthwash", "漱口水"}},
                134);
    f.markBlock(8301, ItemKind::MultiCheck, 598, {"生活のアドバイス", "Lifestyle advice", "生活建议"},
                {{"禁煙", "Stop smoking", "戒烟"},
                 {"間食を控える", "Fewer snacks", "减少零食"},
                 {"よく噛んで食べる", "Chew well", "细嚼慢咽"},
                 {"月1回のセルフチェック", "Monthly self-check", "每月自查口腔"}},
                168);

    f.section(662, {"口腔内写真", "Intraoral photographs", "口腔内照片"});
    f.outlet("canvas", ViewKind::Block, {kLeft, 696, kContentWidth, 172});
    f.item(40001, ItemKind::PhotoSlot, {kLeft, 698, 336, 150},
           {"上あご（位置 2）", "Upper jaw (pos. 2)", "上颌（位置 2）"}, {kLeft, 850, 336, 18});
    f.item(40002, ItemKind::PhotoSlot, {392, 698, 336, 150},
           {"下あご（位置 8）", "Lower jaw (pos. 8)", "下颌（位置 8）"}, {392, 850, 336, 18});

    f.outlet("commentLabel", ViewKind::Label, {kLeft, 874, 240, 26}, "コメント", 16).bold = true;
    f.item(90001, ItemKind::Comment, {kLeft, 904, kContentWidth, 108}, {}, {}, "Comment");
    photoList(f, {kLeft, 292, kContentWidth, 190}, false);
}

void onePage(CertificateDefinition& d) {
    FormBuilder f(d, Form::OnePage);
    reportHeader(f);
    patientBlock(f, 86);
    f.section(214, {"検診結果", "Examination results", "检查结果"});
    judgements(f, 246, 80, 28);
    f.section(362, {"受診日と次回のご予定", "Visits and next appointment", "就诊与下次预约"});
    dateRows(f, 396, "nextExaminationDateJapanLabel", false);
    f.section(540, {"お口の状態", "Oral condition", "口腔状况"});
    f.markRow(101, ItemKind::SquareCheck, 572, kRecallCaption, kRecallChoices, kLeft + 16, 180, kLeft + 200,
              122);
    const auto& squares = squareQuestions();
    for (size_t i = 0; i < 4; ++i)
        squareColumnRow(f, squares[i], int(i % 2), 604 + int(i / 2) * 30);
    f.section(666, {"写真", "Photographs", "照片"});
    f.outlet("canvas", ViewKind::Block, {kLeft, 698, kContentWidth, 134});
    f.item(50001, ItemKind::PhotoSlot, {kLeft, 700, 336, 112}, {"写真 1", "Photo 1", "照片 1"},
           {kLeft, 814, 336, 16});
    f.item(50002, ItemKind::PhotoSlot, {392, 700, 336, 112}, {"写真 2", "Photo 2", "照片 2"},
           {392, 814, 336, 16});
    // The comment beside the contact block, which needs most of the page's width.
    f.outlet("commentLabel", ViewKind::Label, {kLeft, 836, 240, 24}, "コメント", 16).bold = true;
    f.item(90001, ItemKind::Comment, {kLeft, 862, 248, 150}, {}, {}, "Comment");
    clinicBlock(f, {300, 859, 428, 176}, "contactAt", true);
    photoList(f, {kLeft, 572, kContentWidth, 120}, true);
}

CertificateDefinition build() {
    CertificateDefinition d;
    page1(d);
    page2(d);
    page3(d);
    onePage(d);
    return d;
}

} // namespace

const CertificateDefinition& certificateDefinition() {
    static const CertificateDefinition definition = build();
    return definition;
}

} // namespace certificate
