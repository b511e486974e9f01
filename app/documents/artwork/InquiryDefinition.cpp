#include "app/documents/artwork/InquiryDefinition.h"

#include <utility>

namespace questionnaire {

std::string pageImageName(int page, Language language) {
    return artwork::languageFileName("inquiry_" + std::to_string(page), language);
}

std::string radarImageName(Language language) {
    return artwork::languageFileName("radar_chart", language);
}

namespace {

constexpr int kPageWidth = 768;
constexpr int kMargin = 40;
constexpr int kRowHeight = 34;
constexpr int kChoiceHeight = 32;

// Lays one page out top to bottom, so every frame follows from the order of the questions.
class PageLayout {
  public:
    PageLayout(InquiryDefinition& definition, int page, int top) : d_(definition), page_(page), y_(top) {}

    int y() const { return y_; }
    void skip(int points) { y_ += points; }

    void section(Text text) {
        y_ += 6;
        print(PrintStyle::Section, {kMargin, y_, kPageWidth - 2 * kMargin, 30}, std::move(text));
        y_ += 38;
    }

    void question(const Text& text) {
        ++number_;
        const std::string n = std::to_string(number_);
        print(PrintStyle::Question, {kMargin + 8, y_, kPageWidth - 2 * kMargin - 8, 24},
              {n + ". " + text.ja, n + ". " + text.en, n + ". " + text.zh});
        y_ += 28;
    }

    // A short question whose two or three choices fit on its own line, right of the question.
    void questionInline(const Text& text, int group, const std::vector<Text>& list) {
        ++number_;
        const std::string n = std::to_string(number_);
        const int cell = 104;
        const int choicesLeft = kPageWidth - kMargin - int(list.size()) * cell;
        print(PrintStyle::Question, {kMargin + 8, y_ + 4, choicesLeft - kMargin - 16, 24},
              {n + ". " + text.ja, n + ". " + text.en, n + ". " + text.zh});
        for (size_t i = 0; i < list.size(); ++i) {
            const int choice = int(i) + 1;
            InquiryItem item;
            item.tag = group * 10 + choice;
            item.kind = ItemKind::SingleCircle;
            item.page = page_;
            item.frame = {choicesLeft + int(i) * cell + 4, y_, cell - 8, kChoiceHeight};
            item.text = list[i];
            d_.items.push_back(std::move(item));
        }
        y_ += kRowHeight + 8;
    }

    void note(Text text) {
        print(PrintStyle::Note, {kMargin + 28, y_, kPageWidth - 2 * kMargin - 28, 20}, std::move(text));
        y_ += 22;
    }

    // Choices are numbered from 1 in reading order; a single-choice key is group·10 + choice, a
    // multi-choice key group·100 + choice.
    void choices(int group, ItemKind kind, const std::vector<Text>& list, int columns) {
        const int left = kMargin + 24;
        const int cell = (kPageWidth - kMargin - left) / columns;
        for (size_t i = 0; i < list.size(); ++i) {
            const int choice = int(i) + 1;
            const int column = int(i) % columns, row = int(i) / columns;
            InquiryItem item;
            item.tag = kind == ItemKind::SingleCircle ? group * 10 + choice : group * 100 + choice;
            item.kind = kind;
            item.page = page_;
            item.frame = {left + column * cell + 4, y_ + row * kRowHeight, cell - 8, kChoiceHeight};
            item.text = list[i];
            d_.items.push_back(std::move(item));
        }
        y_ += int((list.size() + size_t(columns) - 1) / size_t(columns)) * kRowHeight + 8;
    }

    void field(int tag, ItemKind kind, Text caption, int captionWidth, int fieldWidth, int height = 30) {
        const int left = kMargin + 28;
        InquiryItem item;
        item.tag = tag;
        item.kind = kind;
        item.page = page_;
        item.captionFrame = {left, y_, captionWidth, 30};
        item.frame = {left + captionWidth + 8, y_, fieldWidth, height};
        item.text = std::move(caption);
        d_.items.push_back(std::move(item));
        y_ += height + 12;
    }

    // A text view under its caption, for answers longer than a line.
    void box(int tag, Text caption, int height) {
        print(PrintStyle::Caption, {kMargin + 8, y_, kPageWidth - 2 * kMargin - 8, 26}, Text(caption));
        y_ += 28;
        InquiryItem item;
        item.tag = tag;
        item.kind = ItemKind::TextView;
        item.page = page_;
        item.captionFrame = {kMargin + 8, y_ - 28, 0, 0};
        item.frame = {kMargin + 8, y_, kPageWidth - 2 * kMargin - 8, height};
        item.text = std::move(caption);
        d_.items.push_back(std::move(item));
        y_ += height + 12;
    }

    void print(PrintStyle style, Rect frame, Text text) {
        d_.texts.push_back({page_, frame, style, std::move(text)});
    }

  private:
    InquiryDefinition& d_;
    int page_;
    int y_;
    int number_ = 0;
};

const Text kYes{"はい", "Yes", "是"};
const Text kNo{"いいえ", "No", "否"};

void header(PageLayout& page, int number) {
    page.print(PrintStyle::Title, {kMargin, 24, 500, 40},
               {"歯科検診 問診票", "Dental Check-up Questionnaire", "牙科检查问诊表"});
    const std::string n = std::to_string(number);
    page.print(PrintStyle::Note, {kMargin, 64, 500, 20},
               {"（" + n + " / 3）", "(page " + n + " of 3)", "（第" + n + "页，共3页）"});
}

void page1(InquiryDefinition& d) {
    PageLayout page(d, 1, 0);
    header(page, 1);
    page.print(PrintStyle::Caption, {kMargin, 92, 90, 30}, {"患者ID", "Patient ID", "患者编号"});
    d.patientIdFrame = {kMargin + 96, 92, 220, 30};
    page.skip(132);
    page.note({"当てはまるものに○をつけてください。「すべて」とある質問は、いくつ選んでもかまいません。",
               "Circle the answer that applies. Where it says \"choose all\", circle as many as apply.",
               "请圈出符合的答案。标有“可多选”的问题可以选择多项。"});
    page.skip(4);

    page.section({"ご来院について", "About your visit", "关于本次就诊"});
    page.question({"本日はどのような目的でいらっしゃいましたか？", "What brings you in today?",
                   "您今天来就诊的主要原因是什么？"});
    page.choices(11, ItemKind::SingleCircle,
                 {{"定期検診・クリーニング", "Check-up or cleaning", "定期检查、洁牙"},
                  {"歯が痛い", "Toothache", "牙痛"},
                  {"詰め物・被せ物が取れた", "Lost filling or crown", "补牙材料或牙冠脱落"},
                  {"歯ぐきが気になる", "Gum problems", "牙龈不适"},
                  {"見た目が気になる", "Appearance of my teeth", "牙齿美观"},
                  {"その他", "Other", "其他"}},
                 3);
    page.question({"最後に歯科医院を受診したのはいつですか？", "When did you last see a dentist?",
                   "您上一次看牙医是什么时候？"});
    page.choices(77, ItemKind::SingleCircle,
                 {{"半年以内", "Within 6 months", "半年以内"},
                  {"1年以内", "Within a year", "一年以内"},
                  {"1〜3年前", "1 to 3 years ago", "一至三年前"},
                  {"3年以上前", "Over 3 years ago", "三年以上"}},
                 4);

    page.section({"歯みがきの習慣", "Brushing habits", "刷牙习惯"});
    page.questionInline(
        {"毎日歯をみがいていますか？", "Do you brush your teeth every day?", "您每天刷牙吗？"}, 13,
        {kYes, kNo});
    page.question({"「はい」の方：1日に何回みがきますか？", "If yes: how many times a day?",
                   "如回答“是”：每天刷几次？"});
    page.choices(12, ItemKind::SingleCircle,
                 {{"1回", "Once", "1次"}, {"2回", "Twice", "2次"}, {"3回以上", "3 times or more", "3次以上"}},
                 4);
    page.question({"「いいえ」の方：どのくらいの間隔でみがきますか？", "If no: how often do you brush?",
                   "如回答“否”：多久刷一次牙？"});
    page.choices(14, ItemKind::SingleCircle,
                 {{"2〜3日に1回", "Every 2 or 3 days", "每两三天一次"},
                  {"週に1回以下", "Once a week or less", "每周一次或更少"}},
                 3);
    page.question({"1回の歯みがきにかける時間はどのくらいですか？", "How long do you brush each time?",
                   "您每次刷牙大约多长时间？"});
    page.choices(16, ItemKind::SingleCircle,
                 {{"1分未満", "Under a minute", "不到1分钟"},
                  {"1〜3分", "1 to 3 minutes", "1至3分钟"},
                  {"3分以上", "Over 3 minutes", "3分钟以上"}},
                 4);
    page.question({"使っているものをすべて選んでください",
                   "What do you use to clean your teeth? (choose all)",
                   "您使用哪些口腔清洁用品？（可多选）"});
    page.choices(15, ItemKind::MultiCircle,
                 {{"歯ブラシ", "Toothbrush", "牙刷"},
                  {"電動歯ブラシ", "Electric toothbrush", "电动牙刷"},
                  {"デンタルフロス", "Dental floss", "牙线"},
                  {"歯間ブラシ", "Interdental brush", "牙间刷"},
                  {"洗口液", "Mouthwash", "漱口水"},
                  {"フッ素入り歯みがき剤", "Fluoride toothpaste", "含氟牙膏"}},
                 3);

    page.section({"生活習慣", "Lifestyle", "生活习惯"});
    page.questionInline({"たばこを吸いますか？", "Do you smoke?", "您吸烟吗？"}, 31, {kYes, kNo});
    page.questionInline({"睡眠不足やストレスを感じることが多いですか？",
                         "Do you often sleep badly or feel stressed?", "您是否经常睡不好或感到压力大？"},
                        32, {kYes, kNo});
    page.field(32, ItemKind::TextField,
               {"そのためにのんでいる薬", "Medicine you take for it", "为此服用的药物"}, 200, 380);
    page.question({"甘いおやつや飲み物を1日に何回とりますか？",
                   "How often a day do you have sweet snacks or drinks?",
                   "您每天吃几次甜食或喝几次甜饮料？"});
    page.choices(51, ItemKind::SingleCircle,
                 {{"ほとんどとらない", "Hardly ever", "几乎不吃"},
                  {"1回", "Once", "1次"},
                  {"2〜3回", "2 or 3 times", "2至3次"},
                  {"4回以上", "4 times or more", "4次以上"}},
                 4);
    page.questionInline({"夜、歯をみがいた後に飲んだり食べたりしますか？",
                         "Do you eat or drink after brushing at night?", "晚上刷牙后还会吃东西或喝饮料吗？"},
                        33, {kYes, kNo});
    d.pageHeights[0] = 1150;
}

void page2(InquiryDefinition& d) {
    PageLayout page(d, 2, 0);
    header(page, 2);
    page.skip(96);

    page.section({"お口の症状", "Symptoms", "口腔症状"});
    page.questionInline({"いま、お口の中で気になる症状はありますか？",
                         "Do you have any trouble in your mouth now?", "您目前口腔内有不适的症状吗？"},
                        21, {{"ある", "Yes", "有"}, {"ない", "No", "没有"}});
    page.field(21, ItemKind::TextField,
               {"「ある」の方：何か月前から", "If yes: for how many months", "如有：持续几个月了"}, 240, 120);
    page.question({"当てはまる症状をすべて選んでください", "Which of these do you notice? (choose all)",
                   "请选择所有符合的症状（可多选）"});
    page.choices(71, ItemKind::MultiCircle,
                 {{"歯が痛む", "Toothache", "牙痛"},
                  {"冷たいものがしみる", "Pain with cold", "遇冷酸痛"},
                  {"かむと痛い", "Pain when biting", "咬东西时痛"},
                  {"口臭が気になる", "Bad breath", "口臭"},
                  {"あごが痛い・鳴る", "Jaw pain or clicking", "下颌疼痛或弹响"},
                  {"歯ぎしり・くいしばり", "Grinding or clenching", "磨牙或紧咬牙"},
                  {"口が乾く", "Dry mouth", "口干"},
                  {"口内炎ができやすい", "Frequent mouth ulcers", "经常口腔溃疡"}},
                 3);

    page.section({"歯ぐきと歯の状態", "Gums and teeth", "牙龈与牙齿状况"});
    page.questionInline({"歯をみがくと、歯ぐきから血が出ますか？", "Do your gums bleed when you brush?",
                         "刷牙时牙龈会出血吗？"},
                        41, {kYes, kNo});
    page.questionInline({"歯ぐきが腫れたり、むずがゆくなったりしますか？",
                         "Do your gums get swollen or itchy?", "牙龈会肿胀或发痒吗？"},
                        42, {kYes, kNo});
    page.question({"当てはまるものをすべて選んでください", "Which of these apply to you? (choose all)",
                   "请选择所有符合的情况（可多选）"});
    page.choices(61, ItemKind::MultiCircle,
                 {{"歯がぐらぐらする", "Loose teeth", "牙齿松动"},
                  {"歯ぐきが下がってきた", "Receding gums", "牙龈萎缩"},
                  {"歯の間に物がはさまる", "Food caught in teeth", "牙缝容易塞东西"},
                  {"歯が長く見える", "Teeth look longer", "牙齿看起来变长"},
                  {"歯の色が気になる", "Stained teeth", "牙齿变色"},
                  {"詰め物・被せ物が多い", "Many fillings or crowns", "补过的牙或牙冠较多"},
                  {"入れ歯を使っている", "I wear dentures", "戴假牙"},
                  {"歯並びが気になる", "Crooked teeth", "牙齿不齐"},
                  {"朝、口の中がねばつく", "Sticky mouth on waking", "早上起床口中发黏"}},
                 3);

    page.section({"全身の病気とお薬", "Medical history and medicines", "全身疾病与用药"});
    page.question({"いま治療中の病気、またはこれまでにかかった病気をすべて選んでください",
                   "Any illness you have now or have had? (choose all)",
                   "请选择您正在治疗或曾经患过的疾病（可多选）"});
    // The order is the order of the weights of graph4: the last three weigh most on the gums.
    page.choices(81, ItemKind::MultiCircle,
                 {{"花粉症・鼻炎", "Hay fever", "花粉症、鼻炎"},
                  {"高血圧", "High blood pressure", "高血压"},
                  {"心臓病", "Heart disease", "心脏病"},
                  {"胃腸の病気", "Digestive illness", "肠胃疾病"},
                  {"貧血", "Anaemia", "贫血"},
                  {"肝臓の病気", "Liver disease", "肝脏疾病"},
                  {"腎臓の病気", "Kidney disease", "肾脏疾病"},
                  {"ぜんそく", "Asthma", "哮喘"},
                  {"骨粗しょう症", "Osteoporosis", "骨质疏松"},
                  {"甲状腺の病気", "Thyroid disease", "甲状腺疾病"},
                  {"薬・金属アレルギー", "Drug or metal allergy", "药物或金属过敏"},
                  {"脳卒中", "Stroke", "脑卒中"},
                  {"妊娠中・授乳中", "Pregnant or nursing", "怀孕或哺乳期"},
                  {"リウマチ", "Rheumatism", "风湿病"},
                  {"糖尿病", "Diabetes", "糖尿病"},
                  {"がん（治療中）", "Cancer treatment", "癌症（治疗中）"},
                  {"血が止まりにくい", "Bleeding disorder", "出血不易止住"}},
                 3);
    page.question({"いまのんでいる薬をすべて選んでください", "Which medicines do you take now? (choose all)",
                   "请选择您目前正在服用的药物（可多选）"});
    page.choices(43, ItemKind::MultiCircle,
                 {{"血圧の薬", "Blood pressure", "降压药"},
                  {"血液をさらさらにする薬", "Blood thinners", "抗凝血药"},
                  {"糖尿病の薬", "Diabetes", "降糖药"},
                  {"痛み止め", "Painkillers", "止痛药"},
                  {"ステロイド", "Steroids", "类固醇"},
                  {"骨粗しょう症の薬", "Osteoporosis", "骨质疏松药"},
                  {"抗生物質", "Antibiotics", "抗生素"},
                  {"心臓の薬", "Heart medicine", "心脏病药"},
                  {"睡眠薬・安定剤", "Sleeping pills", "安眠药或镇静剂"},
                  {"漢方薬", "Herbal medicine", "中药"},
                  {"その他", "Other", "其他"}},
                 3);
    d.pageHeights[1] = 1150;
}

void page3(InquiryDefinition& d) {
    PageLayout page(d, 3, 0);
    header(page, 3);
    page.skip(96);

    page.field(96, ItemKind::TextView, {"お名前", "Name", "姓名"}, 120, 320, 34);
    page.field(90, ItemKind::DateLabel, {"記入日", "Date", "填写日期"}, 120, 320, 34);
    page.skip(4);
    page.section({"治療についてのご希望", "Your wishes for treatment", "对治疗的希望"});
    page.question({"歯の治療に不安がありますか？", "Do you feel nervous about dental treatment?",
                   "您对牙科治疗感到紧张吗？"});
    page.choices(52, ItemKind::SingleCircle,
                 {{"とても不安", "Very nervous", "非常紧张"},
                  {"少し不安", "A little", "有点紧张"},
                  {"不安はない", "Not at all", "不紧张"}},
                 4);
    page.question({"ご希望に当てはまるものをすべて選んでください", "What matters most to you? (choose all)",
                   "您希望治疗时注重哪些方面？（可多选）"});
    page.choices(91, ItemKind::MultiCircle,
                 {{"痛みの少ない治療", "As little pain as possible", "尽量减少疼痛"},
                  {"できるだけ歯を残したい", "Keep my own teeth", "尽量保留自己的牙齿"},
                  {"見た目をきれいにしたい", "Better-looking teeth", "改善牙齿美观"},
                  {"早く治療を終えたい", "Finish quickly", "尽快完成治疗"},
                  {"費用をおさえたい", "Keep costs down", "控制费用"},
                  {"詳しい説明がほしい", "Clear explanations", "详细说明治疗内容"}},
                 3);
    page.box(95,
             {"そのほか、お伝えしたいことがあればご記入ください", "Anything else you would like us to know",
              "如有其他需要告诉我们的事项，请填写"},
             110);

    page.section({"検診結果", "Check-up summary", "检查结果"});
    d.radarFrame = {(kPageWidth - 520) / 2, page.y() + 4, 520, 341};
    d.radarChartOrigin = {122, 40, 276, 261};
    page.skip(341 + 16);

    d.pageHeights[2] = 1100;
}

InquiryDefinition build() {
    InquiryDefinition d;
    d.clinicLogoFrame = {kPageWidth - kMargin - 180, 20, 180, 60};
    page1(d);
    page2(d);
    page3(d);
    d.axisNames = {Text{"歯みがき習慣", "Brushing", "刷牙习惯"}, Text{"自覚症状", "Symptoms", "自觉症状"},
                   Text{"歯ぐきの状態", "Gums", "牙龈状况"}, Text{"全身の健康", "General health", "全身健康"},
                   Text{"生活習慣", "Lifestyle", "生活习惯"}};
    return d;
}

} // namespace

const InquiryDefinition& inquiryDefinition() {
    static const InquiryDefinition definition = build();
    return definition;
}

} // namespace questionnaire
